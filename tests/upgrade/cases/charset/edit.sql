-- The tables converted to utf8mb4: text keys and the references to them change together, a
-- new unique index compares exactly, the other text columns stop minding case; a member is
-- removed so that the kept column stays as it was.
UPDATE t_project SET tableCharset = 'utf8mb4';
INSERT INTO t_index (indexId, projectId, classId, indexName, indexIsUnique) VALUES (1, 1, 2, 'u_deptName', 1);
INSERT INTO t_index_member (indexId, memberId, indexMemberSeq) VALUES (1, 4, 1);
DELETE FROM t_member WHERE memberId = 10;
