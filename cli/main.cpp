// velmora-cli: the model and the generators without a window.

#include "ModelCommands.h"
#include "PictureModule.h"

#include "generator/emit/DatabaseScripts.h"
#include "generator/output/GenerationError.h"
#include "generator/record/GenerationRecord.h"
#include "generator/run/GenerationRun.h"
#include "generator/check/ModelChecker.h"
#include "generator/record/ReadSnapshot.h"
#include "generator/record/Merge.h"
#include "generator/output/RunMessages.h"
#include "generator/emit/UpgradeSql.h"
#include "import/DatabaseVersion.h"
#include "import/ImportError.h"
#include "model/ClassDAO.h"
#include "model/DbHelper.h"
#include "model/ProjectDAO.h"
#include "model/TableCharset.h"

#include <QCoreApplication>
#include <QDir>
#include <QHash>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

// Exit codes: 0 done; 1 the model was refused by a check; 2 any other failure or a bad call;
// 3 generated, with merge conflicts left for the user.
enum ExitCode { ExitOk = 0, ExitRefused = 1, ExitFailed = 2, ExitConflicts = 3 };

const char usage[] = R"(用法:
  velmora-cli [--home DIR] init                        创建空的模型数据库 projects.mdb (已存在时拒绝覆盖)
  velmora-cli [--home DIR] projects                    列出所有项目: 每行一个, 项目编号、制表符、项目名称
  velmora-cli [--home DIR] generate NAME [--prefix P]  为名为 NAME 的项目生成全部代码, 逐行输出进度
              [--dry-run [--diff]]                     已经生成过时保留你对生成文件的修改 (见下)
              [--password-file F]                      建立在已有数据库上的项目 (import-db --in-place):
                                                       把文件 F 第一行的数据库密码写入 database/config.php
  velmora-cli [--home DIR] sql NAME [--prefix P]       输出该项目的建表sql语句 (UTF-8, 无BOM)
  velmora-cli [--home DIR] check NAME [--prefix P]     检查该项目的模型, 每行输出一个问题
  velmora-cli [--home DIR] charset NAME [CHARSET]      输出该项目数据表的字符集; 给出 utf8mb4 或 utf8 时改为该字符集
                                                       (之后用 upgrade-sql 得到转换已有数据表的脚本)
  velmora-cli [--home DIR] history NAME                列出该项目每次生成记录的模型版本: 每行一个, 版本号、制表符、生成时间
  velmora-cli [--home DIR] upgrade-sql NAME            输出数据库升级脚本 (UTF-8, 无BOM): 把由第 N 版生成的数据库
              [--from N] [--prefix P] [--destructive]  升级为当前模型的数据库, 保留表中的数据
              [--from-db --database D [--socket S | --host H --port P] --user U [--password-file F]]
  velmora-cli --help                                   显示本说明

选项:
  --home DIR    程序文件夹: 其中有 projects.mdb、bak/ 和 template/, 生成的代码写入其中的 projects/NAME/。
                默认为 velmora-cli 所在的文件夹。
  --prefix P    表名前缀, 默认为 t_, 只能包含字母、数字和下划线; upgrade-sql 默认沿用第 N 版的前缀,
                给出新的前缀时表被重命名。
  --from N      upgrade-sql 升级的起点: 生成记录中的版本号 (见 history); 默认为表结构与当前模型不同的最新版本。
  --from-db     upgrade-sql 连接数据库 (选项同 import-db), 从数据库记录的模型版本升级; 数据库没有版本记录时
                (如由旧的脚本建成), 比较其表结构, 选用最接近的版本并列出不同之处 (输出到标准错误)。
                建表脚本和升级脚本都把数据库所处的模型版本写入表 <前缀>model_version。
  --destructive upgrade-sql 写出删除已从模型中移除的表和列的语句; 默认只把它们写成注释, 数据保留。
                建立在已有数据库上的项目: 默认不修改其中的数据表, 对它们的修改都只写成注释。
  --dry-run     只列出每个文件将会怎样 (新建、更新、无变化、保留你的修改、已合并、冲突、另存、孤立),
                不写入任何文件。
  --diff        与 --dry-run 一起使用: 在每个将要改变的文件下面列出统一格式的差异。

