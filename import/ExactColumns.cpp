#include "ExactColumns.h"

#include "generator/check/ProjectModel.h"
#include "generator/check/TableRules.h"
#include "generator/check/TypeRules.h"
#include "generator/emit/DataBaseSql.h"

namespace {

// The model of the document as the generators see it.
TProjectModel modelOf(const TModelDocument &document)
{
    QList<TClassModel> classes;
    int memberId = 0;
    for (const TModelClass &source : document.classes) {
        TClassModel cls;
        cls.classId = int(classes.size()) + 1;
        cls.className = source.className;
        cls.tableName = source.tableName;
        cls.compositeKey = source.compositeKey;
        cls.isReadOnly = source.isReadOnly;
        cls.indexes = source.indexes;
        cls.members = source.members;
        for (TMember &member : cls.members) {
            member.setMemberId(++memberId);
            member.setClassId(cls.classId);
            member.setProjectId(1);
        }
        classes.append(std::move(cls));
    }
    return TProjectModel::FromClasses(1, std::move(classes), document.tableCharset);
}

} // namespace

void KeepExactWhereNeeded(TModelDocument &document, const QList<TMember> &legacy, QStringList &warnings)
{
    const TProjectModel model = modelOf(document);
    const auto sameCharset = [](QString a, QString b) {
        for (QString *name : {&a, &b}) {
            if (*name == QLatin1String("utf8") || name->startsWith(QLatin1String("utf8_")))
                name->replace(0, 4, QStringLiteral("utf8mb3"));
        }
        return a == b;
    };
    qsizetype next = 0;
    for (qsizetype c = 0; c < model.Classes().size(); ++c) {
        TClassModel work = model.Classes().at(c);
        TModelClass &target = document.classes[c];
        for (qsizetype m = 0; m < work.members.size(); ++m) {
            TMember exact = work.members.at(m);
            const bool asKey = exact.memberIsPri() == 1
                && (work.compositeKey != 1 || !MemberType::IsReference(exact.memberType()));
            const TMember *refKey = asKey ? nullptr : model.ProjectKeyMember(exact.memberType());
            if (!TypeRules::HoldsText(exact, refKey, asKey)) {
                exact.setMemberCharset(QString());
                exact.setMemberCollation(QString());
            }
            if (sameCharset(exact.memberCharset(), document.tableCharset))
                exact.setMemberCharset(QString());
            if (exact.memberCharset().isEmpty()
                && sameCharset(exact.memberCollation(), TDataBaseSql::ColumnCollation(model, work, exact, asKey)))
                exact.setMemberCollation(QString());
            TMember plain = legacy.at(next++);
            plain.setMemberCharset(exact.memberCharset());
            plain.setMemberCollation(exact.memberCollation());
            plain.setMemberId(exact.memberId());
            plain.setClassId(exact.classId());
            plain.setProjectId(exact.projectId());
            plain.setMemberIsDisplay(exact.memberIsDisplay());
        plain.setQueryFlag(exact.queryFlag());
        plain.setMemberQueryDisplay(exact.memberQueryDisplay());
            const QString exactColumn = TDataBaseSql::ColumnDefinition(model, work, exact, asKey);
            work.members[m] = plain;
            const bool same = TDataBaseSql::ColumnDefinition(model, work, plain, asKey) == exactColumn;
            work.members[m] = same ? plain : exact;
            TMember kept = work.members.at(m);
            kept.setMemberId(0);
            kept.setClassId(0);
            kept.setProjectId(0);
            target.members[m] = kept;
        }
        // An index the checker would refuse is left out, as the server could not make it.
        const QList<TableRules::TProblem> problems = TableRules::IndexProblems(model, work);
        for (qsizetype i = target.indexes.size() - 1; i >= 0; --i) {
            const QString field = QStringLiteral("indexes[%1]").arg(i);
            for (const TableRules::TProblem &problem : problems) {
                if (problem.field == field) {
                    warnings.append(problem.message + QStringLiteral("，未导入"));
                    target.indexes.removeAt(i);
                    break;
                }
            }
        }
    }
}
