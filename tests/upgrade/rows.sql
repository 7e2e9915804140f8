-- Rows of the base model's tables (prefix t_), loaded before the upgrade.
INSERT INTO t_Grade (gradeId, gradeName) VALUES (1, '一年级'), (2, '二年级');
INSERT INTO t_Department (deptNo, deptName) VALUES ('CS', '计算机'), ('EE', '电子');
INSERT INTO t_Student (studentId, studentName, age, score, birthday, photo, grade, department, remark) VALUES
  (1, '张三', 18, 90.5, '2006-01-02', 'a.jpg', 1, 'CS', '班长'),
  (2, '李四', 19, 80, '2005-03-04', 'b.jpg', 2, 'EE', NULL),
  (3, '王五', 20, 70, '2004-05-06', '', 1, 'EE', '很长的备注');
INSERT INTO t_Club (clubId, clubName, mentor) VALUES (1, '棋社', 'CS'), (2, '乐队', 'EE');
