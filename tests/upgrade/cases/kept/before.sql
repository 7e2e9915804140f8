SELECT studentId, remark FROM t_Student ORDER BY studentId; SELECT clubId, clubName, mentor FROM t_Club ORDER BY clubId; SELECT gradeId, gradeName FROM t_Grade ORDER BY gradeId;
