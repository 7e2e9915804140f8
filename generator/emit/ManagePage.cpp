#include "ManagePage.h"

#include "FormInput.h"
#include "Naming.h"
#include "PageFields.h"
#include "TextTemplate.h"

#include <optional>
#include <vector>

namespace {

// Placeholders: {Class} {class}, {Friend} (HTML), {FriendPhp} (inside '...'), {FriendComment}
// (inside /*...*/), {key}; per member {name}, {label} (HTML), {labelPhp}, {value} (a PHP
// expression of the stored value), {shown} (of the value as the user reads it).

const char fileHeader[] = R"php(
<?php
/*{FriendComment}管理页面：由{Class}Action.php在action=query时包含，使用$fenyePage与各下拉框的数据*/
require_once '../util/util.php';
if (!isset($fenyePage)) {
	header('Location: /controller/{Class}Action.php?action=query');
	exit();
}
$view = req_raw_string('view');

)php";

// --- export: every row of the current search, as the user reads it ---

const char exportHeader[] = R"php(
//导出当前查询条件下的全部记录：逐条取出、逐条发出
if (req_raw_string('export') === 'csv') {
	csv_send('{FriendPhp}', array({headings}), $fenyePage->res_array, fn ($row) => array(
)php";

const char exportItem[] = R"php(
		{exported},
)php";

const char exportFooter[] = R"php(
	));
}

)php";

// --- detail ---

const char detailHeader[] = R"php(
//查看一条{FriendComment}信息
if ($view === 'detail') {
	${class} = ${class}Service->Get{Class}({getKeys});
	page_begin('查看{FriendPhp}', 'dialog');
?>
<div class="page detail" id="{class}-detail">
<?php if (${class}->get{key}() === null): ?>
  <div class="alert error">没有找到这条记录，它可能已被删除。</div>
<?php else: ?>
  <dl class="detail-list">
)php";

const char detailItem[] = R"php(
    <dt>{label}</dt><dd data-col="{name}"><?= h({shown}) ?></dd>
)php";

const char detailPicture[] = R"php(
    <dt>{label}</dt><dd data-col="{name}"><a href="<?= h(picture_url({value})) ?>" target="_blank"><img class="thumb large" src="<?= h(picture_url({value})) ?>" alt="{label}（查看原图）"></a></dd>
)php";

const char detailListEnd[] = R"php(
  </dl>
)php";

const char detailFooter[] = R"php(
  <?= row_history('{Class}', {rowKey}) ?>
<?php endif; ?>
</div>
<?php
	page_end();
	return;
}

)php";

// The rows of other classes that refer to the shown one.
const char detailChildren[] = R"php(
  <?= row_children('{Class}', (string)${class}->get{key}()) ?>
)php";

// --- the add and edit form ---

const char formHeader[] = R"php(
//添加或修改{FriendComment}信息的表单
if ($view === 'add' || $view === 'edit') {
	$editing = $view === 'edit';
	${class} = $editing ? ${class}Service->Get{Class}({getKeys}) : new {Class}();
	page_begin($editing ? '修改{FriendPhp}' : '添加{FriendPhp}', 'dialog');
?>
<form class="page edit-form" method="post" action="{Class}Action.php" enctype="multipart/form-data" id="{class}-form">
  <input type="hidden" name="action" value="<?= $editing ? 'update' : 'add' ?>">
<?php if ($editing && ${class}->get{key}() === null): ?>
  <div class="alert error">没有找到这条记录，它可能已被删除。</div>
<?php else: ?>
)php";

// The add button of a row's detail view brings the reference to that row.
const char formPrefill[] = R"php(
<?php if (!$editing) { reference_prefill(${class}, '{Class}'); } ?>
)php";

