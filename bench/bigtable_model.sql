-- The model of bench/bigtable.sh: Item is filled with many rows and listed, searched, sorted and
-- exported; Sale's add form looks up an Item.
INSERT INTO t_project (projectId, projectName) VALUES (1, 'big');

INSERT INTO t_class (classId, projectId, className, friendName) VALUES
  (1, 1, 'Category', '分类'),
  (2, 1, 'Item', '商品'),
  (3, 1, 'Sale', '销售');

INSERT INTO t_member (memberId, projectId, classId, memberName, memberType, memberLength,
  memberIsPri, memberComment, memberIsMust, memberIsInteger, memberIsFloat, queryFlag,
  memberIsDisplay, memberQueryDisplay) VALUES
  (1, 1, 1, 'categoryId', '整型',     0,   1, '分类编号', 1, 1, 0, 0, 0, 1),
  (2, 1, 1, 'title',      '字符串',   20,  0, '分类名称', 1, 0, 0, 0, 1, 1),
  (3, 1, 2, 'itemId',     '整型',     0,   1, '商品编号', 1, 1, 0, 0, 0, 1),
  (4, 1, 2, 'name',       '字符串',   40,  0, '商品名称', 1, 0, 0, 1, 1, 1),
  (5, 1, 2, 'price',      '浮点型',   0,   0, '价格',     1, 0, 1, 0, 0, 1),
  (6, 1, 2, 'created',    '日期型',   0,   0, '上架日期', 1, 0, 0, 1, 0, 1),
  (7, 1, 2, 'category',   'Category', 0,   0, '分类',     1, 0, 0, 1, 0, 1),
  (8, 1, 2, 'note',       '字符串',   100, 0, '备注',     0, 0, 0, 0, 0, 1),
  (9, 1, 3, 'saleId',     '整型',     0,   1, '销售编号', 1, 1, 0, 0, 0, 1),
  (10, 1, 3, 'item',      'Item',     0,   0, '商品',     1, 0, 0, 1, 0, 1),
  (11, 1, 3, 'amount',    '整型',     0,   0, '数量',     1, 1, 0, 0, 1, 1);
