-- Exact columns in the base model: a small integer with a default, a remark of its own length
-- with a default, and a time stamp the server sets on every change.
UPDATE t_member SET memberSqlType = 'smallint', memberLength = 6, memberDefault = '0', memberIsMust = 0 WHERE memberId = 7;
UPDATE t_member SET memberSqlType = 'varchar', memberIsNullable = 1, memberDefault = '''无''' WHERE memberId = 13;
INSERT INTO t_member (memberId, projectId, classId, memberName, memberType, memberLength, memberIsPri, memberComment, memberIsMust, memberIsInteger, memberIsFloat, queryFlag, memberIsDisplay, memberQueryDisplay, memberSqlType, memberDefault, memberOnUpdateNow) VALUES
  (30, 1, 3, 'changedAt', '日期时间型', 0, 0, '修改时间', 0, 0, 0, 0, 0, 1, 'timestamp', 'current_timestamp()', 1);
