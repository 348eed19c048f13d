#include "forms/controls.h"

#include "engine/textroutines.h"

#include <QAbstractItemView>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>

namespace {

constexpr QPalette::ColorRole kBackRoles[] = {QPalette::Window, QPalette::Base, QPalette::Button};
constexpr QPalette::ColorRole kForeRoles[] = {QPalette::WindowText, QPalette::Text, QPalette::ButtonText};

template <std::size_t N>
void setRoles(QWidget *widget, const QPalette::ColorRole (&roles)[N], const QColor &color)
{
    QPalette palette = widget->palette();
    bool changed = false;
    for (QPalette::ColorRole role : roles) {
        // Setting an unchanged colour still repaints; the clock writes colours twice a second.
        if (palette.color(QPalette::Active, role) != color ||
            palette.color(QPalette::Inactive, role) != color ||
            palette.color(QPalette::Disabled, role) != color) {
            palette.setColor(role, color);
            changed = true;
        }
    }
    if (changed)
        widget->setPalette(palette);
}

} // namespace

QColor backColor(const QWidget *widget)
{
    return widget->palette().color(QPalette::Window);
}

QColor foreColor(const QWidget *widget)
{
    return widget->palette().color(QPalette::WindowText);
}

void setBackColor(QWidget *widget, const QColor &color)
{
    setRoles(widget, kBackRoles, color);
}

void setForeColor(QWidget *widget, const QColor &color)
{
    setRoles(widget, kForeRoles, color);
}

void ColorComboBox::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange && findChild<QAbstractItemView *>() == nullptr) {
        QWidget::changeEvent(event);
        updateGeometry();
        return;
    }
    QComboBox::changeEvent(event);
}

void ClickLabel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}

void ClickLabel::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        emit doubleClicked();
    QLabel::mouseDoubleClickEvent(event);
}

namespace {

qreal digitWidth(const QFontMetricsF &metrics)
{
    qreal widest = 0;
    for (char16_t digit = u'0'; digit <= u'9'; ++digit)
        widest = std::max(widest, metrics.horizontalAdvance(QChar(digit)));
    return widest;
}

qreal advance(const QFontMetricsF &metrics, QChar c, qreal digit)
{
    return c.isDigit() ? digit : metrics.horizontalAdvance(c);
}

} // namespace

qreal DisplayLabel::textWidth(const QFont &font, const QString &text)
{
    const QFontMetricsF metrics(font);
    const qreal digit = digitWidth(metrics);
    qreal width = 0;
    for (QChar c : text)
        width += advance(metrics, c, digit);
    return width;
}

QFont DisplayLabel::fittedFont(const QFont &font, const QString &text, const QSizeF &box)
{
    QFont fitted = font;
    // Font sizes do not scale glyphs exactly in proportion (hinting, rounding): shrink until it fits.
    // Each size tried loads a font engine, so aim inside the box by the pixel each glyph and each
    // edge may be rounded up by: the second size then fits.
    const qreal widthSlack = std::min(static_cast<qreal>(text.size()), box.width() / 2);
    const qreal heightSlack = std::min<qreal>(2, box.height() / 2);
    for (int attempt = 0; attempt < 8; ++attempt) {
        const qreal width = textWidth(fitted, text);
        const qreal height = QFontMetricsF(fitted).height();
        if (width <= box.width() && height <= box.height())
            break;
        const qreal scale = std::min((box.width() - widthSlack) / std::max<qreal>(width, 1),
                                     (box.height() - heightSlack) / std::max<qreal>(height, 1));
        const qreal points = fitted.pointSizeF() * std::min(scale, 0.99);
        if (points < 1)
            break;
        fitted.setPointSizeF(points);
    }
    return fitted;
}

const QFont &DisplayLabel::drawnFont(const QString &shown, const QSizeF &box)
{
    // Every digit takes the widest digit's width, so "12:34" needs the same font as "56:07": the
    // clock repaints every second, and fits the text again only when its pattern, the font or the
    // box has changed.
    QString pattern = shown;
    for (QChar &c : pattern) {
        if (c.isDigit())
            c = u'0';
    }
    if (pattern != fitPattern_ || box != fitBox_ || font() != fitSource_) {
        fitted_ = fittedFont(font(), shown, box);
        fitPattern_ = pattern;
        fitBox_ = box;
        fitSource_ = font();
    }
    return fitted_;
}

void DisplayLabel::paintEvent(QPaintEvent *)
{
    const QRectF box = contentsRect();
    const QString shown = text();
    const QFont &font = drawnFont(shown, box.size());
    const QFontMetricsF metrics(font);
    const qreal digit = digitWidth(metrics);
    const qreal width = textWidth(font, shown);

    qreal x = box.left() + (box.width() - width) / 2;
    if (alignment() & Qt::AlignLeft)
        x = box.left();
    else if (alignment() & Qt::AlignRight)
        x = box.right() - width;
    const qreal baseline = box.top() + (box.height() - metrics.height()) / 2 + metrics.ascent();

    QPainter painter(this);
    painter.setFont(font);
    painter.setPen(palette().color(QPalette::WindowText));
    for (QChar c : shown) {
        const qreal cell = advance(metrics, c, digit);
        painter.drawText(QPointF(x + (cell - metrics.horizontalAdvance(c)) / 2, baseline), QString(c));
        x += cell;
    }
}

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
    // A Japanese input method commits whole strings; hold them to the same limit as keys.
    if (typingLimit_ > 0 && !event->commitString().isEmpty() && !fits(event->commitString().size())) {
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

SpinButton::SpinButton(QWidget *parent)
    : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this))
{
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    for (QToolButton *arrow : {up_, down_}) {
        arrow->setAutoRepeat(true);
        arrow->setFocusPolicy(Qt::NoFocus);
    }
    setFocusPolicy(Qt::NoFocus);
    connect(up_, &QToolButton::clicked, this, &SpinButton::stepUp);
    connect(down_, &QToolButton::clicked, this, &SpinButton::stepDown);
}

void SpinButton::setRange(int minimum, int maximum)
{
    minimum_ = minimum;
    maximum_ = maximum;
    value_ = std::clamp(value_, minimum_, maximum_);
}

void SpinButton::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const int half = height() / 2;
    up_->setGeometry(0, 0, width(), half);
    down_->setGeometry(0, half, width(), height() - half);
}

void SpinButton::stepBy(int steps)
{
    int start = value_;
    if (buddy_) {
        if (const auto typed = toInt16(buddy_->text()))
            start = *typed;
    }
    const int next = std::clamp(start + steps, minimum_, maximum_);
    if (next == start)
        return;
    value_ = next;
    if (buddy_)
        buddy_->setText(QString::number(next));
    emit changed();
}
