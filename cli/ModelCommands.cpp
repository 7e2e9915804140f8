#include "ModelCommands.h"

#include "PictureModule.h"

#include "diagram/DiagramSaving.h"
#include "diagram/DiagramSvg.h"
#include "import/DatabaseImport.h"
#include "import/ImportError.h"
#include "import/ModelImport.h"
#include "model/DbHelper.h"
#include "model/ModelFile.h"
#include "model/ProjectDAO.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>

#include <cstdio>

namespace ModelCommands {

const char Usage[] = R"(  velmora-cli [--home DIR] export NAME [-o FILE]       把项目的模型导出为JSON模型文件 (不给 -o 时输出到标准输出)
  velmora-cli [--home DIR] import FILE [--as NAME]     从模型文件导入一个新项目 (名称已存在时用 --as 另取名称)
  velmora-cli [--home DIR] import-db --database D [--socket S | --host H --port P] --user U
              [--password-file F] [--prefix P] [--as NAME] [--in-place]
                                                       从MySQL/MariaDB数据库的表结构导入一个新项目
                                                       (项目名默认为数据库名; 密码从文件 F 的第一行读取,
                                                       从不写在命令行上; --prefix 只导入以 P 开头的表并去掉 P)
                                                       --in-place: 项目建立在这个数据库上, 生成的程序直接使用
                                                       其中的表: 建表脚本只建立程序自己的表 (另用前缀 velmora_
                                                       等, 不与已有的表重名), 不建立也不修改已有的表; 连接设置
                                                       (不含密码) 保存在项目中, 生成时写入 database/config.php
                                                       导入不成功时不会创建任何项目: 退出码1表示模型文件不合法
                                                       或模型检查未通过, 2表示文件无法读写、名称已存在、无法连接等
  velmora-cli [--home DIR] diagram NAME [-o FILE]      画出项目的模型图: 每个类一个方框 (成员及其类型, 标出主键),
                                                       引用画成箭头; FILE 以 .svg 或 .png 结尾
                                                       (不给 -o 时把SVG输出到标准输出)
)";