再次生成:
  生成记录保存在输出文件夹的 .velmora/ 中。你修改过的文件不会被覆盖: 新生成的代码没有变化时保留你的修改;
  有变化时自动合并; 合并有冲突时文件保持不变, 带冲突标记的合并结果写在旁边 (文件名加 .merge.txt);
  没有生成记录而内容不同的文件保持不变, 新生成的代码写在旁边 (文件名加 .new.txt)。
  模型中已删除的类的文件只列出, 不会删除。

退出码:
  0  完成
  1  模型检查未通过 (主键或显示成员设置错误、引用的类不存在或没有主键、项目名或类名不能用作文件名、
     名称不合法或重名、表名前缀不合法、字符串长度超出范围、含有utf8表不能保存的字符等),
     没有写入任何文件; check 命令发现了问题
  2  其他错误: 参数错误、找不到项目、模型数据库缺失或无法读取、模板缺失、文件无法写入、
     项目还没有生成记录、没有所给版本的生成记录等
  3  generate 已完成, 但有合并冲突需要手工解决 (--dry-run 时: 将会有冲突)
)";

// The usage text with the model commands' lines before the line of --help.
QString helpText()
{
    QString text = QString::fromUtf8(usage);
    const qsizetype at = text.indexOf(QStringLiteral("  velmora-cli --help"));
    return text.insert(at, QString::fromUtf8(ModelCommands::Usage));
}

bool isTerminal(std::FILE *stream)
{
#ifdef Q_OS_WIN
    return _isatty(_fileno(stream));
#else
    return isatty(fileno(stream));
#endif
}

// A terminal sees every line at once. Into a file or a pipe the lines go in blocks (a write
// per line was a good part of a large generation's time); whatever goes to stderr still comes
// after the lines before it.
void writeOut(const QString &text, std::FILE *stream)
{
    static const bool lineByLine = isTerminal(stdout);
    const QByteArray bytes = text.toUtf8();
    if (stream != stdout)
        std::fflush(stdout);
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    if (stream != stdout || lineByLine)
        std::fflush(stream);
}

int fail(const QString &message, int code)
{
    writeOut(message + QLatin1Char('\n'), stderr);
    return code;
}

struct TArguments {
    QString home;
    std::optional<QString> prefix;
    QStringList positional;
    bool help = false;
    bool dryRun = false;
    bool diff = false;
    std::optional<QString> from;
    bool destructive = false;
    std::optional<QString> passwordFile;
    bool fromDb = false;
    QHash<QString, QString> connection; // import-db's connection options, for --from-db
    QString error; // set when the command line cannot be used
};

