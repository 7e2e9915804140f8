#pragma once

#include "TestSupport.h"

#include <QProcess>
#include <QScopedPointer>
#include <QTemporaryDir>
#include <QtTest>

struct TResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

inline const QByteArray bom("\xEF\xBB\xBF");

// velmora-cli as a user runs it: a separate process on a program folder of its own. The test
// classes call init() from their own init slot.
class TCliHarness {
protected:
    void init()
    {
        dir_.reset(new QTemporaryDir);
        QVERIFY(dir_->isValid());
        program_ = QStringLiteral(VELMORA_PROGRAM_DIR "/velmora-cli");
    }

    TResult cli(const QStringList &args, int killAfterLines = 0) const
    {
        QProcess process;
        if (killAfterLines > 0) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("VELMORA_TEST_KILL_AFTER_LINES"), QString::number(killAfterLines));
            process.setProcessEnvironment(env);
        }
        process.start(program_, args);
        if (!process.waitForFinished(120000))
            qFatal("velmora-cli did not end");
        TResult result;
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.out = process.readAllStandardOutput();
        result.err = process.readAllStandardError();
        return result;
    }

    TResult generate(const QString &programDir, const QStringList &options = {}, int killAfterLines = 0) const
    {
        return cli(QStringList{QStringLiteral("--home"), programDir, QStringLiteral("generate"),
                               QStringLiteral("campus")} + options, killAfterLines);
    }

    void loadCase(const QString &caseName)
    {
        TestSupport::LoadModel(home(QStringLiteral("projects.mdb")),
                               TestSupport::FixtureDir(caseName) + QStringLiteral("/model.sql"));
    }

    QString home(const QString &relative = QString()) const { return dir_->filePath(relative); }

    QScopedPointer<QTemporaryDir> dir_;
    QString program_; // velmora-cli, or a copy of it in another folder
};
