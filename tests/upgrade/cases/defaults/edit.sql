-- A default changed on a small integer narrowed to a tiny one, a length narrowed below the
-- base's, and the time stamp's comment changed (its ON UPDATE kept).
UPDATE t_member SET memberDefault = '18', memberSqlType = 'tinyint', memberLength = 4 WHERE memberId = 7;
UPDATE t_member SET memberSqlType = 'char', memberLength = 40 WHERE memberId = 13;
UPDATE t_member SET memberComment = '最后修改' WHERE memberId = 30;
