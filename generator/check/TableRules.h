#pragma once

#include <QList>
#include <QString>

class TProjectModel;
class TMember;
struct TClassModel;

// What MariaDB and MySQL accept of a table's columns and indexes, in the character set of the
// project's tables; the model checker reports what breaks these rules.
namespace TableRules {

// One broken rule: the field at fault ("memberLength", "indexes[1]") and the words for the user.
struct TProblem {
    QString field;
    QString message;
};

// Bytes a character takes: 3 in utf8, 4 in utf8mb4.
int BytesPerCharacter(const QString &charset);
// The longest varchar a column takes (65535 bytes, 2 of them the length) and a key takes
// (3072 key bytes).
int MaxTextLength(const QString &charset);
int MaxTextKeyLength(const QString &charset);
// No control characters, and in utf8 nothing beyond three bytes.
bool IsStorableText(const QString &text, const QString &charset);
// The end of a message about text that IsStorableText refuses.
QString UnstorableText(const QString &charset);

// The rules on one member's column beyond its name and comment: the length of text, precision
// and scale, a long text's length, the enumeration's values, a nullable key, and rules that
// need a nullable reference. `where` names the member ("Item类的成员\"title\"").
QList<TProblem> MemberProblems(const TProjectModel &model, const TClassModel &cls,
                               const TMember &member, const QString &where);
// The rules on a class's indexes: names, members and their length.
QList<TProblem> IndexProblems(const TProjectModel &model, const TClassModel &cls);
// The bytes of a row as the script declares the columns, when it exceeds MariaDB's 65535;
// empty when it does not, or when a length is itself out of range.
QString RowSizeProblem(const TProjectModel &model, const TClassModel &cls);

} // namespace TableRules
