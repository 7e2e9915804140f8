#pragma once

#include <QString>

// Words a generated name must not be, compared without regard to case.
namespace ReservedWords {

// PHP keywords and the names PHP keeps for its own types and classes: none can name a class.
bool IsPhpReserved(const QString &name);
// Words MySQL 8 or MariaDB refuse as an unquoted table or column name.
bool IsSqlReserved(const QString &name);
// The classes of the application skeleton: a generated class of the same name would be
// declared twice.
bool IsSkeletonClass(const QString &name);
// The request parameters the pages and the skeleton read beside the members (case as written):
// a key or search member of the same name would be read as the page's own parameter.
bool IsPageParameter(const QString &name);

} // namespace ReservedWords
