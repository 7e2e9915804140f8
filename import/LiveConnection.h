#pragma once

#include "DatabaseImport.h"

#include <QSqlDatabase>
#include <QString>
#include <QVariant>

class QSqlQuery;

// An open connection to a MySQL or MariaDB database, closed and given up when it goes.
// Failures are TImportError (not refused), worded after `task`, such as "从数据库导入失败".
class TLiveConnection {
public:
    TLiveConnection(const TDatabaseSource &source, const QString &task);
    ~TLiveConnection();
    TLiveConnection(const TLiveConnection &) = delete;
    TLiveConnection &operator=(const TLiveConnection &) = delete;

    const QSqlDatabase &Db() const { return db_; }
    // A forward-only query with its values bound; throws when the server refuses it.
    QSqlQuery Run(const QString &sql, const QVariantList &values) const;

private:
    QString name_;
    QString task_;
    QSqlDatabase db_;
};
