-- Loaded after shop_schema.sql: what the schemas of real applications hold beyond the shop.
-- A table named by a reserved word with a dashed column and a reserved column name, a table
-- named like one of the generated application's own.
-- More tables go here; existing_rows.sql seeds them.
CREATE TABLE `system` (
  id INT AUTO_INCREMENT PRIMARY KEY,
  `reply-to` VARCHAR(120) NOT NULL COMMENT '回复地址',
  `function` VARCHAR(40) NULL COMMENT '用途'
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COMMENT='系统设置';

CREATE TABLE session (
  id INT AUTO_INCREMENT PRIMARY KEY,
  title VARCHAR(60) NOT NULL COMMENT '场次',
  starts_at DATETIME NOT NULL COMMENT '开始时间'
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COMMENT='场次';