TArguments parseArguments(const QStringList &args)
{
    TArguments result;
    result.home = QCoreApplication::applicationDirPath();
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString arg = args.at(i);
        const auto value = [&](const QString &option) -> std::optional<QString> {
            if (arg.startsWith(option + QLatin1Char('=')))
                return arg.mid(option.size() + 1);
            if (i + 1 < args.size())
                return args.at(++i);
            result.error = QStringLiteral("选项 %1 缺少参数值").arg(option);
            return std::nullopt;
        };
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            result.help = true;
        } else if (arg == QLatin1String("--home") || arg.startsWith(QLatin1String("--home="))) {
            if (const auto home = value(QStringLiteral("--home")))
                result.home = *home;
        } else if (arg == QLatin1String("--prefix") || arg.startsWith(QLatin1String("--prefix="))) {
            if (const auto prefix = value(QStringLiteral("--prefix")))
                result.prefix = *prefix;
        } else if (arg == QLatin1String("--from") || arg.startsWith(QLatin1String("--from="))) {
            if (const auto from = value(QStringLiteral("--from")))
                result.from = *from;
        } else if (arg == QLatin1String("--password-file") || arg.startsWith(QLatin1String("--password-file="))) {
            if (const auto file = value(QStringLiteral("--password-file")))
                result.passwordFile = *file;
        } else if (arg == QLatin1String("--from-db")) {
            result.fromDb = true;
        } else if (const QString option = arg.section(QLatin1Char('='), 0, 0);
                   ModelCommands::ConnectionOptions().contains(option)) {
            if (const auto given = value(option))
                result.connection.insert(option, *given);
        } else if (arg == QLatin1String("--destructive")) {
            result.destructive = true;
        } else if (arg == QLatin1String("--dry-run")) {
            result.dryRun = true;
        } else if (arg == QLatin1String("--diff")) {
            result.diff = true;
        } else if (arg.startsWith(QLatin1String("--"))) {
            result.error = QStringLiteral("未知的选项: %1").arg(arg);
        } else {
            result.positional.append(arg);
        }
        if (!result.error.isEmpty())
            break;
    }
    return result;
}

int findProject(const QString &name)
{
    for (const TListEntry &project : TProjectDAO().GetProjects()) {
        if (project.name == name)
            return project.id;
    }
    return -1;
}

// Prints the run's lines as they come; refusals and failures go to stderr.
class TConsoleListener : public TRunListener {
public:
    void Progress(const QString &line) override { writeOut(line + QLatin1Char('\n'), stdout); }
    void KeyMemberError(int classId) override
    {
        fail(RunMessages::KeyMemberError(TClassDAO().GetClassName(classId)), 0);
    }
    void DisplayMemberError(int classId) override
    {
        fail(RunMessages::DisplayMemberError(TClassDAO().GetClassName(classId)), 0);
    }
    void ModelError(const QString &message) override { fail(message, 0); }
    void GenerationFailed(const QString &reason) override
    {
        fail(RunMessages::GenerationFailed(reason), 0);
    }
    void GenerationDone() override {}
    void FilesPlaced(const TRegenerationCounts &counts, const QList<TPlannedFile> &plan) override
    {
        conflicts_ = counts.conflicts;
        for (const TPlannedFile &file : plan) {
            QString line = FileActionLabel(file.action) + QLatin1Char('\t') + file.path;
            if (!file.besidePath.isEmpty())
                line += QStringLiteral("\t-> ") + file.besidePath;
            writeOut(line + QLatin1Char('\n'), stdout);
            if (diff_ && !file.result.isEmpty())
                writeOut(TMerge::UnifiedDiff(file.onDisk, file.result,
                                             file.path,
                                             (file.besidePath.isEmpty()
                                                                         ? file.path : file.besidePath)),
                         stdout);
        }
        if (!plan.isEmpty())
            writeOut(counts.Summary() + QLatin1Char('\n'), stdout);
    }

    void SetDiff(bool diff) { diff_ = diff; }
    int Conflicts() const { return conflicts_; }

private:
    bool diff_ = false;
    int conflicts_ = 0;
};

// Lets a test kill the process right after its Nth line, as a crash or a power cut would.
class TKillingListener : public TConsoleListener {
public:
    explicit TKillingListener(int killAfter) : killAfter_(killAfter) {}
    void Progress(const QString &line) override
    {
        TConsoleListener::Progress(line);
        if (killAfter_ > 0 && ++lines_ == killAfter_) {
            std::fflush(stdout);
#ifdef SIGKILL
            std::raise(SIGKILL);
#endif
            std::abort();
        }
    }

private:
    int killAfter_;
    int lines_ = 0;
};

