-- A small shop, written by hand the way people write schemas: a table prefix, unsigned and
-- small integers, decimal prices, datetime stamps, text, an enum, a blob, a rule on a foreign
-- key, order lines keyed by two references (a link with columns of its own), tags linked to
-- products, and stock places keyed by a text and a dashed number column together; names PHP cannot carry as
-- they are (a reserved word as table name, a dash in a table and a column name, reserved words
-- as column names); a table without a key, and one whose only key is a unique column; what the
-- model does not carry: a generated column, a full-text index and a check constraint.
CREATE TABLE shop_customer (
  id INT UNSIGNED NOT NULL AUTO_INCREMENT PRIMARY KEY,
  email VARCHAR(120) NOT NULL COMMENT '邮箱',
  full_name VARCHAR(60) NOT NULL COMMENT '姓名',
  phone VARCHAR(20) NULL,
  created_at DATETIME NOT NULL DEFAULT CURRENT_TIMESTAMP COMMENT '注册时间'
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COMMENT='顾客';

CREATE TABLE shop_category (
  id INT AUTO_INCREMENT PRIMARY KEY,
  title VARCHAR(50) NOT NULL COMMENT '分类名称'
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COMMENT='商品分类';

CREATE TABLE shop_product (
  id INT AUTO_INCREMENT PRIMARY KEY,
  sku CHAR(12) NOT NULL COMMENT '货号',
  title VARCHAR(100) NOT NULL COMMENT '商品名称',
  description TEXT COMMENT '介绍',
  price DECIMAL(10,2) NOT NULL COMMENT '价格',
  stock SMALLINT NOT NULL DEFAULT 0 COMMENT '库存',
  category_id INT NOT NULL COMMENT '分类',
  status ENUM('on','off') NOT NULL DEFAULT 'on',
  thumbnail BLOB NULL,
  CONSTRAINT fk_product_category FOREIGN KEY (category_id) REFERENCES shop_category (id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COMMENT='商品';

CREATE TABLE shop_orders (
  id INT AUTO_INCREMENT PRIMARY KEY,
  customer_id INT UNSIGNED NOT NULL COMMENT '顾客',
  ordered_at DATETIME NOT NULL COMMENT '下单时间',
  total DECIMAL(10,2) NOT NULL COMMENT '金额',
  FOREIGN KEY (customer_id) REFERENCES shop_customer (id) ON DELETE CASCADE
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COMMENT='订单';

CREATE TABLE shop_order_item (
  order_id INT NOT NULL,
  product_id INT NOT NULL,
  quantity INT NOT NULL DEFAULT 1,
  price DECIMAL(10,2) NOT NULL,
  PRIMARY KEY (order_id, product_id),
  FOREIGN KEY (order_id) REFERENCES shop_orders (id),
  FOREIGN KEY (product_id) REFERENCES shop_product (id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COMMENT='订单明细';

CREATE TABLE shop_review (
  id INT AUTO_INCREMENT PRIMARY KEY,
  order_id INT NOT NULL COMMENT '订单',
  product_id INT NOT NULL COMMENT '商品',
  rating TINYINT NOT NULL COMMENT '评分',
  FOREIGN KEY (order_id, product_id) REFERENCES shop_order_item (order_id, product_id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE shop_tag (
  id INT AUTO_INCREMENT PRIMARY KEY,
  label VARCHAR(30) NOT NULL COMMENT '标签'
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COMMENT='标签';

CREATE TABLE shop_product_tag (
  product_id INT NOT NULL COMMENT '商品',
  tag_id INT NOT NULL COMMENT '标签',
  PRIMARY KEY (product_id, tag_id),
  FOREIGN KEY (product_id) REFERENCES shop_product (id) ON DELETE CASCADE,
  FOREIGN KEY (tag_id) REFERENCES shop_tag (id) ON DELETE CASCADE
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COMMENT='商品标签';

CREATE TABLE shop_stock (
  warehouse VARCHAR(20) NOT NULL COMMENT '仓库',
  `bin-no` INT NOT NULL COMMENT '货位',
  product_id INT NOT NULL COMMENT '商品',
  amount INT NOT NULL DEFAULT 0 COMMENT '数量',
  PRIMARY KEY (warehouse, `bin-no`),
  FOREIGN KEY (product_id) REFERENCES shop_product (id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COMMENT='库存位置';
CREATE TABLE shop_system (
  id INT AUTO_INCREMENT PRIMARY KEY,
  `reply-to` VARCHAR(100) NOT NULL COMMENT '回复地址',
  `function` VARCHAR(40) NULL COMMENT '用途',
  `position` INT NOT NULL DEFAULT 0 COMMENT '位置',
  KEY `by-position` (`position`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COMMENT='系统设置';

CREATE TABLE `shop_sys-log` (
  id INT AUTO_INCREMENT PRIMARY KEY,
  setting_id INT NOT NULL COMMENT '设置',
  `order` VARCHAR(20) NOT NULL COMMENT '顺序',
  FOREIGN KEY (setting_id) REFERENCES shop_system (id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COMMENT='设置日志';

CREATE TABLE shop_visit (
  visited_at DATETIME NOT NULL COMMENT '访问时间',
  page VARCHAR(200) NOT NULL COMMENT '页面',
  note VARCHAR(100) NULL COMMENT '备注',
  page_length INT AS (CHAR_LENGTH(page)) VIRTUAL,
  FULLTEXT KEY ft_page (page),
  CONSTRAINT visit_note CHECK (note <> '')
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COMMENT='访问记录';

CREATE TABLE shop_coupon (
  code CHAR(8) NOT NULL COMMENT '券号',
  discount DECIMAL(5,2) NOT NULL COMMENT '折扣',
  UNIQUE KEY uq_coupon_code (code)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COMMENT='优惠券';

CREATE TABLE audit_log (
  id BIGINT AUTO_INCREMENT PRIMARY KEY,
  message VARCHAR(255) NOT NULL
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;
