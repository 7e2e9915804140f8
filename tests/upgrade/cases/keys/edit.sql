-- Key changes: Department gets a new integer key (its references follow), Club's key moves to
-- an existing text member, Grade's key is renamed; a reference is pointed at another class.
UPDATE t_member SET memberIsPri = 0 WHERE memberId = 3;
INSERT INTO t_member (memberId, projectId, classId, memberName, memberType, memberLength, memberIsPri, memberComment, memberIsMust, memberIsInteger, memberIsFloat, queryFlag, memberIsDisplay, memberQueryDisplay) VALUES (40, 1, 2, 'deptId', '整型', 0, 1, '院系编号', 1, 1, 0, 0, 0, 1);
UPDATE t_member SET memberIsPri = 0 WHERE memberId = 14;
UPDATE t_member SET memberIsPri = 1 WHERE memberId = 15;
UPDATE t_member SET memberName = 'levelId' WHERE memberId = 1;
UPDATE t_member SET memberType = 'Grade' WHERE memberId = 16;
