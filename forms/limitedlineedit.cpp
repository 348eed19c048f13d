#include "forms/limitedlineedit.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>

namespace {

QString narrowed(QString text)
{
    for (QChar &c : text) {
        const char16_t u = c.unicode();
        if ((u >= u'０' && u <= u'９') || u == u'－' || u == u'＋' || u == u'．')
            c = QChar(static_cast<char16_t>(u - 0xFEE0)); // full-width forms lie 0xFEE0 above ASCII
    }
    return text;
}

} // namespace

LimitedLineEdit::LimitedLineEdit(QWidget *parent) : QLineEdit(parent)
{
    // Drops and the context menu's paste would slip past the limit.
    setAcceptDrops(false);
    setContextMenuPolicy(Qt::NoContextMenu);
}

bool LimitedLineEdit::fits(qsizetype typed) const
{
    return typingLimit_ <= 0 || text().size() - selectedText().size() + typed <= typingLimit_;
}

bool LimitedLineEdit::replacePaddingZero(const QString &typed)
{
    if (!replacesPaddingZero_ || typed.size() != 1 || !typed[0].isDigit() || typed[0].unicode() > '9' ||
        hasSelectedText() || cursorPosition() != text().size())
        return false;
    const QString current = text();
    const qsizetype zero = current.startsWith(u'-') ? 1 : 0;
    if (current.size() != zero + 2 || current[zero] != u'0' || !current[zero + 1].isDigit())
        return false;
    // One write, so the box's change handler sees "30" and never an intermediate "3".
    setText(current.left(zero) + current.mid(zero + 1) + typed);
    return true;
}

void LimitedLineEdit::pasteWithinLimit()
{
    const QString clip = QGuiApplication::clipboard()->text().split(u'\n').constFirst();
    if (clip.isEmpty() || isReadOnly())
        return;
    if (typingLimit_ <= 0) {
        insert(clip);
        return;
    }
    const qsizetype room = typingLimit_ - (text().size() - selectedText().size());
    if (room > 0)
        insert(clip.left(room));
}

void LimitedLineEdit::keyPressEvent(QKeyEvent *event)
{
    if (narrowsDigits_) {
        if (const QString narrow = narrowed(event->text()); narrow != event->text()) {
            QKeyEvent ascii(event->type(), event->key(), event->modifiers(), narrow, event->isAutoRepeat(),
                            static_cast<quint16>(event->count()));
            keyPressEvent(&ascii);
            event->setAccepted(ascii.isAccepted());
            return;
        }
    }
    if (typingLimit_ > 0) {
        if (event->matches(QKeySequence::Paste)) {
            pasteWithinLimit();
            event->accept();
            return;
        }
        const QString typed = event->text();
        const bool printable = !typed.isEmpty() && typed[0].isPrint();
        if (printable && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) &&
            !fits(typed.size())) {
            replacePaddingZero(typed);
            event->accept();
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}

void LimitedLineEdit::inputMethodEvent(QInputMethodEvent *event)
{
    if (narrowsDigits_) {
        if (const QString narrow = narrowed(event->commitString()); narrow != event->commitString()) {
            QInputMethodEvent ascii(event->preeditString(), event->attributes());
            ascii.setCommitString(narrow, event->replacementStart(), event->replacementLength());
            inputMethodEvent(&ascii);
            event->setAccepted(ascii.isAccepted());
            return;
        }
    }
    // A Japanese input method commits whole strings; hold them to the same limit as keys.
    if (typingLimit_ > 0 && !event->commitString().isEmpty() && !fits(event->commitString().size())) {
        if (replacePaddingZero(event->commitString())) {
            QInputMethodEvent preeditOnly(event->preeditString(), event->attributes());
            QLineEdit::inputMethodEvent(&preeditOnly);
            event->accept();
            return;
        }
        QInputMethodEvent cut(event->preeditString(), event->attributes());
        const qsizetype room = typingLimit_ - (text().size() - selectedText().size());
        cut.setCommitString(event->commitString().left(std::max<qsizetype>(room, 0)));
        QLineEdit::inputMethodEvent(&cut);
        event->accept();
        return;
    }
    QLineEdit::inputMethodEvent(event);
}

void LimitedLineEdit::mouseReleaseEvent(QMouseEvent *event)
{
    // X11 pastes the selection with the middle button, past any limit.
    if (typingLimit_ > 0 && event->button() == Qt::MiddleButton) {
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}
