SELECT studentId, studentName, age, remark FROM t_Student ORDER BY studentId; SELECT * FROM t_Grade ORDER BY gradeId;
