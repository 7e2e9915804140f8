SELECT studentId, studentName, age, grade, department FROM t_Student ORDER BY studentId; SELECT * FROM t_Club ORDER BY clubId;
