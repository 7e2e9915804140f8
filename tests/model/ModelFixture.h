#pragma once

#include "model/ClassDAO.h"
#include "model/DbHelper.h"
#include "model/MemberDAO.h"
#include "model/ProjectDAO.h"

#include <QScopedPointer>
#include <QTemporaryDir>
#include <QtTest>

// Each test works on a fresh database file of its own; the test classes call init() from
// their own init slot.
class TModelFixture {
protected:
    void init()
    {
        dir_.reset(new QTemporaryDir);
        QVERIFY(dir_->isValid());
        file_ = dir_->filePath(QStringLiteral("projects.mdb"));
        TDbHelper::CreateEmptyDatabase(file_);
        db_ = TDbHelper(file_);
    }

    int addProject(const QString &name)
    {
        TProjectDAO(db_).AddProject(name);
        return db_.QueryInteger(QStringLiteral("select max(projectId) from t_project"));
    }

    int addClass(int projectId, const QString &name)
    {
        TClassDAO(db_).AddClass(projectId, name, name + QStringLiteral("友好名"));
        return TClassDAO(db_).GetClassId(projectId, name);
    }

    int addMember(int projectId, int classId, const QString &name, const QString &type,
                  int isPri = 0, int isDisplay = 0)
    {
        TMember m;
        m.setProjectId(projectId);
        m.setClassId(classId);
        m.setMemberName(name);
        m.setMemberType(type);
        m.setMemberIsPri(isPri);
        m.setMemberIsDisplay(isDisplay);
        TMemberDAO(db_).AddMember(m);
        return db_.QueryInteger(QStringLiteral("select max(memberId) from t_member"));
    }

    QScopedPointer<QTemporaryDir> dir_;
    QString file_;
    TDbHelper db_{QString()};
};
