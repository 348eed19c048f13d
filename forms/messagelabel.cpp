#include "forms/messagelabel.h"

#include <QFontMetricsF>
#include <QPainter>

namespace {

// Outlines are taken at this size and scaled, as for the time.
constexpr int kReferencePixels = 200;
// The share of the band's width and of its height kept clear on each side of the ink.
constexpr qreal kMarginShare = 0.04;

// Where a line may end in Japanese: not before a closing mark, not after an opening one.
bool mayBreakBetween(QChar before, QChar after)
{
    static const QString noStart =
        QStringLiteral("、。，．・：；？！）」』】〕〉》”’ーぁぃぅぇぉっゃゅょァィゥェォッャュョ,.:;?!)]}");
    static const QString noEnd = QStringLiteral("（「『【〔〈《“‘([{");
    return !noStart.contains(after) && !noEnd.contains(before);
}

// A break after a comma or a full stop reads better than one inside a phrase, while it leaves the
// longer line no more than this much longer than the best balance would.
constexpr qreal kPunctuationAllowance = 1.25;

// The two lines that are most nearly equal in width, broken at a blank where the text has one,
// after a punctuation mark where one is near enough to the middle.
QStringList twoLines(const QString &text, const QFont &font)
{
    static const QString marks = QStringLiteral("、。，．！？,.!?");
    const QFontMetricsF metrics(font);
    const bool blanks = text.trimmed().contains(QLatin1Char(' '));
    QStringList best, bestAtMark;
    qreal bestWidth = 0, bestAtMarkWidth = 0;
    for (qsizetype at = 1; at < text.size(); ++at) {
        QString first = text.left(at), second = text.mid(at);
        if (blanks) {
            if (text[at] != QLatin1Char(' '))
                continue;
            second = second.trimmed();
        } else if (!mayBreakBetween(text[at - 1], text[at]) || text[at - 1].isHighSurrogate()) {
            continue;
        }
        first = first.trimmed();
        if (first.isEmpty() || second.isEmpty())
            continue;
        const qreal width = std::max(metrics.horizontalAdvance(first), metrics.horizontalAdvance(second));
        if (best.isEmpty() || width < bestWidth) {
            best = {first, second};
            bestWidth = width;
        }
        if (marks.contains(text[at - 1]) && (bestAtMark.isEmpty() || width < bestAtMarkWidth)) {
            bestAtMark = {first, second};
            bestAtMarkWidth = width;
        }
    }
    return !bestAtMark.isEmpty() && bestAtMarkWidth <= bestWidth * kPunctuationAllowance ? bestAtMark : best;
}

} // namespace

MessageLabel::Layout MessageLabel::layoutFor(const QStringList &lines, const QRectF &room) const
{
    QFont reference = font();
    reference.setPixelSize(kReferencePixels);
    const qreal spacing = QFontMetricsF(reference).lineSpacing();
    Layout layout;
    layout.lines = lines;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QPainterPath line;
        line.addText(0, static_cast<qreal>(i) * spacing, reference, lines[i]);
        // Each line centred on the first's middle.
        const QRectF ink = line.boundingRect();
        layout.outline.addPath(line.translated(-ink.center().x(), 0));
    }
    const QRectF ink = layout.outline.boundingRect();
    if (!ink.isEmpty() && !room.isEmpty())
        layout.scale = std::min(room.width() / ink.width(), room.height() / ink.height());
    return layout;
}

void MessageLabel::place()
{
    if (text() == placedText_ && font() == placedFont_ && band_ == placedBand_)
        return;
    placedText_ = text();
    placedFont_ = font();
    placedBand_ = band_;
    const QRectF room =
        QRectF(band_).marginsRemoved(QMarginsF(band_.width() * kMarginShare, band_.height() * kMarginShare,
                                               band_.width() * kMarginShare, band_.height() * kMarginShare));
    Layout chosen = layoutFor({text()}, room);
    // Half of what the band's height alone would allow one line: below that, two lines read better.
    if (const QRectF ink = chosen.outline.boundingRect();
        !ink.isEmpty() && chosen.scale < room.height() / ink.height() / 2) {
        QFont reference = font();
        reference.setPixelSize(kReferencePixels);
        if (const QStringList two = twoLines(text(), reference); !two.isEmpty()) {
            if (Layout wrapped = layoutFor(two, room); wrapped.scale > chosen.scale)
                chosen = wrapped;
        }
    }
    lines_ = chosen.lines;
    outline_ = chosen.outline;
    scale_ = chosen.scale;
    origin_ = room.center() - outline_.boundingRect().center() * scale_ - band_.topLeft();
}

void MessageLabel::fillBand(const QRect &band)
{
    band_ = band;
    setGeometry(band);
    place();
    update();
}

void MessageLabel::setInkShown(bool shown)
{
    if (inkShown_ == shown)
        return;
    inkShown_ = shown;
    update();
}

void MessageLabel::paintEvent(QPaintEvent *)
{
    place();
    if (scale_ <= 0 || !inkShown_)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette().color(QPalette::WindowText));
    painter.translate(origin_);
    painter.scale(scale_, scale_);
    painter.drawPath(outline_);
}
