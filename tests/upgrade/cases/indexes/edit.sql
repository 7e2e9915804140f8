-- One index dropped, one made unique, one a foreign key stood on dropped (the key gets its own
-- again), one starting with another reference added (that key's own index goes), one unique
-- index grown by a member; rules changed on three references, one of them made nullable.
DELETE FROM t_index_member WHERE indexId IN (1, 3);
DELETE FROM t_index WHERE indexId IN (1, 3);
UPDATE t_index SET indexIsUnique = 1 WHERE indexId = 2;
INSERT INTO t_index (indexId, projectId, classId, indexName, indexIsUnique) VALUES (5, 1, 3, 'k_grade_name', 0);
INSERT INTO t_index_member (indexId, memberId, indexMemberSeq) VALUES (5, 11, 1), (5, 6, 2), (4, 16, 2);
UPDATE t_member SET memberOnDelete = 'RESTRICT', memberOnUpdate = 'CASCADE' WHERE memberId = 12;
UPDATE t_member SET memberOnDelete = 'CASCADE' WHERE memberId = 11;
UPDATE t_member SET memberIsNullable = 1, memberOnDelete = 'SET NULL', memberOnUpdate = 'SET NULL' WHERE memberId = 16;
