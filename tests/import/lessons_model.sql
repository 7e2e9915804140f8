-- A model the table script carries whole, for the round trip through MariaDB: classes in name
-- order, friendly names equal to the class names (the script writes no table comment), every
-- non-text member required (the script makes those columns NOT NULL), a text member not required
-- nullable (the import reads its NULL column so), and the display member, the searched members
-- (display, short text, numbers) and the listed ones (no long text) where the import chooses them.
INSERT INTO t_project (projectId, projectName) VALUES (1, 'lessons');

INSERT INTO t_class (classId, projectId, className, friendName) VALUES
  (1, 1, 'Course', 'Course'),
  (2, 1, 'Room', 'Room'),
  (3, 1, 'Teacher', 'Teacher');

-- memberId, projectId, classId, memberName, memberType, memberLength, memberIsPri, memberComment,
-- memberIsMust, memberIsInteger, memberIsFloat, queryFlag, memberIsDisplay, memberQueryDisplay
INSERT INTO t_member (memberId, projectId, classId, memberName, memberType, memberLength, memberIsPri, memberComment, memberIsMust, memberIsInteger, memberIsFloat, queryFlag, memberIsDisplay, memberQueryDisplay) VALUES
  (1, 1, 1, 'code',      '字符串', 10,  1, '课程代码', 1, 0, 0, 0, 0, 1),
  (2, 1, 1, 'title',     '字符串', 40,  0, '课程名称', 1, 0, 0, 1, 1, 1),
  (3, 1, 1, 'credit',    '浮点型', 0,   0, '学分',     1, 0, 1, 1, 0, 1),
  (4, 1, 2, 'roomId',    '整型',   0,   1, '教室编号', 1, 1, 0, 1, 1, 1),
  (5, 1, 2, 'floor',     '整型',   0,   0, '楼层',     1, 1, 0, 1, 0, 1),
  (6, 1, 3, 'teacherId', '整型',   0,   1, '工号',     1, 1, 0, 0, 0, 1),
  (7, 1, 3, 'fullName',  '字符串', 30,  0, '姓名',     1, 0, 0, 1, 1, 1),
  (8, 1, 3, 'hired',     '日期型', 0,   0, '入职日期', 1, 0, 0, 0, 0, 1),
  (9, 1, 3, 'course',    'Course', 0,   0, '主讲课程', 1, 0, 0, 0, 0, 1),
  (10, 1, 3, 'room',     'Room',   0,   0, '办公室',   1, 0, 0, 0, 0, 1),
  (11, 1, 3, 'note',     '字符串', 200, 0, '备注',     0, 0, 0, 0, 0, 0);
UPDATE t_member SET memberIsNullable = 1 WHERE memberId = 11;
