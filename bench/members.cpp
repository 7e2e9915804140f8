// Member-table benchmark: in the main window, selects in turn two classes of the model (each
// with many members) and times each selection until the member table has repainted, against
// the bare prepared query of the same rows reading every column into QVariants. Prints the
// medians and the median of the pairs' ratios (the goal is at most 3).
//
//   velmora-bench-members <program folder holding projects.mdb> [runs=21]

#include "QuietInteraction.h"

#include "model/DbHelper.h"
#include "ui/MainForm.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QListWidget>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTableView>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <utility>
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

// The anchor: the members' rows as the database gives them, every column read into a QVariant.
int bareQuery(int classId)
{
    QSqlQuery query(TDbHelper().GetConnection());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("select * from t_member where classId=? order by memberOrder, memberId"));
    query.addBindValue(classId);
    query.exec();
    const int columns = query.record().count();
    QVariantList values;
    values.reserve(columns);
    int rows = 0;
    while (query.next()) {
        values.clear();
        for (int c = 0; c < columns; ++c)
            values.append(query.value(c));
        ++rows;
    }
    return rows;
}

// Wall-clock and this thread's processor time, in ms. On a loaded machine the wall clock of a
// longer span takes more waits for the processor than a short one, so both are printed.
struct TSpan {
    QElapsedTimer wall;
    timespec cpu{};
    void Start()
    {
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
        wall.start();
    }
    std::pair<double, double> Elapsed() const
    {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return {wall.nsecsElapsed() / 1e6, (now.tv_sec - cpu.tv_sec) * 1e3 + (now.tv_nsec - cpu.tv_nsec) / 1e6};
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

    std::vector<double> query, select, ratio, queryCpu, selectCpu, ratioCpu;
    int members = 0;
    for (int run = -2; run < runs; ++run) { // two rounds to warm up
        const int row = (run + 3) % 2; // the first class is selected at start
        const int classId = classes->item(row)->data(Qt::UserRole).toInt();

        TSpan span;
        span.Start();
        members = bareQuery(classId);
        const auto [queried, queriedCpu] = span.Elapsed();

        watch.painted = false;
        span.Start();
        classes->setCurrentRow(row);
        while (!watch.painted)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        const auto [shown, shownCpu] = span.Elapsed();
        if (run >= 0) {
            query.push_back(queried);
            select.push_back(shown);
            ratio.push_back(shown / queried);
            queryCpu.push_back(queriedCpu);
            selectCpu.push_back(shownCpu);
            ratioCpu.push_back(shownCpu / queriedCpu);
        }
        QApplication::processEvents();
    }
    std::printf("members:    %d per class, %d selections; medians, wall clock (processor time)\n", members, runs);
    std::printf("query:      %.2f ms (%.2f ms), the bare query reading every column\n", median(query),
                median(queryCpu));
    std::printf("select:     %.2f ms (%.2f ms), until the table has repainted\n", median(select),
                median(selectCpu));
    std::printf("ratio:      %.2f (%.2f), median of the pairs; goal at most 3\n", median(ratio), median(ratioCpu));
    return 0;
}
