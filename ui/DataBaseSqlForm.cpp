#include "DataBaseSqlForm.h"

#include "generator/DataBaseSql.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

TDataBaseSqlForm::TDataBaseSqlForm(QWidget *parent)
    : TFormDialog(parent, QStringLiteral("数据库建表sql语句"), 766, 551)
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
}

void TDataBaseSqlForm::FormShow(const QString &programDir)
{
    QString script = TDataBaseSql::Build(projectId_, tablePrefix_, programDir);
    // The text area keeps lines apart by itself; a copy gets the desktop's line ends.
    script.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    Memo_Sql->setPlainText(script);
}
