// The over-time blink: a quarter of a second after the tick arms it, the digits go black; the next
// tick puts the alert colours back.

#include "forms/controls.h"
#include "forms/slave.h"
#include "forms/viewer.h"

#include <QLabel>
#include <QTimer>

void Viewer::Timer_Alert_Timer()
{
    setForeColor(label(QStringLiteral("Lbl_Time")), QColor(0, 0, 0));
    if (slave_ && slave_->isVisible())
        copyDisplayTo(slave_);
    Timer_Alert->stop();
}
