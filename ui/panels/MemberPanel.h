#pragma once

#include "model/Member.h"

#include <QList>
#include <QWidget>

#include <functional>
#include <memory>

class QAction;
class QKeyEvent;
class QTableView;
class TColumnFit;
class TFeedback;
class TMemberTableModel;
class TProjectPanel;

// The member table of the class selected in the project panel (LV_Member), and the commands
// on members: add, edit, delete and move.
class TMemberPanel : public QWidget {
    Q_OBJECT
public:
    TMemberPanel(TFeedback &feedback, const TProjectPanel &projects, QWidget *parent);
    ~TMemberPanel() override;

    // 添加成员 … 下移成员, in menu order.
    QList<QAction *> Commands() const;
    QTableView *Table() const { return LV_Member; }

    // Refills the table with the members of a class. Throws TDbError like the stores.
    void LoadMembers(int classId);
    // Refills the table with members read beforehand.
    void ShowMembers(QList<TMember> members);
    void ClearMembers();
    // -1 when no row is selected.
    int SelectedMemberId() const;
    // Selects the row of the member; none for 0 or a member the table does not hold.
    void SelectMember(int memberId);

public slots:
    void M1Click(); // add member
    void N3Click(); // edit member
    void C1Click(); // delete member
    void Up1Click(); // move member up
    void Down1Click(); // move member down
    void LV_MemberDblClick();

signals:
    // The table was filled again (the model may have changed with it).
    void MembersChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QAction *AddCommand(const char *name, const QString &caption, void (TMemberPanel::*handler)());
    bool Run(const std::function<void()> &command);
    void MoveMember(int steps);
    void FitColumns();
    // Delete, F2, Enter and Insert in the table; true when the key was a command.
    bool ListKey(const QKeyEvent *key);

    TFeedback &feedback_;
    const TProjectPanel &projects_;
    QAction *M1, *N3, *C1, *Up1, *Down1;
    QTableView *LV_Member = nullptr;
    TMemberTableModel *members_ = nullptr;
    std::unique_ptr<TColumnFit> columnFit_;
};
