#include "ui/ModelTransferMenu.h"

#include "ui/dialogs/FormImportDatabase.h"
#include "ui/OffThread.h"
#include "ui/UserInteraction.h"

#include "import/ImportError.h"
#include "import/ModelImport.h"
#include "model/DbHelper.h"
#include "model/ProjectDAO.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMenu>

#include <memory>
#include <optional>

namespace {

const QString fileFilter = QStringLiteral("模型文件 (*.json);;所有文件 (*)");

QString projectName(int projectId)
{
    for (const TListEntry &project : TProjectDAO().GetProjects()) {
        if (project.id == projectId)
            return project.name;
    }
    return QString();
}

QString storedText(const QString &name, const TModelDocument &document)
{
    int members = 0;
    for (const TModelClass &cls : document.classes)
        members += int(cls.members.size());
    const QString note = TModelImport::InPlaceNote(document);
    return QStringLiteral("已导入项目\"%1\": %2个类, %3个成员").arg(name).arg(document.classes.size()).arg(members)
        + (note.isEmpty() ? QString() : QLatin1Char('\n') + note);
}

} // namespace

TModelTransferMenu::TModelTransferMenu(QMenu *menu, QWidget *window, TUserInteraction &ui,
                                       TSelectedProject selectedProject, TReloadProjects reloadProjects)
    : QObject(menu), window_(window), ui_(ui), selectedProject_(std::move(selectedProject)),
      reloadProjects_(std::move(reloadProjects))
{
    const auto add = [&](const char *name, const QString &caption, void (TModelTransferMenu::*handler)()) {
        QAction *action = menu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, handler);
    };
    menu->addSeparator();
    add("ExportModel", QStringLiteral("导出模型(&O)…"), &TModelTransferMenu::ExportModel);
    add("ImportModel", QStringLiteral("导入模型(&I)…"), &TModelTransferMenu::ImportModel);
    add("ImportDatabase", QStringLiteral("从数据库导入(&R)…"), &TModelTransferMenu::ImportDatabase);
}

void TModelTransferMenu::Guard(const std::function<void()> &command)
{
    try {
        command();
    } catch (const TImportError &error) {
        const QString lead = error.refused() ? QStringLiteral("没有导入，请先修改以下问题:\n") : QString();
        ui_.message(window_, lead + error.messages().join(QLatin1Char('\n')), TMessageKind::Error);
    } catch (const TDbError &error) {
        ui_.message(window_, error.message(), TMessageKind::Error);
    }
}

void TModelTransferMenu::ExportModel()
{
    Guard([this] {
        const int projectId = selectedProject_();
        if (projectId == -1) {
            ui_.message(window_, QStringLiteral("当前未有任何项目被选中!"));
            return;
        }
        const QString name = projectName(projectId);
        const QString path = ui_.chooseFile(window_, true, QStringLiteral("导出模型"),
                                            name + QStringLiteral(".json"), fileFilter);
        if (path.isEmpty())
            return;
        TModelImport::ExportProject(name, path);
        ui_.message(window_, QStringLiteral("模型已导出到 %1").arg(QDir::toNativeSeparators(path)),
                    TMessageKind::Information);
    });
}

void TModelTransferMenu::ImportModel()
{
    Guard([this] {
        const QString path = ui_.chooseFile(window_, false, QStringLiteral("导入模型"), QString(), fileFilter);
        if (path.isEmpty())
            return;
        TModelDocument document = TModelImport::ReadModelFile(path);
        if (TProjectDAO().CountByName(document.projectName) > 0) {
            const QString name = ui_.input(window_, QStringLiteral("导入模型"),
                                           QStringLiteral("已经有名为\"%1\"的项目，请输入导入后的项目名称:")
                                               .arg(document.projectName),
                                           QString());
            if (name.isEmpty())
                return;
            document.projectName = name;
        }
        TModelImport::Store(document, document.projectName, QStringLiteral("t_"), true);
        reloadProjects_();
        ui_.message(window_, storedText(document.projectName, document), TMessageKind::Information);
    });
}

void TModelTransferMenu::ImportDatabase()
{
    Guard([this] {
        TFormImportDatabase dialog(window_);
        if (dialog.exec() != QDialog::Accepted)
            return;
        const TDatabaseSource source = dialog.Source();
        const QString name = dialog.ProjectName();
        if (TProjectDAO().CountByName(name) > 0)
            throw TImportError({QStringLiteral("已经有名为\"%1\"的项目，请另取一个名称导入").arg(name)}, false);
        const TDatabaseReading reading = RunOffThread(window_, [&] { return TDatabaseImport::Read(source); });
        const QString prefix = source.prefix.isEmpty() ? QStringLiteral("t_") : source.prefix;
        QString warnings;
        if (!reading.warnings.isEmpty())
            warnings = QStringLiteral("\n\n以下内容没有照原样导入:\n") + reading.warnings.join(QLatin1Char('\n'));
        try {
            TModelImport::Store(reading.document, name, prefix, false);
        } catch (const TImportError &error) {
            if (!error.refused())
                throw;
            ui_.message(window_, QStringLiteral("模型检查未通过，没有导入。请在数据库中修改以下问题后重新导入:\n")
                                     + error.messages().join(QLatin1Char('\n')) + warnings,
                        TMessageKind::Error);
            return;
        }
        reloadProjects_();
        ui_.message(window_, storedText(name, reading.document) + warnings, TMessageKind::Information);
    });
}
