#pragma once

#include "forms/viewer.h"

#include <QWidget>
#include <optional>

class DisplayLabel;
class MessageLabel;
class QLabel;
class QScreen;

// The projector's copy of the big time display. It has no behaviour of its own: the main window
// writes the time and colours into it. It opens full screen on a screen other than the operator's
// when there is one; F11 or a double-click enters and leaves full screen, Esc leaves. The digits
// fill the window, whatever its shape.
class Slave : public QWidget {
    Q_OBJECT
public:
    Slave();

    QLabel *timeLabel() const;
    // Shows what the main window's big display shows, and under it the band (the message to the
    // speaker, or the talk about to start): the time keeps the upper 70 % of the window, the band
    // takes the rest. A new message blinks three times, then stays. In over-time a sign says so,
    // for those who cannot tell the colours apart.
    void follow(const Viewer::Shown &shown);

    // Shows the window. Opening, it goes full screen on a screen other than the operator's, or,
    // with one screen, where the platform puts a new window. Already open, it stays where the
    // operator left it and is only raised.
    void present(const QScreen *operatorScreen);

    // Where a window should go when the screens it stood on are gone: nowhere (nullopt) while any
    // part of it still shows on a remaining screen, else the top-left corner of the primary one.
    static std::optional<QPoint> placementAfterScreenLoss(const QRect &frame, const QList<QRect> &screens,
                                                          const QRect &primaryAvailable);

protected:
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void toggleFullScreen();
    void enterFullScreen();
    void keepOnScreen();
    void fitWithinDesktop();
    void layOut();
    void blink();

    DisplayLabel *time_;
    MessageLabel *message_;
    QLabel *overTime_;
    QTimer *blink_;
    int blinksLeft_ = 0;
};
