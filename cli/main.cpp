#include "model/DbHelper.h"
#include "model/ProjectDAO.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

#include <cstdio>

namespace {

const char usage[] =
    "velmora-cli [--home DIR] init      create an empty projects.mdb (refuses to overwrite)\n"
    "velmora-cli [--home DIR] projects  one line per project: id, a tab, the name\n"
    "\n"
    "--home DIR  the program folder holding projects.mdb (default: the executable's folder)\n";

int fail(const QString &message, int code)
{
    QTextStream(stderr) << message << Qt::endl;
    return code;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString home = QCoreApplication::applicationDirPath();
    if (args.size() >= 2 && args.first() == QLatin1String("--home")) {
        home = args.at(1);
        args = args.mid(2);
    }
    if (args.isEmpty() || args.first() == QLatin1String("--help")) {
        std::fputs(usage, args.isEmpty() ? stderr : stdout);
        return args.isEmpty() ? 2 : 0;
    }
    const QString databaseFile = QDir(home).absoluteFilePath(QStringLiteral("projects.mdb"));
    TDbHelper::SetDefaultDatabaseFile(databaseFile);
    try {
        const QString command = args.first();
        if (command == QLatin1String("init") && args.size() == 1) {
            TDbHelper::CreateEmptyDatabase(databaseFile);
            QTextStream(stdout) << databaseFile << Qt::endl;
            return 0;
        }
        if (command == QLatin1String("projects") && args.size() == 1) {
            QTextStream out(stdout);
            for (const TListEntry &project : TProjectDAO().GetProjects())
                out << project.id << '\t' << project.name << '\n';
            return 0;
        }
        return fail(QStringLiteral("未知的命令或参数: %1 (见 --help)").arg(args.join(QLatin1Char(' '))), 2);
    } catch (const TDbError &error) {
        return fail(error.message(), 2);
    }
}