int generate(const QString &home, const QString &projectName, const QString &prefix,
             const TArguments &args)
{
    const int projectId = findProject(projectName);
    if (projectId < 0)
        return fail(QStringLiteral("找不到名为\"%1\"的项目").arg(projectName), ExitFailed);
    std::optional<QString> password;
    if (args.passwordFile) {
        QString error;
        password = ModelCommands::ReadPasswordFile(*args.passwordFile, &error);
        if (!password)
            return fail(error, ExitFailed);
    }
    const bool dryRun = args.dryRun;
    const bool diff = args.diff;
    TKillingListener listener(qEnvironmentVariableIntValue("VELMORA_TEST_KILL_AFTER_LINES"));
    listener.SetDiff(diff);
    TGenerationRun generation(projectId, projectName, prefix, home);
    generation.SetDryRun(dryRun);
    generation.SetDatabasePassword(password);
    switch (generation.Execute(listener)) {
    case TGenerationRun::TOutcome::Done:
        return listener.Conflicts() > 0 ? ExitConflicts : ExitOk;
    case TGenerationRun::TOutcome::CheckFailed:
        return ExitRefused;
    default:
        return ExitFailed;
    }
}

QString outputDir(const QString &home, const QString &projectName)
{
    TGenerationTarget target;
    target.outputRoot = home;
    target.projectName = projectName;
    return target.OutputDir();
}

int printScript(const QString &home, const QString &projectName, const QString &prefix)
{
    const int projectId = findProject(projectName);
    if (projectId < 0)
        return fail(QStringLiteral("找不到名为\"%1\"的项目").arg(projectName), ExitFailed);
    try {
        const QString script = TDatabaseScripts::TableScript(projectId, prefix, home, outputDir(home, projectName));
        writeOut(script, stdout);
        return ExitOk;
    } catch (const TModelCheckError &error) {
        return fail(error.message(), ExitRefused);
    } catch (const TGenerationError &error) {
        return fail(error.message(), ExitFailed);
    }
}

// Every finding of the model, a line each on stdout; exit 1 when there is any.
int checkModel(const QString &projectName, const QString &prefix)
{
    const int projectId = findProject(projectName);
    if (projectId < 0)
        return fail(QStringLiteral("找不到名为\"%1\"的项目").arg(projectName), ExitFailed);
    const TProjectModel model = [projectId] {
        const TReadSnapshot snapshot;
        return TProjectModel::Load(projectId);
    }();
    const TModelFindings findings = TModelChecker::Check(model, projectName, prefix);
    if (findings.isEmpty()) {
        writeOut(QStringLiteral("模型检查通过，没有发现问题。\n"), stdout);
        return ExitOk;
    }
    writeOut(TModelChecker::Messages(findings).join(QLatin1Char('\n')) + QLatin1Char('\n'), stdout);
    return ExitRefused;
}

int printHistory(const QString &home, const QString &projectName)
{
    if (findProject(projectName) < 0)
        return fail(QStringLiteral("找不到名为\"%1\"的项目").arg(projectName), ExitFailed);
    const QList<TModelVersion> versions = TGenerationRecord::Versions(outputDir(home, projectName));
    if (versions.isEmpty())
        return fail(TUpgradeSql::NoRecordMessage(), ExitFailed);
    QString lines;
    for (const TModelVersion &version : versions) {
        lines += QString::number(version.version) + QLatin1Char('\t')
            + version.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QLatin1Char('\n');
    }
    writeOut(lines, stdout);
    return ExitOk;
}

