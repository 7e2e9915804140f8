#pragma once

#include "model/ClassDAO.h"
#include "model/DbHelper.h"
#include "model/MemberDAO.h"
#include "model/ProjectDAO.h"
#include "ui/MainForm.h"
#include "ui/panels/GenerationCommand.h"
#include "ui/panels/MemberPanel.h"
#include "ui/panels/ProjectPanel.h"
#include "generator/record/Regeneration.h"
#include "ui/UserInteraction.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>
#include <optional>

// Plays the user's hand and the desktop shell: answers prompts and questions from a script,
// records every message and every opened address, and never shows anything.
class TScriptedInteraction : public TUserInteraction {
public:
    struct TShown {
        TMessageKind kind;
        QString caption;
        QString text;
    };
    struct TPrompt {
        QString caption;
        QString prompt;
        QString defaultText;
    };

    QList<TShown> shown;
    QList<TPrompt> prompts;
    QStringList questions; // "caption|text" of every confirmation asked
    QList<QUrl> opened;
    bool openSucceeds = true;
    // Answers in the order they will be asked; std::nullopt presses Cancel.
    QList<std::optional<QString>> inputAnswers;
    QList<bool> confirmAnswers;
    QStringList unanswered; // prompts or questions asked with no answer scripted
    // Called after each message is recorded; a test may act there (e.g. stop a run).
    std::function<void(const TShown &)> onMessage;

    void message(QWidget *, const QString &text, TMessageKind kind, const QString &caption) override
    {
        shown.append({kind, caption, text});
        if (onMessage)
            onMessage(shown.last());
    }
    bool confirm(QWidget *, const QString &text, const QString &caption) override
    {
        questions.append(caption + QLatin1Char('|') + text);
        if (confirmAnswers.isEmpty()) {
            unanswered.append(text);
            return false;
        }
        return confirmAnswers.takeFirst();
    }
    QString input(QWidget *, const QString &caption, const QString &prompt,
                  const QString &defaultText) override
    {
        prompts.append({caption, prompt, defaultText});
        if (inputAnswers.isEmpty()) {
            unanswered.append(caption);
            return defaultText;
        }
        const std::optional<QString> answer = inputAnswers.takeFirst();
        return answer ? *answer : defaultText;
    }
    // Passwords in the order asked; std::nullopt presses Cancel.
    QList<std::optional<QString>> passwordAnswers;
    std::optional<QString> password(QWidget *, const QString &caption, const QString &prompt) override
    {
        prompts.append({caption, prompt, QString()});
        if (passwordAnswers.isEmpty()) {
            unanswered.append(caption);
            return std::nullopt;
        }
        return passwordAnswers.takeFirst();
    }
    bool open(const QUrl &url) override
    {
        opened.append(url);
        return openSucceeds;
    }
    // "status\tpath" of every file of each preview shown; answered from previewAnswers.
    QList<QStringList> previews;
    QList<bool> previewAnswers;
    bool previewRegeneration(QWidget *, const QList<TPlannedFile> &plan,
                             const TRegenerationCounts &) override
    {
        QStringList files;
        for (const TPlannedFile &file : plan)
            files.append(FileActionLabel(file.action) + QLatin1Char('\t') + file.path);
        previews.append(files);
        if (previewAnswers.isEmpty()) {
            unanswered.append(QStringLiteral("preview"));
            return false;
        }
        return previewAnswers.takeFirst();
    }

    // Files chosen, in the order asked; an empty one cancels.
    QStringList fileAnswers;
    QStringList fileCaptions;
    QString chooseFile(QWidget *, bool, const QString &caption, const QString &, const QString &) override
    {
        fileCaptions.append(caption);
        if (fileAnswers.isEmpty()) {
            unanswered.append(caption);
            return QString();
        }
        return fileAnswers.takeFirst();
    }

