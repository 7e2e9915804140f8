-- Names of the database's own: a reserved word and a dash in table names, a reserved word as
-- a key column, a dash and a reserved word in other columns.
UPDATE t_class SET tableName = 'order' WHERE classId = 1;
UPDATE t_class SET tableName = 'my-club' WHERE classId = 4;
UPDATE t_member SET memberColumnName = 'key' WHERE memberId = 1;
UPDATE t_member SET memberColumnName = 'grade-name' WHERE memberId = 2;
UPDATE t_member SET memberColumnName = 'function' WHERE memberId = 15;
