-- The model database: projects, their classes, and the members of each class.
-- AUTOINCREMENT keeps a deleted id from ever being given out again.
CREATE TABLE t_project (
    projectId    INTEGER PRIMARY KEY AUTOINCREMENT,
    projectName  TEXT NOT NULL DEFAULT '',
    -- The character set of the project's tables; a new project is given utf8mb4.
    tableCharset TEXT NOT NULL DEFAULT 'utf8',
    -- A project living on a database it did not make: that database's connection (without
    -- the password) and the prefix of the application's own tables, as JSON; empty otherwise.
    existingDatabase TEXT NOT NULL DEFAULT ''
);

CREATE TABLE t_class (
    classId    INTEGER PRIMARY KEY AUTOINCREMENT,
    projectId  INTEGER NOT NULL DEFAULT 0,
    className  TEXT NOT NULL DEFAULT '',
    friendName TEXT NOT NULL DEFAULT '',
    -- The table's own name in the database; empty when it is the prefix and the class name.
    tableName  TEXT NOT NULL DEFAULT '',
    -- 1: its pages list, search and export rows but never add, change or delete one.
    classIsReadOnly INTEGER NOT NULL DEFAULT 0,
    -- Where the class's box was dragged to in the model diagram (its top-left corner); NULL
    -- while the diagram places the box itself.
    diagramX   INTEGER,
    diagramY   INTEGER,
    -- 1: several members together are the key (a link between two classes, or a natural key).
    compositeKey INTEGER NOT NULL DEFAULT 0
);

CREATE TABLE t_member (
    memberId           INTEGER PRIMARY KEY AUTOINCREMENT,
    projectId          INTEGER NOT NULL DEFAULT 0,
    classId            INTEGER NOT NULL DEFAULT 0,
    memberName         TEXT NOT NULL DEFAULT '',
    memberType         TEXT NOT NULL DEFAULT '',
    memberLength       INTEGER NOT NULL DEFAULT 0,
    memberIsPri        INTEGER NOT NULL DEFAULT 0,
    memberComment      TEXT NOT NULL DEFAULT '',
    memberIsMust       INTEGER NOT NULL DEFAULT 0,
    memberIsInteger    INTEGER NOT NULL DEFAULT 0,
    memberIsFloat      INTEGER NOT NULL DEFAULT 0,
    queryFlag          INTEGER NOT NULL DEFAULT 0,
    memberIsDisplay    INTEGER NOT NULL DEFAULT 0,
    memberQueryDisplay INTEGER NOT NULL DEFAULT 1,
    -- Position of the member in its class. Unique over the table, so a project's members
    -- sorted by it keep each class's order; a new member goes last.
    memberOrder        INTEGER NOT NULL DEFAULT 0,
    memberScale        INTEGER NOT NULL DEFAULT 0,
    memberIsUnsigned   INTEGER NOT NULL DEFAULT 0,
    memberIsNullable   INTEGER NOT NULL DEFAULT 0,
    memberOnDelete     TEXT NOT NULL DEFAULT 'RESTRICT',
    memberOnUpdate     TEXT NOT NULL DEFAULT 'RESTRICT',
    -- The values of an enumeration as a JSON array of texts; empty for the other types.
    memberEnumValues   TEXT NOT NULL DEFAULT '',
    -- The column's own name in the database; empty when it is the member's name.
    memberColumnName   TEXT NOT NULL DEFAULT '',
    -- The column exactly as the database has it (see TMember); empty: as 类型 makes it.
    memberSqlType      TEXT NOT NULL DEFAULT '',
    memberIsZerofill   INTEGER NOT NULL DEFAULT 0,
    memberAutoIncrement INTEGER NOT NULL DEFAULT 0,
    memberDefault      TEXT NOT NULL DEFAULT '',
    memberOnUpdateNow  INTEGER NOT NULL DEFAULT 0,
    memberCharset      TEXT NOT NULL DEFAULT '',
    memberCollation    TEXT NOT NULL DEFAULT ''
);

-- The indexes of each class's table, in the order of their ids.
CREATE TABLE t_index (
    indexId       INTEGER PRIMARY KEY AUTOINCREMENT,
    projectId     INTEGER NOT NULL DEFAULT 0,
    classId       INTEGER NOT NULL DEFAULT 0,
    indexName     TEXT NOT NULL DEFAULT '',
    indexIsUnique INTEGER NOT NULL DEFAULT 0
);

-- The members of each index by id, so that renaming a member keeps its indexes.
CREATE TABLE t_index_member (
    indexId         INTEGER NOT NULL,
    memberId        INTEGER NOT NULL,
    indexMemberSeq  INTEGER NOT NULL DEFAULT 0,
    -- The leading characters of the member the index holds; 0: the whole value.
    indexMemberPrefix INTEGER NOT NULL DEFAULT 0
);

CREATE INDEX t_class_project ON t_class(projectId);
CREATE INDEX t_member_class ON t_member(classId);
CREATE INDEX t_member_project_type ON t_member(projectId, memberType);
CREATE INDEX t_index_class ON t_index(classId);
CREATE INDEX t_index_member_index ON t_index_member(indexId);
