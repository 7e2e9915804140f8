#include "FormCommon.h"

#include "NameRules.h"
#include "UserInteraction.h"
#include "generator/run/GenerationError.h"
#include "generator/check/ModelChecker.h"
#include "model/ClassDAO.h"
#include "model/DbHelper.h"

#include <QApplication>

QFont FormFont()
{
    QFont font = QApplication::font();
    font.setPixelSize(12);
    return font;
}

bool RunCommand(TUserInteraction &ui, QWidget *parent, const std::function<void()> &command)
{
    QString failure;
    try {
        command();
        return true;
    } catch (const TDbError &error) {
        failure = error.message();
    } catch (const TGenerationError &error) {
        failure = error.message();
    } catch (const std::exception &error) {
        failure = QString::fromUtf8(error.what());
    }
    // Shown outside the handler, so that nothing of the failed call is still on the stack.
    ui.message(parent, failure, TMessageKind::Error);
    return false;
}

QString ClassNameTaken(int projectId, int classId, const QString &className)
{
    for (const TListEntry &entry : TClassDAO().GetOtherClasses(projectId, classId)) {
        if (entry.name == className)
            return QStringLiteral("该类名称已经存在!");
        if (TModelChecker::SameName(entry.name, className))
            return QStringLiteral("该类名称已经存在(不区分大小写)!");
    }
    return QString();
}

QString ClassRefusal(int projectId, int classId, const QString &className, const QString &friendName)
{
    QString refusal = NameRules::ClassNameRefusal(className);
    if (refusal.isEmpty())
        refusal = ClassNameTaken(projectId, classId, className);
    if (refusal.isEmpty())
        refusal = NameRules::TextRefusal(QStringLiteral("友好名称"), friendName);
    return refusal;
}

TFormDialog::TFormDialog(QWidget *parent, const QString &caption, int clientWidth,
                         int clientHeight)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setWindowTitle(caption);
    setFont(FormFont());
    setFixedSize(clientWidth, clientHeight);
}
