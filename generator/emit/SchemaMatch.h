#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class TProjectModel;

// What a live database holds, as information_schema tells it.
struct TLiveColumn {
    QString name;
    QString type; // COLUMN_TYPE: "varchar(20)", "int(10) unsigned"
    bool nullable = false;
};

struct TLiveIndex {
    QString name; // "PRIMARY" for the key
    bool unique = false;
    QStringList columns;
};

struct TLiveTable {
    QString name;
    QList<TLiveColumn> columns;
    QList<TLiveIndex> indexes;
};

// A live database set against the tables a model's table script makes, for a database that
// does not say which version of the model it holds.
class TSchemaMatch {
public:
    // Each way the live tables differ from a fresh load of the model's table script under
    // prefix: tables, columns with their types and NULL, and indexes. The application's own
    // tables, and tables without the prefix, are left out. Empty when they agree.
    static QStringList Differences(const QList<TLiveTable> &live, const TProjectModel &model, const QString &prefix);
};
