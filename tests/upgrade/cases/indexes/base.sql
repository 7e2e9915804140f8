-- Indexes and rules to change: a unique name, a plain index, an index a foreign key stands on,
-- and a reference deleted with its department.
INSERT INTO t_index (indexId, projectId, classId, indexName, indexIsUnique) VALUES
  (1, 1, 1, 'u_gradeName', 1),
  (2, 1, 3, 'k_age', 0),
  (3, 1, 3, 'k_department_age', 0),
  (4, 1, 4, 'u_club', 1);
INSERT INTO t_index_member (indexId, memberId, indexMemberSeq) VALUES
  (1, 2, 1), (2, 7, 1), (3, 12, 1), (3, 7, 2), (4, 15, 1);
UPDATE t_member SET memberOnDelete = 'CASCADE' WHERE memberId = 12;
