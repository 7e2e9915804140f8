#pragma once

#include <QString>

// Where a live MySQL or MariaDB database is and who reads it.
struct TDatabaseSource {
    QString database;
    QString socket;  // a local socket; empty for host and port
    QString host;    // empty with no socket: the server on this machine
    int port = 3306;
    QString user;
    QString password;
    QString prefix;  // only tables whose name starts with it, which it is taken off
    // The project will live on this database: its classes keep their tables' own names, the
    // application's tables go under a prefix of their own, and the connection is kept.
    bool inPlace = false;
};
