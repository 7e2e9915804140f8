#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>

// A project that lives on a database it did not make: where that database is, as the import
// reached it, and the prefix of the application's own tables (administrators, login back-off,
// roles and the rest) beside the user's tables. The password is never kept.
struct TExistingDatabase {
    QString appPrefix;
    QString database;
    QString host;   // empty with a socket, or for the server on this machine
    int port = 3306;
    QString socket; // a local socket; empty for host and port
    QString user;

    QJsonObject ToJson() const;
    // The setting an object holds; null with *problem set when it is none.
    static std::optional<TExistingDatabase> FromJson(const QJsonObject &object, QString *problem);
    // As the model database keeps it: compact JSON, empty text for an ordinary project.
    static QString ToText(const std::optional<TExistingDatabase> &setting);
    static std::optional<TExistingDatabase> FromText(const QString &text);

    // "velmora_", else "velmora2_", "velmora3_"…: the first prefix no table name starts with,
    // or one whose administrators' table is there already (an application made before).
    static QString ChoosePrefix(const QStringList &tableNames);
};
