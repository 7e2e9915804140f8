#pragma once

#include <QRegularExpression>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>

// Colours the preview's text: keywords, strings, comments and, in PHP, variables. Meant for
// reading generated code at a glance, not for parsing it.
class TCodeHighlighter : public QSyntaxHighlighter {
    Q_OBJECT
public:
    enum class TSyntax { Php, Sql };

    TCodeHighlighter(QTextDocument *document, TSyntax syntax);

protected:
    void highlightBlock(const QString &text) override;

private:
    struct TRule {
        QRegularExpression pattern;
        QTextCharFormat format;
    };
    QList<TRule> rules_;
    QTextCharFormat comment_;
};
