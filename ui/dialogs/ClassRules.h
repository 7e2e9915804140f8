#pragma once

#include <QString>

// The rules the class dialogs share beyond their own checks.
namespace ClassRules {

// The refusal of a class name that another class of the project has, compared without regard
// to case (file systems and MySQL on Windows do not tell them apart); empty when it is free.
// classId is the class being renamed, 0 for a new one. Throws TDbError.
QString NameTaken(int projectId, int classId, const QString &className);

// The checker's rules on a class as the class dialogs take it, after their own rules: the
// name, then a name another class has, then the friendly name; empty when all pass.
QString Refusal(int projectId, int classId, const QString &className, const QString &friendName);

} // namespace ClassRules
