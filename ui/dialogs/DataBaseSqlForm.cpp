#include "ui/dialogs/DataBaseSqlForm.h"

#include "generator/emit/DatabaseScripts.h"
#include "generator/output/GenerationError.h"
#include "generator/record/GenerationRecord.h"
#include "generator/emit/UpgradeSql.h"
#include "model/ProjectDAO.h"
#include "import/DatabaseVersion.h"
#include "import/ImportError.h"
#include "generator/output/FileOperate.h"
#include "model/DbHelper.h"
#include "ui/CommandRun.h"
#include "ui/OffThread.h"
#include "ui/UserInteraction.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QIntValidator>
#include <QVBoxLayout>

TDataBaseSqlForm::TDataBaseSqlForm(QWidget *parent, TUserInteraction &ui, const QString &fileName)
    : TFormDialog(parent, QStringLiteral("数据库建表sql语句"), 766, 551), ui_(ui), fileName_(fileName)
{
    setObjectName(QStringLiteral("DataBaseSqlForm"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // Editable, so that the user can adjust the script before copying it; Ctrl+A selects
    // all of it.
    Memo_Sql = new QPlainTextEdit(this);
    Memo_Sql->setObjectName(QStringLiteral("Memo_Sql"));
    Memo_Sql->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo_Sql->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    layout->addWidget(Memo_Sql);

    auto *buttons = new QHBoxLayout;
    buttons->setContentsMargins(8, 6, 8, 8);
    buttons->addStretch();
    Btn_Copy = new QPushButton(QStringLiteral("复制"), this);
    Btn_Copy->setObjectName(QStringLiteral("Btn_Copy"));
    Btn_Copy->setToolTip(QStringLiteral("把整个脚本复制到剪贴板"));
    Btn_Save = new QPushButton(QStringLiteral("保存为…"), this);
    Btn_Save->setObjectName(QStringLiteral("Btn_Save"));
    // Enter stays with the text; neither button is pressed by it.
    for (QPushButton *button : {Btn_Copy, Btn_Save}) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    layout->addLayout(buttons);
    connect(Btn_Copy, &QPushButton::clicked, this, &TDataBaseSqlForm::CopyClick);
    connect(Btn_Save, &QPushButton::clicked, this, &TDataBaseSqlForm::SaveClick);
}

void TDataBaseSqlForm::CopyClick()
{
    QGuiApplication::clipboard()->setText(Memo_Sql->toPlainText());
}

void TDataBaseSqlForm::SaveClick()
{
    RunCommand(ui_, this, [this] {
        const QString path = ui_.chooseFile(this, true, QStringLiteral("保存为"), fileName_,
                                            QStringLiteral("SQL脚本 (*.sql);;所有文件 (*)"));
        if (path.isEmpty())
            return;
        QString text = Memo_Sql->toPlainText();
        text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
        TFileOperate::WriteUtf8File(text, path);
        ui_.message(this, QStringLiteral("已保存到 %1").arg(QDir::toNativeSeparators(path)),
                    TMessageKind::Information);
    });
}

void TDataBaseSqlForm::FormShow(const QString &programDir, const QString &outputDir)
{
    QString script = TDatabaseScripts::TableScript(projectId_, tablePrefix_, programDir, outputDir);
    // The text area keeps lines apart by itself; a copy gets the desktop's line ends.
    script.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    Memo_Sql->setPlainText(script);
}

void TDataBaseSqlForm::FormShowUpgrade(const QString &programDir, const QString &outputDir)
{
    const QList<TModelVersion> versions = TGenerationRecord::Versions(outputDir);
    if (versions.isEmpty())
        throw TGenerationError(TUpgradeSql::NoRecordMessage());
    programDir_ = programDir;
    outputDir_ = outputDir;
    setWindowTitle(QStringLiteral("数据库升级sql语句"));

    auto *row = new QHBoxLayout;
    row->setContentsMargins(8, 6, 8, 6);
    auto *label = new QLabel(QStringLiteral("由哪一版的数据库升级:"), this);
    CB_Version = new QComboBox(this);
    CB_Version->setObjectName(QStringLiteral("CB_Version"));
    for (auto it = versions.crbegin(); it != versions.crend(); ++it) {
        CB_Version->addItem(QStringLiteral("第 %1 版  %2")
                                .arg(it->version)
                                .arg(it->time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))),
                            it->version);
    }
    label->setBuddy(CB_Version);
    // A project living on its database: without the box its tables are left as they are.
    CK_Destructive = new QCheckBox(TProjectDAO().GetExistingDatabase(projectId_)
                                       ? QStringLiteral("修改已有的数据表 (包括删除已移除的表和列及其数据)")
                                       : QStringLiteral("写出删除语句 (删除已移除的表和列及其数据)"),
                                   this);
    CK_Destructive->setObjectName(QStringLiteral("CK_Destructive"));
    row->addWidget(label);
    row->addWidget(CB_Version);
    row->addSpacing(16);
    row->addWidget(CK_Destructive);
    row->addStretch();
    static_cast<QVBoxLayout *>(layout())->insertLayout(0, row);
    AddConnectionRow();

    // The first script fails as FormShow does; later ones show their failure in the text.
    Memo_Sql->setPlainText(QString());
    CB_Version->setCurrentIndex(
        CB_Version->findData(TDatabaseScripts::DefaultFromVersion(projectId_, outputDir_, tablePrefix_)));
    QString script = TDatabaseScripts::UpgradeScript(projectId_, outputDir_, CB_Version->currentData().toInt(),
                                                     tablePrefix_, false, programDir_);
    script.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    Memo_Sql->setPlainText(script);
    connect(CB_Version, &QComboBox::currentIndexChanged, this, &TDataBaseSqlForm::ShowUpgrade);
    connect(CK_Destructive, &QCheckBox::toggled, this, &TDataBaseSqlForm::ShowUpgrade);
}

