#include "ModelChecker.h"

#include "Naming.h"
#include "ProjectModel.h"
#include "ReservedWords.h"
#include "RunMessages.h"
#include "TableRules.h"
#include "TypeRules.h"

#include <QHash>

#include <algorithm>

namespace {

using TKind = TModelFinding::TKind;
using TNameProblem = TModelChecker::TNameProblem;

bool isAsciiLetter(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// PHP takes any character above 0x7F in a name; of those we accept letters (and, after the
// first, digits and marks), so that no blank or punctuation of another script slips through.
bool isIdentifier(const QString &name)
{
    if (name.isEmpty())
        return false;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name.at(i);
        const bool wide = c.unicode() > 0x7F && !c.isSurrogate();
        const bool ok = isAsciiLetter(c) || c == QLatin1Char('_')
            || (i > 0 && isAsciiDigit(c))
            || (wide && (c.isLetter() || (i > 0 && (c.isNumber() || c.isMark()))));
        if (!ok)
            return false;
    }
    return true;
}

// Same test as the run applies to file names; such a name is reported once, as unusable.
bool usableAsFileName(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    for (const QChar c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 0x20)
            return false;
    }
    return true;
}

class TCheck {
public:
    TCheck(const TProjectModel &model, const std::optional<QString> &projectName,
           const QString &prefix)
        : model_(model), projectName_(projectName), prefix_(prefix)
    {
        // Same names found through one pass, not by comparing every class with every other.
        for (const TClassModel &cls : model_.Classes()) {
            classesNamed_[cls.className.toCaseFolded()].append(&cls);
            tablesNamed_[Naming::TableName(prefix_, cls.className, cls.tableName).toCaseFolded()].append(&cls);
        }
    }

    TModelFindings Run()
    {
        CountedMembers(TKind::KeyMember, [](const TMember &m) { return m.memberIsPri() == 1; },
                       &RunMessages::KeyMemberError, true);
        CountedMembers(TKind::DisplayMember, [](const TMember &m) { return m.memberIsDisplay() == 1; },
                       &RunMessages::DisplayMemberError);
        UnusableNames();
        BrokenReferences();
        if (!TModelChecker::IsValidPrefix(prefix_))
            Add(TKind::Other, nullptr, nullptr, TModelChecker::PrefixMessage(prefix_));
        for (const TClassModel &cls : model_.Classes())
            ClassRules(cls);
        return findings_;
    }

private:
    void Add(TKind kind, const TClassModel *cls, const TMember *member, const QString &message,
             const QString &field = QString())
    {
        TModelFinding finding;
        finding.kind = kind;
        finding.field = field;
        if (cls) {
            finding.classId = cls->classId;
            finding.className = cls->className;
        }
        if (member) {
            finding.memberId = member->memberId();
            finding.memberName = member->memberName();
        }
        finding.message = message;
        findings_.append(finding);
    }

    // For the key: a class marked as having a composite key is left to CompositeKey, and a
    // read-only class may go without (keyless tables): it never addresses a row.
    template <typename Pred>
    void CountedMembers(TKind kind, Pred flagged, QString (*message)(const QString &), bool isKey = false)
    {
        for (const TClassModel &cls : model_.Classes()) {
            if (isKey && cls.compositeKey == 1) {
                CompositeKey(cls);
                continue;
            }
            const auto count = std::count_if(cls.members.cbegin(), cls.members.cend(), flagged);
            if (count != 1 && !(count == 0 && isKey && cls.isReadOnly))
                Add(kind, &cls, nullptr, message(cls.className));
        }
    }

    void CompositeKey(const TClassModel &cls)
    {
        const QList<TMember> keys = cls.KeyMembers();
        if (keys.size() < 2)
            Add(TKind::Other, &cls, nullptr,
                cls.className + QStringLiteral("表设为复合主键，至少要设置两个主键!"), "members");
        for (const TMember &key : cls.members) {
            if (key.memberIsPri() == 1 && !TypeRules::CanBeKey(key.memberType())
                && !MemberType::IsReference(key.memberType()))
                Add(TKind::Other, &cls, &key,
                    cls.className + QStringLiteral("类的成员\"%1\"是%2，不能作为复合主键的一部分，请修改!")
                                        .arg(key.memberName(), key.memberType()),
                    "memberType");
        }
    }

