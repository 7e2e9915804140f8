#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// The model database's tables as model/schema.sql declares them. A new database is made from
// it, and a database an older version of the program wrote is brought up to it on opening.
class TModelSchema {
public:
    struct TTable {
        QString name;
        QString create;           // its CREATE TABLE statement
        QStringList indexes;      // its CREATE INDEX statements
        QList<std::pair<QString, QString>> columns; // name, declaration after the name
    };

    // Parsed once from the compiled-in schema.sql. Throws TDbError when it is missing.
    static const TModelSchema &Current();

    // Every statement, in order: what a new, empty database runs.
    const QStringList &Statements() const { return statements_; }
    const QList<TTable> &Tables() const { return tables_; }

    // Adds the tables and columns that a database written by an earlier version lacks, all in
    // one transaction, with the values that mean "as before". A database that lacks one of the
    // first tables, or one of their first columns, is no sound model database and is left
    // alone. Throws TDbError, naming path.
    void BringUpToDate(const QSqlDatabase &db, const QString &path) const;
    // What of the tables and columns the open database lacks, worded for the user; empty when
    // it has them all.
    QString Missing(const QSqlDatabase &db) const;

private:
    explicit TModelSchema(const QString &text);
    QStringList Additions(const QSqlDatabase &db) const;

    QStringList statements_;
    QList<TTable> tables_;
};
