#include "forms/colors.h"

#include <QPalette>
#include <QWidget>

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
