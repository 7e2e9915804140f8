-- Written by hand, everything the model holds, in utf8mb4 with the collations the table script
-- gives (exact for keys, unique members and references, case-insensitive for the rest): every
-- member type, unsigned, NULL and NOT NULL, unique and plain indexes of one and two columns,
-- each foreign-key rule, references to an integer and to a text key, a self-reference.
-- Foreign keys are unnamed and in column order, as the table script adds them.
CREATE TABLE rt_category (
  id BIGINT UNSIGNED NOT NULL AUTO_INCREMENT COMMENT '编号',
  name VARCHAR(50) COLLATE utf8mb4_bin NOT NULL COMMENT '名称',
  parent_id BIGINT UNSIGNED NULL COMMENT '上级',
  PRIMARY KEY (id),
  UNIQUE KEY u_name (name),
  FOREIGN KEY (parent_id) REFERENCES rt_category (id) ON DELETE SET NULL ON UPDATE CASCADE
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE rt_item (
  code VARCHAR(20) COLLATE utf8mb4_bin NOT NULL COMMENT '货号',
  title VARCHAR(100) COLLATE utf8mb4_bin NOT NULL COMMENT '名称',
  note VARCHAR(200) COLLATE utf8mb4_unicode_ci NULL,
  qty INT NOT NULL,
  stock INT UNSIGNED NULL,
  views BIGINT NOT NULL,
  price DECIMAL(10,2) NOT NULL,
  weight FLOAT NULL,
  on_sale TINYINT(1) NOT NULL,
  made DATE NULL,
  added DATETIME NOT NULL,
  opens TIME NULL,
  summary TINYTEXT COLLATE utf8mb4_unicode_ci NULL,
  intro TEXT COLLATE utf8mb4_unicode_ci NULL,
  body MEDIUMTEXT COLLATE utf8mb4_unicode_ci NOT NULL,
  archive LONGTEXT COLLATE utf8mb4_unicode_ci NULL,
  status ENUM('on','off','it''s') COLLATE utf8mb4_unicode_ci NOT NULL,
  category_id BIGINT UNSIGNED NOT NULL,
  owner_id BIGINT UNSIGNED NULL,
  PRIMARY KEY (code),
  UNIQUE KEY u_title_category (title, category_id),
  KEY k_status_added (status, added),
  KEY k_price (price),
  FOREIGN KEY (category_id) REFERENCES rt_category (id) ON DELETE CASCADE ON UPDATE RESTRICT,
  FOREIGN KEY (owner_id) REFERENCES rt_category (id) ON DELETE SET NULL ON UPDATE SET NULL
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE rt_review (
  id INT NOT NULL AUTO_INCREMENT,
  item_code VARCHAR(20) COLLATE utf8mb4_bin NOT NULL,
  stars INT UNSIGNED NOT NULL,
  PRIMARY KEY (id),
  KEY k_item_stars (item_code, stars),
  FOREIGN KEY (item_code) REFERENCES rt_item (code) ON UPDATE CASCADE
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;
