#pragma once

#include <QDialog>
#include <QFont>

#include <functional>

class TUserInteraction;
class QWidget;

// The font of every window: the system face at a fixed pixel size, so that the fixed layouts
// hold the same text on every desktop.
QFont FormFont();

// Runs one command. A failure of the model database or of generation (or anything else
// thrown) is shown to the user as an error box and ends the command there. Returns whether
// the command ran to its end.
bool RunCommand(TUserInteraction &ui, QWidget *parent, const std::function<void()> &command);

// The refusal of a class name that another class of the project has, compared without regard
// to case (file systems and MySQL on Windows do not tell them apart); empty when it is free.
// classId is the class being renamed, 0 for a new one. Throws TDbError.
QString ClassNameTaken(int projectId, int classId, const QString &className);

// The checker's rules on a class as the class dialogs take it, after their own rules: the
// name, then a name another class has, then the friendly name; empty when all pass.
QString ClassRefusal(int projectId, int classId, const QString &className, const QString &friendName);

// A fixed-size modal dialog with a close box and nothing else in its frame. Escape cancels it,
// like its close box; Enter presses its default button.
class TFormDialog : public QDialog {
    Q_OBJECT
public:
    TFormDialog(QWidget *parent, const QString &caption, int clientWidth, int clientHeight);
};
