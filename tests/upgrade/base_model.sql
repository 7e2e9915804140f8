-- The model every upgrade case starts from: an integer-keyed and a text-keyed class, a class with
-- a member of every type and references to both, and a class that references the text key.
INSERT INTO t_project (projectId, projectName) VALUES (1, 'school');
INSERT INTO t_class (classId, projectId, className, friendName) VALUES
  (1, 1, 'Grade', '年级'),
  (2, 1, 'Department', '院系'),
  (3, 1, 'Student', '学生'),
  (4, 1, 'Club', '社团');
INSERT INTO t_member (memberId, projectId, classId, memberName, memberType, memberLength, memberIsPri, memberComment, memberIsMust, memberIsInteger, memberIsFloat, queryFlag, memberIsDisplay, memberQueryDisplay) VALUES
  (1, 1, 1, 'gradeId',     '整型',   0,  1, '年级编号', 1, 1, 0, 0, 0, 1),
  (2, 1, 1, 'gradeName',   '字符串', 20, 0, '年级名称', 1, 0, 0, 0, 1, 1),
  (3, 1, 2, 'deptNo',      '字符串', 10, 1, '院系代码', 1, 0, 0, 0, 0, 1),
  (4, 1, 2, 'deptName',    '字符串', 30, 0, '院系名称', 1, 0, 0, 1, 1, 1),
  (5, 1, 3, 'studentId',   '整型',   0,  1, '学号',     1, 1, 0, 0, 0, 1),
  (6, 1, 3, 'studentName', '字符串', 20, 0, '姓名',     1, 0, 0, 1, 1, 1),
  (7, 1, 3, 'age',         '整型',   0,  0, '年龄',     1, 1, 0, 0, 0, 1),
  (8, 1, 3, 'score',       '浮点型', 0,  0, '成绩',     1, 0, 1, 0, 0, 1),
  (9, 1, 3, 'birthday',    '日期型', 0,  0, '出生日期', 1, 0, 0, 1, 0, 1),
  (10, 1, 3, 'photo',      '图片型', 0,  0, '照片',     0, 0, 0, 0, 0, 1),
  (11, 1, 3, 'grade',      'Grade',  0,  0, '年级',     1, 0, 0, 1, 0, 1),
  (12, 1, 3, 'department', 'Department', 0, 0, '院系',  1, 0, 0, 1, 0, 1),
  (13, 1, 3, 'remark',     '字符串', 100, 0, '备注',    0, 0, 0, 0, 0, 1),
  (14, 1, 4, 'clubId',     '整型',   0,  1, '社团编号', 1, 1, 0, 0, 0, 1),
  (15, 1, 4, 'clubName',   '字符串', 20, 0, '社团名称', 1, 0, 0, 0, 1, 1),
  (16, 1, 4, 'mentor',     'Department', 0, 0, '指导院系', 1, 0, 0, 0, 0, 1);
