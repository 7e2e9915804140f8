#pragma once

#include <QDialog>
#include <QFont>

// The font of every window: the system face at a fixed pixel size, so that the fixed layouts
// hold the same text on every desktop.
QFont FormFont();

// A fixed-size modal dialog with a close box and nothing else in its frame. Escape cancels it,
// like its close box; Enter presses its default button.
class TFormDialog : public QDialog {
    Q_OBJECT
public:
    TFormDialog(QWidget *parent, const QString &caption, int clientWidth, int clientHeight);
};
