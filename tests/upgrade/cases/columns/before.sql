SELECT studentId, studentName, age, birthday, photo, grade, department FROM t_Student ORDER BY studentId; SELECT * FROM t_Department ORDER BY deptNo;