// The database numbers an integer key: shown, not entered, when editing; a placeholder when
// adding, since the controller reads every member of the form.
const char formIntegerKey[] = R"php(
<?php if ($editing): ?>
  <div class="form-row"><label for="f-{name}">{label}</label><div class="field"><input type="text" id="f-{name}" name="{class}[{name}]" value="<?= h({value}) ?>" readonly></div></div>
<?php else: ?>
  <input type="hidden" name="{class}[{name}]" value="0">
<?php endif; ?>
)php";

// A member of a composite key names the row: entered when adding, shown but not sent for
// change when editing (the hidden field carries the value that finds the row).
const char formCompositeKey[] = R"php(
<?php if ($editing): ?>
  <div class="form-row"><label for="f-{name}">{label}</label><div class="field"><input type="hidden" name="{class}[{name}]" value="<?= h({value}) ?>"><input type="text" id="f-{name}" value="<?= h({shown}) ?>" readonly></div></div>
<?php else: ?>
  <div class="form-row"><label for="f-{name}">{label}{star}</label><div class="field">{input}</div></div>
<?php endif; ?>
)php";

// The rows of other classes this one is linked to: a list on the detail view, a
// multi-select on the form.
const char detailLinks[] = R"php(
    <?= link_details('{Class}', {rowKey}) ?>
)php";

const char formLinks[] = R"php(
  <?= link_fields('{Class}', $editing ? {rowKey} : null) ?>
)php";

const char formRow[] = R"php(
  <div class="form-row"><label for="f-{name}">{label}{star}</label><div class="field">{input}</div></div>
)php";

const char formFooter[] = R"php(
  <div class="form-actions"><button type="submit">保存</button></div>
<?php endif; ?>
</form>
<?php
	page_end();
	return;
}

)php";

const char requiredStar[] = R"php(<span class="required">*</span>)php";

// --- the list ---

const char listHeader[] = R"php(
//{FriendComment}列表：查询条件、排序、每页条数与分页
page_begin('{FriendPhp}管理', 'manage', ['data-reload-url' => $fenyePage->pageUrl((int)$fenyePage->pageNow)]);
?>
<div class="page" id="{class}-list">
  <div class="page-title"><h2>{Friend}管理</h2>
    <span class="actions"><?php if (velmora_may('{Class}', 'export')): ?><a class="btn plain" id="export" href="<?= h($fenyePage->exportUrl()) ?>">导出</a><?php endif; ?> {importLink}{addLink}</span></div>
  <form class="panel search-form" method="get" action="{Class}Action.php" id="search">
    <input type="hidden" name="action" value="query">
    <?= $fenyePage->sortFields() ?>
)php";

// Neither on the page of a read-only class.
const char importLink[] =
    R"php(<?php if (velmora_may('{Class}', 'add') || velmora_may('{Class}', 'edit')): ?><a class="btn plain" id="import" href="<?= h(velmora_url('/manage/import.php?class={Class}')) ?>">导入</a><?php endif; ?> )php";
const char addLink[] =
    R"php(<?php if (velmora_may('{Class}', 'add')): ?><a class="btn" id="add" href="{Class}Action.php?action=query&amp;view=add" data-dialog="添加{Friend}">添加{Friend}</a><?php endif; ?>)php";

const char searchText[] = R"php(
    <label>{label} <input type="text" name="{name}" value="<?= h(req_raw_string('{name}')) ?>"></label>
)php";

const char searchNumber[] = R"php(
    <label>{label} <input type="number" step="any" name="{name}" value="<?= h(req_raw_string('{name}')) ?>"></label>
)php";

const char searchDate[] = R"php(
    <label>{label} <input type="date" name="{name}" value="<?= h(req_raw_string('{name}')) ?>"></label>
)php";

const char searchChoice[] = R"php(
    <label>{label} <select name="{name}"><?= select_options({values}, req_raw_string('{name}'), '全部') ?></select></label>
)php";

const char searchReference[] = R"php(
    <?= reference_search(${ref}_res, '{labelPhp}', '{name}', req_raw_string('{name}'), '{Class}') ?>
)php";

