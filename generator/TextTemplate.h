#pragma once

#include <QLatin1StringView>
#include <QString>
#include <QVarLengthArray>

#include <initializer_list>
#include <utility>

// Named values for the {placeholders} of a template.
class TVars {
public:
    TVars() = default;
    TVars(std::initializer_list<std::pair<const char *, QString>> values);

    // A copy with more values; a name given again hides the earlier value.
    TVars With(std::initializer_list<std::pair<const char *, QString>> values) const;
    const QString *Find(QStringView name) const;

private:
    QVarLengthArray<std::pair<QLatin1StringView, QString>, 16> values_;
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
    const QString &Text() const { return text_; }

private:
    QString text_;
};

// Fills one template into a string; for pieces of a line.
QString FillTemplate(const char *utf8Template, const TVars &vars);
