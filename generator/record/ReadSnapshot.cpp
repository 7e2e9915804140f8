#include "ReadSnapshot.h"

#include <QSqlQuery>

TReadSnapshot::TReadSnapshot(TDbHelper db) : db_(std::move(db))
{
    db_.ExecuteSql(QStringLiteral("BEGIN"));
}

TReadSnapshot::~TReadSnapshot()
{
    // Nothing was written; ending the transaction only releases the snapshot.
    try {
        QSqlQuery(db_.GetConnection()).exec(QStringLiteral("ROLLBACK"));
    } catch (...) {
    }
}
