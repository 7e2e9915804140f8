#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class TProjectModel;

// One thing in a model that would make broken PHP or SQL, worded for the user.
struct TModelFinding {
    // The long-standing checks come first, in this order; the rest follow them.
    enum class TKind { KeyMember, DisplayMember, UnusableName, BrokenReference, Other };

    TKind kind = TKind::Other;
    int classId = 0;  // 0 when the finding is about the project (its name, the table prefix)
    int memberId = 0; // 0 when the finding is about a class as a whole
    QString className;
    QString memberName;
    // The field at fault ("className", "memberLength", ...); empty when no one field is.
    QString field;
    QString message;
};
using TModelFindings = QList<TModelFinding>;

// Every rule a model must keep to be generated and loaded into MariaDB. The run, the table
// script, velmora-cli and the window all ask this one checker, so they refuse the same models
// with the same words.
class TModelChecker {
public:
    // The largest varchar length a utf8 column takes (MariaDB: 65535 bytes, 3 bytes a
    // character, 2 bytes of length), and the largest a utf8 key takes (3072 key bytes).
    // TableRules gives both for a project's own character set.
    static constexpr int MaxTextLength = 21844;
    static constexpr int MaxTextKeyLength = 1024;
    // MySQL's limit on a table or column name.
    static constexpr int MaxSqlNameLength = 64;

    enum class TNameProblem { None, NotIdentifier, Reserved, SkeletonClass, TooLong };

    // All findings of the project, in a stable order: each class without exactly one key
    // member, then without exactly one display member, the names unusable as files, the broken
    // references, then the names, collisions, prefix, lengths and characters.
    // Without a project name (the table script names no folder) that name is not checked.
    static TModelFindings Check(const TProjectModel &model,
                                const std::optional<QString> &projectName,
                                const QString &tablePrefix);
    static QStringList Messages(const TModelFindings &findings);

    // The rules on one value, for the dialogs that take it as typed.
    static TNameProblem ClassNameProblem(const QString &name);
    static TNameProblem MemberNameProblem(const QString &name);
    // Why MySQL would refuse a table or column name of the user's own (any text up to 64
    // characters but NUL, without a blank at the end), as the end of a sentence; empty when
    // it takes it.
    static QString OwnSqlNameProblem(const QString &name);
    // Letters, digits and "_" only.
    static bool IsValidPrefix(const QString &prefix);
    // No control characters and nothing a utf8 (three-byte) column cannot hold.
    static bool IsStorableText(const QString &text);
    // Whether two names are the same to a case-insensitive file system or MySQL on Windows.
    static bool SameName(const QString &a, const QString &b);

    static QString PrefixMessage(const QString &prefix);
};
