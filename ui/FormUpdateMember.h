#pragma once

#include "MemberForm.h"

// Changes one member of the class selected in the main window.
class TUpdateMemberForm : public TMemberForm {
    Q_OBJECT
public:
    TUpdateMemberForm(TFormMain *owner, int memberId);

    // Fills the dialog from the member. When the member no longer exists, says so and returns
    // false: the dialog is not to be shown. Throws TDbError.
    bool FormCreate();

protected:
    void Save(const TMember &member) override;
    QString SavedMessage() const override;
    int EditedMemberId() const override { return memberId_; }

private:
    int memberId_;
};
