// Start-up benchmark program: starts as the program does (ui/main.cpp) and ends the process
// as soon as the main window has been painted for the first time, which must show the model:
// the project selector, the class list and the member table filled (exit status 1 if not).
// bench/startup.sh times it against a bare Qt window built the same way.
//
//   velmora-bench-startup <program folder holding projects.mdb>

#include "QuietInteraction.h"

#include "model/DbHelper.h"
#include "ui/AppStart.h"
#include "ui/MainForm.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QListWidget>
#include <QTableView>
#include <QTimer>

#include <cstdio>
#include <type_traits>
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
            const bool filled = Count<QComboBox>("CB_Project") > 0 && Count<QListWidget>("LB_Object") > 0
                && Count<QTableView>("LV_Member") > 0;
            if (!filled)
                std::fputs("the first paint does not show the model\n", stderr);
            QTimer::singleShot(0, [filled] {
                std::fflush(stdout);
                _exit(filled ? 0 : 1);
            });
        }
        return false;
    }

private:
    template <typename T>
    int Count(const char *name) const
    {
        const T *control = window_->findChild<T *>(QLatin1String(name));
        if constexpr (std::is_same_v<T, QTableView>)
            return control ? control->model()->rowCount() : 0;
        else
            return control ? control->count() : 0;
    }

    QWidget *window_;
    bool seen_ = false;
};

} // namespace

int main(int argc, char *argv[])
{
    AppStart::TFontWarmUp fonts;
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fputs("usage: velmora-bench-startup <program folder>\n", stderr);
        return 2;
    }
    const QString programDir = QString::fromLocal8Bit(argv[1]);
    AppStart::Prepare(app);
    const AppStart::TImageFormatsWarmUp imageFormats;
    TDbHelper::SetDefaultDatabaseFile(QDir(programDir).filePath(QStringLiteral("projects.mdb")));

    TQuietInteraction interaction;
    fonts.Wait();
    TFormMain window(interaction, programDir);
    TFirstPaint watch(&window);
    app.installEventFilter(&watch);
    window.show();
    return app.exec();
}
