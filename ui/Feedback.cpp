#include "ui/Feedback.h"

#include <QStatusBar>

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
