#pragma once

#include "generator/check/ModelChecker.h"

#include <QSet>
#include <QString>

// Names for the classes and members of an imported database: a table or column keeps its own
// name as class or member name when PHP and the generated code can carry it; otherwise it gets
// one derived from it ("reply-to" -> "replyTo", "system" -> "System_"), the database keeping
// the real one as the class's table name or the member's column name.
class TImportNames {
public:
    enum class TKind { Class, Member };

    explicit TImportNames(TKind kind) : kind_(kind) {}

    // A usable name for real, unlike (case-insensitively) every name given before; with why it
    // had to change, empty when it did not.
    struct TName {
        QString name;
        QString reason;
    };
    TName Take(const QString &real);

private:
    TModelChecker::TNameProblem Problem(const QString &name) const;
    QString Derived(const QString &real) const;
    bool Usable(const QString &name) const;

    TKind kind_;
    QSet<QString> taken_; // case-folded
};
