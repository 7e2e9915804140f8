#include "ui/dialogs/FormImportDatabase.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

TFormImportDatabase::TFormImportDatabase(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("从数据库导入"));
    const auto edit = [this](const char *name, const QString &text = QString()) {
        auto *field = new QLineEdit(text, this);
        field->setObjectName(QLatin1String(name));
        return field;
    };
    Edit_Database = edit("Edit_Database");
    RB_Host = new QRadioButton(QStringLiteral("主机和端口"), this);
    RB_Host->setChecked(true);
    Edit_Host = edit("Edit_Host", QStringLiteral("127.0.0.1"));
    Spin_Port = new QSpinBox(this);
    Spin_Port->setObjectName(QStringLiteral("Spin_Port"));
    Spin_Port->setRange(1, 65535);
    Spin_Port->setValue(3306);
    RB_Socket = new QRadioButton(QStringLiteral("本机套接字"), this);
    Edit_Socket = edit("Edit_Socket", QStringLiteral("/run/mysqld/mysqld.sock"));
    Edit_User = edit("Edit_User", QStringLiteral("root"));
    Edit_Password = edit("Edit_Password");
    Edit_Password->setEchoMode(QLineEdit::Password);
    Edit_Prefix = edit("Edit_Prefix");
    Edit_Project = edit("Edit_Project");
    Edit_Project->setPlaceholderText(QStringLiteral("默认为数据库名"));

    auto *hostRow = new QHBoxLayout;
    hostRow->addWidget(Edit_Host, 1);
    hostRow->addWidget(Spin_Port);
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("数据库名:"), Edit_Database);
    form->addRow(RB_Host, hostRow);
    form->addRow(RB_Socket, Edit_Socket);
    form->addRow(QStringLiteral("用户名:"), Edit_User);
    form->addRow(QStringLiteral("密码:"), Edit_Password);
    form->addRow(QStringLiteral("只导入表名前缀:"), Edit_Prefix);
    form->addRow(QStringLiteral("项目名称:"), Edit_Project);
    CK_InPlace = new QCheckBox(QStringLiteral("项目建立在这个数据库上 (直接使用其中的表, 不建立也不修改它们)"), this);
    CK_InPlace->setObjectName(QStringLiteral("CK_InPlace"));
    CK_InPlace->setToolTip(QStringLiteral("建表脚本只建立程序自己的表 (另用前缀, 不与已有的表重名); "
                                          "连接设置 (不含密码) 保存在项目中, 生成时写入 database/config.php"));
    form->addRow(QString(), CK_InPlace);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("导入"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    Edit_Database->setMinimumWidth(260);

    connect(RB_Socket, &QRadioButton::toggled, this, &TFormImportDatabase::UpdateEnabled);
    UpdateEnabled();
}

void TFormImportDatabase::UpdateEnabled()
{
    const bool socket = RB_Socket->isChecked();
    Edit_Socket->setEnabled(socket);
    Edit_Host->setEnabled(!socket);
    Spin_Port->setEnabled(!socket);
}

TDatabaseSource TFormImportDatabase::Source() const
{
    TDatabaseSource source;
    source.database = Edit_Database->text().trimmed();
    if (RB_Socket->isChecked()) {
        source.socket = Edit_Socket->text().trimmed();
    } else {
        source.host = Edit_Host->text().trimmed();
        source.port = Spin_Port->value();
    }
    source.user = Edit_User->text().trimmed();
    source.password = Edit_Password->text();
    source.prefix = Edit_Prefix->text().trimmed();
    source.inPlace = CK_InPlace->isChecked();
    return source;
}

QString TFormImportDatabase::ProjectName() const
{
    const QString name = Edit_Project->text().trimmed();
    return name.isEmpty() ? Edit_Database->text().trimmed() : name;
}
