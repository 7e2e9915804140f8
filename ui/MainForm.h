#pragma once

#include <QMainWindow>
#include <QString>
#include <QUrl>

#include <future>
#include <memory>

class QAction;
class QGroupBox;
class QLabel;
class QSplitter;
class QTimer;
class TCodeCommands;
class TCodePreview;
class TFeedback;
class TGenerationCommand;
class TLogPanel;
class TMemberPanel;
class TProjectPanel;
class TUserInteraction;
struct TStartLists;

// The main window. It arranges the panels: projects and classes, the member table and the
// code preview side by side, the progress log below; it builds the menus from their commands
// and remembers its size and dividers. The panels hold the working state.
class TFormMain : public QMainWindow {
    Q_OBJECT
public:
    // ui answers every box and opens folders and pages; programDir holds doc/, bak/ and
    // template/ and receives projects/. The model database must already be chosen
    // (TDbHelper::SetDefaultDatabaseFile). The lists are read on a thread while the controls
    // are built and are filled before the constructor returns, so the first frame shows them;
    // a failure to read them is shown and leaves the lists empty.
    TFormMain(TUserInteraction &ui, const QString &programDir, QWidget *parent = nullptr);
    ~TFormMain() override;

    TProjectPanel &Projects() const { return *projects_; }
    TMemberPanel &Members() const { return *members_; }
    TGenerationCommand &Generation() const { return *generation_; }

    // Selects the class in the list and, unless memberId is 0, that member in the table.
    void SelectClassAndMember(int classId, int memberId);

public slots:
    void Success1Click(); // success messages on or off
    void Preview1Click(); // code preview shown or hidden
    void Image1Click();
    void Timer1Timer();

signals:
    // A generation run has ended, whichever way.
    void GenerationFinished();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void BuildControls();
    void BuildMenus();
    void ShowStartLists(std::future<TStartLists> &lists);
    void RefreshPreview();
    void PlaceWorkArea();
    void FitSplitters();
    void RestoreWindowState();
    void SaveWindowState() const;
    // The help page shipped beside the program.
    QUrl HomePage() const;
    void OpenHomePage(bool quietWhenMissing);

    QString programDir_;
    std::unique_ptr<TFeedback> feedback_;

    QLabel *Image1 = nullptr;
    QGroupBox *GroupBox1 = nullptr;
    QSplitter *SP_Main = nullptr; // the work area above, the log below
    QSplitter *SP_Work = nullptr; // classes, members, code preview
    TProjectPanel *projects_ = nullptr;
    TMemberPanel *members_ = nullptr;
    TCodePreview *Preview = nullptr;
    TLogPanel *log_ = nullptr;
    TGenerationCommand *generation_ = nullptr;
    TCodeCommands *code_ = nullptr;
    QAction *Success1 = nullptr;
    QAction *Preview1 = nullptr;
    bool splittersPlaced_ = false;
    QTimer *Timer1 = nullptr;
};
