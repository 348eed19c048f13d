#pragma once

#include <QWidget>
#include <optional>

class QLabel;

// The projector's copy of the big time display. It has no behaviour of its own: the main window
// writes the time and colours into it. The operator drags it to the projector and maximises it,
// or makes it full screen (F11 or a double-click; Esc leaves); the digits grow with it.
class Slave : public QWidget {
    Q_OBJECT
public:
    Slave();

    QLabel *timeLabel() const { return time_; }

    // Where a window should go when the screens it stood on are gone: nowhere (nullopt) while any
    // part of it still shows on a remaining screen, else the top-left corner of the primary one.
    static std::optional<QPoint> placementAfterScreenLoss(const QRect &frame, const QList<QRect> &screens,
                                                          const QRect &primaryAvailable);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void toggleFullScreen();
    void keepOnScreen();
    void fitWithinDesktop();

    QLabel *time_;
};
