#pragma once

#include "MainFormProbe.h"

#include <memory>

// A program folder of its own and a scripted user for each test; the test classes call init()
// and cleanup() from their own slots.
class TMainFormFixture {
protected:
    std::unique_ptr<TTempProgram> program;
    std::unique_ptr<TScriptedInteraction> user;

    void init()
    {
        program = std::make_unique<TTempProgram>();
        user = std::make_unique<TScriptedInteraction>();
    }
    void cleanup()
    {
        QVERIFY2(user->unanswered.isEmpty(), qPrintable(user->unanswered.join(QLatin1Char(','))));
        user.reset();
        program.reset();
    }

    std::unique_ptr<TFormMain> openWindow()
    {
        auto window = std::make_unique<TFormMain>(*user, program->Dir());
        return window;
    }
    // Projects school (classes Student with two members, Score) and shop (no classes).
    void buildSchool()
    {
        const int school = program->AddProject(QStringLiteral("school"));
        const int student = program->AddClass(school, QStringLiteral("Student"), QStringLiteral("学生"));
        program->AddMember(school, student, QStringLiteral("id"), MemberType::Integer, true);
        program->AddMember(school, student, QStringLiteral("name"), MemberType::Text, false, true,
                           QStringLiteral("姓名"));
        const int score = program->AddClass(school, QStringLiteral("Score"), QStringLiteral("成绩"));
        program->AddMember(school, score, QStringLiteral("student"), QStringLiteral("Student"));
        program->AddProject(QStringLiteral("shop"));
    }
};
