#include "forms/displaylabel.h"

#include <QPainter>

namespace {

// The projector draws outlines taken at this size and scaled: outlines scale exactly, so one font
// engine serves every window size, and a window dragged larger loads no new ones.
constexpr int kReferencePixels = 1000;
// The share of the box's width and of its height kept clear on each side of the ink.
constexpr qreal kMarginShare = 0.04;

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

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

void DisplayLabel::fillArea(const QRect &area)
{
    fillArea_ = area;
    // A pixel more on each side for the antialiased edge.
    const QRect ink = placement(text(), area).ink.toAlignedRect().adjusted(-1, -1, 1, 1) & area;
    setGeometry(ink.isEmpty() ? QRect(area.topLeft(), QSize(1, 1)) : ink);
}

void DisplayLabel::forgetOtherFont()
{
    if (font() == glyphFont_)
        return;
    glyphFont_ = font();
    glyphs_.clear();
    digitCell_ = 0;
    placedPattern_.clear();
}

const DisplayLabel::Glyph &DisplayLabel::glyph(QChar c)
{
    auto found = glyphs_.constFind(c.unicode());
    if (found == glyphs_.cend()) {
        QFont reference = glyphFont_;
        reference.setPixelSize(kReferencePixels);
        Glyph made;
        made.outline.addText(0, 0, reference, QString(c));
        made.advance = QFontMetricsF(reference).horizontalAdvance(c);
        found = glyphs_.insert(c.unicode(), made);
    }
    return *found;
}

qreal DisplayLabel::cellWidth(QChar c)
{
    if (!isDigit(c))
        return glyph(c).advance;
    if (digitCell_ == 0) {
        // Each digit is centred in a cell as wide as the widest; a place for a digit holds the ink
        // any of the ten would leave there, so no time the clock can show leaves the box.
        for (char16_t digit = u'0'; digit <= u'9'; ++digit)
            digitCell_ = std::max(digitCell_, glyph(digit).advance);
        digitInk_ = QRectF();
        for (char16_t digit = u'0'; digit <= u'9'; ++digit) {
            const Glyph &g = glyph(digit);
            digitInk_ |= g.outline.boundingRect().translated((digitCell_ - g.advance) / 2, 0);
        }
    }
    return digitCell_;
}

const DisplayLabel::Placement &DisplayLabel::placement(const QString &shown, const QRectF &box)
{
    // Placed again only when the text's pattern, the font or the box changes: from one second to
    // the next the digits keep their size and place.
    QString pattern = shown;
    for (QChar &c : pattern) {
        if (isDigit(c))
            c = u'0';
    }
    forgetOtherFont();
    if (pattern == placedPattern_ && box == placedBox_)
        return placed_;
    QRectF ink;
    qreal x = 0;
    for (QChar c : pattern) {
        const qreal cell = cellWidth(c);
        const Glyph &g = glyph(c);
        const QRectF own =
            isDigit(c) ? digitInk_ : g.outline.boundingRect().translated((cell - g.advance) / 2, 0);
        if (!own.isEmpty())
            ink |= own.translated(x, 0);
        x += cell;
    }
    const QRectF room = box.marginsRemoved(QMarginsF(
        std::max<qreal>(2, box.width() * kMarginShare), std::max<qreal>(2, box.height() * kMarginShare),
        std::max<qreal>(2, box.width() * kMarginShare), std::max<qreal>(2, box.height() * kMarginShare)));
    placed_ = {};
    if (!ink.isEmpty() && !room.isEmpty()) {
        placed_.scale = std::min(room.width() / ink.width(), room.height() / ink.height());
        placed_.origin = room.center() - ink.center() * placed_.scale;
        placed_.ink = QRectF(placed_.origin + ink.topLeft() * placed_.scale, ink.size() * placed_.scale);
    }
    placedPattern_ = pattern;
    placedBox_ = box;
    return placed_;
}

void DisplayLabel::paintFilled(const QString &shown)
{
    const Placement place = placement(shown, fillArea_);
    if (place.scale <= 0)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette().color(QPalette::WindowText));
    painter.translate(place.origin - pos());
    painter.scale(place.scale, place.scale);
    const QTransform base = painter.transform();
    qreal x = 0;
    for (QChar c : shown) {
        const qreal cell = cellWidth(c);
        const Glyph &g = glyph(c);
        painter.setTransform(QTransform::fromTranslate(x + (cell - g.advance) / 2, 0) * base);
        painter.drawPath(g.outline);
        x += cell;
    }
}

void DisplayLabel::paintEvent(QPaintEvent *)
{
    const QRectF box = contentsRect();
    const QString shown = text();
    if (fillArea_.isValid()) {
        paintFilled(shown);
        return;
    }
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
