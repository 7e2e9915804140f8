#include "ui/dialogs/MemberFieldRules.h"

#include "generator/check/TypeRules.h"
#include "model/Member.h"

TMemberFieldRules MemberFieldRules(const QString &type)
{
    TMemberFieldRules rules;
    rules.hasLength = TypeRules::UsesLength(type);
    // Text, long text, pictures (the default picture) and 是否型 (0) hold a value unasked;
    // numbers, dates, times and references must be given one unless the member may be empty.
    rules.mustBeRequired = type != MemberType::Text && type != MemberType::LongText
        && type != MemberType::Picture && type != MemberType::Boolean;
    // The generated tables and pages expect no other key.
    rules.canBeKey = TypeRules::CanBeKey(type);
    rules.canBeSearched = type != MemberType::Integer && type != MemberType::Float
        && type != MemberType::Picture;
    return rules;
}
