-- The base model's rows under the tables' and columns' own names.
INSERT INTO `order` (`key`, `grade-name`) VALUES (1, '一年级'), (2, '二年级');
INSERT INTO t_Department (deptNo, deptName) VALUES ('CS', '计算机'), ('EE', '电子');
INSERT INTO t_Student (studentId, studentName, age, score, birthday, photo, grade, department, remark) VALUES
  (1, '张三', 18, 90.5, '2006-01-02', 'a.jpg', 1, 'CS', '班长'),
  (2, '李四', 19, 80, '2005-03-04', 'b.jpg', 2, 'EE', NULL);
INSERT INTO `my-club` (clubId, `function`, mentor) VALUES (1, '棋社', 'CS'), (2, '乐队', 'EE');
