#pragma once

#include "MainFormProbe.h"

#include "ui/dialogs/FormAddMember.h"
#include "ui/dialogs/FormUpdateMember.h"

#include <memory>

namespace {

// What the user sets in a member dialog; unset fields keep what the dialog shows.
struct TMemberInput {
    QString name = QStringLiteral("a");
    QString type = QStringLiteral("字符串");
    bool must = false;
    bool key = false;
    bool query = false;
    QString length = QStringLiteral("20");
};

void apply(QDialog &d, const TMemberInput &in)
{
    Find<QLineEdit>(&d, "Edt_MemberName")->setText(in.name);
    QComboBox *types = Find<QComboBox>(&d, "CB_MemberType");
    types->setCurrentIndex(types->findText(in.type));
    Find<QCheckBox>(&d, "CB_MemberIsMust")->setChecked(in.must);
    Find<QCheckBox>(&d, "CB_MemberIsPri")->setChecked(in.key);
    Find<QCheckBox>(&d, "CB_QueryFlag")->setChecked(in.query);
    Find<QLineEdit>(&d, "Edt_MemberLength")->setText(in.length);
}

QString describe(const TMember &m)
{
    return QStringLiteral("%1 %2 len=%3 pri=%4 must=%5 int=%6 float=%7 query=%8 display=%9 qd=%10 [%11]")
        .arg(m.memberName(), m.memberType())
        .arg(m.memberLength())
        .arg(m.memberIsPri())
        .arg(m.memberIsMust())
        .arg(m.memberIsInteger())
        .arg(m.memberIsFloat())
        .arg(m.queryFlag())
        .arg(m.memberIsDisplay())
        .arg(m.memberQueryDisplay())
        .arg(m.memberComment());
}

} // namespace

// The school project with Score selected in a window of its own for each test; the test classes
// call init() and cleanup() from their own slots.
class TMemberFormFixture {
protected:
    std::unique_ptr<TTempProgram> program;
    std::unique_ptr<TScriptedInteraction> user;
    std::unique_ptr<TFormMain> window;
    int school = 0;
    int student = 0;
    int score = 0;
    int markId = 0;

    // Score selected; its one member "mark" (浮点型, required) exists for the update dialog.
    void selectScore()
    {
        TMainFormProbe probe{window.get()};
        probe.selectClass(1);
        QCOMPARE(probe.selectedClass(), QStringLiteral("Score"));
    }

    struct TOutcome {
        QStringList messages;
        bool stayedOpen = false;
        QWidget *focus = nullptr;
        QString focusName;
    };

    // Opens the add dialog (update == false) or the update dialog of "mark", sets it up and
    // presses OK.
    TOutcome press(bool update, const TMemberInput &in)
    {
        TOutcome outcome;
        const auto drive = [&](QDialog &d) {
            apply(d, in);
            Find<QPushButton>(&d, "Button1")->click();
            outcome.stayedOpen = d.isVisible();
            if (QWidget *f = d.focusWidget())
                outcome.focusName = f->objectName();
        };
        int shown = 0;
        if (update) {
            TMainFormProbe{window.get()}.selectMember(0);
            shown = DriveDialog<TUpdateMemberForm>([&] { Trigger(window.get(), "N3"); }, drive);
        } else {
            shown = DriveDialog<TAddMemberForm>([&] { Trigger(window.get(), "M1"); }, drive);
        }
        if (shown != 1)
            qWarning("dialog shown %d times", shown);
        outcome.messages = user->takeTexts();
        return outcome;
    }

    QStringList membersOfScore() const
    {
        QStringList all;
        for (const TMember &m : TMemberDAO().GetMembers(score))
            all.append(describe(m));
        return all;
    }

    void init()
    {
        program = std::make_unique<TTempProgram>();
        user = std::make_unique<TScriptedInteraction>();
        school = program->AddProject(QStringLiteral("school"));
        student = program->AddClass(school, QStringLiteral("Student"), QStringLiteral("学生"));
        score = program->AddClass(school, QStringLiteral("Score"), QStringLiteral("成绩"));
        program->AddClass(school, QStringLiteral("Teacher"), QStringLiteral("老师"));
        markId = program->AddMember(school, score, QStringLiteral("mark"), MemberType::Float);
        program->AddClass(program->AddProject(QStringLiteral("other")), QStringLiteral("Elsewhere"));
        window = std::make_unique<TFormMain>(*user, program->Dir());
        selectScore();
    }
    void cleanup()
    {
        window.reset();
        QVERIFY(user->unanswered.isEmpty());
        user.reset();
        program.reset();
    }
};
