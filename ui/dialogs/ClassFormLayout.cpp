#include "ui/dialogs/ClassFormLayout.h"

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
    c.className = edit(dialog, "Edt_ClassName", 112, 29);
    c.friendName = edit(dialog, "Edt_FriendName", 112, 91);
    c.button1 = new QPushButton(QStringLiteral("确定"), dialog);
    c.button1->setObjectName(QStringLiteral("Button1"));
    c.button1->setGeometry(32, 152, 97, 25);
    c.button1->setDefault(true);
    c.button2 = new QPushButton(QStringLiteral("取消"), dialog);
    c.button2->setObjectName(QStringLiteral("Button2"));
    c.button2->setGeometry(141, 152, 97, 25);
    QObject::connect(c.button2, &QPushButton::clicked, dialog, &QDialog::reject);
    QWidget::setTabOrder(c.className, c.friendName);
    QWidget::setTabOrder(c.friendName, c.button1);
    QWidget::setTabOrder(c.button1, c.button2);
    return c;
}
