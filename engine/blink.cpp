// The over-time blink: a quarter of a second after the tick arms it, the digits go black; the next
// tick puts the alert colours back.

#include "forms/colors.h"
#include "forms/displaylabel.h"
#include "forms/viewer.h"

#include <QTimer>

void Viewer::Timer_Alert_Timer()
{
    setForeColor(Lbl_Time, Palette::kBlinkFore);
    Timer_Alert->stop();
}
