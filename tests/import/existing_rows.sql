-- Rows of every table of shop_schema.sql and existing_schema.sql, two or more where a page can
-- show them, so that a list that shows only some of them is caught.
INSERT INTO shop_customer (email, full_name, phone, created_at) VALUES
  ('li@example.com', '李', '010-1', '2026-01-02 10:30:07'),
  ('wang@example.com', '王', NULL, '2026-01-03 11:00:00');
INSERT INTO shop_category (title) VALUES ('文具'), ('书籍');
INSERT INTO shop_product (sku, title, description, price, stock, category_id, status) VALUES
  ('A-1', '铅笔', '一支', 1.50, 3, 1, 'on'),
  ('B-2', '字典', NULL, 39.90, 1, 2, 'off');
INSERT INTO shop_orders (customer_id, ordered_at, total) VALUES
  (1, '2026-01-03 09:00:59', 4.50), (2, '2026-01-04 15:20:00', 39.90);
INSERT INTO shop_order_item VALUES (1, 1, 3, 1.50), (2, 2, 1, 39.90);
INSERT INTO shop_review (order_id, product_id, rating) VALUES (1, 1, 5), (2, 2, 4);
INSERT INTO audit_log (message) VALUES ('导入前'), ('第二条');
INSERT INTO shop_system (`reply-to`, `function`, `position`) VALUES ('noreply@example.com', 'mail', 1), ('help@example.com', NULL, 2);
INSERT INTO `shop_sys-log` (setting_id, `order`) VALUES (1, '第一'), (2, '第二');
INSERT INTO shop_visit (visited_at, page, note) VALUES ('2026-02-02 08:00:00', '/index', NULL), ('2026-02-02 08:05:00', '/shop', '午前');
INSERT INTO shop_coupon VALUES ('SPRING26', 0.90), ('SUMMER26', 0.80);
INSERT INTO session (title, starts_at) VALUES ('上午场', '2026-02-01 09:00:30'), ('下午场', '2026-02-01 14:00:00');
INSERT INTO shop_tag (label) VALUES ('新品'), ('特价');
INSERT INTO shop_product_tag VALUES (1, 1), (2, 1);
INSERT INTO shop_stock VALUES ('North,A\\1', 1, 1, 3), ('South', 2, 2, 0);
INSERT INTO club (name) VALUES ('棋社'), ('书社');
INSERT INTO club_member (club_id, name) VALUES (1, '甲'), (2, '乙'), (2, '丙');
INSERT INTO member_badge (member_id, badge) VALUES (1, '金'), (2, '银'), (2, '铜'), (3, '银');
INSERT INTO badge_note (badge_id, note) VALUES (1, '首届'), (2, '春季'), (4, '秋季');
INSERT INTO club_event (club_id, title) VALUES (1, '年会'), (2, '读书会'), (NULL, '公开课');
INSERT INTO club_fee (club_id, amount) VALUES (1, 100.00);
INSERT INTO club_action VALUES ('add', '添加'), ('view', '查看');
INSERT INTO club_param VALUES ('list', 'asc', 1, 'x'), ('detail', 'desc', 2, NULL);
INSERT INTO phrase VALUES (REPEAT('中', 150), REPEAT('文', 150), '长'), ('en', 'hello', NULL);
