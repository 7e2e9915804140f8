#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One index of a class's table: its name, the members it covers in order (by name), and
// whether their values must be unique.
struct TClassIndex {
    QString indexName;
    QStringList indexMembers;
    int indexIsUnique = 0;

    bool operator==(const TClassIndex &other) const
    {
        return indexName == other.indexName && indexMembers == other.indexMembers
            && indexIsUnique == other.indexIsUnique;
    }
};

using TClassIndexes = QList<TClassIndex>;
