#include "Controller.h"

#include "Naming.h"
#include "TextTemplate.h"
#include "TypeRules.h"

namespace {

const char fileHeader[] = R"php(
<?php
require_once '../phpbean/{Class}.class.php';
require_once '../service/{Class}Service.class.php';

//创建了{Class}Service实例
${class}Service = new {Class}Service();

//根据action参数决定用户要执行什么样的操作
if(!empty($_REQUEST['action'])) {
	//接收action值
	$action = $_REQUEST['action'];
	if($action == "add") {
)php";

// A read-only class's controller answers the query and refuses every change.
const char readOnlyHeader[] = R"php(
<?php
require_once '../phpbean/{Class}.class.php';
require_once '../service/{Class}Service.class.php';

//创建了{Class}Service实例
${class}Service = new {Class}Service();

//{Friend}是只读的：只能查询、查看和导出
if(!empty($_REQUEST['action'])) {
	$action = $_REQUEST['action'];
	if($action == "query") {
)php";

const char readOnlyFooter[] = R"php(
	} else {
		http_response_code(403);
		exit("只读的数据，不能添加、修改或删除。");
	}
}
?>
)php";

const char queryOpening[] = R"php(
	} else if($action == "query") {
)php";

const char updateOpening[] = R"php(
	} else if($action == "update") {
)php";

const char deleteOpening[] = R"php(
	} else if($action == "del") {
)php";

const char fileFooter[] = R"php(
	}
}
?>
)php";

// --- add ---

const char addHeader[] = R"php(
		//说明用户希望执行添加{Friend}信息
		${class} = new {Class}();
		$array_{class} = $_POST["{class}"];
)php";

const char uploadPrelude[] = R"php(
		/*处理图片上传*/
		require_once("../util/upload.class.php");
		require_once("../util/util.php");

)php";

const char setFromForm[] = R"php(
		${class}->set{Name}($array_{class}['{name}']);
)php";

// A new object gets the default picture when no file was chosen.
const char addUpload[] = R"php(
		${name} = "/upload/NoImage.jpg";
		if ($_FILES['{name}']['name'] != ''){
			/*--  实例化上传类  --*/
			$file = $_FILES['{name}'];
			$upload_path = '../upload';
			$allow_type = array('jpg','bmp','png','gif','jpeg');
			$max_size=2048000;
			$upload = new upFiles($file, $upload_path, $max_size, $allow_type);
			$upload->upload();
			$pic = $upload->getSaveFileInfo();
			${name} = substr($pic['path'], 2)."/".$pic['savename'];
		}
		${class}->set{Name}(${name});


)php";

const char addFooter[] = R"php(
		//完成添加->数据库
		$res = ${class}Service->Add{Class}(${class});
		if($res==1) {
			header("Location: /ok.php");
			exit();
		} else {
			//失败
			header("Location: /error.php");
			exit();
		}
)php";

// --- query ---

const char queryHeader[] = R"php(
		//查询{Friend}信息
		require_once '../service/{Class}Service.class.php';
		require_once '../service/FenyePage.class.php';
		//获取查询参数
)php";

const char queryParamText[] = R"php(
		${name} = !empty($_POST['{name}']) ? $_POST['{name}'] : "";
)php";

const char queryParamNumber[] = R"php(
		${name} = !empty($_POST['{name}'])?$_POST['{name}']:0;
)php";

// A "0" chosen in a search list is a value, not "any".
const char queryParamChoice[] = R"php(
		${name} = isset($_POST['{name}']) ? $_POST['{name}'] : "";
)php";

const char queryPage[] = R"php(
		//创建{Class}Service实例
		${class}Service = new {Class}Service();

		//创建一个FenyePage对象实例
		$fenyePage = new FenyePage();
		//给fenyePage指定必须的参数
		$fenyePage->pageNow = 1;
		$fenyePage->pageSize = 5;
		$fenyePage->gotoUrl = "{Class}Action.php";

		//在此我们需要根据用户的点击来修改pageNow的值，不要判断是否有这个pageNow发送
		if(!empty($_REQUEST['pageNow'])){
			$fenyePage->pageNow=$_REQUEST['pageNow'];
		}

		//调用getFenyePage，该方法可以把fenyePage完成
		${class}Service->getFenyePage($fenyePage{params});
)php";

// The drop-down data of one referenced class for the management page.
const char queryReference[] = R"php(
		require_once '../service/{Ref}Service.class.php';
		${ref}Service = new {Ref}Service();
		${ref}_res = ${ref}Service->QueryAll{Ref}();

)php";

const char queryFooter[] = R"php(
		include '../{Class}/{class}Manage.php';
)php";

// --- update ---

const char updateHeader[] = R"php(
		//说明用户希望执行更新{Friend}信息
		$array_{class} = $_POST["{class}"];
		${class} = ${class}Service->Get{Class}({formKeys});
)php";

// The stored picture stays unless a new file was chosen. The setter line is indented by
// two tabs and two blanks.
const char updateUpload[] = R"php(
		if ($_FILES['{name}']['name'] != ''){
			/*--  实例化上传类  --*/
			$file = $_FILES['{name}'];
			$upload_path = '../upload';
			$allow_type = array('jpg','bmp','png','gif','jpeg');
			$max_size=2048000;
			$upload = new upFiles($file, $upload_path, $max_size, $allow_type);
			$upload->upload();
			$pic = $upload->getSaveFileInfo();
			${name} = substr($pic['path'], 2)."/".$pic['savename'];
		  ${class}->set{Name}(${name});
		}

)php";

