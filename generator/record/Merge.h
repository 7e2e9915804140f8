#pragma once

#include <QByteArray>
#include <QString>

// Line-based merging and diffing of generated files. The only place that knows libgit2.
namespace TMerge {

struct TResult {
    bool clean = false; // false: the bytes hold conflict markers
    QByteArray bytes;
};

// Three-way merge of the user's file (ours) and the new output (theirs), both grown from base.
// The labels name the two sides in conflict markers.
TResult ThreeWay(const QByteArray &base, const QByteArray &ours, const QByteArray &theirs,
                 const QString &oursLabel, const QString &theirsLabel);

// A unified diff from oldBytes to newBytes with three lines of context, headed by the two
// names; empty text when the two are equal.
QString UnifiedDiff(const QByteArray &oldBytes, const QByteArray &newBytes,
                    const QString &oldName, const QString &newName);

} // namespace TMerge