namespace {

enum ExitCode { ExitOk = 0, ExitRefused = 1, ExitFailed = 2 };

const QStringList commands{QStringLiteral("export"), QStringLiteral("import"), QStringLiteral("import-db"),
                          QStringLiteral("diagram")};

// The options each command takes, all with a value.
const QHash<QString, QStringList> commandOptions{
    {QStringLiteral("export"), {QStringLiteral("-o")}},
    {QStringLiteral("import"), {QStringLiteral("--as")}},
    {QStringLiteral("diagram"), {QStringLiteral("-o")}},
    {QStringLiteral("import-db"), ConnectionOptions() + QStringList{QStringLiteral("--prefix"), QStringLiteral("--as")}},
};

// The options that stand alone, without a value.
const QHash<QString, QStringList> commandFlags{{QStringLiteral("import-db"), {QStringLiteral("--in-place")}}};

void writeOut(const QByteArray &bytes, std::FILE *stream)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

int fail(const QStringList &lines, int code)
{
    writeOut((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8(), stderr);
    return code;
}

struct TCall {
    std::optional<QString> home; // without --home: the program's folder
    QString command;
    QStringList positional;
    QHash<QString, QString> options;
    QString error;
};

TCall parse(const QStringList &args)
{
    TCall call;
    for (qsizetype i = 0; i < args.size() && call.error.isEmpty(); ++i) {
        QString arg = args.at(i);
        QString value;
        bool inlineValue = false;
        if (arg.startsWith(QLatin1String("--")) && arg.contains(QLatin1Char('='))) {
            value = arg.mid(arg.indexOf(QLatin1Char('=')) + 1);
            arg = arg.left(arg.indexOf(QLatin1Char('=')));
            inlineValue = true;
        }
        if (commandFlags.value(call.command).contains(arg) && !inlineValue) {
            call.options.insert(arg, QString());
            continue;
        }
        const bool known = arg == QLatin1String("--home") || commandOptions.value(call.command).contains(arg);
        if (!arg.startsWith(QLatin1Char('-'))) {
            if (call.command.isEmpty())
                call.command = arg;
            else
                call.positional.append(arg);
            continue;
        }
        if (!known) {
            call.error = arg == QLatin1String("--password")
                ? QStringLiteral("密码不能写在命令行上，请用 --password-file 给出存放密码的文件")
                : QStringLiteral("未知的选项: %1").arg(arg);
            break;
        }
        if (!inlineValue) {
            if (i + 1 >= args.size()) {
                call.error = QStringLiteral("选项 %1 缺少参数值").arg(arg);
                break;
            }
            value = args.at(++i);
        }
        if (arg == QLatin1String("--home"))
            call.home = value;
        else
            call.options.insert(arg, value);
    }
    return call;
}

void useHome(const std::optional<QString> &given)
{
    const QString home = given.value_or(QCoreApplication::applicationDirPath());
    TDbHelper::SetDefaultDatabaseFile(QDir(QDir(home).absolutePath()).absoluteFilePath(QStringLiteral("projects.mdb")));
}

int exportModel(const TCall &call)
{
    if (call.positional.size() != 1)
        return fail({QStringLiteral("命令 export 需要且只需要一个项目名称 (见 --help)")}, ExitFailed);
    const QString output = call.options.value(QStringLiteral("-o"));
    if (!output.isEmpty()) {
        TModelImport::ExportProject(call.positional.first(), output);
        return ExitOk;
    }
    const QByteArray bytes = TModelImport::ProjectJson(call.positional.first());
    writeOut(bytes, stdout);
    return ExitOk;
}

void reportStored(const QString &name, const TModelDocument &document)
{
    int members = 0;
    for (const TModelClass &cls : document.classes)
        members += int(cls.members.size());
    const QString note = TModelImport::InPlaceNote(document);
    writeOut((QStringLiteral("已导入项目\"%1\": %2个类, %3个成员\n").arg(name).arg(document.classes.size()).arg(members)
              + (note.isEmpty() ? QString() : note + QLatin1Char('\n')))
                 .toUtf8(),
             stdout);
}

int importModel(const TCall &call)
{
    if (call.positional.size() != 1)
        return fail({QStringLiteral("命令 import 需要且只需要一个模型文件 (见 --help)")}, ExitFailed);
    const TModelDocument document =
        TModelImport::ReadModelFile(call.positional.first(), call.options.value(QStringLiteral("--as")));
    TModelImport::Store(document, document.projectName, QStringLiteral("t_"), true);
    reportStored(document.projectName, document);
    return ExitOk;
}

int importDatabase(const TCall &call)
{
    if (!call.positional.isEmpty())
        return fail({QStringLiteral("命令 import-db 不带参数: %1 (见 --help)").arg(call.positional.join(QLatin1Char(' ')))},
                    ExitFailed);
    TDatabaseSource source;
    if (const QString error = ReadConnection(call.command, call.options, source); !error.isEmpty())
        return fail({error}, ExitFailed);
    source.prefix = call.options.value(QStringLiteral("--prefix"));
    source.inPlace = call.options.contains(QStringLiteral("--in-place"));
    const QString projectName = call.options.value(QStringLiteral("--as"), source.database);

    const TDatabaseReading reading = TDatabaseImport::Read(source);
    QStringList warnings;
    for (const QString &warning : reading.warnings)
        warnings.append(QStringLiteral("警告: ") + warning);
    if (!warnings.isEmpty())
        fail(warnings, 0);
    const QString prefix = source.prefix.isEmpty() ? QStringLiteral("t_") : source.prefix;
    try {
        TModelImport::Store(reading.document, projectName, prefix, false);
    } catch (const TImportError &error) {
        if (!error.refused())
            throw;
        QStringList lines{QStringLiteral("模型检查未通过，没有导入。请在数据库中修改以下问题后重新导入:")};
        lines.append(error.messages());
        return fail(lines, ExitRefused);
    }
    reportStored(projectName, reading.document);
    return ExitOk;
}

int drawDiagram(const TCall &call)
{
    if (call.positional.size() != 1)
        return fail({QStringLiteral("命令 diagram 需要且只需要一个项目名称 (见 --help)")}, ExitFailed);
    const QString name = call.positional.first();
    int projectId = -1;
    for (const TListEntry &project : TProjectDAO().GetProjects()) {
        if (project.name == name)
            projectId = project.id;
    }
    if (projectId < 0)
        return fail({QStringLiteral("找不到名为\"%1\"的项目").arg(name)}, ExitFailed);
    const TModelDocument model = TModelImport::ReadProject(projectId, name);
    const TDiagram diagram = TDiagramLayout::LayOut(model.classes);
    const QString title = QStringLiteral("%1 模型图").arg(name);
    const QString output = call.options.value(QStringLiteral("-o"));
    try {
        if (output.isEmpty())
            writeOut(TDiagramSvg::Write(diagram, title), stdout);
        else if (DiagramSaving::FormatOf(output) == DiagramSaving::TFormat::Png)
            PictureModule::SavePng(diagram, title, output);
        else
            DiagramSaving::SaveSvg(diagram, title, output);
    } catch (const TDiagramError &error) {
        return fail({error.message()}, ExitFailed);
    }
    return ExitOk;
}

} // namespace

std::optional<QString> ReadPasswordFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("无法读取密码文件 %1: %2").arg(file.fileName(), file.errorString());
        return std::nullopt;
    }
    // The first line, without its line end: a file made with echo has one.
    QByteArray line = file.readLine();
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

