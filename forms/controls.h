#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QWidget>

class QToolButton;

// Colours live in the palette of every colour group, so they read back the same whether the
// window is active or not. Background and text colour each cover the roles any control kind
// paints with (labels and windows, text boxes, buttons and lists).
QColor backColor(const QWidget *widget);
QColor foreColor(const QWidget *widget);
void setBackColor(QWidget *widget, const QColor &color);
void setForeColor(QWidget *widget, const QColor &color);

// Writes a text only when it differs. Skipping the write changes nothing a handler can see (an
// unchanged text raises no change event), but it saves laying the text out again; the clock
// writes its texts twice a second.
template <class TextControl> void writeText(TextControl *control, const QString &text)
{
    if (control->text() != text)
        control->setText(text);
}

// A label that can be clicked and double-clicked: the image buttons and the copyright line.
class ClickLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void clicked();
    void doubleClicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
};

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

// A drop-down list whose list window is built when it is first opened. QComboBox builds the whole
// window (a list view, its scroll bars, a delegate) on every font change only to give it the font,
// which it would inherit when built anyway: that made the eight colour lists the costliest
// controls of the main window to build.
class ColorComboBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;

protected:
    void changeEvent(QEvent *event) override;
};

// A text box that limits what the operator types, not what the program writes: the program may
// put "-05" into a two-character seconds box.
class LimitedLineEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit LimitedLineEdit(QWidget *parent = nullptr);

    void setTypingLimit(int characters) { typingLimit_ = characters; }

    // A box whose program formats every keystroke to "0d" would otherwise refuse the second digit
    // of "30": typed at the end of "03", a digit takes the place of the padding zero instead.
    void setReplacesPaddingZero(bool on) { replacesPaddingZero_ = on; }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool fits(qsizetype typed) const;
    bool replacePaddingZero(const QString &typed);
    void pasteWithinLimit();

    int typingLimit_ = 0; // 0: no limit
    bool replacesPaddingZero_ = false;
};

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
    QLineEdit *buddy() const { return buddy_; }
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
