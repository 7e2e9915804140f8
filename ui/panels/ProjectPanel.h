#pragma once

#include "model/ListEntry.h"

#include <QHash>
#include <QString>
#include <QWidget>

#include <functional>

class QAction;
class QComboBox;
class QKeyEvent;
class QLabel;
class QListWidget;
class TFeedback;
struct TStartLists;

// The project selector (CB_Project), the class list of the selected project (LB_Object), and
// the commands on projects and classes. The selection is what the two controls show. Whatever
// shows the members of a class is told each time the selected class changes.
class TProjectPanel : public QWidget {
    Q_OBJECT
public:
    TProjectPanel(TFeedback &feedback, const QString &programDir, QWidget *parent);

    // Shows the members of a class, or none for -1. May throw TDbError like the stores.
    using TShowClass = std::function<void(int classId)>;
    void SetShowClass(TShowClass show) { showClass_ = std::move(show); }

    // 新建项目 … 复制类, 编辑索引, in menu order.
    QList<QAction *> Commands() const;
    // 设置表名前缀.
    QAction *PrefixCommand() const { return N4; }
    QListWidget *ClassList() const { return LB_Object; }

    // Refill the project selector (and through LoadClasses the class list) and the class
    // list of a project. They throw TDbError like the stores.
    void LoadProjects();
    void LoadClasses(int projectId);
    // Fills the project selector and the class list of a panel that has shown nothing yet
    // from lists read beforehand (the first project is selected); the members are the
    // caller's to show.
    void ShowStartLists(const TStartLists &lists);

    // -1 when nothing is selected.
    int SelectedProjectId() const;
    QString SelectedProjectName() const;
    int SelectedClassId() const;
    // The class name of the selected class (the list shows "Name (friendly name)").
    QString SelectedClassText() const;
    // Gives the selected entry a new class name; its friendly name is read again.
    void SetSelectedClassText(const QString &text);
    // Selects the class and shows its members; false when the list does not hold it.
    bool SelectClass(int classId);
    // The selected project's table prefix.
    QString TablePrefix() const { return tablePrefix_; }

public slots:
    void F2Click(); // new project
    void N1Click(); // rename project
    void D1Click(); // delete project
    void A2Click(); // add class
    void N2Click(); // edit class
    void S1Click(); // delete class
    void Copy1Click(); // duplicate class
    void Index1Click(); // the class's indexes
    void N4Click(); // table prefix

    void CB_ProjectChange();
    void LB_ObjectClick();
    void LB_ObjectDblClick();

signals:
    // The selected class's name or the table prefix changed.
    void ShownClassChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QAction *AddCommand(const char *name, const QString &caption, void (TProjectPanel::*handler)());
    bool Run(const std::function<void()> &command);
    void ShowClass(int classId);
    // Fill the controls without telling anyone; FillProjects returns the selected index, or
    // -1 for no projects.
    int FillProjects(const TProjectList &projects);
    void FillClasses(int projectId, const TClassList &classes, const QHash<int, QString> &friendNames);
    // Adds a class, or a copy of one, through the add-class dialog and selects it.
    void AddClass(int projectId, int copyFromClassId, const QString &saved);
    // Delete, F2, Enter and Insert in the class list; true when the key was a command.
    bool ListKey(const QKeyEvent *key);

    TFeedback &feedback_;
    QString programDir_;
    TShowClass showClass_;
    int selectedProjectIndex_ = -1;
    QString tablePrefix_ = QStringLiteral("t_");

    QAction *F2, *N1, *D1, *A2, *N2, *S1, *Copy1, *Index1, *N4;
    QLabel *Label1 = nullptr;
    QComboBox *CB_Project = nullptr;
    QLabel *Label2 = nullptr;
    QListWidget *LB_Object = nullptr;
};
