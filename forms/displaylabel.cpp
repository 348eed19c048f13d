#include "forms/displaylabel.h"

#include <QPainter>

namespace {

qreal digitWidth(const QFontMetricsF &metrics)
{
    qreal widest = 0;
    for (char16_t digit = u'0'; digit <= u'9'; ++digit)
        widest = std::max(widest, metrics.horizontalAdvance(QChar(digit)));
    return widest;
}

qreal advance(const QFontMetricsF &metrics, QChar c, qreal digit)
{
    return c.isDigit() ? digit : metrics.horizontalAdvance(c);
}

} // namespace

qreal DisplayLabel::textWidth(const QFont &font, const QString &text)
{
    const QFontMetricsF metrics(font);
    const qreal digit = digitWidth(metrics);
    qreal width = 0;
    for (QChar c : text)
        width += advance(metrics, c, digit);
    return width;
}

QFont DisplayLabel::fittedFont(const QFont &font, const QString &text, const QSizeF &box)
{
    QFont fitted = font;
    // Font sizes do not scale glyphs exactly in proportion (hinting, rounding): shrink until it fits.
    // Each size tried loads a font engine, so aim inside the box by the pixel each glyph and each
    // edge may be rounded up by: the second size then fits.
    const qreal widthSlack = std::min(static_cast<qreal>(text.size()), box.width() / 2);
    const qreal heightSlack = std::min<qreal>(2, box.height() / 2);
    for (int attempt = 0; attempt < 8; ++attempt) {
        const qreal width = textWidth(fitted, text);
        const qreal height = QFontMetricsF(fitted).height();
        if (width <= box.width() && height <= box.height())
            break;
        const qreal scale = std::min((box.width() - widthSlack) / std::max<qreal>(width, 1),
                                     (box.height() - heightSlack) / std::max<qreal>(height, 1));
        const qreal points = fitted.pointSizeF() * std::min(scale, 0.99);
        if (points < 1)
            break;
        fitted.setPointSizeF(points);
    }
    return fitted;
}

const QFont &DisplayLabel::drawnFont(const QString &shown, const QSizeF &box)
{
    // Every digit takes the widest digit's width, so "12:34" needs the same font as "56:07": the
    // clock repaints every second, and fits the text again only when its pattern, the font or the
    // box has changed.
    QString pattern = shown;
    for (QChar &c : pattern) {
        if (c.isDigit())
            c = u'0';
    }
    if (pattern != fitPattern_ || box != fitBox_ || font() != fitSource_) {
        fitted_ = fittedFont(font(), shown, box);
        fitPattern_ = pattern;
        fitBox_ = box;
        fitSource_ = font();
    }
    return fitted_;
}

void DisplayLabel::paintEvent(QPaintEvent *)
{
    const QRectF box = contentsRect();
    const QString shown = text();
    const QFont &font = drawnFont(shown, box.size());
    const QFontMetricsF metrics(font);
    const qreal digit = digitWidth(metrics);
    const qreal width = textWidth(font, shown);

    qreal x = box.left() + (box.width() - width) / 2;
    if (alignment() & Qt::AlignLeft)
        x = box.left();
    else if (alignment() & Qt::AlignRight)
        x = box.right() - width;
    const qreal baseline = box.top() + (box.height() - metrics.height()) / 2 + metrics.ascent();

    QPainter painter(this);
    painter.setFont(font);
    painter.setPen(palette().color(QPalette::WindowText));
    for (QChar c : shown) {
        const qreal cell = advance(metrics, c, digit);
        painter.drawText(QPointF(x + (cell - metrics.horizontalAdvance(c)) / 2, baseline), QString(c));
        x += cell;
    }
}
