-- Types widened (int to unsigned bigint, float to decimal, date to datetime, text to long
-- text), NULL allowed on a text, a number and a reference, and new members of the later types.
UPDATE t_member SET memberType = '长整型', memberIsInteger = 0, memberIsUnsigned = 1 WHERE memberId = 7;
UPDATE t_member SET memberType = '定点数', memberLength = 6, memberScale = 2, memberIsFloat = 0, memberIsNullable = 1 WHERE memberId = 8;
UPDATE t_member SET memberType = '日期时间型' WHERE memberId = 9;
UPDATE t_member SET memberType = '长文本', memberLength = 0, memberIsNullable = 1 WHERE memberId = 13;
UPDATE t_member SET memberIsNullable = 1 WHERE memberId IN (2, 11);
INSERT INTO t_member (memberId, projectId, classId, memberName, memberType, memberLength, memberIsPri, memberComment, memberIsMust, memberIsInteger, memberIsFloat, queryFlag, memberIsDisplay, memberQueryDisplay, memberIsNullable, memberEnumValues) VALUES
  (20, 1, 3, 'active', '是否型', 0, 0, '在读', 1, 0, 0, 0, 0, 1, 0, ''),
  (21, 1, 3, 'kind',   '枚举型', 0, 0, '类别', 0, 0, 0, 0, 0, 1, 1, '["本科","专科"]'),
  (22, 1, 4, 'meetAt', '时间型', 0, 0, '活动时间', 0, 0, 0, 0, 0, 1, 1, '');