// A list of the rows that refer to one row keeps that limit through searches, and says so.
const char parentFilterFields[] = R"php(
    <?= parent_filter_fields('{Class}') ?>
)php";

const char parentFilterNote[] = R"php(
  <?= parent_filter_note('{Class}') ?>
)php";

const char searchFooter[] = R"php(
    <label>每页 <select name="pageSize" data-submit><?= $fenyePage->pageSizeOptions() ?></select> 条</label>
    <button type="submit">查询</button>
  </form>
)php";

const char listTableHeader[] = R"php(
  <?php if ($fenyePage->error !== ''): ?><div class="alert error"><?= h($fenyePage->error) ?></div><?php endif; ?>
  <div class="grid-wrap">
  <table class="grid">
    <thead><tr>
)php";

const char columnHeading[] = R"php(
      <th><?= $fenyePage->sortLink('{name}', '{labelPhp}') ?></th>
)php";

const char listRowsHeader[] = R"php(
      <th>操作</th>
    </tr></thead>
    <tbody>
    <?php foreach ($fenyePage->res_array as $row): ?>
    <tr>
)php";

const char cellText[] = R"php(
      <td data-col="{name}"><?= h({shown}) ?></td>
)php";

const char cellPicture[] = R"php(
      <td data-col="{name}"><a href="<?= h(picture_url({value})) ?>" target="_blank"><img class="thumb" src="<?= h(picture_url({value})) ?>" alt="{label}（查看原图）"></a></td>
)php";

// A row's operations: viewing needs a key, editing and deleting a writable class; a class made
// of its key alone has nothing to edit.
const char opsHeader[] = R"php(
      <td class="ops">
)php";

const char opsView[] = R"php(
        <a class="view" href="{Class}Action.php?action=query&amp;view=detail&amp;{keyQuery}" data-dialog="查看{Friend}">查看</a>
)php";

const char opsEdit[] = R"php(
        <?php if (velmora_may('{Class}', 'edit')): ?><a class="edit" href="{Class}Action.php?action=query&amp;view=edit&amp;{keyQuery}" data-dialog="修改{Friend}">修改</a><?php endif; ?>
)php";

const char opsDelete[] = R"php(
        <?php if (velmora_may('{Class}', 'delete')): ?><form class="inline" method="post" action="{Class}Action.php?action=del&amp;{keyQuery}" data-confirm="<?= h('确定要删除{FriendPhp}“' . {rowName} . '”吗？') ?>"><input type="hidden" name="action" value="del"><button type="submit" class="link delete">删除</button></form><?php endif; ?>
)php";

const char listFooter[] = R"php(
      </td>
    </tr>
    <?php endforeach; ?>
    <?php if (!$fenyePage->res_array): ?><tr class="empty-row"><td colspan="{columns}">没有符合条件的记录</td></tr><?php endif; ?>
    </tbody>
  </table>
  </div>
  <?= $fenyePage->navigate ?>
</div>
<?php page_end();
)php";

// --- the folder index: no web server lists a folder holding it, whatever its settings ---

const char folderIndex[] = R"html(
<!DOCTYPE html>
<!-- 本目录没有可以浏览的内容：放一个首页文件，服务器就不会列出目录中的文件（不依赖服务器的设置）。 -->
<html lang="zh-CN"><head><meta charset="UTF-8"><meta http-equiv="refresh" content="0; url=../index.php"><title>请从首页进入</title></head>
<body><p><a href="../index.php">请从首页进入</a></p></body></html>
)html";

bool isType(const TMember &member, const QString &type) { return member.memberType() == type; }

using PageFields::Label;
using PageFields::NeedsValue;
using PageFields::OneLine;

// A PHP array literal of texts.
QString phpTexts(const QStringList &texts)
{
    QStringList quoted;
    for (const QString &text : texts)
        quoted << QLatin1Char('\'') + Naming::PhpStringText(text) + QLatin1Char('\'');
    return QStringLiteral("array(") + quoted.join(QStringLiteral(", ")) + QLatin1Char(')');
}

