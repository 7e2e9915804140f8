#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QAction;
class QWidget;
class TFeedback;
class TProjectPanel;

// 代码管理's commands that open a window on the selected project: the table script, the
// database upgrade script, the model check and the model diagram.
class TCodeCommands : public QObject {
    Q_OBJECT
public:
    // Selects a class and, unless memberId is 0, one of its members.
    using TGoTo = std::function<void(int classId, int memberId)>;

    TCodeCommands(TFeedback &feedback, const TProjectPanel &projects, const QString &programDir,
                  QWidget *window, TGoTo goTo);

    QAction *ScriptCommand() const { return sql1; }
    QAction *UpgradeCommand() const { return upgrade1; }
    QAction *CheckCommand() const { return Check1; }
    QAction *DiagramCommand() const { return Diagram1; }

public slots:
    void sql1Click(); // table-creation script
    void upgrade1Click(); // database upgrade script
    void Check1Click(); // check the model
    void Diagram1Click(); // the model diagram, whose boxes' places are kept with the model

private:
    QAction *AddCommand(const char *name, const QString &caption, void (TCodeCommands::*handler)());
    // Runs command on the selected project; without one, says so.
    void OnProject(const std::function<void(int projectId)> &command);

    TFeedback &feedback_;
    const TProjectPanel &projects_;
    QString programDir_;
    QWidget *window_;
    TGoTo goTo_;
    QAction *sql1, *upgrade1, *Check1, *Diagram1;
};
