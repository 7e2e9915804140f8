#include "ImportNames.h"

#include "generator/check/ReservedWords.h"

namespace {

bool isPlainLetterOrDigit(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
        || (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('_') || (c.unicode() > 0x7F && c.isLetterOrNumber());
}

// Room left for a suffix that tells clashing names apart.
constexpr int maxBaseLength = TModelChecker::MaxSqlNameLength - 4;

} // namespace

TModelChecker::TNameProblem TImportNames::Problem(const QString &name) const
{
    return kind_ == TKind::Class ? TModelChecker::ClassNameProblem(name) : TModelChecker::MemberNameProblem(name);
}

bool TImportNames::Usable(const QString &name) const
{
    return Problem(name) == TModelChecker::TNameProblem::None
        && (kind_ == TKind::Class || !ReservedWords::IsPageParameter(name));
}

// Each run of other characters ends a word and the next word starts with a capital; a leading
// digit gets an underscore before it; a reserved word gets one after it.
QString TImportNames::Derived(const QString &real) const
{
    QString name;
    bool capital = false;
    for (const QChar c : real) {
        if (!isPlainLetterOrDigit(c)) {
            capital = !name.isEmpty();
            continue;
        }
        name += capital ? c.toUpper() : c;
        capital = false;
    }
    if (name.isEmpty())
        name = kind_ == TKind::Class ? QStringLiteral("Table") : QStringLiteral("column");
    if (name.at(0).isDigit())
        name.prepend(QLatin1Char('_'));
    name.truncate(maxBaseLength);
    if (!Usable(name)) {
        if (kind_ == TKind::Class)
            name[0] = name.at(0).toUpper();
        name += QLatin1Char('_');
    }
    return name;
}

TImportNames::TName TImportNames::Take(const QString &real)
{
    TName result{real, QString()};
    if (!Usable(real)) {
        result.name = Derived(real);
        switch (Problem(real)) {
        case TModelChecker::TNameProblem::None:
            result.reason = QStringLiteral("原名是页面使用的参数名");
            break;
        case TModelChecker::TNameProblem::TooLong:
            result.reason = QStringLiteral("原名超过%1个字符").arg(TModelChecker::MaxSqlNameLength);
            break;
        case TModelChecker::TNameProblem::NotIdentifier:
            result.reason = QStringLiteral("原名不是合法的PHP标识符");
            break;
        case TModelChecker::TNameProblem::SkeletonClass:
            result.reason = QStringLiteral("原名与程序框架自带的类重名");
            break;
        default:
            result.reason = QStringLiteral("原名是PHP或MySQL的保留字");
            break;
        }
    }
    const QString base = result.name;
    for (int n = 2; taken_.contains(result.name.toCaseFolded()); ++n) {
        result.name = base + QString::number(n);
        result.reason = QStringLiteral("与已导入的名称重名");
    }
    taken_.insert(result.name.toCaseFolded());
    return result;
}