class TManagePageWriter {
public:
    TManagePageWriter(const TProjectModel &model, const TClassModel &cls)
        : model_(model), cls_(cls), key_(cls.KeyMember()), hasReferences_(!cls.ReferenceMembers().isEmpty()),
          composite_(cls.compositeKey == 1), linked_(model.IsLinked(cls.className))
    {
        const QString friendName = cls.friendName.isEmpty() ? cls.className : cls.friendName;
        const QString object = Naming::LowerFirst(cls.className);
        // A row is addressed by every key value, each escaped in the address.
        QStringList getKeys, keyQuery, keyValues;
        for (const QString &name : cls.RowKeyNames()) {
            getKeys << QStringLiteral("$_GET['%1'] ?? ''").arg(name);
            keyQuery << QStringLiteral("%1=<?= h(rawurlencode((string)$row['%1'])) ?>").arg(name);
            keyValues << QStringLiteral("$%1->get%2()").arg(object, name);
        }
        const QString rowKey = composite_
            ? QStringLiteral("velmora_key_text(array(%1))").arg(keyValues.join(QStringLiteral(", ")))
            : QStringLiteral("(string)") + keyValues.first();
        vars_ = TVars{{"Class", cls.className},
                      {"class", object},
                      {"Friend", Naming::HtmlText(friendName)},
                      {"FriendPhp", Naming::PhpStringText(OneLine(friendName))},
                      {"FriendComment", Naming::PhpCommentText(friendName)},
                      {"key", key_ ? key_->memberName() : QString()},
                      {"getKeys", getKeys.join(QStringLiteral(", "))},
                      {"keyQuery", keyQuery.join(QStringLiteral("&amp;"))},
                      {"rowKey", rowKey}};
    }

    QString Build()
    {
        out_.Emit(fileHeader, vars_);
        Export();
        // A read-only class without a key has no row to show on its own.
        const bool addressable = key_ || !cls_.isReadOnly;
        if (addressable)
            Detail();
        if (!cls_.isReadOnly)
            Form();
        List();
        return out_.Text();
    }

private:
    // A member's placeholders (a member of cls_), its value read from a list row ("$row") or
    // from the entity; made once per member and kind, since every section asks for them.
    const TVars &MemberVars(const TMember &member, bool fromRow)
    {
        std::vector<std::optional<TVars>> &cache = fromRow ? rowVars_ : entityVars_;
        cache.resize(cls_.members.size());
        std::optional<TVars> &vars = cache.at(&member - cls_.members.constData());
        if (!vars)
            vars = BuildMemberVars(member, fromRow);
        return *vars;
    }

    TVars BuildMemberVars(const TMember &member, bool fromRow) const
    {
        const QString name = member.memberName();
        const QString value = fromRow
            ? QStringLiteral("$row['%1']").arg(name)
            : QStringLiteral("$%1->get%2()").arg(Naming::LowerFirst(cls_.className), name);
        return vars_.With({{"name", name},
                           {"label", Naming::HtmlText(Label(member))},
                           {"labelPhp", Naming::PhpStringText(OneLine(Label(member)))},
                           {"value", value},
                           {"shown", Shown(member, value)},
                           {"exported", Exported(member, value)},
                           {"ref", Naming::LowerFirst(member.memberType())},
                           {"values", Choices(member)}});
    }

