-- Without --destructive: a removed member whose name comes back on a new member, a removed key
-- member, and a removed class whose name comes back on a new class. The kept data moves aside.
DELETE FROM t_member WHERE memberId = 13;
INSERT INTO t_member (memberId, projectId, classId, memberName, memberType, memberLength, memberIsPri, memberComment, memberIsMust, memberIsInteger, memberIsFloat, queryFlag, memberIsDisplay, memberQueryDisplay) VALUES (50, 1, 3, 'remark', '整型', 0, 0, '备注编号', 1, 1, 0, 0, 0, 1);
DELETE FROM t_member WHERE memberId = 1;
INSERT INTO t_member (memberId, projectId, classId, memberName, memberType, memberLength, memberIsPri, memberComment, memberIsMust, memberIsInteger, memberIsFloat, queryFlag, memberIsDisplay, memberQueryDisplay) VALUES (51, 1, 1, 'gradeNo', '整型', 0, 1, '年级代码', 1, 1, 0, 0, 0, 1);
DELETE FROM t_member WHERE classId = 4;
DELETE FROM t_class WHERE classId = 4;
INSERT INTO t_class (classId, projectId, className, friendName) VALUES (6, 1, 'Club', '新社团');
INSERT INTO t_member (memberId, projectId, classId, memberName, memberType, memberLength, memberIsPri, memberComment, memberIsMust, memberIsInteger, memberIsFloat, queryFlag, memberIsDisplay, memberQueryDisplay) VALUES
  (52, 1, 6, 'clubCode', '字符串', 10, 1, '社团代码', 1, 0, 0, 0, 0, 1),
  (53, 1, 6, 'leader',   'Student', 0, 0, '社长',   1, 0, 0, 0, 1, 1);