int printUpgrade(const QString &home, const QString &projectName, const TArguments &args)
{
    const int projectId = findProject(projectName);
    if (projectId < 0)
        return fail(QStringLiteral("找不到名为\"%1\"的项目").arg(projectName), ExitFailed);
    std::optional<int> from;
    if (args.from) {
        bool number = false;
        from = args.from->toInt(&number);
        if (!number || *from <= 0)
            return fail(QStringLiteral("版本号必须是正整数: %1").arg(*args.from), ExitFailed);
    }
    if (args.fromDb) {
        TDatabaseSource source;
        QHash<QString, QString> connection = args.connection;
        if (args.passwordFile)
            connection.insert(QStringLiteral("--password-file"), *args.passwordFile);
        if (const QString error = ModelCommands::ReadConnection(QStringLiteral("upgrade-sql --from-db"), connection, source);
            !error.isEmpty())
            return fail(error, ExitFailed);
        try {
            const TDatabaseVersion found = TDatabaseVersionFinder::Find(source, outputDir(home, projectName));
            fail(found.Report().join(QLatin1Char('\n')), 0);
            from = found.version;
        } catch (const TImportError &error) {
            return fail(error.messages().join(QLatin1Char('\n')), ExitFailed);
        }
    }
    try {
        writeOut(TDatabaseScripts::UpgradeScript(projectId, outputDir(home, projectName), from, args.prefix,
                                                 args.destructive, home),
                 stdout);
        return ExitOk;
    } catch (const TModelCheckError &error) {
        return fail(error.message(), ExitRefused);
    } catch (const TGenerationError &error) {
        return fail(error.message(), ExitFailed);
    }
}

// The project's table character set, printed, or set when one is given.
int projectCharset(const QString &projectName, const QStringList &values)
{
    const int projectId = findProject(projectName);
    if (projectId < 0)
        return fail(QStringLiteral("找不到名为\"%1\"的项目").arg(projectName), ExitFailed);
    if (values.isEmpty()) {
        writeOut(TProjectDAO().GetTableCharset(projectId) + QLatin1Char('\n'), stdout);
        return ExitOk;
    }
    if (values.size() > 1 || !TableCharset::All().contains(values.first()))
        return fail(QStringLiteral("字符集只能是 %1").arg(TableCharset::All().join(QStringLiteral(" 或 "))), ExitFailed);
    TProjectDAO().SetTableCharset(projectId, values.first());
    return ExitOk;
}

