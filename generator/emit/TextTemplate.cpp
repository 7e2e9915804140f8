#include "TextTemplate.h"

#include <QHash>
#include <QList>

#include <algorithm>
#include <cstring>
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

const QString *TVars::Find(QLatin1StringView name) const
{
    // Names are short ASCII: comparing their bytes is all it takes.
    for (const TVars *vars = this; vars; vars = vars->parent_) {
        for (const auto &value : vars->values_) {
            if (value.first.size() == name.size()
                && std::memcmp(value.first.data(), name.data(), size_t(name.size())) == 0)
                return &value.second;
        }
    }
    return nullptr;
}

namespace {

// A template cut into literal text (line ends already CR LF) and placeholder names.
struct TPiece {
    QString text;             // literal text
    QLatin1StringView name;   // a placeholder's name, in the template itself
    bool placeholder = false;
};
using TParsed = QList<TPiece>;

bool isAsciiLetter(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
        || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

// The bytes of tmpl[from, to) (ASCII letters) where they stand in the UTF-8 template.
QLatin1StringView nameIn(const char *utf8, const QString &tmpl, qsizetype from, qsizetype to)
{
    const qsizetype offset = QStringView(tmpl).left(from).toUtf8().size();
    return QLatin1StringView(utf8 + offset, to - from);
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
                    pieces.append({std::exchange(literal, QString()), {}, false});
                pieces.append({QString(), nameIn(utf8Template, tmpl, i + 1, end), true});
                i = end + 1;
                continue;
            }
        }
        literal += c;
        ++i;
    }
    if (!literal.isEmpty())
        pieces.append({literal, {}, false});
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

template <typename Out>
void fill(Out &out, const char *utf8Template, const TVars &vars)
{
    for (const TPiece &piece : parsed(utf8Template)) {
        if (!piece.placeholder) {
            out.Append(piece.text);
            continue;
        }
        const QString *value = vars.Find(piece.name);
        if (!value)
            throw std::logic_error("template placeholder without a value: {"
                                   + std::string(piece.name.data(), size_t(piece.name.size())) + "}");
        out.Append(*value);
    }
}

} // namespace

void TTextBuilder::Emit(const char *utf8Template, const TVars &vars)
{
    fill(*this, utf8Template, vars);
}

void TTextBuilder::Append(QStringView text)
{
    // Copied straight into room made ahead: a file is built from thousands of short pieces,
    // and QString::append's checks per piece cost more than the copying.
    const qsizetype n = text.size();
    if (n == 0)
        return;
    if (size_ + n > text_.size())
        text_.resize(std::max(size_ + n, 2 * text_.size() + 8192));
    std::memcpy(text_.data() + size_, text.data(), size_t(n) * sizeof(QChar));
    size_ += n;
}

const QString &TTextBuilder::Text() const
{
    if (text_.size() != size_)
        text_.truncate(size_);
    return text_;
}

namespace {

// FillTemplate's output: a plain string.
struct TStringOut {
    QString text;
    void Append(QStringView piece) { text.append(piece); }
};

} // namespace

QString FillTemplate(const char *utf8Template, const TVars &vars)
{
    TStringOut out;
    fill(out, utf8Template, vars);
    return std::move(out.text);
}
