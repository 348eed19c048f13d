#pragma once

#include <QLineEdit>
#include <QPointer>
#include <QWidget>

class QToolButton;

// The up/down arrow pair beside a text box. Each step starts from the number in the box (so
// typing and stepping agree), stops at the ends of its range rather than wrapping round (a bell
// time jumping from 0 to 59 would surprise an operator mid-talk), and writes plain digits into
// the box. A box that holds no number steps from the spin's own last value.
class SpinButton : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int minimum READ minimum)
    Q_PROPERTY(int maximum READ maximum)
    Q_PROPERTY(int value READ value)
public:
    explicit SpinButton(QWidget *parent = nullptr);

    void setBuddy(QLineEdit *buddy) { buddy_ = buddy; }
    void setRange(int minimum, int maximum);
    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }
    int value() const { return value_; }

public slots:
    void stepUp() { stepBy(1); }
    void stepDown() { stepBy(-1); }

signals:
    // Emitted after a step has written a new number into the buddy.
    void changed();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void stepBy(int steps);

    QPointer<QLineEdit> buddy_;
    QToolButton *up_;
    QToolButton *down_;
    int minimum_ = 0;
    int maximum_ = 100;
    int value_ = 0;
};
