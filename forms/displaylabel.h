#pragma once

#include "forms/clicklabel.h"

#include <QFont>
#include <QHash>
#include <QPainterPath>

// The big time display. The text is drawn in the label's font, made smaller only where it would
// not fit the box, so "546:08" and "超過" are never clipped. Every digit takes the width of the
// widest one, so the display does not shift sideways as the seconds change.
//
// On the projector the label fills an area of its parent instead: the ink of the text (not its
// line height or advance) is scaled to the area, less a margin on every side, whatever the text.
class DisplayLabel : public ClickLabel {
    Q_OBJECT
public:
    using ClickLabel::ClickLabel;

    // Fills `area` (in the parent's coordinates) from now on, and takes as its own geometry only
    // the part of it the text's ink needs, so that a new second repaints no more than that. The
    // parent calls it again when the area changes and when the label's text has changed (the
    // label then asks its parent for a layout).
    void fillArea(const QRect &area);

    // The font the text is drawn in within a box of the given size.
    static QFont fittedFont(const QFont &font, const QString &text, const QSizeF &box);
    // The width the text takes in that font, digits at the width of the widest digit.
    static qreal textWidth(const QFont &font, const QString &text);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    struct Glyph {
        QPainterPath outline;
        qreal advance = 0;
    };
    // Where the ink goes in the box: outlines at the reference size, scaled, then moved.
    struct Placement {
        qreal scale = 0;
        QPointF origin;
        QRectF ink; // where the ink of any text of the pattern may go
    };

    const QFont &drawnFont(const QString &shown, const QSizeF &box);
    void paintFilled(const QString &shown);
    void forgetOtherFont();
    const Glyph &glyph(QChar c);
    qreal cellWidth(QChar c);
    const Placement &placement(const QString &shown, const QRectF &box);

    QString fitPattern_;
    QSizeF fitBox_;
    QFont fitSource_;
    QFont fitted_;

    QRect fillArea_;
    QFont glyphFont_;
    QHash<char16_t, Glyph> glyphs_;
    qreal digitCell_ = 0;
    QRectF digitInk_;
    QString placedPattern_;
    QRectF placedBox_;
    Placement placed_;
};
