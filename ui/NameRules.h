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

} // namespace NameRules
