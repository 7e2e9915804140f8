#include "ui/dialogs/ClassFormLayout.h"

#include "generator/check/ModelChecker.h"

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
QLabel *label(QDialog *dialog, const char *name, const QString &text, int left, int top)
{
    auto *l = new QLabel(text, dialog);
    l->setObjectName(QLatin1String(name));
    l->move(left, top);
    l->adjustSize();
    return l;
}

QLineEdit *edit(QDialog *dialog, const char *name, int left, int top)
{
    auto *e = new QLineEdit(dialog);
    e->setObjectName(QLatin1String(name));
    e->setGeometry(left, top, 137, e->sizeHint().height());
    return e;
}
} // namespace

TClassFormControls BuildClassFormControls(QDialog *dialog, int label1Left, int label2Left)
{
    TClassFormControls c;
    c.label1 = label(dialog, "Label1", QStringLiteral("类英文名称:"), label1Left, 32);
    c.label2 = label(dialog, "Label2", QStringLiteral("中文友好名称:"), label2Left, 96);
    c.label3 = label(dialog, "Label3", QStringLiteral("表名:"), label2Left, 144);
    c.className = edit(dialog, "Edt_ClassName", 112, 29);
    c.friendName = edit(dialog, "Edt_FriendName", 112, 91);
    c.tableName = edit(dialog, "Edt_TableName", 112, 139);
    c.readOnly = new QCheckBox(QStringLiteral("只读(只能列表、查询和导出)"), dialog);
    c.readOnly->setObjectName(QStringLiteral("Chk_ReadOnly"));
    c.readOnly->move(label2Left, 176);
    c.readOnly->adjustSize();
    c.button1 = new QPushButton(QStringLiteral("确定"), dialog);
    c.button1->setObjectName(QStringLiteral("Button1"));
    c.button1->setGeometry(32, 216, 97, 25);
    c.button1->setDefault(true);
    c.button2 = new QPushButton(QStringLiteral("取消"), dialog);
    c.button2->setObjectName(QStringLiteral("Button2"));
    c.button2->setGeometry(141, 216, 97, 25);
    QObject::connect(c.button2, &QPushButton::clicked, dialog, &QDialog::reject);
    const auto placeholder = [table = c.tableName](const QString &className) {
        table->setPlaceholderText(QStringLiteral("表名前缀") + className);
    };
    QObject::connect(c.className, &QLineEdit::textChanged, c.tableName, placeholder);
    placeholder(QString());
    QWidget::setTabOrder(c.className, c.friendName);
    QWidget::setTabOrder(c.friendName, c.tableName);
    QWidget::setTabOrder(c.tableName, c.readOnly);
    QWidget::setTabOrder(c.readOnly, c.button1);
    QWidget::setTabOrder(c.button1, c.button2);
    return c;
}

QString ClassTableNameRefusal(const QString &tableName)
{
    const QString problem = TModelChecker::OwnSqlNameProblem(tableName);
    return problem.isEmpty() ? QString() : QStringLiteral("表名\"%1\"%2，MySQL不能建表!").arg(tableName, problem);
}
