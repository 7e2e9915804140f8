-- A member renamed; one renamed and retyped at once; a shorter length made required; a comment
-- changed; new members in two classes; a member removed.
UPDATE t_member SET memberName = 'fullName' WHERE memberId = 6;
UPDATE t_member SET memberName = 'ageText', memberType = '字符串', memberLength = 11, memberIsInteger = 0 WHERE memberId = 7;
UPDATE t_member SET memberLength = 50, memberIsMust = 1 WHERE memberId = 13;
UPDATE t_member SET memberComment = '院系全称' WHERE memberId = 4;
INSERT INTO t_member (memberId, projectId, classId, memberName, memberType, memberLength, memberIsPri, memberComment, memberIsMust, memberIsInteger, memberIsFloat, queryFlag, memberIsDisplay, memberQueryDisplay) VALUES
  (20, 1, 3, 'email', '字符串', 40, 0, '邮箱', 0, 0, 0, 0, 0, 1),
  (21, 1, 1, 'sort',  '整型',   0,  0, '排序', 1, 1, 0, 0, 0, 1);
DELETE FROM t_member WHERE memberId = 8;
