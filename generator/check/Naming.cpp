#include "Naming.h"

#include "ReservedWords.h"

#include <QStringList>

#include <algorithm>

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

QString ReadableName(const QString &name)
{
    QStringList words;
    QString word;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name.at(i);
        if (c == QLatin1Char('_') || c.isSpace()) {
            if (!word.isEmpty())
                words << word;
            word.clear();
            continue;
        }
        // A new word starts at a capital after a small letter or digit, and at the last
        // capital of a run that a small letter follows ("HTMLCode": "HTML" "Code").
        const bool capital = c.isUpper();
        const QChar before = i > 0 ? name.at(i - 1) : QChar();
        const bool smallNext = i + 1 < name.size() && name.at(i + 1).isLower();
        if (!word.isEmpty() && capital && (before.isLower() || before.isDigit() || (before.isUpper() && smallNext))) {
            words << word;
            word.clear();
        }
        word += c;
    }
    if (!word.isEmpty())
        words << word;
    for (QString &w : words)
        w[0] = w.at(0).toUpper();
    return words.join(QLatin1Char(' '));
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
    if (TypeRules::IsBare(type))
        return TValueStyle::Bare;
    if (!MemberType::IsReference(type))
        return TValueStyle::Quoted;
    return IsIntegerKey(refKey) ? TValueStyle::Bare : TValueStyle::Quoted;
}

QString SqlName(const QString &name)
{
    const bool plain = !name.isEmpty() && std::all_of(name.cbegin(), name.cend(), [](QChar c) {
        return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            || (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('_');
    });
    return plain && !ReservedWords::IsSqlReserved(name) ? name : BackQuoted(name);
}

QString BackQuoted(const QString &name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('`'), QStringLiteral("``"));
    return QLatin1Char('`') + quoted + QLatin1Char('`');
}

QString TableName(const QString &prefix, const QString &className, const QString &ownName)
{
    return ownName.isEmpty() ? prefix + className : ownName;
}

QString ColumnName(const TMember &member)
{
    return member.memberColumnName().isEmpty() ? member.memberName() : member.memberColumnName();
}

} // namespace Naming
