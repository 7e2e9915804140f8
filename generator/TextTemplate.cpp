#include "TextTemplate.h"

#include <stdexcept>

TVars::TVars(std::initializer_list<std::pair<const char *, QString>> values)
{
    for (const auto &value : values)
        values_.append({QString::fromLatin1(value.first), value.second});
}

TVars TVars::With(std::initializer_list<std::pair<const char *, QString>> values) const
{
    TVars result = *this;
    for (const auto &value : values)
        result.values_.prepend({QString::fromLatin1(value.first), value.second});
    return result;
}

const QString *TVars::Find(QStringView name) const
{
    for (const auto &value : values_) {
        if (value.first == name)
            return &value.second;
    }
    return nullptr;
}

namespace {

bool isAsciiLetter(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
        || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

void fill(QString &out, const char *utf8Template, const TVars &vars)
{
    if (*utf8Template == '\n')
        ++utf8Template;
    const QString tmpl = QString::fromUtf8(utf8Template);
    const qsizetype n = tmpl.size();
    out.reserve(out.size() + n + n / 4);
    qsizetype i = 0;
    while (i < n) {
        const QChar c = tmpl.at(i);
        if (c == QLatin1Char('\n')) {
            out += QLatin1String("\r\n");
            ++i;
            continue;
        }
        if (c == QLatin1Char('{')) {
            qsizetype end = i + 1;
            while (end < n && isAsciiLetter(tmpl.at(end)))
                ++end;
            if (end > i + 1 && end < n && tmpl.at(end) == QLatin1Char('}')) {
                const QStringView name = QStringView(tmpl).mid(i + 1, end - i - 1);
                const QString *value = vars.Find(name);
                if (!value)
                    throw std::logic_error("template placeholder without a value: {"
                                           + name.toString().toStdString() + "}");
                out += *value;
                i = end + 1;
                continue;
            }
        }
        out += c;
        ++i;
    }
}

} // namespace

void TTextBuilder::Emit(const char *utf8Template, const TVars &vars)
{
    fill(text_, utf8Template, vars);
}

QString FillTemplate(const char *utf8Template, const TVars &vars)
{
    QString out;
    fill(out, utf8Template, vars);
    return out;
}
