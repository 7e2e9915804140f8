#include "ConnectionConfig.h"

#include "FileOperate.h"
#include "GenerationError.h"
#include "GenerationTarget.h"

#include <QDir>
#include <QRegularExpression>

namespace {

// A PHP string literal in single quotes: only the quote and the backslash are special.
QString phpString(QString text)
{
    text.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    text.replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

// Replaces the value of one "'key' => value," line of the settings array.
void setValue(QString &text, const QString &key, const QString &value)
{
    const QRegularExpression line(QStringLiteral("^(\\s*'%1'\\s*=>\\s*)[^\\n]*,$").arg(key),
                                  QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = line.match(text);
    if (match.hasMatch())
        text.replace(match.capturedStart(), match.capturedLength(), match.captured(1) + value + QLatin1Char(','));
}

} // namespace

QString TConnectionConfig::RelativePath()
{
    return QStringLiteral("database/config.php");
}

QString TConnectionConfig::Build(const QString &skeleton, const TExistingDatabase &existing,
                                 const std::optional<QString> &password)
{
    QString text = skeleton;
    // With neither host nor socket the import reached the server on this machine.
    const QString host = existing.host.isEmpty() && existing.socket.isEmpty() ? QStringLiteral("localhost") : existing.host;
    setValue(text, QStringLiteral("host"), phpString(host));
    setValue(text, QStringLiteral("port"), QString::number(existing.port));
    setValue(text, QStringLiteral("socket"), phpString(existing.socket));
    setValue(text, QStringLiteral("user"), phpString(existing.user));
    setValue(text, QStringLiteral("password"), phpString(password.value_or(QString())));
    setValue(text, QStringLiteral("database"), phpString(existing.database));
    setValue(text, QStringLiteral("table_prefix"), phpString(existing.appPrefix));
    return text;
}

void TConnectionConfig::Write(const TGenerationTarget &target, const QString &bakDir,
                              const TExistingDatabase &existing, const std::optional<QString> &password)
{
    if (target.dryRun)
        return;
    const QString path = target.WriteDir() + QLatin1Char('/') + RelativePath();
    const QString shown = target.RelativeOutputDir() + QLatin1Char('/') + RelativePath();
    const QString skeletonPath = bakDir + QLatin1Char('/') + RelativePath();
    const std::optional<QByteArray> skeletonBytes = TFileOperate::ReadBytes(skeletonPath);
    if (!skeletonBytes)
        throw TGenerationError(QStringLiteral("找不到模板资源 \"%1\"").arg(QDir::toNativeSeparators(skeletonPath)));
    const QByteArray &skeleton = *skeletonBytes;
    const QByteArray bytes = Build(QString::fromUtf8(skeleton), existing, password).toUtf8();
    const std::optional<QByteArray> present = TFileOperate::ReadBytes(path);
    if (present && *present != skeleton && *present != bytes) {
        target.Report(QStringLiteral("%1已存在且与生成的内容不同，保留不变(其中的连接设置可能已经修改过)").arg(shown));
        return;
    }
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    TFileOperate::SaveBytes(path.left(slash), path, bytes);
    target.Report(QStringLiteral("%1生成完毕: 连接数据库 %2 (用户 %3)").arg(shown, existing.database, existing.user));
    if (!password)
        target.Report(QStringLiteral("没有给出数据库密码: %1 中的 password 留空，请填写后再使用生成的程序").arg(shown));
}
