-- A referenced class renamed, a new class referencing a kept one, a referencing class removed,
-- and a new prefix (case.conf).
UPDATE t_class SET className = 'Level' WHERE classId = 1;
UPDATE t_member SET memberType = 'Level' WHERE memberId = 11;
INSERT INTO t_class (classId, projectId, className, friendName) VALUES (5, 1, 'Course', '课程');
INSERT INTO t_member (memberId, projectId, classId, memberName, memberType, memberLength, memberIsPri, memberComment, memberIsMust, memberIsInteger, memberIsFloat, queryFlag, memberIsDisplay, memberQueryDisplay) VALUES
  (30, 1, 5, 'courseId',   '整型',   0,  1, '课程编号', 1, 1, 0, 0, 0, 1),
  (31, 1, 5, 'courseName', '字符串', 30, 0, '课程名称', 1, 0, 0, 0, 1, 1),
  (32, 1, 5, 'student',    'Student', 0, 0, '学生',     1, 0, 0, 0, 0, 1);
DELETE FROM t_member WHERE classId = 4;
DELETE FROM t_class WHERE classId = 4;
