#include "ui/dialogs/ClassRules.h"

#include "generator/check/ModelChecker.h"
#include "model/ClassDAO.h"
#include "ui/NameRules.h"

namespace ClassRules {

QString NameTaken(int projectId, int classId, const QString &className)
{
    for (const TListEntry &entry : TClassDAO().GetOtherClasses(projectId, classId)) {
        if (entry.name == className)
            return QStringLiteral("该类名称已经存在!");
        if (TModelChecker::SameName(entry.name, className))
            return QStringLiteral("该类名称已经存在(不区分大小写)!");
    }
    return QString();
}

QString Refusal(int projectId, int classId, const QString &className, const QString &friendName)
{
    QString refusal = NameRules::ClassNameRefusal(className);
    if (refusal.isEmpty())
        refusal = NameTaken(projectId, classId, className);
    if (refusal.isEmpty())
        refusal = NameRules::TextRefusal(QStringLiteral("友好名称"), friendName);
    return refusal;
}

} // namespace ClassRules
