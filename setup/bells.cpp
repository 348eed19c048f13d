// The three warning bells: one implementation, parameterised by the bell's number, which picks
// its controls by name.

#include "engine/textroutines.h"
#include "forms/viewer.h"

#include <QLabel>
#include <QLineEdit>

namespace {

QString bellName(const char *pattern, int bell)
{
    return QString::fromLatin1(pattern).arg(bell);
}

} // namespace

void Viewer::commitBell(int bell)
{
    const QString minutesText = textBox(bellName("Txt_Bell_%1_Min", bell))->text();
    const QString secondsText = textBox(bellName("Txt_Bell_%1_Sec", bell))->text();
    const std::optional<qint16> minutes = toInt16(minutesText);
    const std::optional<qint16> seconds = toInt16(secondsText);
    // In 16 bits, as the clock compares them: 547 minutes or more would wrap, so such a time is
    // refused and the committed time stays what it was.
    const int time = minutes && seconds ? *minutes * 60 + *seconds : 0;
    if (!minutes || !seconds || *minutes * 60 < -32768 || *minutes * 60 > 32767 || time < -32768 ||
        time > 32767) {
        showValidationMessage();
        return;
    }
    ClockMinutes = *minutes;
    ClockSeconds = *seconds;
    RemainingSeconds = static_cast<qint16>(time);
    label(bellName("Lbl_Bell%1_Second", bell))->setText(QString::number(time));
}

void Viewer::Cmd_SetBell1_Click()
{
    commitBell(1);
}

void Viewer::Cmd_SetBell2_Click()
{
    commitBell(2);
}

void Viewer::Cmd_SetBell3_Click()
{
    commitBell(3);
}
