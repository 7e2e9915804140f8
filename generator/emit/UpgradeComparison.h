#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

class TProjectModel;
class TMember;
struct TClassModel;
struct TClassIndex;

// One side of an upgrade: a model, the prefix its tables carry, and the version it was
// generated as (0 for the current model).
struct TUpgradeSide {
    const TProjectModel *model = nullptr;
    QString prefix;
    int version = 0;
};

// A column of a table, its definition written only when asked for: most columns of a large
// model are unchanged, which their members alone can tell.
struct TUpgradeColumn {
    int memberId = 0;
    QString name;
    const TProjectModel *model = nullptr;
    const TClassModel *table = nullptr; // the member's class
    const TMember *member = nullptr;
    const TMember *refKey = nullptr; // the referenced key of a reference column
    bool asKey = false;
    QString prefix;

    // As the table script writes it, with the prefix in place of $dbprefix.
    const QString &Definition() const;
    // Its type as the definition writes it ("int(10) unsigned").
    QString SqlType() const;
    // Whether the definitions of two columns differ; compares what they are made of first.
    bool Differs(const TUpgradeColumn &other) const;

private:
    mutable QString definition_;
};

// A foreign key as the table script adds it. Unless an index of the class starts with its
// column, the server gives it an index of its own named after the column.
struct TUpgradeForeignKey {
    int memberId = 0;
    QString column;
    int ordinal = 0; // 1-based, in the order the table script adds a table's keys
    int refClassId = 0;
    int refKeyId = 0;
    QString refKey;
    QString rules; // " ON DELETE ..." as the script writes them
    bool ownIndex = true;
};

// An index of a class, its members by id so that a renamed member keeps it.
struct TUpgradeIndex {
    const TClassIndex *index = nullptr;
    QList<int> memberIds;

    QString Name() const;
    bool SameAs(const TUpgradeIndex &other) const;
};

struct TUpgradeTable {
    const TClassModel *cls = nullptr;
    QString name;
    QList<int> keyIds;      // the key member, or a composite key's members in order; none for a keyless table
    QStringList keyColumns; // their columns
    QString keyName;        // the columns back-quoted and joined by ",", as the key clause writes them
    QList<TUpgradeColumn> columns; // key first, then the other members in order
    QHash<int, qsizetype> columnAt;
    QList<TUpgradeForeignKey> keys;
    QHash<int, qsizetype> keyAt;
    QList<TUpgradeIndex> indexes;

    int ClassId() const;
    const TUpgradeColumn *Column(int memberId) const;
    const TUpgradeForeignKey *Key(int memberId) const;
    const TUpgradeIndex *Index(const QString &name) const; // without regard to case, as MySQL
    bool HasColumnNamed(const QString &name) const;
};

// The tables the table script makes of a model, keyed by class id.
struct TUpgradeSchema {
    QString charset;
    QList<TUpgradeTable> tables;
    QHash<int, qsizetype> tableAt;

    // The model must have a table script (the checker accepts it).
    static TUpgradeSchema Describe(const TProjectModel &model, const QString &prefix);
    const TUpgradeTable *Table(int classId) const;
};

// Two versions of a model side by side: their tables, matched by class and member ids, and
// what of the kept ones changes.
class TUpgradeComparison {
public:
    TUpgradeComparison(const TUpgradeSide &from, const TUpgradeSide &to);

    const TUpgradeSchema &Old() const { return old_; }
    const TUpgradeSchema &New() const { return new_; }

    // Whether a kept column gets a CHANGE COLUMN: renamed, retyped, its NULL, character set or
    // collation changed, or moved among the columns both versions have.
    bool ColumnChanged(int classId, int memberId) const;
    // Whether a kept table's key is another member.
    bool KeyChanged(int classId) const;
    // Whether an index of a kept table, by name, is dropped (gone or changed) / added (new or
    // changed).
    bool IndexDropped(int classId, const QString &name) const;
    bool IndexAdded(int classId, const QString &name) const;
    // Whether a foreign key of the new model stands as it is in the old database: its table,
    // number, column, referenced key, rules and index all untouched.
    bool ForeignKeyKept(int classId, int memberId) const;
    bool CharsetChanged() const { return old_.charset != new_.charset; }

    // Why changing a column from one definition to another may lose data; empty when it cannot.
    static QString LossWarning(const TUpgradeColumn &from, const TUpgradeColumn &to);

private:
    void FindChanges(const TUpgradeTable &before, const TUpgradeTable &after);
    void FindKeptForeignKeys();

    TUpgradeSchema old_;
    TUpgradeSchema new_;
    QHash<int, QSet<int>> changed_; // class id -> member ids that get a CHANGE COLUMN
    QSet<int> keyChanged_;          // class ids whose key is another member
    QSet<std::pair<int, int>> keptKeys_; // (class id, member id) of foreign keys that stay
    QHash<int, QSet<QString>> droppedIndexes_; // class id -> lower-cased names
    QHash<int, QSet<QString>> addedIndexes_;
};
