#include "ui/UserInteraction.h"

#include "ui/dialogs/FormRegenerationPreview.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

namespace {
QString captionOr(const QString &caption)
{
    return caption.isEmpty() ? QGuiApplication::applicationDisplayName() : caption;
}
} // namespace

void TQtUserInteraction::message(QWidget *parent, const QString &text, TMessageKind kind,
                                 const QString &caption)
{
    QMessageBox box(parent);
    box.setWindowTitle(captionOr(caption));
    box.setText(text);
    switch (kind) {
    case TMessageKind::Plain:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case TMessageKind::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case TMessageKind::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

bool TQtUserInteraction::confirm(QWidget *parent, const QString &text, const QString &caption)
{
    QMessageBox box(QMessageBox::Information, captionOr(caption), text,
                    QMessageBox::Ok | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

QString TQtUserInteraction::input(QWidget *parent, const QString &caption, const QString &prompt,
                                  const QString &defaultText)
{
    QInputDialog dialog(parent);
    dialog.setWindowTitle(captionOr(caption));
    dialog.setLabelText(prompt);
    dialog.setTextValue(defaultText);
    dialog.setOkButtonText(QStringLiteral("确定"));
    dialog.setCancelButtonText(QStringLiteral("取消"));
    // Wide enough for a project name or prefix without scrolling.
    dialog.resize(360, dialog.sizeHint().height());
    if (dialog.exec() != QDialog::Accepted)
        return defaultText;
    return dialog.textValue();
}

std::optional<QString> TQtUserInteraction::password(QWidget *parent, const QString &caption,
                                                   const QString &prompt)
{
    QInputDialog dialog(parent);
    dialog.setWindowTitle(captionOr(caption));
    dialog.setLabelText(prompt);
    dialog.setTextEchoMode(QLineEdit::Password);
    dialog.setOkButtonText(QStringLiteral("确定"));
    dialog.setCancelButtonText(QStringLiteral("取消"));
    dialog.resize(360, dialog.sizeHint().height());
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

bool TQtUserInteraction::open(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

bool TQtUserInteraction::previewRegeneration(QWidget *parent, const QList<TPlannedFile> &plan,
                                             const TRegenerationCounts &counts)
{
    TFormRegenerationPreview preview(parent, plan, counts);
    return preview.exec() == QDialog::Accepted;
}

QString TQtUserInteraction::chooseFile(QWidget *parent, bool forSaving, const QString &caption,
                                       const QString &suggested, const QString &filter)
{
    return forSaving ? QFileDialog::getSaveFileName(parent, caption, suggested, filter)
                     : QFileDialog::getOpenFileName(parent, caption, suggested, filter);
}
