#pragma once

#include "DbError.h"

#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <stdexcept>

// One statement with the values bound to its "?" placeholders, in order.
struct TSqlStatement {
    QString sql;
    QVariantList values;
};

// The one way into the model database file. Every thread gets its own connection to the file
// (Qt allows a connection only in the thread that opened it); WAL and a busy timeout let the
// interface thread read while a generation run writes, and the other way round.
// The helper never creates the database: a missing or foreign file is a TDbError on every call.
class TDbHelper {
public:
    explicit TDbHelper(QString databaseFile = DefaultDatabaseFile());
    virtual ~TDbHelper() = default;

    // projects.mdb in the program folder; the front ends set it once at start.
    static QString DefaultDatabaseFile();
    static void SetDefaultDatabaseFile(const QString &path);

    QString DatabaseFile() const { return databaseFile_; }

    // The calling thread's own open connection, opened on first use.
    QSqlDatabase GetConnection() const;
    // The executed query, positioned before its first row.
    QSqlQuery OpenQuery(const QString &sql, const QVariantList &values = {}) const;
    void ExecuteSql(const QString &sql, const QVariantList &values = {}) const;
    // All statements in one transaction; on any failure rolls back and throws.
    void ExecuteBatch(const QList<TSqlStatement> &statements) const;
    // First column of the first row; -1 when there is no row.
    int QueryInteger(const QString &sql, const QVariantList &values = {}) const;
    // First column of the first row; empty text when there is no row.
    QString QueryString(const QString &sql, const QVariantList &values = {}) const;

    // Writes a new, empty model database at path. Refuses (TDbError) when the file exists.
    static void CreateEmptyDatabase(const QString &path);

private:
    QString databaseFile_;
};