int run(const TArguments &args)
{
    const QString command = args.positional.value(0);
    if (command == QLatin1String("charset")) {
        if (args.positional.size() < 2 || args.prefix || args.dryRun || args.diff || args.from || args.destructive
            || args.passwordFile)
            return fail(QStringLiteral("命令 charset 需要一个项目名称和可选的字符集, 不带选项 (见 --help)"), ExitFailed);
        TDbHelper::SetDefaultDatabaseFile(QDir(QDir(args.home).absolutePath()).absoluteFilePath(QStringLiteral("projects.mdb")));
        try {
            return projectCharset(args.positional.at(1), args.positional.mid(2));
        } catch (const TDbError &error) {
            return fail(error.message(), ExitFailed);
        }
    }
    const bool upgrade = command == QLatin1String("upgrade-sql");
    const bool withProject = command == QLatin1String("generate") || command == QLatin1String("sql")
        || command == QLatin1String("check") || command == QLatin1String("history") || upgrade;
    const bool plain = command == QLatin1String("init") || command == QLatin1String("projects");
    if (!withProject && !plain)
        return fail(QStringLiteral("未知的命令: %1 (见 --help)").arg(command), ExitFailed);
    if (plain && args.positional.size() != 1)
        return fail(QStringLiteral("命令 %1 不带参数: %2 (见 --help)")
                        .arg(command, args.positional.mid(1).join(QLatin1Char(' '))),
                    ExitFailed);
    if ((plain || command == QLatin1String("history")) && args.prefix)
        return fail(QStringLiteral("选项 --prefix 只用于 generate、sql、check 和 upgrade-sql 命令"), ExitFailed);
    if ((args.dryRun || args.diff) && command != QLatin1String("generate"))
        return fail(QStringLiteral("选项 --dry-run 和 --diff 只用于 generate 命令"), ExitFailed);
    if ((args.from || args.destructive) && !upgrade)
        return fail(QStringLiteral("选项 --from 和 --destructive 只用于 upgrade-sql 命令"), ExitFailed);
    if (args.passwordFile && command != QLatin1String("generate") && !(upgrade && args.fromDb))
        return fail(QStringLiteral("选项 --password-file 只用于 generate、import-db 和 upgrade-sql --from-db 命令"), ExitFailed);
    if ((args.fromDb || !args.connection.isEmpty()) && !upgrade)
        return fail(QStringLiteral("选项 --from-db 和数据库连接选项只用于 upgrade-sql 命令"), ExitFailed);
    if (!args.connection.isEmpty() && !args.fromDb)
        return fail(QStringLiteral("数据库连接选项需要与 --from-db 一起使用"), ExitFailed);
    if (args.fromDb && args.from)
        return fail(QStringLiteral("选项 --from 与 --from-db 只能选用一种"), ExitFailed);
    if (args.diff && !args.dryRun)
        return fail(QStringLiteral("选项 --diff 需要与 --dry-run 一起使用"), ExitFailed);
    if (withProject && args.positional.size() != 2)
        return fail(QStringLiteral("命令 %1 需要且只需要一个项目名称 (见 --help)").arg(command),
                    ExitFailed);
    const QString prefix = args.prefix.value_or(QStringLiteral("t_"));
    if (prefix.isEmpty())
        return fail(QStringLiteral("前缀输入不能为空!"), ExitFailed);

    const QString home = QDir(args.home).absolutePath();
    const QString databaseFile = QDir(home).absoluteFilePath(QStringLiteral("projects.mdb"));
    TDbHelper::SetDefaultDatabaseFile(databaseFile);
    try {
        if (command == QLatin1String("init")) {
            TDbHelper::CreateEmptyDatabase(databaseFile);
            writeOut(QDir::toNativeSeparators(databaseFile) + QLatin1Char('\n'), stdout);
            return ExitOk;
        }
        if (command == QLatin1String("projects")) {
            QString lines;
            for (const TListEntry &project : TProjectDAO().GetProjects())
                lines += QString::number(project.id) + QLatin1Char('\t') + project.name + QLatin1Char('\n');
            writeOut(lines, stdout);
            return ExitOk;
        }
        const QString projectName = args.positional.at(1);
        if (command == QLatin1String("generate"))
            return generate(home, projectName, prefix, args);
        if (command == QLatin1String("check"))
            return checkModel(projectName, prefix);
        if (command == QLatin1String("history"))
            return printHistory(home, projectName);
        if (upgrade)
            return printUpgrade(home, projectName, args);
        return printScript(home, projectName, prefix);
    } catch (const TDbError &error) {
        return fail(error.message(), ExitFailed);
    }
}

// The commands, under whichever application main made.
int runCommands(void *)
{
#ifdef Q_OS_WIN
    _setmode(_fileno(stdout), _O_BINARY); // the script keeps its CR LF as it is
#endif
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    // export, import and import-db take options of their own.
    if (const std::optional<int> code = ModelCommands::Run(arguments))
        return *code;
    const TArguments args = parseArguments(arguments);
    if (!args.error.isEmpty())
        return fail(args.error + QStringLiteral(" (见 --help)"), ExitFailed);
    if (args.help) {
        writeOut(helpText(), stdout);
        return ExitOk;
    }
    if (args.positional.isEmpty()) {
        writeOut(helpText(), stderr);
        return ExitFailed;
    }
    return run(args);
}

} // namespace

int main(int argc, char *argv[])
{
    // Only a PNG picture of the model needs fonts, and with them a QGuiApplication, which the
    // picture module makes. Without the module the command runs on and says what is missing.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    if (ModelCommands::NeedsFonts(arguments)) {
        if (const std::optional<int> code = PictureModule::RunWithGui(argc, argv, runCommands, nullptr))
            return *code;
    }
    const QCoreApplication app(argc, argv);
    return runCommands(nullptr);
}
