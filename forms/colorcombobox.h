#pragma once

#include <QComboBox>

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