    QStringList texts() const
    {
        QStringList all;
        for (const TShown &s : shown)
            all.append(s.text);
        return all;
    }
    // The texts shown since the last call, and forgets them.
    QStringList takeTexts()
    {
        const QStringList all = texts();
        shown.clear();
        return all;
    }
};

// A program folder of its own with an empty model database, chosen as the database of
// every store while the object lives.
class TTempProgram {
public:
    TTempProgram()
    {
        QVERIFY_THROWS_NO_EXCEPTION(TDbHelper::CreateEmptyDatabase(DatabaseFile()));
        TDbHelper::SetDefaultDatabaseFile(DatabaseFile());
    }
    ~TTempProgram() { TDbHelper::SetDefaultDatabaseFile(QString()); }

    QString Dir() const { return dir_.path(); }
    QString DatabaseFile() const { return dir_.filePath(QStringLiteral("projects.mdb")); }

    int AddProject(const QString &name) const
    {
        TProjectDAO().AddProject(name);
        return IdOf(TProjectDAO().GetProjects(), name);
    }
    int AddClass(int projectId, const QString &name, const QString &friendName = QStringLiteral("类"))
        const
    {
        TClassDAO().AddClass(projectId, name, friendName);
        return TClassDAO().GetClassId(projectId, name);
    }
    // A member of the given type; key and display flags as asked, required, length 20 for text.
    int AddMember(int projectId, int classId, const QString &name, const QString &type,
                  bool key = false, bool display = false, const QString &comment = {}) const
    {
        TMember m;
        m.setProjectId(projectId);
        m.setClassId(classId);
        m.setMemberName(name);
        m.setMemberType(type);
        m.setMemberLength(type == MemberType::Text ? 20 : 0);
        m.setMemberIsPri(key ? 1 : 0);
        m.setMemberIsDisplay(display ? 1 : 0);
        m.setMemberIsMust(1);
        m.setMemberIsInteger(type == MemberType::Integer ? 1 : 0);
        m.setMemberIsFloat(type == MemberType::Float ? 1 : 0);
        m.setMemberComment(comment);
        TMemberDAO().AddMember(m);
        const QList<TMember> members = TMemberDAO().GetMembers(classId);
        return members.last().memberId();
    }

private:
    static int IdOf(const TProjectList &list, const QString &name)
    {
        for (const TListEntry &e : list)
            if (e.name == name)
                return e.id;
        return -1;
    }

    QTemporaryDir dir_;
};

// Runs open(), which is expected to show a modal dialog of type Dialog, and drives that
// dialog with drive() while it is shown. A dialog still open when drive() returns is closed
// with its close box. Returns how many such dialogs were shown (0 when open() refused).
template <typename Dialog>
int DriveDialog(const std::function<void()> &open, const std::function<void(Dialog &)> &drive)
{
    int shown = 0;
    QTimer poll;
    poll.setInterval(0);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        auto *dialog = qobject_cast<Dialog *>(modal);
        if (!dialog) {
            // Some other window: close it, so that the test fails instead of hanging.
            qWarning("unexpected modal window %s", modal->metaObject()->className());
            modal->close();
            return;
        }
        poll.stop();
        ++shown;
        drive(*dialog);
        if (dialog->isVisible())
            dialog->close();
    });
    poll.start();
    open();
    poll.stop();
    return shown;
}

// A double-click as a mouse makes it: press, release, double-click, release.
inline void DoubleClick(QWidget *widget, const QPoint &at)
{
    QTest::mousePress(widget, Qt::LeftButton, {}, at);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
}

template <typename T>
T *Find(const QObject *parent, const char *name)
{
    T *child = parent->findChild<T *>(QLatin1String(name));
    if (!child)
        qWarning("no child %s", name);
    return child;
}

inline void Trigger(const QObject *window, const char *actionName)
{
    QAction *action = Find<QAction>(window, actionName);
    QVERIFY(action);
    action->trigger();
}