QStringList ConnectionOptions()
{
    return {QStringLiteral("--database"), QStringLiteral("--socket"), QStringLiteral("--host"),
            QStringLiteral("--port"), QStringLiteral("--user"), QStringLiteral("--password-file")};
}

QString ReadConnection(const QString &command, const QHash<QString, QString> &options, TDatabaseSource &source)
{
    const auto option = [&](const char *name) { return options.value(QString::fromLatin1(name)); };
    const auto has = [&](const char *name) { return options.contains(QString::fromLatin1(name)); };
    source.database = option("--database");
    source.user = option("--user");
    source.socket = option("--socket");
    source.host = option("--host");
    if (source.database.isEmpty() || source.user.isEmpty())
        return QStringLiteral("命令 %1 需要 --database 和 --user (见 --help)").arg(command);
    if (has("--socket") && (has("--host") || has("--port")))
        return QStringLiteral("--socket 与 --host/--port 只能选用一种 (见 --help)");
    if (has("--port")) {
        bool ok = false;
        source.port = option("--port").toInt(&ok);
        if (!ok || source.port < 1 || source.port > 65535)
            return QStringLiteral("端口应为1到65535之间的整数: %1").arg(option("--port"));
    }
    if (has("--password-file")) {
        QString error;
        const std::optional<QString> password = ReadPasswordFile(option("--password-file"), &error);
        if (!password)
            return error;
        source.password = *password;
    }
    return {};
}

bool NeedsFonts(const QStringList &args)
{
    const TCall call = parse(args);
    return call.command == QLatin1String("diagram")
        && call.options.value(QStringLiteral("-o")).endsWith(QLatin1String(".png"), Qt::CaseInsensitive);
}

std::optional<int> Run(const QStringList &args)
{
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h")))
        return std::nullopt;
    const TCall call = parse(args);
    if (!commands.contains(call.command))
        return std::nullopt;
    if (!call.error.isEmpty())
        return fail({call.error + QStringLiteral(" (见 --help)")}, ExitFailed);
    useHome(call.home);
    try {
        if (call.command == QLatin1String("export"))
            return exportModel(call);
        if (call.command == QLatin1String("import"))
            return importModel(call);
        if (call.command == QLatin1String("diagram"))
            return drawDiagram(call);
        return importDatabase(call);
    } catch (const TImportError &error) {
        return fail(error.messages(), error.refused() ? ExitRefused : ExitFailed);
    } catch (const TDbError &error) {
        return fail({error.message()}, ExitFailed);
    }
}

} // namespace ModelCommands
