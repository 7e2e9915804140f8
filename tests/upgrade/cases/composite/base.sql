-- A link between students and clubs, keyed by both references, with a role of its own.
INSERT INTO t_class (classId, projectId, className, friendName, compositeKey) VALUES (5, 1, 'Membership', '社员', 1);
INSERT INTO t_member (memberId, projectId, classId, memberName, memberType, memberLength, memberIsPri, memberComment, memberIsMust, memberIsInteger, memberIsFloat, queryFlag, memberIsDisplay, memberQueryDisplay, memberOnDelete) VALUES
  (50, 1, 5, 'student', 'Student', 0,  1, '学生', 1, 0, 0, 0, 1, 1, 'CASCADE'),
  (51, 1, 5, 'club',    'Club',    0,  1, '社团', 1, 0, 0, 0, 0, 1, 'CASCADE'),
  (52, 1, 5, 'role',    '字符串',  20, 0, '职务', 0, 0, 0, 0, 0, 1, 'RESTRICT');
