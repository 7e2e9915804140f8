#include "ui/ProjectSettings.h"

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
    Write(prefixKey(projectId), prefix);
}

QByteArray TProjectSettings::WindowState(const QString &key) const
{
    const QSettings settings(file_, QSettings::IniFormat);
    return settings.value(QStringLiteral("window/") + key).toByteArray();
}

void TProjectSettings::SetWindowState(const QString &key, const QByteArray &state) const
{
    QSettings settings(file_, QSettings::IniFormat);
    settings.setValue(QStringLiteral("window/") + key, state);
}

bool TProjectSettings::ShowSuccessMessages() const
{
    const QSettings settings(file_, QSettings::IniFormat);
    return settings.value(QStringLiteral("window/showSuccessMessages"), true).toBool();
}

void TProjectSettings::SetShowSuccessMessages(bool show) const
{
    Write(QStringLiteral("window/showSuccessMessages"), show);
}

void TProjectSettings::Write(const QString &key, const QVariant &value) const
{
    QSettings settings(file_, QSettings::IniFormat);
    settings.setValue(key, value);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw std::runtime_error(QStringLiteral("无法保存设置文件 %1")
                                     .arg(QDir::toNativeSeparators(file_)).toStdString());
}
