#include "ui/panels/CodeHighlighter.h"

namespace {

QTextCharFormat textFormat(const QColor &colour, bool bold = false)
{
    QTextCharFormat f;
    f.setForeground(colour);
    if (bold)
        f.setFontWeight(QFont::Bold);
    return f;
}

const char phpKeywords[] =
    "abstract|array|as|break|case|catch|class|const|continue|default|do|echo|else|elseif|"
    "empty|extends|false|final|for|foreach|function|global|if|implements|include|"
    "include_once|instanceof|isset|new|null|private|protected|public|require|require_once|"
    "return|self|static|switch|this|throw|true|try|unset|var|while";
const char sqlKeywords[] =
    "add|alter|auto_increment|by|char|charset|constraint|create|database|datetime|default|"
    "double|drop|engine|exists|float|foreign|if|int|integer|key|not|null|on|primary|"
    "references|set|table|use|utf8|varchar|comment|delete|insert|into|select|update|where|values";

} // namespace

TCodeHighlighter::TCodeHighlighter(QTextDocument *document, TSyntax syntax)
    : QSyntaxHighlighter(document), comment_(textFormat(QColor(0x00, 0x80, 0x00)))
{
    const bool php = syntax == TSyntax::Php;
    const auto options = php ? QRegularExpression::NoPatternOption
                             : QRegularExpression::CaseInsensitiveOption;
    rules_.append({QRegularExpression(QStringLiteral("\\b(%1)\\b")
                                          .arg(QLatin1String(php ? phpKeywords : sqlKeywords)),
                                      options),
                   textFormat(QColor(0x00, 0x00, 0xa0), true)});
    if (php)
        rules_.append({QRegularExpression(QStringLiteral("\\$[A-Za-z_][A-Za-z0-9_]*")),
                       textFormat(QColor(0x80, 0x00, 0x80))});
    else
        rules_.append({QRegularExpression(QStringLiteral("`[^`]*`")), textFormat(QColor(0x80, 0x00, 0x80))});
    // Strings after keywords and variables, so a keyword inside a string reads as string;
    // comments last, for the same reason.
    rules_.append({QRegularExpression(QStringLiteral(R"('(?:[^'\\]|\\.)*'|"(?:[^"\\]|\\.)*")")),
                   textFormat(QColor(0xa0, 0x30, 0x00))});
    rules_.append({QRegularExpression(php ? QStringLiteral("(//|#).*$") : QStringLiteral("--.*$")),
                   comment_});
}

void TCodeHighlighter::highlightBlock(const QString &text)
{
    for (const TRule &rule : std::as_const(rules_)) {
        auto matches = rule.pattern.globalMatch(text);
        while (matches.hasNext()) {
            const QRegularExpressionMatch m = matches.next();
            setFormat(int(m.capturedStart()), int(m.capturedLength()), rule.format);
        }
    }
    // Block comments may span lines: state 1 means the block starts inside one.
    int start = previousBlockState() == 1 ? 0 : int(text.indexOf(QLatin1String("/*")));
    setCurrentBlockState(0);
    while (start >= 0) {
        const int end = int(text.indexOf(QLatin1String("*/"), start));
        if (end < 0) {
            setCurrentBlockState(1);
            setFormat(start, int(text.size()) - start, comment_);
            break;
        }
        setFormat(start, end + 2 - start, comment_);
        start = int(text.indexOf(QLatin1String("/*"), end + 2));
    }
}
