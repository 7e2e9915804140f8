#include "ui/dialogs/MemberFieldRules.h"

#include "model/Member.h"

TMemberFieldRules MemberFieldRules(const QString &type)
{
    TMemberFieldRules rules;
    rules.hasLength = type == MemberType::Text;
    // Text and pictures may be left empty; numbers, dates and references may not.
    rules.mustBeRequired = type != MemberType::Text && type != MemberType::Picture;
    // The generated tables and pages expect no other key.
    rules.canBeKey = type == MemberType::Text || type == MemberType::Integer;
    rules.canBeSearched = type != MemberType::Integer && type != MemberType::Float
        && type != MemberType::Picture;
    return rules;
}
