#pragma once

#include "MemberForm.h"

// Adds a member to the class selected in the main window.
class TAddMemberForm : public TMemberForm {
    Q_OBJECT
public:
    explicit TAddMemberForm(TFormMain *owner);

    // Fills the type choices. Throws TDbError.
    void FormCreate();

protected:
    void Save(const TMember &member) override;
    QString SavedMessage() const override;
};
