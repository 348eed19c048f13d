#pragma once

#include <QFont>
#include <QLabel>
#include <QPainterPath>

// A message to the speaker, across a band of the projector window: as large as the band allows,
// never cut. It stays on one line while that keeps it at half the size it would have if only the
// band's height bound it, and goes to two lines before it would shrink further; past that it only
// shrinks. Two lines part where a reader expects a line to end: after a comma or a full stop
// when that costs little size, else between phrases, never inside a word of Latin letters or a
// number with its counter. Drawn from outlines scaled to the band, in the label's text colour.
class MessageLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

    // Fills `band` (in the parent's coordinates) from now on.
    void fillBand(const QRect &band);

    // The text as drawn: one line, or two where it was broken.
    QStringList lines() const { return lines_; }
    // The one face every character is drawn in, at the size the outlines are taken.
    QFont face() const { return face_; }
    // Off, the label keeps its place and draws nothing: a blink.
    void setInkShown(bool shown);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    struct Layout {
        QStringList lines;
        QPainterPath outline; // at the reference size, first baseline at 0
        qreal scale = 0;
    };
    Layout layoutFor(const QStringList &lines, const QRectF &room) const;
    void place();

    QRect band_;
    QString placedText_;
    QFont placedFont_;
    QRect placedBand_;
    QFont face_;
    QStringList lines_;
    QPainterPath outline_;
    qreal scale_ = 0;
    QPointF origin_;
    bool inkShown_ = true;
};
