#pragma once

#include "DatabaseImport.h"

#include <QString>
#include <QStringList>

// Which recorded version of the model a live database holds.
struct TDatabaseVersion {
    int version = 0;
    // Read from the application's version table; otherwise the version whose fresh tables
    // are the closest to the database's.
    bool held = false;
    QStringList differences; // of a matched version: how the database differs from it

    // What was found, in lines for the user.
    QStringList Report() const;
};

// Finds the version of the generation record in outputDir that a database of the project holds.
// A database that says which version it holds, under the prefix of any recorded version, is
// taken at its word when the record has that version. Any other, such as one made by an older
// script, is compared through information_schema with the tables each recorded version's table
// script makes (tables, columns with their types and NULL, indexes); the version with the
// fewest differences is proposed, the newer of equals.
class TDatabaseVersionFinder {
public:
    // Throws TImportError (not refused) when the server cannot be reached or read, or the
    // record holds no version.
    static TDatabaseVersion Find(const TDatabaseSource &source, const QString &outputDir);
};
