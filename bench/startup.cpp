// Start-up benchmark program: starts as the program does (ui/main.cpp) and ends the process
// as soon as the main window has been painted for the first time. bench/startup.sh times it
// against a bare Qt window built the same way.
//
//   velmora-bench-startup <program folder holding projects.mdb>

#include "QuietInteraction.h"

#include "model/DbHelper.h"
#include "ui/AppStart.h"
#include "ui/MainForm.h"

#include <QApplication>
#include <QDir>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace {

// Ends the process once the first paint of the window is complete.
class TFirstPaint : public QObject {
public:
    explicit TFirstPaint(QWidget *window) : window_(window) {}
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !seen_ && watched->isWidgetType()
            && static_cast<QWidget *>(watched)->window() == window_) {
            seen_ = true;
            QTimer::singleShot(0, [] {
                std::fflush(stdout);
                _exit(0);
            });
        }
        return false;
    }

private:
    QWidget *window_;
    bool seen_ = false;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fputs("usage: velmora-bench-startup <program folder>\n", stderr);
        return 2;
    }
    const QString programDir = QString::fromLocal8Bit(argv[1]);
    AppStart::Prepare(app);
    TDbHelper::SetDefaultDatabaseFile(QDir(programDir).filePath(QStringLiteral("projects.mdb")));

    TQuietInteraction interaction;
    TFormMain window(interaction, programDir, nullptr, TFormMain::TListLoading::AfterFirstPaint);
    TFirstPaint watch(&window);
    app.installEventFilter(&watch);
    window.show();
    return app.exec();
}
