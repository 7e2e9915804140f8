#pragma once

#include "ProjectModel.h"

#include <QString>

// What the management page and the request guard both need to know of a member: its heading,
// whether a value must be entered, and the field description (<class>.fields.json) the guard
// checks every submitted form against.
namespace PageFields {

// The heading of a member: its comment, or its name when the comment is empty.
QString Label(const TMember &member);
// Line breaks as blanks.
QString OneLine(QString text);
// Whether a value must be entered: asked for by the model, or a column that is NOT NULL
// without a default (the key, numbers, dates and times, enumerations, references). A checkbox
// always sends a value.
bool NeedsValue(const TMember &member);
// A nullable member, not the key: an empty field is stored as NULL.
bool SavesEmptyAsNull(const TMember &member);

QString BuildFieldsJson(const TProjectModel &model, const TClassModel &cls,
                        const QString &projectName, const QString &tablePrefix);

} // namespace PageFields
