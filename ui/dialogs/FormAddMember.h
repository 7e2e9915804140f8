#pragma once

#include "ui/dialogs/MemberForm.h"

// Adds a member to a class.
class TAddMemberForm : public TMemberForm {
    Q_OBJECT
public:
    TAddMemberForm(QWidget *parent, TUserInteraction &ui, int projectId, int classId);

    // Fills the type choices. Throws TDbError.
    void FormCreate();
    // The member stored by 确定; 0 before.
    int AddedMemberId() const { return addedMemberId_; }

    QString SavedMessage() const override;

protected:
    void Save(const TMember &member) override;

private:
    int addedMemberId_ = 0;
};
