#pragma once

#include "forms/clicklabel.h"

#include <QFont>

// The big time display. The text is drawn in the label's font, made smaller only where it would
// not fit the box, so "546:08" and "超過" are never clipped. Every digit takes the width of the
// widest one, so the display does not shift sideways as the seconds change.
class DisplayLabel : public ClickLabel {
    Q_OBJECT
public:
    using ClickLabel::ClickLabel;

    // The font the text is drawn in within a box of the given size.
    static QFont fittedFont(const QFont &font, const QString &text, const QSizeF &box);
    // The width the text takes in that font, digits at the width of the widest digit.
    static qreal textWidth(const QFont &font, const QString &text);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const QFont &drawnFont(const QString &shown, const QSizeF &box);

    QString fitPattern_;
    QSizeF fitBox_;
    QFont fitSource_;
    QFont fitted_;
};
