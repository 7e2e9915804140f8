#pragma once

#include "model/Member.h"
#include "ui/dialogs/FormDialog.h"

#include <QRect>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TMemberTypeFields;
class TUserInteraction;

// What the add and update member dialogs share: the controls, the type choices, the rules
// of the OK button and the member they build, for one class of one project. The two differ in
// their layout, in whether a key member must be of a key type, and in how they save. Accepted
// once the member is stored; the caller then reloads its table and says so.
class TMemberForm : public TFormDialog {
    Q_OBJECT
public:
    // Control rectangles, left, top, width and height, of one of the two layouts.
    struct TLayout {
        QString caption;
        QSize client;
        QRect label1, label2, label3, label5, label4;
        QRect memberName, memberType, isMust, button1, button2, comment, queryFlag, isPri,
            length, isDisplay, queryDisplay;
    };

    // What to say once the member is stored.
    virtual QString SavedMessage() const = 0;

public slots:
    void Button1Click();
    void Button2Click();

protected:
    TMemberForm(QWidget *parent, TUserInteraction &ui, int projectId, int classId,
                const TLayout &layout, bool keyTypeRule);

    // The five built-in types, then the other classes of the project.
    void FillTypeChoices();
    // Saves the member built from the controls; memberId is 0 for a new member.
    virtual void Save(const TMember &member) = 0;
    // The member being changed; 0 while adding one.
    virtual int EditedMemberId() const { return 0; }

    TUserInteraction &ui_;
    const int projectId_;
    const int classId_;
    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label3;
    QLabel *Label5;
    QLabel *Label4;
    QLineEdit *Edt_MemberName;
    QComboBox *CB_MemberType;
    QCheckBox *CB_MemberIsMust;
    QPushButton *Button1;
    QPushButton *Button2;
    QLineEdit *Edt_MemberComment;
    QCheckBox *CB_QueryFlag;
    QCheckBox *CB_MemberIsPri;
    QLineEdit *Edt_MemberLength;
    QCheckBox *CB_MemberIsDisplay;
    QCheckBox *CB_MemberQueryDisplay;
    // Beside the fields above, the ones only some types read.
    TMemberTypeFields *typeFields_;

    // Shows what the selected type allows: fields it does not use disabled, 必填 held ticked
    // where it must be; a box set free again gets back what the user had chosen.
    void ApplyTypeRules();

private:
    void Hold(QCheckBox *box, bool free, bool heldAt, bool &choice);
    // 允许空 ticked on a member that is not the key: its column may stay empty.
    bool NullableTicked() const;
    // 必填 held ticked while the column is NOT NULL and the member may not stay empty.
    void HoldRequired();
    bool KeyAllowed(const QString &type) const;
    // Whether another member of the class has the name, whatever its case.
    bool MemberNameTaken(const QString &name) const;

    bool keyTypeRule_;
    bool compositeKey_; // the class is marked as keyed by several members together
    bool mustChoice_ = false;
    bool keyChoice_ = false;
    bool queryChoice_ = false;
};
