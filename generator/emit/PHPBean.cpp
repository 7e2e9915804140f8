#include "PHPBean.h"

#include "Naming.h"
#include "TextTemplate.h"
#include "TypeRules.h"

#include <optional>

namespace {

const char header[] = R"php(
<?php
/*映射{Friend}数据库表:{table}*/
class {Class} {
)php";

// The getter keeps the name as entered: PHP finds get{Name}() through it all the same.
// {start}: " = '...'" for a member whose column has a plain default, so a new row's form
// starts with it.
const char property[] = R"php(
	/*{comment}*/
	private ${name}{start};
	public function set{Name}(${name}) {
		$this->{name} = ${name};
	}
	public function get{name}() {
		return $this->{name};
	}
)php";

const char footer[] = R"php(
}
?>
)php";

} // namespace

void TPHPBean::Generate(const TGenerationTarget &target, const TProjectModel &model)
{
    for (const TClassModel &cls : model.Classes())
        target.WriteGeneratedFile(QStringLiteral("phpbean"),
                                  cls.className + QStringLiteral(".class.php"),
                                  BuildFile(cls, target.tablePrefix));
}

QString TPHPBean::BuildFile(const TClassModel &cls, const QString &tablePrefix)
{
    TTextBuilder out;
    out.Emit(header, {{"Friend", Naming::PhpCommentText(cls.friendName)},
                      {"table", Naming::PhpCommentText(Naming::TableName(tablePrefix, cls.className, cls.tableName))},
                      {"Class", cls.className}});
    for (const TMember &member : cls.members) {
        const std::optional<QString> start = TypeRules::DefaultValue(member);
        out.Emit(property, {{"comment", Naming::PhpCommentText(member.memberComment())},
                            {"start", start ? QStringLiteral(" = '%1'").arg(Naming::PhpStringText(*start)) : QString()},
                            {"name", member.memberName()},
                            {"Name", Naming::UpperFirst(member.memberName())}});
    }
    out.Emit(footer);
    return out.Text();
}
