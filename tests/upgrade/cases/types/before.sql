SELECT studentId, age, CAST(score AS DECIMAL(6,2)), DATE(birthday), remark, grade FROM t_Student ORDER BY studentId; SELECT * FROM t_Grade ORDER BY gradeId;
