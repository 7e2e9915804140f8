#pragma once

#include "DbHelper.h"
#include "ListEntry.h"
#include "Member.h"

#include <QHash>
#include <QList>

// What the main window shows when it opens: every project, the classes of the first project
// with their friendly names, and the members of its first class. Read together, so that the
// window can take them from another thread and show them in its very first frame.
struct TStartLists {
    TProjectList projects;
    TClassList classes;
    QHash<int, QString> friendNames;
    QList<TMember> members;

    // Throws TDbError like the stores.
    static TStartLists Read(const TDbHelper &db = TDbHelper());
};
