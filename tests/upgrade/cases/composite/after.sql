SELECT studentId, studentName FROM t_Student ORDER BY studentId; SELECT clubId, clubName FROM t_Club ORDER BY clubId;
