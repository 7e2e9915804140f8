#include "ui/dialogs/FormDialog.h"

#include <QApplication>

QFont FormFont()
{
    QFont font = QApplication::font();
    font.setPixelSize(12);
    // Chinese and Latin text needs no shaping, and the shipped font is configured not to be
    // hinted; Qt did both anyway, which cost the window several milliseconds of its first paint.
    font.setStyleStrategy(QFont::PreferNoShaping);
    font.setHintingPreference(QFont::PreferNoHinting);
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
