#pragma once

#include <QLineEdit>

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

    // A time box: a Japanese input method types full-width digits (０–９), sign and point, which
    // the box takes as the same ASCII characters.
    void setNarrowsDigits(bool on) { narrowsDigits_ = on; }

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
    bool narrowsDigits_ = false;
};
