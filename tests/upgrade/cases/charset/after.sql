SELECT studentId, studentName, remark, department FROM t_Student ORDER BY studentId; SELECT * FROM t_Department ORDER BY deptNo; SELECT * FROM t_Club ORDER BY clubId;
