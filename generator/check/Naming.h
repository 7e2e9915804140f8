#pragma once

#include "TypeRules.h"

#include "model/Member.h"

#include <QString>

// The naming rules of generated code, kept in one place.
namespace Naming {

// {class}: the first character lowered when it is an ASCII capital A-Z, the rest unchanged.
QString LowerFirst(const QString &name);
// {Name}: the first character raised when it is an ASCII small letter a-z, the rest unchanged.
QString UpperFirst(const QString &name);

// A member name as a label people read: words split at case changes and underscores, each
// word's first letter raised ("studentId" -> "Student Id", "HTMLCode" -> "HTML Code").
QString ReadableName(const QString &name);

// A friendly name or comment as written inside a PHP comment. Text that would end the
// comment ("*/", a line break) or leave PHP mode ("?>") is broken apart; any other text,
// which is nearly all text, is unchanged.
QString PhpCommentText(const QString &text);

// A text as the content of a single-quoted PHP string: backslash and quote escaped.
QString PhpStringText(const QString &text);
// A text as HTML text or a double-quoted attribute value, on one line: the five markup
// characters as entities (so "<?" can never open PHP in a page), line breaks as blanks.
QString HtmlText(const QString &text);

// How a member's value is written into PHP or SQL text.
enum class TValueStyle { Quoted, Bare };

// Numbers and 是否型 are bare (TypeRules::IsBare), the other built-in types quoted. A reference
// member follows the key member of the class it names (refKey): bare for an integer key,
// quoted otherwise, and quoted when that class or its key does not exist.
TValueStyle ValueStyle(const TMember &member, const TMember *refKey);

// For a quoted style the quote character, otherwise nothing.
inline QString Quote(TValueStyle style)
{
    return style == TValueStyle::Quoted ? QStringLiteral("'") : QString();
}

using TypeRules::IsIntegerKey;

// A table or column name as SQL text: back-quoted only where it needs it (a reserved word, or
// a character outside [A-Za-z0-9_]), so plain names are written bare.
QString SqlName(const QString &name);
// A name between back quotes, a back quote inside it doubled.
QString BackQuoted(const QString &name);
// The table's name in the database: its own name when it has one, otherwise prefix + class.
QString TableName(const QString &prefix, const QString &className, const QString &ownName);
// The column's name in the database: its own name when it has one, otherwise the member name.
QString ColumnName(const TMember &member);
// Both as SQL text.
inline QString SqlTable(const QString &prefix, const QString &className, const QString &ownName)
{
    return SqlName(TableName(prefix, className, ownName));
}
inline QString SqlColumn(const TMember &member)
{
    return SqlName(ColumnName(member));
}

} // namespace Naming