    void OwnNames(const TClassModel &cls)
    {
        const QString tableProblem = cls.tableName.isEmpty() ? QString() : TModelChecker::OwnSqlNameProblem(cls.tableName);
        if (!tableProblem.isEmpty())
            Add(TKind::Other, &cls, nullptr,
                QStringLiteral("%1类的表名\"%2\"%3，MySQL不能建表，请修改表名!").arg(cls.className, cls.tableName, tableProblem),
                "tableName");
        const QString table = Naming::TableName(prefix_, cls.className, cls.tableName);
        for (const TClassModel *other : tablesNamed_.value(table.toCaseFolded())) {
            if (other == &cls)
                break;
            if ((!cls.tableName.isEmpty() || !other->tableName.isEmpty())
                && TModelChecker::SameName(Naming::TableName(prefix_, other->className, other->tableName), table)) {
                Add(TKind::Other, &cls, nullptr,
                    QStringLiteral("%1类的表名\"%2\"与%3类的表名重名(不区分大小写)，请修改表名!").arg(cls.className, table, other->className),
                    "tableName");
                break;
            }
        }
        QHash<QString, const TMember *> columns;
        for (const TMember &member : cls.members) {
            const QString where = cls.className + QStringLiteral("类的成员\"%1\"").arg(member.memberName());
            const QString column = Naming::ColumnName(member);
            const QString problem = member.memberColumnName().isEmpty() ? QString() : TModelChecker::OwnSqlNameProblem(column);
            if (!problem.isEmpty())
                Add(TKind::Other, &cls, &member,
                    where + QStringLiteral("的列名\"%1\"%2，MySQL不能建表，请修改列名!").arg(column, problem), "memberColumnName");
            const QString folded = column.toCaseFolded();
            const TMember *first = columns.value(folded);
            if (first && (!member.memberColumnName().isEmpty() || !first->memberColumnName().isEmpty()))
                Add(TKind::Other, &cls, &member,
                    where + QStringLiteral("的列名\"%1\"与成员\"%2\"的列名重名(不区分大小写)，请修改列名!")
                                .arg(column, first->memberName()), "memberColumnName");
            else if (!first)
                columns.insert(folded, &member);
        }
    }

    void UnusableNames()
    {
        if (projectName_ && !usableAsFileName(*projectName_))
            Add(TKind::UnusableName, nullptr, nullptr, RunMessages::BadProjectName(*projectName_), "projectName");
        for (const TClassModel &cls : model_.Classes()) {
            if (!usableAsFileName(cls.className))
                Add(TKind::UnusableName, &cls, nullptr, RunMessages::BadClassName(cls.className), "className");
        }
    }

    void BrokenReferences()
    {
        for (const TClassModel &cls : model_.Classes()) {
            for (const TMember &member : cls.members) {
                if (!MemberType::IsReference(member.memberType()))
                    continue;
                const TClassModel *ref = model_.FindClass(member.memberType());
                if (!model_.ProjectKeyMember(member.memberType())) {
                    Add(TKind::BrokenReference, &cls, &member,
                        RunMessages::BrokenReference(cls.className, member.memberName(),
                                                     member.memberType()), "memberType");
                } else if (ref && ref->compositeKey == 1) {
                    // A reference holds one key value; such a row is named by several.
                    Add(TKind::Other, &cls, &member,
                        cls.className + QStringLiteral("类的成员%1引用的类%2是复合主键，不能被引用!")
                                            .arg(member.memberName(), member.memberType()),
                        "memberType");
                }
            }
        }
    }