    // The value as the user reads it: a reference by its display value, a date without time.
    static QString Shown(const TMember &member, const QString &value)
    {
        if (MemberType::IsReference(member.memberType()))
            return QStringLiteral("lookup_display($%1_res, %2)")
                .arg(Naming::LowerFirst(member.memberType()), value);
        if (isType(member, MemberType::Date))
            return QStringLiteral("format_date(%1)").arg(value);
        if (isType(member, MemberType::DateTime))
            return QStringLiteral("format_date(%1, 'Y-m-d H:i')").arg(value);
        if (isType(member, MemberType::Time))
            return QStringLiteral("format_date(%1, 'H:i')").arg(value);
        if (isType(member, MemberType::Boolean))
            return QStringLiteral("format_yes_no(%1)").arg(value);
        // A file's content is read as its size.
        if (isType(member, MemberType::Blob))
            return QStringLiteral("((string)%1 === '' ? '' : %1 . ' 字节')").arg(value);
        return value;
    }

    // The value as the export writes it: a date and time or a time of day whole, with its
    // seconds, so that importing the file back changes nothing.
    static QString Exported(const TMember &member, const QString &value)
    {
        if (isType(member, MemberType::DateTime) || isType(member, MemberType::Time))
            return value;
        return Shown(member, value);
    }

    // The values a list offers for an enumeration or a yes/no member, as a PHP array of rows.
    static QString Choices(const TMember &member)
    {
        if (isType(member, MemberType::Boolean))
            return QStringLiteral("array(array('1', '是'), array('0', '否'))");
        return isType(member, MemberType::Enum) ? phpTexts(member.memberEnumValues()) : QString();
    }

    QList<const TMember *> Displayed() const
    {
        QList<const TMember *> shown;
        for (const TMember &member : cls_.members) {
            if (member.memberQueryDisplay() == 1)
                shown.append(&member);
        }
        return shown;
    }

    void Export()
    {
        QStringList headings;
        for (const TMember &member : cls_.members)
            headings << QLatin1Char('\'') + Naming::PhpStringText(OneLine(Label(member)))
                    + QLatin1Char('\'');
        out_.Emit(exportHeader, vars_.With({{"headings", headings.join(QStringLiteral(", "))}}));
        for (const TMember &member : cls_.members)
            out_.Emit(exportItem, MemberVars(member, true));
        out_.Emit(exportFooter, vars_);
    }

    void Detail()
    {
        out_.Emit(detailHeader, vars_);
        for (const TMember &member : cls_.members) {
            const bool picture = isType(member, MemberType::Picture);
            out_.Emit(picture ? detailPicture : detailItem, MemberVars(member, false));
        }
        if (linked_)
            out_.Emit(detailLinks, vars_);
        out_.Emit(detailListEnd);
        if (model_.IsReferred(cls_.className))
            out_.Emit(detailChildren, vars_);
        out_.Emit(detailFooter, vars_);
    }

    void Form()
    {
        out_.Emit(formHeader, vars_);
        if (hasReferences_)
            out_.Emit(formPrefill, vars_);
        for (const TMember &member : cls_.members) {
            const TVars &vars = MemberVars(member, false);
            if (&member == key_ && Naming::IsIntegerKey(key_)) {
                out_.Emit(formIntegerKey, vars);
                continue;
            }
            if (!TypeRules::HasInput(member))
                continue; // kept as stored: the pages do not write it
            const bool compositeKey = composite_ && member.memberIsPri() == 1;
            out_.Emit(compositeKey ? formCompositeKey : formRow,
                      vars.With({{"star", NeedsValue(member) ? QString::fromUtf8(requiredStar) : QString()},
                                 {"input", FormInput::Build(member, vars, !composite_)}}));
        }
        if (linked_)
            out_.Emit(formLinks, vars_);
        out_.Emit(formFooter, vars_);
    }

