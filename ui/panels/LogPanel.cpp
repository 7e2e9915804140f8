#include "ui/panels/LogPanel.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

TLogPanel::TLogPanel(QWidget *parent) : QGroupBox(QStringLiteral("生成进度"), parent)
{
    setObjectName(QStringLiteral("GroupBox2"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 6);
    Memo_State = new QPlainTextEdit(this);
    Memo_State->setObjectName(QStringLiteral("Memo_State"));
    Memo_State->setReadOnly(true);
    Memo_State->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette silver = Memo_State->palette();
    silver.setColor(QPalette::Base, QColor(0xc0, 0xc0, 0xc0));
    silver.setColor(QPalette::Text, Qt::black);
    Memo_State->setPalette(silver);
    layout->addWidget(Memo_State);
}

void TLogPanel::Append(const QString &line)
{
    Memo_State->appendPlainText(line);
}

void TLogPanel::Clear()
{
    Memo_State->clear();
}
