#pragma once

#include "ui/dialogs/MemberForm.h"

// Changes one member of a class.
class TUpdateMemberForm : public TMemberForm {
    Q_OBJECT
public:
    TUpdateMemberForm(QWidget *parent, TUserInteraction &ui, int projectId, int classId, int memberId);

    // Fills the dialog from the member. When the member no longer exists, says so and returns
    // false: the dialog is not to be shown. Throws TDbError.
    bool FormCreate();

    QString SavedMessage() const override;

protected:
    void Save(const TMember &member) override;
    int EditedMemberId() const override { return memberId_; }

private:
    int memberId_;
};
