#pragma once

#include "Naming.h"

#include "model/ClassIndex.h"
#include "model/ExistingDatabase.h"
#include "model/ListEntry.h"
#include "model/Member.h"
#include "model/TableCharset.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <atomic>
#include <optional>
#include <utility>

// One class of a project with all its members, read once for a whole generation. The
// selections give the same rows, in the same order, as the member store's queries.
struct TClassModel {
    int classId = 0;
    QString className;
    QString friendName;
    QList<TMember> members; // all members, in the store's order
    TClassIndexes indexes;  // in order, each naming its members
    QString tableName;      // the table's own name; empty for the prefix and the class name
    bool isReadOnly = false; // its pages list, search and export rows, never change one
    int compositeKey = 0;   // 1: the key members together are the key

    // The first member flagged as key / as display member; null when there is none.
    const TMember *KeyMember() const;
    const TMember *DisplayMember() const;
    QList<TMember> NonKeyMembers() const;   // memberIsPri 0
    QList<TMember> KeyMembers() const;      // memberIsPri 1
    // A composite key of exactly two references: the class links rows of those two classes.
    bool IsLink() const;
    // The names that address a row: a composite key's members, else the key member (an empty
    // name when there is none).
    QStringList RowKeyNames() const;
    QList<TMember> QueryMembers() const;    // queryFlag 1
    QList<TMember> PictureMembers() const;  // type 图片型
    QList<TMember> ReferenceMembers() const; // type names a class
    // Whether the member named so is in one of the class's unique indexes.
    bool InUniqueIndex(const QString &memberName) const;
};

// The classes of one project as the generators see them: read from the model database once,
// so that building the text of a class costs no further database work.
class TProjectModel {
public:
    // Reads the classes of the list (the project's class list, in its order) and their members.
    static TProjectModel Load(int projectId, const TClassList &classes);
    // The same for the project's whole class list.
    static TProjectModel Load(int projectId);
    // A model held in memory (a model file, a generation's snapshot), read as if stored under
    // projectId: members count as the project's own when their projectId is projectId.
    static TProjectModel FromClasses(int projectId, QList<TClassModel> classes,
                                     QString tableCharset = TableCharset::Utf8);

    int ProjectId() const { return projectId_; }
    // The character set of the project's tables, one of TableCharset.
    const QString &Charset() const { return tableCharset_; }
    // Each read is counted, so that a test can tell a walk of the whole model per class (work
    // growing with the square of the model) from the per-model facts below.
    const QList<TClassModel> &Classes() const
    {
        classListReads_.fetch_add(1, std::memory_order_relaxed);
        return classes_;
    }
    static qint64 ClassListReads() { return classListReads_.load(std::memory_order_relaxed); }
    // Set for a project that lives on a database it did not make: its tables are the user's.
    const std::optional<TExistingDatabase> &ExistingDatabase() const { return existingDatabase_; }
    void SetExistingDatabase(std::optional<TExistingDatabase> setting) { existingDatabase_ = std::move(setting); }

    // The key member of the project's class named className, as the member store's
    // GetProjectKeyMember finds it; null when no such class or it has no key member.
    const TMember *ProjectKeyMember(const QString &className) const;
    // The first class named className; null when there is none.
    const TClassModel *FindClass(const QString &className) const;
    // Whether a link class joins the class named className to another.
    bool IsLinked(const QString &className) const { return linkSides_.contains(className); }
    // The link classes that have a side of type className, in the model's order and each side
    // once: (class index, side 0 or 1 among its key members).
    QList<std::pair<qsizetype, int>> LinkSides(const QString &className) const { return linkSides_.value(className); }
    // Whether a member of any class of the model has the type className.
    bool IsReferred(const QString &className) const { return memberTypes_.contains(className); }
    // The place of the first class named className in the model's order; -1 when there is none.
    qsizetype Order(const QString &className) const;
    // How many times the per-model facts above were gathered from the class list: once per
    // model, so that asking them for every class stays linear.
    int FactGatherings() const { return factGatherings_; }
    // The value style of a member of this project (Naming::ValueStyle with its reference resolved).
    Naming::TValueStyle ValueStyle(const TMember &member) const;

private:
    void GatherFacts();

    int projectId_ = 0;
    QString tableCharset_ = TableCharset::Utf8;
    std::optional<TExistingDatabase> existingDatabase_;
    QList<TClassModel> classes_;
    // Class name -> (class index, member index) of the key member the store finds for it;
    // member index -1 when the class has none.
    QHash<QString, std::pair<qsizetype, qsizetype>> keyByClassName_;
    QHash<QString, QList<std::pair<qsizetype, int>>> linkSides_;
    QSet<QString> memberTypes_;
    int factGatherings_ = 0;
    static inline std::atomic<qint64> classListReads_{0};
};