const char updateFooter[] = R"php(
		//完成修改->数据库
		$res = ${class}Service->Update{Class}(${class});
		if($res != 0) {
			header("Location: /ok.php");
			exit();
		} else {
			//失败
			header("Location: /error.php");
			exit();
		}
)php";

// --- del ---

const char deleteBranch[] = R"php(
		//这时我们知道要删除{Friend}信息
{readKeys}
		if(${class}Service->Delete{Class}({keyArgs}) == 1) {
			//成功
			header("Location: /ok.php");
			exit();
		} else {
			//失败
			header("Location: /error.php");
			exit();
		}
)php";

class TControllerWriter {
public:
    TControllerWriter(const TProjectModel &model, const TClassModel &cls)
        : model_(model), cls_(cls), hasPictures_(!cls.PictureMembers().isEmpty())
    {
        const TMember *key = cls.KeyMember();
        const QString object = Naming::LowerFirst(cls.className);
        // A row is named by every key value: from the form when updating, the address when deleting.
        QStringList formKeys, readKeys, keyArgs;
        for (const QString &name : cls.RowKeyNames()) {
            formKeys << QStringLiteral("$array_%1['%2']").arg(object, name);
            readKeys << QStringLiteral("\t\t$%1 = $_GET['%1'];").arg(name);
            keyArgs << QLatin1Char('$') + name;
        }
        vars_ = TVars{{"Class", cls.className},
                      {"class", object},
                      {"Friend", Naming::PhpCommentText(cls.friendName)},
                      {"key", key ? key->memberName() : QString()},
                      {"formKeys", formKeys.join(QStringLiteral(", "))},
                      {"readKeys", readKeys.join(QStringLiteral("\r\n"))},
                      {"keyArgs", keyArgs.join(QStringLiteral(", "))}};
    }

    QString Build()
    {
        if (cls_.isReadOnly) {
            out_.Emit(readOnlyHeader, vars_);
            BuildQueryBranch();
            out_.Emit(readOnlyFooter, vars_);
            return out_.Text();
        }
        out_.Emit(fileHeader, vars_);
        BuildAddBranch();
        out_.Emit(queryOpening);
        BuildQueryBranch();
        out_.Emit(updateOpening);
        BuildUpdateBranch();
        out_.Emit(deleteOpening);
        BuildDeleteBranch();
        out_.Emit(fileFooter);
        return out_.Text();
    }

private:
    TVars MemberVars(const TMember &member) const
    {
        return vars_.With({{"name", member.memberName()},
                           {"Name", Naming::UpperFirst(member.memberName())}});
    }

    // The members taken from the posted form; a picture member takes its upload block instead.
    void SetMembers(const char *uploadBlock)
    {
        if (hasPictures_)
            out_.Emit(uploadPrelude);
        for (const TMember &member : cls_.members) {
            if (!TypeRules::HasInput(member))
                continue; // kept as stored: the pages do not write it
            const bool picture = member.memberType() == MemberType::Picture;
            out_.Emit(picture ? uploadBlock : setFromForm, MemberVars(member));
        }
    }

    void BuildAddBranch()
    {
        out_.Emit(addHeader, vars_);
        SetMembers(addUpload);
        out_.Emit(addFooter, vars_);
    }

    void BuildQueryBranch()
    {
        const QList<TMember> queryMembers = cls_.QueryMembers();
        out_.Emit(queryHeader, vars_);
        QString params;
        for (const TMember &member : queryMembers) {
            // A reference to an integer key defaults to 0, every other search field to "";
            // so does a nullable one, whose empty search adds no condition.
            const bool number = MemberType::IsReference(member.memberType())
                && model_.ValueStyle(member) == Naming::TValueStyle::Bare
                && member.memberIsNullable() != 1;
            const char *param = number ? queryParamNumber : queryParamText;
            if (member.memberType() == MemberType::Boolean)
                param = queryParamChoice;
            out_.Emit(param, MemberVars(member));
            params += QStringLiteral(",$") + member.memberName();
        }
        out_.Emit(queryPage, vars_.With({{"params", params}}));
        for (const TMember &member : cls_.ReferenceMembers()) {
            const QString ref = member.memberType();
            out_.Emit(queryReference, {{"Ref", ref}, {"ref", Naming::LowerFirst(ref)}});
        }
        out_.Emit(queryFooter, vars_);
    }

    void BuildUpdateBranch()
    {
        out_.Emit(updateHeader, vars_);
        SetMembers(updateUpload);
        out_.Emit(updateFooter, vars_);
    }

    void BuildDeleteBranch() { out_.Emit(deleteBranch, vars_); }

    const TProjectModel &model_;
    const TClassModel &cls_;
    bool hasPictures_;
    TVars vars_;
    TTextBuilder out_;
};

} // namespace

void TController::Generate(const TGenerationTarget &target, const TProjectModel &model)
{
    for (const TClassModel &cls : model.Classes())
        target.WriteGeneratedFile(QStringLiteral("controller"),
                                  cls.className + QStringLiteral("Action.php"),
                                  BuildFile(model, cls));
}

QString TController::BuildFile(const TProjectModel &model, const TClassModel &cls)
{
    return TControllerWriter(model, cls).Build();
}
