#pragma once

#include "model/ModelDocument.h"

#include <QList>
#include <QStringList>

// The last step of reading a database: every member arrives with its column's exact type,
// character set and collation, and legacy holds each (in the document's order) as its 类型
// alone makes it. A member keeps the exact form only where the table script would write
// another column from the plain one, so a model of the program's own tables comes back as it
// was. An index the model checker would refuse is left out, each with a warning.
void KeepExactWhereNeeded(TModelDocument &document, const QList<TMember> &legacy, QStringList &warnings);
