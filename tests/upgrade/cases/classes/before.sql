SELECT s.studentId, s.studentName, g.gradeName, d.deptName FROM t_Student s JOIN t_Grade g ON s.grade = g.gradeId JOIN t_Department d ON s.department = d.deptNo ORDER BY s.studentId;
