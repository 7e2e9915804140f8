// Member-table benchmark: in the main window, selects in turn two classes of the model (each
// with many members) and times each selection until the member table has repainted, against
// the bare query of the same members. Prints the medians and their ratio (the goal is at most 3).
//
//   velmora-bench-members <program folder holding projects.mdb> [runs=21]

#include "QuietInteraction.h"

#include "model/DbHelper.h"
#include "model/MemberDAO.h"
#include "ui/MainForm.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QListWidget>
#include <QTableView>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Notes each paint of the table's viewport.
class TPaintWatch : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fputs("usage: velmora-bench-members <program folder> [runs]\n", stderr);
        return 2;
    }
    const QString programDir = args.at(1);
    const int runs = std::max(3, args.value(2, QStringLiteral("21")).toInt());
    TDbHelper::SetDefaultDatabaseFile(QDir(programDir).filePath(QStringLiteral("projects.mdb")));

    TQuietInteraction interaction;
    TFormMain window(interaction, programDir);
    window.show();
    while (!window.windowHandle() || !window.windowHandle()->isExposed())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    QApplication::processEvents();

    auto *classes = window.findChild<QListWidget *>(QStringLiteral("LB_Object"));
    auto *table = window.findChild<QTableView *>(QStringLiteral("LV_Member"));
    if (!classes || !table || classes->count() < 2) {
        std::fputs("the model needs a project with two classes\n", stderr);
        return 2;
    }
    TPaintWatch watch;
    table->viewport()->installEventFilter(&watch);

    std::vector<double> query, select;
    int members = 0;
    for (int run = -2; run < runs; ++run) { // two rounds to warm up
        const int row = (run + 3) % 2; // the first class is selected at start
        const int classId = classes->item(row)->data(Qt::UserRole).toInt();

        QElapsedTimer timer;
        timer.start();
        members = int(TMemberDAO().GetMembers(classId).size());
        const double queried = timer.nsecsElapsed() / 1e6;

        watch.painted = false;
        timer.restart();
        classes->setCurrentRow(row);
        while (!watch.painted)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        const double shown = timer.nsecsElapsed() / 1e6;
        if (run >= 0) {
            query.push_back(queried);
            select.push_back(shown);
        }
        QApplication::processEvents();
    }
    const double q = median(query), s = median(select);
    std::printf("members:    %d per class, %d selections\n", members, runs);
    std::printf("query:      %.2f ms (median)\n", q);
    std::printf("select:     %.2f ms (median, until the table has repainted)\n", s);
    std::printf("ratio:      %.2f\n", s / q);
    return 0;
}
