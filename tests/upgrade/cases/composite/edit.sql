-- The composite key grows by a term, and the link gains a column.
INSERT INTO t_member (memberId, projectId, classId, memberName, memberType, memberLength, memberIsPri, memberComment, memberIsMust, memberIsInteger, memberIsFloat, queryFlag, memberIsDisplay, memberQueryDisplay) VALUES
  (53, 1, 5, 'term',   '字符串', 10, 1, '学期', 1, 0, 0, 0, 0, 1),
  (54, 1, 5, 'joined', '日期型', 0,  0, '加入日期', 1, 0, 0, 0, 0, 1);
