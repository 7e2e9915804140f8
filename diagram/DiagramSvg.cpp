#include "DiagramSvg.h"

#include <cmath>

namespace {

// A coordinate with at most one decimal, without a trailing ".0".
QString number(double value)
{
    QString text = QString::number(std::round(value * 10) / 10, 'f', 1);
    if (text.endsWith(QLatin1String(".0")))
        text.chop(2);
    return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

// Text for an element or an attribute; XML has no place for control characters.
QString xmlText(const QString &text)
{
    QString clean = text;
    for (QChar &c : clean) {
        if (c.unicode() < 0x20 || c.unicode() == 0xFFFE || c.unicode() == 0xFFFF)
            c = QLatin1Char(' ');
    }
    return clean.toHtmlEscaped();
}

QString points(const QList<QPointF> &list)
{
    QStringList parts;
    for (const QPointF &p : list)
        parts.append(number(p.x()) + QLatin1Char(',') + number(p.y()));
    return parts.join(QLatin1Char(' '));
}

QString rect(const QRectF &r, const QString &attributes)
{
    return QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" %5/>\n")
        .arg(number(r.x()), number(r.y()), number(r.width()), number(r.height()), attributes);
}

QString arrow(const TDiagram &diagram, const TDiagramArrow &a)
{
    return QStringLiteral("<g class=\"reference\" data-from=\"%1\" data-member=\"%2\" data-to=\"%3\">\n"
                          "<polyline points=\"%4\" fill=\"none\" stroke=\"%6\" stroke-width=\"1.5\"/>\n"
                          "<polygon points=\"%5\" fill=\"%6\"/>\n"
                          "</g>\n")
        .arg(xmlText(diagram.boxes.at(a.from).className), xmlText(a.memberName),
             xmlText(diagram.boxes.at(a.to).className), points(a.points), points(TDiagramLayout::ArrowHead(a.points)),
             QLatin1String(DiagramColour::Line));
}

QString text(double x, double middle, const QString &content, bool bold)
{
    return QStringLiteral("<text x=\"%1\" y=\"%2\"%3>%4</text>\n")
        .arg(number(x), number(middle + TDiagramLayout::FontSize * 0.35),
             bold ? QStringLiteral(" font-weight=\"bold\"") : QString(), xmlText(content));
}

QString box(const TDiagramBox &b)
{
    const QRectF &r = b.rect;
    const double x = r.left() + TDiagramLayout::Padding;
    QString out = QStringLiteral("<g class=\"class\" data-class=\"%1\">\n").arg(xmlText(b.className));
    out += rect(r, QStringLiteral("class=\"box\" fill=\"#ffffff\" stroke=\"%1\" stroke-width=\"1.5\"")
                       .arg(QLatin1String(DiagramColour::Border)));
    out += rect(QRectF(r.left(), r.top(), r.width(), TDiagramLayout::HeadingHeight),
                QStringLiteral("fill=\"%1\" stroke=\"%2\" stroke-width=\"1.5\"")
                    .arg(QLatin1String(DiagramColour::Heading), QLatin1String(DiagramColour::Border)));
    out += text(x, r.top() + TDiagramLayout::HeadingHeight / 2, b.heading, true);
    for (qsizetype l = 0; l < b.lines.size(); ++l)
        out += text(x, b.LineMiddle(l), b.lines.at(l).text, b.lines.at(l).key);
    return out + QStringLiteral("</g>\n");
}

} // namespace

QByteArray TDiagramSvg::Write(const TDiagram &diagram, const QString &title)
{
    const QRectF bounds = diagram.Bounds();
    QString out = QStringLiteral(
                      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.2\" baseProfile=\"tiny\" "
                      "width=\"%1\" height=\"%2\" viewBox=\"%3 %4 %1 %2\" font-family=\"monospace\" "
                      "font-size=\"%5\">\n<title>%6</title>\n")
                      .arg(number(bounds.width()), number(bounds.height()), number(bounds.x()),
                           number(bounds.y()), number(TDiagramLayout::FontSize), xmlText(title));
    out += rect(bounds, QStringLiteral("fill=\"#ffffff\""));
    for (const TDiagramArrow &a : diagram.arrows)
        out += arrow(diagram, a);
    for (const TDiagramBox &b : diagram.boxes)
        out += box(b);
    out += QStringLiteral("</svg>\n");
    return out.toUtf8();
}
