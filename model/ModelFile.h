#pragma once

#include "ModelDocument.h"

#include <QByteArray>
#include <QStringList>

#include <stdexcept>

// A model file that cannot be read, with every problem found, worded for the user. Each
// problem names its place in the file, e.g. "classes[2].members[0].memberLength: ...".
class TModelFileError : public std::runtime_error {
public:
    explicit TModelFileError(const QStringList &problems);
    QStringList problems() const { return problems_; }

private:
    QStringList problems_;
};

// A project as a JSON document: a format name and version, the project name and its tables'
// character set, then the classes with their members and indexes in order, every field
// written. A file written before a field existed reads as if it held the field's default. Keys are sorted and the layout
// fixed, so the same model always gives the same bytes and a change shows as a small diff.
class TModelFile {
public:
    static const QString FormatName;
    static constexpr int FormatVersion = 1;

    static QByteArray ToJson(const TModelDocument &document);
    // Reads what ToJson wrote (a leading byte-order mark and CR LF line ends allowed).
    // Throws TModelFileError: malformed JSON with its line and column, or each field that is
    // missing, of the wrong kind, out of range or unknown. The model's own rules (names,
    // keys, references) are not checked here.
    static TModelDocument FromJson(const QByteArray &bytes);

    // Where a class or member sits in the file, as problems name it.
    static QString ClassPath(int classIndex);
    static QString MemberPath(int classIndex, int memberIndex);
};
