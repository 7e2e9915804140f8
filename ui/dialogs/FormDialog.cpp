#include "ui/dialogs/FormDialog.h"

#include <QApplication>

QFont FormFont()
{
    QFont font = QApplication::font();
    font.setPixelSize(12);
    return font;
}

TFormDialog::TFormDialog(QWidget *parent, const QString &caption, int clientWidth,
                         int clientHeight)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setWindowTitle(caption);
    setFont(FormFont());
    setFixedSize(clientWidth, clientHeight);
}
