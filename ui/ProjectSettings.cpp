#include "ProjectSettings.h"

#include <QDir>
#include <QSettings>

#include <stdexcept>

namespace {
QString prefixKey(int projectId)
{
    return QStringLiteral("project%1/tablePrefix").arg(projectId);
}
} // namespace

TProjectSettings::TProjectSettings(const QString &programDir)
    : file_(QDir(programDir).filePath(QStringLiteral("velmora.ini")))
{
}

QString TProjectSettings::TablePrefix(int projectId) const
{
    const QSettings settings(file_, QSettings::IniFormat);
    return settings.value(prefixKey(projectId), QStringLiteral("t_")).toString();
}

void TProjectSettings::SetTablePrefix(int projectId, const QString &prefix) const
{
    QSettings settings(file_, QSettings::IniFormat);
    settings.setValue(prefixKey(projectId), prefix);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw std::runtime_error(QStringLiteral("无法保存设置文件 %1")
                                     .arg(QDir::toNativeSeparators(file_)).toStdString());
}
