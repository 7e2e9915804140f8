#pragma once

#include <QString>

// Rules on the names typed into the windows.
namespace NameRules {

// Project and class names become folder and file names under projects/. A name that holds
// \ / : * ? " < > | or a control character, or that is "." or "..", would leave that folder
// or fail to be written, and is refused.
bool IsSafeFileName(const QString &name);

// The first character is an ASCII capital A-Z (class names).
bool StartsWithAsciiUpper(const QString &name);

// The first character is an ASCII small letter a-z (member names).
bool StartsWithAsciiLower(const QString &name);

// The model checker's rules on a typed class name, member name, table prefix or text, as a
// dialog's message; empty text when the value keeps them.
QString ClassNameRefusal(const QString &name);
QString MemberNameRefusal(const QString &name);
QString PrefixRefusal(const QString &prefix);
// what names the field, e.g. "成员注释".
QString TextRefusal(const QString &what, const QString &text);

} // namespace NameRules
