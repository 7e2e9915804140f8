#pragma once

#include <QString>
#include <QStringList>

// The character set a project's tables are created in. A project made before the setting
// existed, or one without it, keeps utf8 (three bytes, utf8_bin), so its script stays as it was.
namespace TableCharset {
inline const QString Utf8 = QStringLiteral("utf8");
inline const QString Utf8mb4 = QStringLiteral("utf8mb4"); // every new project

inline const QStringList &All()
{
    static const QStringList charsets{Utf8mb4, Utf8};
    return charsets;
}
} // namespace TableCharset
