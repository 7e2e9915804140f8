#pragma once

#include "DatabaseSource.h"

#include "model/ModelDocument.h"

#include <QString>
#include <QStringList>

// The model read from a database, and what of the database it could not take over.
struct TDatabaseReading {
    TModelDocument document;
    QStringList warnings;
};

// Reads the tables of a live database (through information_schema) as a model. Each table
// becomes a class named after it, its comment the friendly name; each column a member of the
// type ColumnMapping gives it, with its length, scale, 无符号 and enumeration values, and, where
// the table script would otherwise write another column, its exact type, default, ON UPDATE,
// AUTO_INCREMENT, character set and collation (ExactColumns); index prefixes are kept; a one-column
// foreign key to the key of an imported table becomes a reference to its class, with its
// ON DELETE / ON UPDATE rules; the other indexes become the class's indexes.
// The primary key is the key member; NOT NULL is required, NULL 允许空; the column comment the
// member's. The project's tables are utf8 when every imported table is, else utf8mb4.
// The display member is the first text member after the key, the key when there is none.
// A table or column whose name PHP cannot carry gets a class or member name derived from it
// (ImportNames) and keeps its own as table or column name. A table without a primary key takes
// the column of a one-column, NOT NULL unique index as key, or else becomes a read-only class.
// Tables with a composite key, columns of other types, generated columns, check constraints,
// references to tables left out and indexes the model cannot hold are skipped or taken as plain
// columns, each with a warning saying which and why. A class with a NOT NULL column without a
// default that its pages cannot fill in is read-only, with a warning. Classes come in table-name order: a database keeps no order of its tables.
// In place, every table is the user's but those under the application's prefix (chosen by
// TExistingDatabase::ChoosePrefix), and the document holds the connection without the password.
class TDatabaseImport {
public:
    // Throws TImportError (not refused) when the server cannot be reached or read.
    static TDatabaseReading Read(const TDatabaseSource &source);
};
