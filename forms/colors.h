#pragma once

#include <QColor>

class QWidget;

// Colours live in the palette of every colour group, so they read back the same whether the
// window is active or not. Background and text colour each cover the roles any control kind
// paints with (labels and windows, text boxes, buttons and lists).
QColor backColor(const QWidget *widget);
QColor foreColor(const QWidget *widget);
void setBackColor(QWidget *widget, const QColor &color);
void setForeColor(QWidget *widget, const QColor &color);

// Writes a text only when it differs, and says whether it did. Skipping the write changes nothing
// a handler can see (an unchanged text raises no change event), but it saves laying the text out
// again; the clock writes its texts twice a second.
template <class TextControl, class Text> bool writeText(TextControl *control, const Text &text)
{
    if (control->text() == text)
        return false;
    control->setText(text);
    return true;
}

// The colours the program paints with, beside the seven an operator picks by name.
namespace Palette {
inline const QColor kWindowGrey{128, 128, 128}; // the main window while not masked
inline const QColor kDisplayBack{0, 0, 0};      // the big display as a total is applied
inline const QColor kDisplayFore{0, 255, 0};
inline const QColor kFlashBack{255, 255, 0}; // the half-minute "超過"
inline const QColor kFlashFore{255, 0, 0};
inline const QColor kBlinkFore{0, 0, 0};
inline const QColor kLampOn{0, 255, 0}; // a bell's pilot lamp
inline const QColor kLampOff{96, 96, 96};
inline const QColor kMaskedToggle{32, 32, 32};
} // namespace Palette
