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
    // How many leading characters (bytes for binary) of each member the index holds, in the
    // members' order; 0 or missing: the whole value. Empty for an index of whole values.
    QList<int> indexPrefixes;

    int Prefix(qsizetype i) const { return i < indexPrefixes.size() ? indexPrefixes.at(i) : 0; }
    bool operator==(const TClassIndex &other) const
    {
        const auto samePrefixes = [&] {
            for (qsizetype i = 0; i < indexMembers.size(); ++i) {
                if (Prefix(i) != other.Prefix(i))
                    return false;
            }
            return true;
        };
        return indexName == other.indexName && indexMembers == other.indexMembers
            && indexIsUnique == other.indexIsUnique && samePrefixes();
    }
};

using TClassIndexes = QList<TClassIndex>;
