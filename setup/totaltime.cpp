// Entering and applying the total speaking time.

#include "engine/textroutines.h"
#include "forms/controls.h"
#include "forms/viewer.h"

#include <QLabel>
#include <QLineEdit>
#include <QTimer>

namespace {

// Giving the focus back from inside the focus change that took it away confuses Qt's focus
// bookkeeping; wait until that change has settled.
void focusBack(QWidget *box)
{
    QTimer::singleShot(0, box, [box] { box->setFocus(Qt::OtherFocusReason); });
}

} // namespace

void Viewer::Txt_Time_Min_LostFocus()
{
    QLineEdit *box = textBox(QStringLiteral("Txt_Time_Min"));
    if (isNumeric(box->text()))
        return; // a number stays exactly as typed
    focusBack(box);
    box->setText(QStringLiteral("00"));
}

void Viewer::Txt_Time_Sec_LostFocus()
{
    QLineEdit *box = textBox(QStringLiteral("Txt_Time_Sec"));
    if (isNumeric(box->text())) {
        box->setText(format00(box->text()));
        return;
    }
    focusBack(box);
    box->setText(QStringLiteral("00"));
}

void Viewer::UpDown_Min_Change()
{
    // The spin has written plain digits into the minutes box already; minutes stay unpadded.
}

void Viewer::UpDown_Sec_Change()
{
    textBox(QStringLiteral("Txt_Time_Sec"))
        ->setText(format00(control<SpinButton>(QStringLiteral("UpDown_Sec"))->value()));
}

void Viewer::Cmd_SetTime_1touch_Click(short Index)
{
    static constexpr int presetMinutes[] = {1, 3, 5, 7, 10, 12, 15};
    if (Index < 0 || Index >= static_cast<short>(std::size(presetMinutes)))
        return;
    textBox(QStringLiteral("Txt_Time_Min"))->setText(QString::number(presetMinutes[Index]));
    textBox(QStringLiteral("Txt_Time_Sec"))->setText(QStringLiteral("00"));
}

void Viewer::Cmd_SetTime_Click()
{
    const QString minutesText = textBox(QStringLiteral("Txt_Time_Min"))->text();
    const QString secondsText = textBox(QStringLiteral("Txt_Time_Sec"))->text();
    const std::optional<qint16> minutes = toInt16(minutesText);
    const std::optional<qint16> seconds = toInt16(secondsText);
    // The countdown counts in 16 bits: a total beyond 32767 seconds (the minutes spin reaches 999)
    // would wrap into a negative time, so it is refused like any other unusable entry.
    const int total = minutes && seconds ? *minutes * 60 + *seconds : 0;
    if (!minutes || !seconds || total < -32768 || total > 32767) {
        showValidationMessage();
        return;
    }

    label(QStringLiteral("Lbl_Time"))->setText(QString::number(*minutes) + QLatin1Char(':') + secondsText);
    ClockMinutes = *minutes;
    ClockSeconds = *seconds;
    RemainingSeconds = static_cast<qint16>(total);
    label(QStringLiteral("Lbl_Time_Second"))->setText(QString::number(total));
    label(QStringLiteral("Lbl_EndTime"))->setText(QStringLiteral("終了予定時刻 --時--分--秒"));
    label(QStringLiteral("Lbl_Phase"))->setText(QStringLiteral("動作状態：セットアップ中"));
    QLabel *time = label(QStringLiteral("Lbl_Time"));
    setBackColor(time, QColor(0, 0, 0));
    setForeColor(time, QColor(0, 255, 0));

    // Stop the clock before bell 1 is committed: its message box would otherwise let ticks
    // repaint the display over the time just applied. An armed blink is disarmed too, or it
    // would paint the fresh display's digits black on black a moment later.
    setClockRunning(false);
    Timer_Alert->stop();

    press(QStringLiteral("Cmd_SetBell1"));
    for (const char *frame : {"Frm_Bell1", "Frm_Bell2", "Frm_Bell3", "Frm_Alert", "Frm_Button"})
        control(QString::fromLatin1(frame))->show();
    setClockRunning(false);
}
