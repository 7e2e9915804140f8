-- The second model of the end-to-end suite, of another shape than the school: a shop whose
-- order lines refer to an order by its text key and to a product, which refers to a category.
INSERT INTO t_project (projectId, projectName) VALUES (1, 'shop');

INSERT INTO t_class (classId, projectId, className, friendName) VALUES
  (1, 1, 'Category', '商品分类'),
  (2, 1, 'Product', '商品'),
  (3, 1, 'SalesOrder', '订单'),
  (4, 1, 'OrderLine', '订单明细');

-- memberId, projectId, classId, memberName, memberType, memberLength, memberIsPri, memberComment,
-- memberIsMust, memberIsInteger, memberIsFloat, queryFlag, memberIsDisplay, memberQueryDisplay
INSERT INTO t_member (memberId, projectId, classId, memberName, memberType, memberLength, memberIsPri, memberComment, memberIsMust, memberIsInteger, memberIsFloat, queryFlag, memberIsDisplay, memberQueryDisplay) VALUES
  (1, 1, 1, 'categoryId',  '整型',     0,   1, '分类编号', 1, 1, 0, 0, 0, 0),
  (2, 1, 1, 'title',       '字符串',   30,  0, '分类名称', 1, 0, 0, 1, 1, 1),
  (3, 1, 2, 'productId',   '整型',     0,   1, '商品编号', 1, 1, 0, 0, 0, 1),
  (4, 1, 2, 'productName', '字符串',   40,  0, '',         1, 0, 0, 1, 1, 1),
  (5, 1, 2, 'price',       '浮点型',   0,   0, '单价',     1, 0, 1, 0, 0, 1),
  (6, 1, 2, 'stock',       '整型',     0,   0, '库存',     0, 1, 0, 0, 0, 1),
  (7, 1, 2, 'category',    'Category', 0,   0, '分类',     1, 0, 0, 1, 0, 1),
  (8, 1, 2, 'picture',     '图片型',   0,   0, '商品图片', 0, 0, 0, 0, 0, 0),
  (9, 1, 2, 'intro',       '字符串',   500, 0, '介绍',     0, 0, 0, 0, 0, 0),
  (10, 1, 3, 'orderNo',    '字符串',   16,  1, '订单号',   1, 0, 0, 1, 1, 1),
  (11, 1, 3, 'customer',   '字符串',   20,  0, '客户',     1, 0, 0, 1, 0, 1),
  (12, 1, 3, 'orderDate',  '日期型',   0,   0, '下单日期', 1, 0, 0, 1, 0, 1),
  (13, 1, 4, 'lineId',     '整型',     0,   1, '明细编号', 1, 1, 0, 0, 0, 1),
  (14, 1, 4, 'orderRef',   'SalesOrder', 0,   0, '所属订单', 1, 0, 0, 1, 0, 1),
  (15, 1, 4, 'product',    'Product',  0,   0, '商品',     1, 0, 0, 1, 1, 1),
  (16, 1, 4, 'quantity',   '整型',     0,   0, '数量',     1, 1, 0, 0, 0, 1);
