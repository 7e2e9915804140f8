#include "TextTemplate.h"

#include <QHash>
#include <QList>

#include <stdexcept>

TVars::TVars(std::initializer_list<std::pair<const char *, QString>> values)
{
    for (const auto &value : values)
        values_.append({QLatin1StringView(value.first), value.second});
}

TVars TVars::With(std::initializer_list<std::pair<const char *, QString>> values) const
{
    TVars result(values);
    result.parent_ = this;
    return result;
}

const QString *TVars::Find(QStringView name) const
{
    for (const TVars *vars = this; vars; vars = vars->parent_) {
        for (const auto &value : vars->values_) {
            if (value.first == name)
                return &value.second;
        }
    }
    return nullptr;
}

namespace {

// A template cut into literal text (line ends already CR LF) and placeholder names.
struct TPiece {
    QString text;
    bool placeholder = false;
};
using TParsed = QList<TPiece>;

bool isAsciiLetter(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
        || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

TParsed parse(const char *utf8Template)
{
    if (*utf8Template == '\n')
        ++utf8Template;
    const QString tmpl = QString::fromUtf8(utf8Template);
    TParsed pieces;
    QString literal;
    const qsizetype n = tmpl.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = tmpl.at(i);
        if (c == QLatin1Char('\n')) {
            literal += QLatin1String("\r\n");
            ++i;
            continue;
        }
        if (c == QLatin1Char('{')) {
            qsizetype end = i + 1;
            while (end < n && isAsciiLetter(tmpl.at(end)))
                ++end;
            if (end > i + 1 && end < n && tmpl.at(end) == QLatin1Char('}')) {
                if (!literal.isEmpty())
                    pieces.append({std::exchange(literal, QString()), false});
                pieces.append({tmpl.mid(i + 1, end - i - 1), true});
                i = end + 1;
                continue;
            }
        }
        literal += c;
        ++i;
    }
    if (!literal.isEmpty())
        pieces.append({literal, false});
    return pieces;
}

const TParsed &parsed(const char *utf8Template)
{
    // Per thread, so that a generation run and the script window never share it.
    thread_local QHash<const char *, TParsed> cache;
    auto it = cache.find(utf8Template);
    if (it == cache.end())
        it = cache.insert(utf8Template, parse(utf8Template));
    return *it;
}

void fill(QString &out, const char *utf8Template, const TVars &vars)
{
    for (const TPiece &piece : parsed(utf8Template)) {
        if (!piece.placeholder) {
            out += piece.text;
            continue;
        }
        const QString *value = vars.Find(piece.text);
        if (!value)
            throw std::logic_error("template placeholder without a value: {"
                                   + piece.text.toStdString() + "}");
        out += *value;
    }
}

} // namespace

void TTextBuilder::Emit(const char *utf8Template, const TVars &vars)
{
    if (text_.isEmpty())
        text_.reserve(8192);
    fill(text_, utf8Template, vars);
}

QString FillTemplate(const char *utf8Template, const TVars &vars)
{
    QString out;
    fill(out, utf8Template, vars);
    return out;
}
