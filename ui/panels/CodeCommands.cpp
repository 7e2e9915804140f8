#include "ui/panels/CodeCommands.h"

#include "generator/output/GenerationTarget.h"
#include "generator/check/ModelChecker.h"
#include "generator/check/ProjectModel.h"
#include "generator/record/ReadSnapshot.h"
#include "import/ModelImport.h"
#include "model/ClassDAO.h"
#include "ui/CommandRun.h"
#include "ui/Feedback.h"
#include "ui/dialogs/CheckModelForm.h"
#include "ui/dialogs/DataBaseSqlForm.h"
#include "ui/dialogs/DiagramForm.h"
#include "ui/panels/ProjectPanel.h"

#include <QAction>

TCodeCommands::TCodeCommands(TFeedback &feedback, const TProjectPanel &projects,
                             const QString &programDir, QWidget *window, TGoTo goTo)
    : QObject(window), feedback_(feedback), projects_(projects), programDir_(programDir),
      window_(window), goTo_(std::move(goTo))
{
    sql1 = AddCommand("sql1", QStringLiteral("生成建表sql语句(&Q)"), &TCodeCommands::sql1Click);
    upgrade1 = AddCommand("upgrade1", QStringLiteral("生成数据库升级脚本(&U)"), &TCodeCommands::upgrade1Click);
    Check1 = AddCommand("Check1", QStringLiteral("检查模型(&C)"), &TCodeCommands::Check1Click);
    Diagram1 = AddCommand("Diagram1", QStringLiteral("模型图(&D)"), &TCodeCommands::Diagram1Click);
}

QAction *TCodeCommands::AddCommand(const char *name, const QString &caption,
                                   void (TCodeCommands::*handler)())
{
    auto *action = new QAction(caption, this);
    action->setObjectName(QLatin1String(name));
    connect(action, &QAction::triggered, this, handler);
    return action;
}

void TCodeCommands::OnProject(const std::function<void(int projectId)> &command)
{
    RunCommand(feedback_.Ui(), window_, [&] {
        const int projectId = projects_.SelectedProjectId();
        if (projectId == -1) {
            feedback_.Ui().message(window_, QStringLiteral("当前未有任何项目被选中!"));
            return;
        }
        command(projectId);
    });
}

void TCodeCommands::sql1Click()
{
    OnProject([this](int projectId) {
        TGenerationTarget target;
        target.outputRoot = programDir_;
        target.projectName = projects_.SelectedProjectName();
        TDataBaseSqlForm form(window_, feedback_.Ui(), target.projectName + QStringLiteral(".sql"));
        form.SetProjectId(projectId);
        form.SetTablePrefix(projects_.TablePrefix());
        // A model without a script, or a missing template, stops here with its message.
        form.FormShow(programDir_, target.OutputDir());
        form.exec();
    });
}

void TCodeCommands::upgrade1Click()
{
    OnProject([this](int projectId) {
        TGenerationTarget target;
        target.outputRoot = programDir_;
        target.projectName = projects_.SelectedProjectName();
        TDataBaseSqlForm form(window_, feedback_.Ui(), target.projectName + QStringLiteral("_upgrade.sql"));
        form.SetProjectId(projectId);
        // The prefix the next generation writes into the code, which the database must follow.
        form.SetTablePrefix(projects_.TablePrefix());
        // No generation record, a refused model or a missing template stops here with its message.
        form.FormShowUpgrade(programDir_, target.OutputDir());
        form.exec();
    });
}

void TCodeCommands::Check1Click()
{
    OnProject([this](int projectId) {
        const TProjectModel model = [projectId] {
            const TReadSnapshot snapshot;
            return TProjectModel::Load(projectId);
        }();
        const TModelFindings findings =
            TModelChecker::Check(model, projects_.SelectedProjectName(), projects_.TablePrefix());
        TCheckModelForm form(window_, findings);
        if (form.exec() != QDialog::Accepted)
            return;
        if (const std::optional<TModelFinding> chosen = form.Chosen(); chosen && chosen->classId != 0)
            goTo_(chosen->classId, chosen->memberId);
    });
}

void TCodeCommands::Diagram1Click()
{
    OnProject([this](int projectId) {
        QList<int> classIds;
        const TModelDocument model = TModelImport::ReadProject(projectId, projects_.SelectedProjectName(), &classIds);
        TDiagramForm form(window_, feedback_.Ui(), model.projectName, model.classes, classIds);
        form.exec();
        const TClassDAO classes;
        if (form.LaidOutAgain())
            classes.ClearDiagramPositions(projectId);
        classes.SetDiagramPositions(form.DraggedBoxes());
        if (const std::optional<int> chosen = form.ChosenClass())
            goTo_(*chosen, 0);
    });
}
