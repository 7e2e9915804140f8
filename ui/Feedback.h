#pragma once

#include "ui/UserInteraction.h"

class QEvent;
class QLabel;
class QStatusBar;

// How the window's commands speak to the user: questions and errors through the interaction,
// successes in a box or, when the user turned 显示操作成功提示 off, in the status bar only.
class TFeedback {
public:
    TFeedback(TUserInteraction &ui, QStatusBar *statusBar);

    TUserInteraction &Ui() const { return ui_; }

    // A command's success. Errors and questions never come here.
    void Success(QWidget *parent, const QString &text, TMessageKind kind = TMessageKind::Plain,
                 const QString &caption = {}) const;
    // A passing word in the status bar.
    void Status(const QString &text) const;
    // Names a list in the status bar while it has the focus, so the user knows where Insert
    // adds; event is one that reached the list.
    void FollowListFocus(const QEvent *event, const QString &name) const;

    bool ShowsSuccessBoxes() const { return showSuccessBoxes_; }
    void SetShowSuccessBoxes(bool show) { showSuccessBoxes_ = show; }

private:
    TUserInteraction &ui_;
    QStatusBar *statusBar_;
    QLabel *focusedList_;
    bool showSuccessBoxes_ = true;
};
