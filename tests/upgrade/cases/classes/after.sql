SELECT s.studentId, s.studentName, g.gradeName, d.deptName FROM x_Student s JOIN x_Level g ON s.grade = g.gradeId JOIN x_Department d ON s.department = d.deptNo ORDER BY s.studentId;
