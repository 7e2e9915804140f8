#include "ui/NameRules.h"

#include "generator/check/ModelChecker.h"

namespace NameRules {

bool IsSafeFileName(const QString &name)
{
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    static const QString forbidden = QStringLiteral("\\/:*?\"<>|");
    for (const QChar ch : name) {
        if (forbidden.contains(ch) || ch.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

bool StartsWithAsciiUpper(const QString &name)
{
    return !name.isEmpty() && name.at(0) >= QLatin1Char('A') && name.at(0) <= QLatin1Char('Z');
}

bool StartsWithAsciiLower(const QString &name)
{
    return !name.isEmpty() && name.at(0) >= QLatin1Char('a') && name.at(0) <= QLatin1Char('z');
}

QString ClassNameRefusal(const QString &name)
{
    switch (TModelChecker::ClassNameProblem(name)) {
    case TModelChecker::TNameProblem::None:
        return QString();
    case TModelChecker::TNameProblem::Reserved:
        return QStringLiteral("类名称不能是PHP或MySQL的保留字!");
    case TModelChecker::TNameProblem::SkeletonClass:
        return QStringLiteral("类名称不能与程序框架自带的类重名!");
    case TModelChecker::TNameProblem::TooLong:
        return QStringLiteral("类名称不能超过%1个字符!").arg(TModelChecker::MaxSqlNameLength);
    default:
        return QStringLiteral("类名称只能由字母、数字和下划线组成!");
    }
}

QString MemberNameRefusal(const QString &name)
{
    switch (TModelChecker::MemberNameProblem(name)) {
    case TModelChecker::TNameProblem::None:
        return QString();
    case TModelChecker::TNameProblem::Reserved:
        return QStringLiteral("成员名称不能是this或MySQL的保留字!");
    case TModelChecker::TNameProblem::TooLong:
        return QStringLiteral("成员名称不能超过%1个字符!").arg(TModelChecker::MaxSqlNameLength);
    default:
        return QStringLiteral("成员名称只能由字母、数字和下划线组成!");
    }
}

QString PrefixRefusal(const QString &prefix)
{
    return TModelChecker::IsValidPrefix(prefix) ? QString() : TModelChecker::PrefixMessage(prefix);
}

QString TextRefusal(const QString &what, const QString &text)
{
    if (TModelChecker::IsStorableText(text))
        return QString();
    return what + QStringLiteral("不能含有控制字符或表情符号等字符(建表脚本的表是utf8字符集，不能保存)!");
}

} // namespace NameRules
