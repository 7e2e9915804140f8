#pragma once

#include <QLatin1StringView>
#include <QString>
#include <QVarLengthArray>

#include <initializer_list>
#include <utility>

// Named values for the {placeholders} of a template.
//
// With() makes a set that adds to this one without copying it: the result refers to this set,
// which must therefore outlive it. Use it within the expression that emits, or while the set
// it was made from is in scope.
class TVars {
public:
    TVars() = default;
    TVars(std::initializer_list<std::pair<const char *, QString>> values);

    // This set and more values; a name given again hides the earlier value.
    TVars With(std::initializer_list<std::pair<const char *, QString>> values) const;
    const QString *Find(QLatin1StringView name) const;

private:
    const TVars *parent_ = nullptr;
    QVarLengthArray<std::pair<QLatin1StringView, QString>, 12> values_;
};

// Builds a generated text from templates written as they look in the output.
//
// A template is a UTF-8 text whose lines each end in "\n"; a first "\n" right after the
// opening of a raw string is dropped, so a template can start on its own line. Each "\n"
// becomes "\r\n". "{name}" (ASCII letters between braces) is replaced by the value of that
// name; every other character, tabs and blanks included, is copied as it stands. Values are
// inserted as they are and never searched for placeholders themselves.
//
// Templates are string literals: each is read once per thread and remembered by its address.
class TTextBuilder {
public:
    void Emit(const char *utf8Template, const TVars &vars = {});
    const QString &Text() const;
    // Appends text as it stands.
    void Append(QStringView text);

private:
    // text_ grows ahead in steps; its first size_ characters are the text.
    mutable QString text_;
    qsizetype size_ = 0;
};

// Fills one template into a string; for pieces of a line.
QString FillTemplate(const char *utf8Template, const TVars &vars);
