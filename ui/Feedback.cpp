#include "ui/Feedback.h"

#include <QFocusEvent>
#include <QLabel>
#include <QStatusBar>

TFeedback::TFeedback(TUserInteraction &ui, QStatusBar *statusBar)
    : ui_(ui), statusBar_(statusBar), focusedList_(new QLabel(statusBar))
{
    focusedList_->setObjectName(QStringLiteral("Label_FocusedList"));
    statusBar_->addPermanentWidget(focusedList_);
}

void TFeedback::Success(QWidget *parent, const QString &text, TMessageKind kind,
                        const QString &caption) const
{
    if (showSuccessBoxes_)
        ui_.message(parent, text, kind, caption);
    else
        Status(text);
}

void TFeedback::Status(const QString &text) const
{
    statusBar_->showMessage(text, 15000);
}

void TFeedback::FollowListFocus(const QEvent *event, const QString &name) const
{
    if (event->type() == QEvent::FocusIn) {
        focusedList_->setText(name);
    } else if (event->type() == QEvent::FocusOut) {
        // A box or menu over the window takes the focus only for a while.
        const Qt::FocusReason reason = static_cast<const QFocusEvent *>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            focusedList_->clear();
    }
}
