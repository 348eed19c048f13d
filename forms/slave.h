#pragma once

#include <QWidget>

class QLabel;

// The projector's copy of the big time display. It has no behaviour of its own: the main window
// writes the time and colours into it.
class Slave : public QWidget {
    Q_OBJECT
public:
    Slave();

    QLabel *timeLabel() const { return time_; }

private:
    QLabel *time_;
};
