#pragma once

#include "UserInteraction.h"

#include "generator/record/Regeneration.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QMenu;
class QKeyEvent;
class QPlainTextEdit;
class QSplitter;
class QTableView;
class TMemberTableModel;
class QTimer;
class TAutoCode;
class TCodePreview;

// The main window. It holds the working state: the selected project (CB_Project), the class
// list of that project (LB_Object), the members of the selected class (LV_Member), the table
// prefix and the progress log of a generation run (Memo_State). Every command starts from its
// menus; the dialogs read its selections and call back into LoadClasses / LoadMembers.
class TFormMain : public QMainWindow {
    Q_OBJECT
public:
    // ui answers every box and opens folders and pages; programDir holds doc/, bak/ and
    // template/ and receives projects/. The model database must already be chosen
    // (TDbHelper::SetDefaultDatabaseFile). Loads the project list; a failure to do so is shown
    // and leaves the lists empty. The program loads it right after the window's first paint
    // instead, so that the window shows as soon as it can.
    enum class TListLoading { Now, AfterFirstPaint };
    TFormMain(TUserInteraction &ui, const QString &programDir, QWidget *parent = nullptr,
              TListLoading loading = TListLoading::Now);
    ~TFormMain() override;

    // Refill the project selector (and through LoadClasses the class list), the class list
    // of a project, the member table of a class. They throw TDbError like the stores.
    void LoadProjects();
    void LoadClasses(int projectId);
    void LoadMembers(int classId);

    // -1 when nothing is selected.
    int SelectedProjectId() const;
    int SelectedClassId() const;
    int SelectedMemberId() const;
    // The class name of the selected class (the list shows "Name (friendly name)").
    QString SelectedClassText() const;
    // Gives the selected entry a new class name; its friendly name is read again.
    void SetSelectedClassText(const QString &text);
    // Selects the class in the list and, unless memberId is 0, that member in the table.
    void SelectClassAndMember(int classId, int memberId);

    TUserInteraction &Interaction() const { return ui_; }
    // A command's success: a box as always, or only a line in the status bar when the user
    // turned 显示操作成功提示 off. Errors and questions never come here.
    void ShowSuccess(QWidget *parent, const QString &text, TMessageKind kind = TMessageKind::Plain,
                     const QString &caption = {});
    bool ShowsSuccessMessages() const;
    QString ProgramDir() const { return programDir_; }
    QString TablePrefix() const { return tablePrefix_; }
    int ErrorClassId() const { return errorClassId_; }
    bool IsGenerating() const { return !run_.isNull(); }
    // The help page shipped beside the program.
    QUrl HomePage() const;

public slots:
    // 项目操作
    void F2Click(); // new project
    void N1Click(); // rename project
    void D1Click(); // delete project
    void A2Click(); // add class
    void N2Click(); // edit class
    void S1Click(); // delete class
    void M1Click(); // add member
    void N3Click(); // edit member
    void C1Click(); // delete member
    void Copy1Click(); // duplicate class
    void Up1Click();   // move member up
    void Down1Click(); // move member down
    // 代码管理
    void N4Click();   // table prefix
    void sql1Click(); // table-creation script
    void upgrade1Click(); // database upgrade script
    void A1Click();   // generate the project's code
    void Check1Click(); // check the model
    void Success1Click(); // success messages on or off
    void Preview1Click(); // code preview shown or hidden

    void CB_ProjectChange();
    void LB_ObjectClick();
    void LB_ObjectDblClick();
    void LV_MemberDblClick();
    void Image1Click();
    void Timer1Timer();

signals:
    // A generation run has ended, whichever way.
    void GenerationFinished();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void BuildControls();
    void BuildMenus();
    QAction *AddCommand(QMenu *menu, const char *name, const QString &caption,
                        void (TFormMain::*handler)());
    bool Run(const std::function<void()> &command);
    void ClearMembers();
    void MoveMember(int steps);
    // Delete, F2, Enter and Insert in the lists; true when the key was a command.
    bool ListKey(QObject *watched, const QKeyEvent *key);
    void RefreshPreview();
    void PlaceWorkArea();
    void FitSplitters();
    void FitColumns();
    void RestoreWindowState();
    void SaveWindowState() const;
    void OpenHomePage(bool quietWhenMissing);

    // Generation run.
    // With preview, the run only decides what it would do; the preview is then shown and 生成
    // starts the real run.
    void StartGeneration(int projectId, const QString &projectName, bool preview = false);
    void OnFilesPlaced();
    void ShowPreview();
    void AppendProgress(const QString &line);
    void OnKeyMemberError(int classId);
    void OnDisplayMemberError(int classId);
    void OnModelError(const QString &message);
    void OnFurtherModelFindings(const QStringList &messages);
    void OnGenerationFailed(const QString &reason);
    void OnGenerationDone();
    void OnRunFinished();
    void Notify(const QString &text, TMessageKind kind);
    void StopRunAndWait();

    TUserInteraction &ui_;
    QString programDir_;

    int selectedProjectIndex_ = -1;
    QString tablePrefix_ = QStringLiteral("t_");
    int errorClassId_ = 0;

    QPointer<TAutoCode> run_;
    QString runProjectName_;
    int runProjectId_ = -1;
    bool runIsPreview_ = false;
    bool previewReady_ = false;
    QList<TPlannedFile> preview_;
    TRegenerationCounts previewCounts_;
    QString summary_;
    bool closeAfterRun_ = false;

    QLabel *Image1 = nullptr;
    QGroupBox *GroupBox1 = nullptr;
    QLabel *Label1 = nullptr;
    QComboBox *CB_Project = nullptr;
    QLabel *Label2 = nullptr;
    QListWidget *LB_Object = nullptr;
    QTableView *LV_Member = nullptr;
    TMemberTableModel *members_ = nullptr;
    QGroupBox *GroupBox2 = nullptr;
    QPlainTextEdit *Memo_State = nullptr;
    QSplitter *SP_Main = nullptr; // the work area above, the log below
    QSplitter *SP_Work = nullptr; // classes, members, code preview
    TCodePreview *Preview = nullptr;
    QAction *Success1 = nullptr;
    QAction *Preview1 = nullptr;
    bool splittersPlaced_ = false;
    bool listsPending_ = false; // to load after the first paint
    QTimer *Timer1 = nullptr;
};