void TDataBaseSqlForm::ShowUpgrade()
{
    QString script;
    try {
        script = TDatabaseScripts::UpgradeScript(projectId_, outputDir_, CB_Version->currentData().toInt(),
                                                 tablePrefix_, CK_Destructive->isChecked(), programDir_);
    } catch (const TGenerationError &error) {
        script = QStringLiteral("-- ") + error.message();
    } catch (const TDbError &error) {
        script = QStringLiteral("-- ") + error.message();
    }
    script.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    Memo_Sql->setPlainText(script);
}

void TDataBaseSqlForm::AddConnectionRow()
{
    // Two lines of fields, as one would not fit beside the button in the window's width.
    auto *grid = new QGridLayout;
    grid->setContentsMargins(8, 0, 8, 6);
    const auto field = [&](int row, int column, const QString &caption, QLineEdit *edit, const char *name) {
        auto *label = new QLabel(caption, this);
        label->setBuddy(edit);
        edit->setObjectName(QLatin1String(name));
        grid->addWidget(label, row, column);
        grid->addWidget(edit, row, column + 1);
    };
    Edit_DbName = new QLineEdit(this);
    Edit_DbUser = new QLineEdit(this);
    Edit_DbHost = new QLineEdit(QStringLiteral("localhost"), this);
    Edit_DbPort = new QLineEdit(QStringLiteral("3306"), this);
    Edit_DbPort->setValidator(new QIntValidator(1, 65535, Edit_DbPort));
    if (const std::optional<TExistingDatabase> stored = TProjectDAO().GetExistingDatabase(projectId_)) {
        Edit_DbName->setText(stored->database);
        Edit_DbUser->setText(stored->user);
        Edit_DbHost->setText(stored->host.isEmpty() ? QStringLiteral("localhost") : stored->host);
        Edit_DbPort->setText(QString::number(stored->port));
        storedHost_ = Edit_DbHost->text();
        storedSocket_ = stored->socket;
    }
    field(0, 0, QStringLiteral("数据库:"), Edit_DbName, "Edit_DbName");
    field(0, 2, QStringLiteral("用户:"), Edit_DbUser, "Edit_DbUser");
    field(1, 0, QStringLiteral("主机:"), Edit_DbHost, "Edit_DbHost");
    field(1, 2, QStringLiteral("端口:"), Edit_DbPort, "Edit_DbPort");
    Btn_FromDb = new QPushButton(QStringLiteral("按数据库中的版本"), this);
    Btn_FromDb->setObjectName(QStringLiteral("Btn_FromDb"));
    Btn_FromDb->setToolTip(QStringLiteral("连接数据库, 从它所处的模型版本升级"));
    Btn_FromDb->setAutoDefault(false);
    grid->addWidget(Btn_FromDb, 1, 4);
    grid->setColumnStretch(5, 1);
    static_cast<QVBoxLayout *>(layout())->insertLayout(1, grid);
    connect(Btn_FromDb, &QPushButton::clicked, this, &TDataBaseSqlForm::FromDbClick);
}

void TDataBaseSqlForm::FromDbClick()
{
    RunCommand(ui_, this, [this] {
        TDatabaseSource source;
        source.database = Edit_DbName->text().trimmed();
        source.host = Edit_DbHost->text().trimmed();
        source.port = Edit_DbPort->text().toInt();
        source.user = Edit_DbUser->text().trimmed();
        if (!storedSocket_.isEmpty() && source.host == storedHost_)
            source.socket = storedSocket_;
        if (source.database.isEmpty() || source.user.isEmpty() || source.port < 1) {
            ui_.message(this, QStringLiteral("请填写数据库名称、端口和用户名"));
            return;
        }
        const std::optional<QString> password =
            ui_.password(this, QStringLiteral("连接数据库"), QStringLiteral("用户 %1 的密码:").arg(source.user));
        if (!password)
            return;
        source.password = *password;
        TDatabaseVersion found;
        try {
            found = RunOffThread(this, [&] { return TDatabaseVersionFinder::Find(source, outputDir_); });
        } catch (const TImportError &error) {
            ui_.message(this, error.messages().join(QLatin1Char('\n')), TMessageKind::Error);
            return;
        }
        // Choosing the version shows its script.
        CB_Version->setCurrentIndex(CB_Version->findData(found.version));
        ui_.message(this, found.Report().join(QLatin1Char('\n')), TMessageKind::Information);
    });
}