    void List()
    {
        const bool writable = !cls_.isReadOnly;
        out_.Emit(listHeader, vars_.With({{"importLink", writable ? FillTemplate(importLink, vars_) : QString()},
                                          {"addLink", writable ? FillTemplate(addLink, vars_) : QString()}}));
        for (const TMember &member : cls_.members) {
            if (member.queryFlag() != 1)
                continue;
            const QString type = member.memberType();
            const char *field = searchText;
            if (type == MemberType::Date || type == MemberType::DateTime)
                field = searchDate;
            else if (MemberType::IsReference(type))
                field = searchReference;
            else if (type == MemberType::Enum || type == MemberType::Boolean)
                field = searchChoice;
            else if (TypeRules::IsNumber(type))
                field = searchNumber;
            out_.Emit(field, MemberVars(member, true));
        }
        if (hasReferences_)
            out_.Emit(parentFilterFields, vars_);
        out_.Emit(searchFooter);
        if (hasReferences_)
            out_.Emit(parentFilterNote, vars_);
        out_.Emit(listTableHeader, vars_);
        const QList<const TMember *> displayed = Displayed();
        for (const TMember *member : displayed)
            out_.Emit(columnHeading, MemberVars(*member, true));
        out_.Emit(listRowsHeader, vars_);
        for (const TMember *member : displayed) {
            const bool picture = isType(*member, MemberType::Picture);
            out_.Emit(picture ? cellPicture : cellText, MemberVars(*member, true));
        }
        // A row is named by its display member in the delete confirmation.
        const TMember *display = cls_.DisplayMember();
        const TMember *naming = display ? display : key_;
        const QString rowName = naming
            ? Shown(*naming, QStringLiteral("$row['%1']").arg(naming->memberName()))
            : QStringLiteral("''");
        out_.Emit(opsHeader);
        if (key_ || !cls_.isReadOnly)
            out_.Emit(opsView, vars_);
        if (!cls_.isReadOnly && (!composite_ || !cls_.NonKeyMembers().isEmpty()))
            out_.Emit(opsEdit, vars_);
        if (!cls_.isReadOnly)
            out_.Emit(opsDelete, vars_.With({{"rowName", rowName}}));
        out_.Emit(listFooter, vars_.With({{"columns", QString::number(displayed.size() + 1)}}));
    }

    const TProjectModel &model_;
    const TClassModel &cls_;
    const TMember *key_;
    const bool hasReferences_;
    const bool composite_;
    const bool linked_; // a link class joins this class to another
    TVars vars_;
    TTextBuilder out_;
    std::vector<std::optional<TVars>> rowVars_, entityVars_;
};

} // namespace

QString TManagePage::PageName(const TClassModel &cls)
{
    return Naming::LowerFirst(cls.className) + QStringLiteral("Manage.php");
}

QString TManagePage::FieldsName(const TClassModel &cls)
{
    return Naming::LowerFirst(cls.className) + QStringLiteral(".fields.json");
}

QString TManagePage::FolderIndexName()
{
    return QStringLiteral("index.html");
}

QString TManagePage::BuildFolderIndex()
{
    TTextBuilder out;
    out.Emit(folderIndex);
    return out.Text();
}

void TManagePage::Generate(const TGenerationTarget &target, const TProjectModel &model)
{
    const QString index = BuildFolderIndex();
    for (const TClassModel &cls : model.Classes()) {
        target.WriteGeneratedFile(FolderName(cls), PageName(cls), BuildFile(model, cls));
        target.WriteSupportFile(FolderName(cls), FieldsName(cls),
                                BuildFields(model, cls, target.projectName, target.tablePrefix));
        target.WriteSupportFile(FolderName(cls), FolderIndexName(), index);
    }
    // The entities' folder is made by the run, not copied from the skeleton: it gets its index here.
    if (!model.Classes().isEmpty())
        target.WriteSupportFile(QStringLiteral("phpbean"), FolderIndexName(), index);
}

QString TManagePage::BuildFile(const TProjectModel &model, const TClassModel &cls)
{
    return TManagePageWriter(model, cls).Build();
}

QString TManagePage::BuildFields(const TProjectModel &model, const TClassModel &cls,
                                 const QString &projectName, const QString &tablePrefix)
{
    return PageFields::BuildFieldsJson(model, cls, projectName, tablePrefix);
}