    void ClassRules(const TClassModel &cls)
    {
        OwnNames(cls);
        if (usableAsFileName(cls.className)) {
            TNameProblem problem = TModelChecker::ClassNameProblem(cls.className);
            // With a table name of its own, the class name never reaches SQL: only PHP's words bind it.
            if (!cls.tableName.isEmpty()
                && ((problem == TNameProblem::Reserved && !ReservedWords::IsPhpReserved(cls.className))
                    || problem == TNameProblem::TooLong))
                problem = ReservedWords::IsSkeletonClass(cls.className) ? TNameProblem::SkeletonClass : TNameProblem::None;
            if (problem != TNameProblem::None)
                Add(TKind::Other, &cls, nullptr, ClassNameMessage(cls.className, problem), "className");
            else if (cls.tableName.isEmpty() && prefix_.size() + cls.className.size() > TModelChecker::MaxSqlNameLength)
                Add(TKind::Other, &cls, nullptr,
                    QStringLiteral("表名\"%1%2\"超过%3个字符，MySQL不能建表，请缩短类名或表名前缀!")
                        .arg(prefix_, cls.className).arg(TModelChecker::MaxSqlNameLength), "className");
        }
        for (const TClassModel *other : classesNamed_.value(cls.className.toCaseFolded())) {
            if (other == &cls)
                break;
            if (TModelChecker::SameName(other->className, cls.className)) {
                Add(TKind::Other, &cls, nullptr,
                    QStringLiteral("类名\"%1\"与类名\"%2\"重名(不区分大小写)，请修改类名!")
                        .arg(cls.className, other->className), "className");
                break;
            }
        }
        if (!TableRules::IsStorableText(cls.friendName, model_.Charset()))
            Add(TKind::Other, &cls, nullptr,
                cls.className + QStringLiteral("类的友好名称") + TableRules::UnstorableText(model_.Charset()),
                "friendName");

        QHash<QString, const TMember *> seen;
        for (const TMember &member : cls.members)
            MemberRules(cls, member, seen);
        for (const TableRules::TProblem &problem : TableRules::IndexProblems(model_, cls))
            Add(TKind::Other, &cls, nullptr, problem.message, problem.field);
        const QString rowSize = TableRules::RowSizeProblem(model_, cls);
        if (!rowSize.isEmpty())
            Add(TKind::Other, &cls, nullptr, rowSize);
    }

    void MemberRules(const TClassModel &cls, const TMember &member,
                     QHash<QString, const TMember *> &seen)
    {
        const QString name = member.memberName();
        const QString where = cls.className + QStringLiteral("类的成员\"%1\"").arg(name);
        TNameProblem problem = TModelChecker::MemberNameProblem(name);
        // With a column name of its own, the member name never reaches SQL: only "$this" binds it.
        if (!member.memberColumnName().isEmpty()
            && ((problem == TNameProblem::Reserved && name.compare(QLatin1String("this"), Qt::CaseInsensitive) != 0)
                || problem == TNameProblem::TooLong))
            problem = TNameProblem::None;
        switch (problem) {
        case TNameProblem::None:
            break;
        case TNameProblem::Reserved:
            Add(TKind::Other, &cls, &member, where + QStringLiteral("是保留字(this或MySQL的保留字)，请修改成员名称!"), "memberName");
            break;
        case TNameProblem::TooLong:
            Add(TKind::Other, &cls, &member,
                where + QStringLiteral("超过%1个字符，MySQL不能建表，请缩短成员名称!").arg(TModelChecker::MaxSqlNameLength), "memberName");
            break;
        default:
            Add(TKind::Other, &cls, &member, where + notIdentifier() + QStringLiteral("，请修改成员名称!"), "memberName");
            break;
        }
        // A key or search member travels beside the page's own parameters at the top of the request.
        if (problem == TNameProblem::None && (member.memberIsPri() == 1 || member.queryFlag() == 1)
            && ReservedWords::IsPageParameter(name))
            Add(TKind::Other, &cls, &member,
                where + QStringLiteral("与页面使用的参数名相同，作为主键或查询条件时会被当作页面的参数，请修改成员名称!"),
                "memberName");
        const QString folded = name.toCaseFolded();
        if (const TMember *first = seen.value(folded)) {
            Add(TKind::Other, &cls, &member,
                where + QStringLiteral("与成员\"%1\"重名(不区分大小写)，请修改成员名称!").arg(first->memberName()), "memberName");
        } else {
            seen.insert(folded, &member);
        }
        for (const TableRules::TProblem &problem : TableRules::MemberProblems(model_, cls, member, where))
            Add(TKind::Other, &cls, &member, problem.message, problem.field);
        if (!TableRules::IsStorableText(member.memberComment(), model_.Charset()))
            Add(TKind::Other, &cls, &member,
                where + QStringLiteral("的注释") + TableRules::UnstorableText(model_.Charset()), "memberComment");
    }

