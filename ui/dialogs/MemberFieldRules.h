#pragma once

#include <QString>

// What a member's type allows in the member dialogs. The dialogs disable what a type does not
// use, hold 必填 ticked where the column is NOT NULL, and refuse the same things on 确定.
struct TMemberFieldRules {
    bool hasLength = false;      // 长度: text, long text and the precision of 定点数
    bool mustBeRequired = false; // the column is NOT NULL, so 必填 is ticked and fixed unless 允许空
    bool canBeKey = false;       // a new member of the type may be the key
    bool canBeSearched = false;  // 是否参与查询
};

// The rules of a type: one of the built-in types, or a class name (a reference).
TMemberFieldRules MemberFieldRules(const QString &type);
