-- Loaded after shop_schema.sql: what a database the application did not make may hold beyond
-- the shop. A user's table named like one of the application's own.
-- More tables go here; existing_rows.sql seeds them.
CREATE TABLE session (
  id INT AUTO_INCREMENT PRIMARY KEY,
  title VARCHAR(60) NOT NULL COMMENT '场次',
  starts_at DATETIME NOT NULL COMMENT '开始时间'
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COMMENT='场次';
