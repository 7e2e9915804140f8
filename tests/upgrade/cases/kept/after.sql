SELECT studentId, remark_v1 FROM t_Student ORDER BY studentId; SELECT clubId, clubName, mentor FROM t_Club_v1 ORDER BY clubId; SELECT gradeId, gradeName FROM t_Grade ORDER BY gradeId;
