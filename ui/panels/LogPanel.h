#pragma once

#include <QGroupBox>

class QPlainTextEdit;

// 生成进度: the progress log of a generation run (Memo_State), one line per step.
class TLogPanel : public QGroupBox {
    Q_OBJECT
public:
    explicit TLogPanel(QWidget *parent);

    QPlainTextEdit *Log() const { return Memo_State; }
    void Append(const QString &line);
    void Clear();

private:
    QPlainTextEdit *Memo_State;
};
