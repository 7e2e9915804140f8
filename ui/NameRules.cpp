#include "NameRules.h"

namespace NameRules {

bool IsSafeFileName(const QString &name)
{
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    static const QString forbidden = QStringLiteral("\\/:*?\"<>|");
    for (const QChar ch : name) {
        if (forbidden.contains(ch) || ch.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

bool StartsWithAsciiUpper(const QString &name)
{
    return !name.isEmpty() && name.at(0) >= QLatin1Char('A') && name.at(0) <= QLatin1Char('Z');
}

bool StartsWithAsciiLower(const QString &name)
{
    return !name.isEmpty() && name.at(0) >= QLatin1Char('a') && name.at(0) <= QLatin1Char('z');
}

} // namespace NameRules
