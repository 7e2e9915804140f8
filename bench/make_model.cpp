// Writes a model database for the generation benchmark: one project "bench" of CLASSES classes
// with MEMBERS members each, a third of them references to other classes; with PROJECTS, as
// many projects alike ("bench", "bench2", ...).
//
//   velmora-bench-model <projects.mdb> [classes=300] [members=20] [projects=1]

#include "model/ClassDAO.h"
#include "model/DbHelper.h"
#include "model/Member.h"
#include "model/ProjectDAO.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

namespace {

const QString insertMember = QStringLiteral(
    "insert into t_member(projectId,classId,memberName,memberType,memberLength,memberIsPri,"
    "memberComment,memberIsMust,memberIsInteger,memberIsFloat,queryFlag,memberIsDisplay,"
    "memberQueryDisplay) values (?,?,?,?,?,?,?,?,?,?,?,?,?)");

QString className(int i) { return QStringLiteral("Entity%1").arg(i, 3, 10, QLatin1Char('0')); }

// Every fifth class has a text key, the others an integer key.
bool textKey(int i) { return i % 5 == 4; }

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fputs("usage: velmora-bench-model <projects.mdb> [classes] [members] [projects]\n", stderr);
        return 2;
    }
    const QString file = args.at(1);
    const int classes = args.value(2, QStringLiteral("300")).toInt();
    const int members = args.value(3, QStringLiteral("20")).toInt();
    const int projects = args.value(4, QStringLiteral("1")).toInt();
    try {
        QFile::remove(file);
        TDbHelper::CreateEmptyDatabase(file);
        const TDbHelper db(file);
        for (int project = 1; project <= projects; ++project) {
            const QString projectName = project == 1 ? QStringLiteral("bench") : QStringLiteral("bench%1").arg(project);
            TProjectDAO(db).AddProject(projectName);
            int projectId = 0;
            for (const TListEntry &entry : TProjectDAO(db).GetProjects()) {
                if (entry.name == projectName)
                    projectId = entry.id;
            }
            QList<TSqlStatement> classRows;
            for (int c = 0; c < classes; ++c)
                classRows.append({QStringLiteral("insert into t_class(projectId,className,friendName) values (?,?,?)"),
                                  {projectId, className(c), QStringLiteral("实体%1").arg(c)}});
            db.ExecuteBatch(classRows);

            const TClassList list = TClassDAO(db).GetClasses(projectId);
            const QStringList plainTypes{MemberType::Text, MemberType::Integer, MemberType::Float,
                                         MemberType::Date, MemberType::Picture};
            QList<TSqlStatement> rows;
            for (int c = 0; c < list.size(); ++c) {
                const int classId = list.at(c).id;
                const auto add = [&](const QString &name, const QString &type, int length, int isPri,
                                     int query, int display) {
                    rows.append({insertMember,
                                 {projectId, classId, name, type, length, isPri,
                                  QStringLiteral("成员%1").arg(name), 1, type == MemberType::Integer ? 1 : 0,
                                  type == MemberType::Float ? 1 : 0, query, display, 1}});
                };
                if (textKey(c))
                    add(QStringLiteral("code"), MemberType::Text, 20, 1, 0, 0);
                else
                    add(QStringLiteral("id"), MemberType::Integer, 0, 1, 0, 0);
                add(QStringLiteral("title"), MemberType::Text, 50, 0, 1, 1);
                for (int m = 2; m < members; ++m) {
                    const QString name = QStringLiteral("field%1").arg(m);
                    if (m % 3 == 0) {
                        // A reference to another class, integer- or text-keyed.
                        const int target = (c + m * 7) % list.size();
                        add(name, list.at(target == c ? (c + 1) % list.size() : target).name, 0, 0, m % 2, 0);
                    } else {
                        const QString type = plainTypes.at(m % plainTypes.size());
                        const bool searchable = type == MemberType::Text || type == MemberType::Date;
                        add(name, type, type == MemberType::Text ? 100 : 0, 0, searchable && m % 2, 0);
                    }
                }
            }
            db.ExecuteBatch(rows);
        }
    } catch (const TDbError &error) {
        std::fprintf(stderr, "%s\n", error.message().toUtf8().constData());
        return 1;
    }
    return 0;
}
