#include "ui/dialogs/IndexListForm.h"

#include "generator/check/ModelChecker.h"
#include "ui/UserInteraction.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

enum TColumn { NameColumn, MembersColumn, UniqueColumn };

QPushButton *button(QWidget *parent, const char *name, const QString &text)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(true);
    return b;
}

// A name MySQL takes unquoted: letters, digits and underscores, starting with a letter.
bool isIndexName(const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z][A-Za-z0-9_]*$"));
    return name.size() <= TModelChecker::MaxSqlNameLength && pattern.match(name).hasMatch();
}

QStringList splitMembers(const QString &text)
{
    QStringList names;
    for (const QString &part : text.split(QRegularExpression(QStringLiteral("[,，\\s]+")), Qt::SkipEmptyParts))
        names << part;
    return names;
}

} // namespace

TIndexListForm::TIndexListForm(QWidget *parent, TUserInteraction &ui, const QStringList &memberNames,
                               const TClassIndexes &indexes)
    : TFormDialog(parent, QStringLiteral("编辑索引"), 520, 300), ui_(ui), memberNames_(memberNames),
      indexes_(indexes)
{
    setObjectName(QStringLiteral("IndexListForm"));
    Grid_Indexes = new QTableWidget(0, 3, this);
    Grid_Indexes->setObjectName(QStringLiteral("Grid_Indexes"));
    Grid_Indexes->setHorizontalHeaderLabels(
        {QStringLiteral("索引名称"), QStringLiteral("成员(按顺序，以逗号分隔)"), QStringLiteral("唯一")});
    Grid_Indexes->horizontalHeader()->setSectionResizeMode(MembersColumn, QHeaderView::Stretch);
    Grid_Indexes->setSelectionBehavior(QAbstractItemView::SelectRows);
    for (const TClassIndex &index : indexes)
        AddRow(index);

    auto *add = button(this, "Btn_AddIndex", QStringLiteral("添加索引"));
    auto *remove = button(this, "Btn_RemoveIndex", QStringLiteral("删除索引"));
    auto *ok = button(this, "Button1", QStringLiteral("确定"));
    auto *cancel = button(this, "Button2", QStringLiteral("取消"));
    ok->setDefault(true);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(add);
    buttons->addWidget(remove);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Grid_Indexes, 1);
    layout->addLayout(buttons);

    connect(add, &QPushButton::clicked, this, &TIndexListForm::AddClick);
    connect(remove, &QPushButton::clicked, this, &TIndexListForm::RemoveClick);
    connect(ok, &QPushButton::clicked, this, &TIndexListForm::OkClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TIndexListForm::AddRow(const TClassIndex &index)
{
    const int row = Grid_Indexes->rowCount();
    Grid_Indexes->insertRow(row);
    Grid_Indexes->setItem(row, NameColumn, new QTableWidgetItem(index.indexName));
    Grid_Indexes->setItem(row, MembersColumn, new QTableWidgetItem(index.indexMembers.join(QStringLiteral(", "))));
    auto *unique = new QTableWidgetItem;
    unique->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
    unique->setCheckState(index.indexIsUnique == 1 ? Qt::Checked : Qt::Unchecked);
    Grid_Indexes->setItem(row, UniqueColumn, unique);
}

void TIndexListForm::AddClick()
{
    TClassIndex index;
    index.indexName = QStringLiteral("ix_%1").arg(Grid_Indexes->rowCount() + 1);
    AddRow(index);
    Grid_Indexes->setCurrentCell(Grid_Indexes->rowCount() - 1, MembersColumn);
}

void TIndexListForm::RemoveClick()
{
    const int row = Grid_Indexes->currentRow();
    if (row >= 0)
        Grid_Indexes->removeRow(row);
}

QString TIndexListForm::Read(TClassIndexes *indexes)
{
    indexes->clear();
    for (int row = 0; row < Grid_Indexes->rowCount(); ++row) {
        const auto cell = [&](int column) {
            const QTableWidgetItem *item = Grid_Indexes->item(row, column);
            return item ? item->text().trimmed() : QString();
        };
        const auto problem = [&](int column, const QString &text) {
            Grid_Indexes->setCurrentCell(row, column);
            return text;
        };
        TClassIndex index;
        index.indexName = cell(NameColumn);
        index.indexIsUnique = Grid_Indexes->item(row, UniqueColumn)->checkState() == Qt::Checked ? 1 : 0;
        if (!isIndexName(index.indexName))
            return problem(NameColumn, QStringLiteral("索引名称“%1”不合法：只能由字母、数字和下划线组成，以字母开头，不超过%2个字符!")
                                           .arg(index.indexName).arg(TModelChecker::MaxSqlNameLength));
        for (const TClassIndex &earlier : *indexes) {
            if (TModelChecker::SameName(earlier.indexName, index.indexName))
                return problem(NameColumn, QStringLiteral("索引名称“%1”重复了!").arg(index.indexName));
        }
        for (const QString &name : splitMembers(cell(MembersColumn))) {
            if (!memberNames_.contains(name))
                return problem(MembersColumn, QStringLiteral("索引“%1”中的“%2”不是本类的成员!").arg(index.indexName, name));
            if (index.indexMembers.contains(name))
                return problem(MembersColumn, QStringLiteral("索引“%1”中的成员“%2”重复了!").arg(index.indexName, name));
            index.indexMembers << name;
        }
        if (index.indexMembers.isEmpty())
            return problem(MembersColumn, QStringLiteral("索引“%1”至少需要一个成员!").arg(index.indexName));
        indexes->append(index);
    }
    return QString();
}

void TIndexListForm::OkClick()
{
    TClassIndexes indexes;
    if (const QString refusal = Read(&indexes); !refusal.isEmpty()) {
        ui_.message(this, refusal);
        Grid_Indexes->setFocus();
        return;
    }
    indexes_ = indexes;
    accept();
}
