#pragma once

#include <QList>
#include <QString>

// A name with the id of its row: one entry of the project selector or of the class list.
struct TListEntry {
    QString name;
    int id = 0;

    bool operator==(const TListEntry &other) const { return name == other.name && id == other.id; }
};

using TProjectList = QList<TListEntry>;
using TClassList = QList<TListEntry>;
