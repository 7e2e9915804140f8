#pragma once

#include "model/Member.h"

#include <QString>

// The naming rules of generated code, kept in one place.
namespace Naming {

// {class}: the first character lowered when it is an ASCII capital A-Z, the rest unchanged.
QString LowerFirst(const QString &name);
// {Name}: the first character raised when it is an ASCII small letter a-z, the rest unchanged.
QString UpperFirst(const QString &name);

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

// Text, date and picture members are quoted, integer and float members bare. A reference
// member follows the key member of the class it names (refKey): bare for an integer key,
// quoted otherwise, and quoted when that class or its key does not exist.
TValueStyle ValueStyle(const TMember &member, const TMember *refKey);

// For a quoted style the quote character, otherwise nothing.
inline QString Quote(TValueStyle style)
{
    return style == TValueStyle::Quoted ? QStringLiteral("'") : QString();
}

// Whether a key member makes an integer key (auto-increment, compared bare). A class
// without a key member is treated as having a text key.
inline bool IsIntegerKey(const TMember *key)
{
    return key && key->memberIsInteger() == 1;
}

} // namespace Naming
