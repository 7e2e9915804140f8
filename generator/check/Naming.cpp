#include "Naming.h"

namespace {

// Whether text holds any of the characters; most names and comments hold none, and then the
// replacements below, each a search of its own, are skipped.
bool holdsAny(const QString &text, QLatin1StringView characters)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x80 && characters.contains(QLatin1Char(char(c.unicode()))))
            return true;
    }
    return false;
}

} // namespace

namespace Naming {

QString LowerFirst(const QString &name)
{
    QString result = name;
    if (!result.isEmpty() && result[0] >= QLatin1Char('A') && result[0] <= QLatin1Char('Z'))
        result[0] = QChar(result[0].unicode() + ('a' - 'A'));
    return result;
}

QString UpperFirst(const QString &name)
{
    QString result = name;
    if (!result.isEmpty() && result[0] >= QLatin1Char('a') && result[0] <= QLatin1Char('z'))
        result[0] = QChar(result[0].unicode() - ('a' - 'A'));
    return result;
}

QString PhpCommentText(const QString &text)
{
    if (!holdsAny(text, QLatin1StringView("\r\n*?")))
        return text;
    QString result = text;
    result.replace(QLatin1String("\r\n"), QLatin1String(" "));
    result.replace(QLatin1Char('\r'), QLatin1Char(' '));
    result.replace(QLatin1Char('\n'), QLatin1Char(' '));
    result.replace(QLatin1String("*/"), QLatin1String("* /"));
    result.replace(QLatin1String("?>"), QLatin1String("? >"));
    return result;
}

QString PhpStringText(const QString &text)
{
    if (!holdsAny(text, QLatin1StringView("\\'")))
        return text;
    QString result = text;
    result.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    result.replace(QLatin1Char('\''), QLatin1String("\\'"));
    return result;
}

QString HtmlText(const QString &text)
{
    if (!holdsAny(text, QLatin1StringView("&<>\"'\r\n")))
        return text;
    QString result = text.toHtmlEscaped(); // & < > "
    result.replace(QLatin1Char('\''), QLatin1String("&#039;"));
    result.replace(QLatin1String("\r\n"), QLatin1String(" "));
    result.replace(QLatin1Char('\r'), QLatin1Char(' '));
    result.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return result;
}

TValueStyle ValueStyle(const TMember &member, const TMember *refKey)
{
    const QString type = member.memberType();
    if (type == MemberType::Integer || type == MemberType::Float)
        return TValueStyle::Bare;
    if (!MemberType::IsReference(type))
        return TValueStyle::Quoted;
    return IsIntegerKey(refKey) ? TValueStyle::Bare : TValueStyle::Quoted;
}

} // namespace Naming
