-- A table and a column renamed to names holding a back quote; a member renamed over the
-- same column, which is retyped; a new member whose column has a dash.
UPDATE t_class SET tableName = 'club`house' WHERE classId = 4;
UPDATE t_member SET memberColumnName = 'gr`oup' WHERE memberId = 15;
UPDATE t_member SET memberName = 'title', memberLength = 40 WHERE memberId = 2;
INSERT INTO t_member (memberId, projectId, classId, memberName, memberType, memberLength, memberIsPri, memberComment, memberIsMust, memberIsInteger, memberIsFloat, queryFlag, memberIsDisplay, memberQueryDisplay, memberColumnName) VALUES
  (20, 1, 4, 'since', '日期型', 0, 0, '成立日期', 0, 0, 0, 0, 0, 1, 'from-date');
