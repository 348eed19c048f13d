#include "forms/spinbutton.h"

#include "engine/textroutines.h"

#include <QToolButton>

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