    static QString notIdentifier()
    {
        return QStringLiteral("不是合法的PHP标识符(只能由字母、数字和下划线组成，且不能以数字开头)");
    }

    static QString ClassNameMessage(const QString &name, TNameProblem problem)
    {
        const QString what = QStringLiteral("类名\"%1\"").arg(name);
        switch (problem) {
        case TNameProblem::Reserved:
            return what + QStringLiteral("是PHP或MySQL的保留字(不区分大小写)，请修改类名!");
        case TNameProblem::SkeletonClass:
            return what + QStringLiteral("与程序框架自带的类重名，请修改类名!");
        case TNameProblem::TooLong:
            return what + QStringLiteral("超过%1个字符，MySQL不能建表，请缩短类名!").arg(TModelChecker::MaxSqlNameLength);
        default:
            return what + notIdentifier() + QStringLiteral("，请修改类名!");
        }
    }

    const TProjectModel &model_;
    const std::optional<QString> projectName_;
    const QString prefix_;
    TModelFindings findings_;
    // Case-folded class and table names -> the classes that have them, in the model's order.
    QHash<QString, QList<const TClassModel *>> classesNamed_, tablesNamed_;
};

} // namespace

TModelFindings TModelChecker::Check(const TProjectModel &model,
                                    const std::optional<QString> &projectName,
                                    const QString &tablePrefix)
{
    return TCheck(model, projectName, tablePrefix).Run();
}

QStringList TModelChecker::Messages(const TModelFindings &findings)
{
    QStringList messages;
    for (const TModelFinding &finding : findings)
        messages.append(finding.message);
    return messages;
}

TModelChecker::TNameProblem TModelChecker::ClassNameProblem(const QString &name)
{
    if (!isIdentifier(name))
        return TNameProblem::NotIdentifier;
    if (ReservedWords::IsPhpReserved(name) || ReservedWords::IsSqlReserved(name))
        return TNameProblem::Reserved;
    if (ReservedWords::IsSkeletonClass(name))
        return TNameProblem::SkeletonClass;
    if (name.size() > MaxSqlNameLength)
        return TNameProblem::TooLong;
    return TNameProblem::None;
}

TModelChecker::TNameProblem TModelChecker::MemberNameProblem(const QString &name)
{
    if (!isIdentifier(name))
        return TNameProblem::NotIdentifier;
    // PHP takes any other keyword as a property name; "$this" alone it keeps for itself.
    if (name.compare(QLatin1String("this"), Qt::CaseInsensitive) == 0
        || ReservedWords::IsSqlReserved(name))
        return TNameProblem::Reserved;
    if (name.size() > MaxSqlNameLength)
        return TNameProblem::TooLong;
    return TNameProblem::None;
}

QString TModelChecker::OwnSqlNameProblem(const QString &name)
{
    if (name.size() > MaxSqlNameLength)
        return QStringLiteral("超过%1个字符").arg(MaxSqlNameLength);
    if (name.contains(QChar(0)))
        return QStringLiteral("含有NUL字符");
    if (!name.isEmpty() && name.back().isSpace())
        return QStringLiteral("以空白结尾");
    return {};
}

bool TModelChecker::IsValidPrefix(const QString &prefix)
{
    for (const QChar c : prefix) {
        if (!isAsciiLetter(c) && !isAsciiDigit(c) && c != QLatin1Char('_'))
            return false;
    }
    return true;
}

bool TModelChecker::IsStorableText(const QString &text)
{
    return TableRules::IsStorableText(text, TableCharset::Utf8);
}

bool TModelChecker::SameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString TModelChecker::PrefixMessage(const QString &prefix)
{
    return QStringLiteral("表名前缀\"%1\"只能包含字母、数字和下划线!").arg(prefix);
}
