// Entering and applying the total speaking time.

#include "engine/textroutines.h"
#include "forms/colors.h"
#include "forms/displaylabel.h"
#include "forms/spinbutton.h"
#include "forms/viewer.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <utility>

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
    if (isNumeric(Txt_Time_Min->text()))
        return; // a number stays exactly as typed
    focusBack(Txt_Time_Min);
    Txt_Time_Min->setText(QStringLiteral("00"));
}

void Viewer::Txt_Time_Sec_LostFocus()
{
    if (isNumeric(Txt_Time_Sec->text())) {
        Txt_Time_Sec->setText(format00(Txt_Time_Sec->text()));
        return;
    }
    focusBack(Txt_Time_Sec);
    Txt_Time_Sec->setText(QStringLiteral("00"));
}

void Viewer::UpDown_Min_Change()
{
    // The spin has written plain digits into the minutes box already; minutes stay unpadded.
}

void Viewer::UpDown_Sec_Change()
{
    Txt_Time_Sec->setText(format00(UpDown_Sec->value()));
}

void Viewer::Cmd_SetTime_1touch_Click(short Index)
{
    static constexpr int presetMinutes[] = {1, 3, 5, 7, 10, 12, 15};
    if (Index < 0 || Index >= static_cast<short>(std::size(presetMinutes)))
        return;
    Txt_Time_Min->setText(QString::number(presetMinutes[Index]));
    Txt_Time_Sec->setText(QStringLiteral("00"));
}

void Viewer::Cmd_SetTime_Click()
{
    const QString secondsText = Txt_Time_Sec->text();
    const std::optional<qint16> minutes = toInt16(Txt_Time_Min->text());
    const std::optional<qint16> seconds = toInt16(secondsText);
    // The countdown counts in 16 bits: a total beyond 32767 seconds (the minutes spin reaches 999)
    // would wrap into a negative time, so it is refused like any other unusable entry.
    const int total = minutes && seconds ? *minutes * 60 + *seconds : 0;
    if (!minutes || !seconds || !std::in_range<qint16>(total)) {
        showValidationMessage();
        return;
    }

    setDisplayedTime(*minutes, secondsText, static_cast<qint16>(total));
    quietSecond_.reset(); // a fresh total: every second of it is reached by counting
    ClockMinutes = *minutes;
    ClockSeconds = *seconds;
    RemainingSeconds = static_cast<qint16>(total);
    setAppliedTotal(total);
    showEndTime({});
    showRunState(RunState::Setup);
    setBackColor(Lbl_Time, Palette::kDisplayBack);
    setForeColor(Lbl_Time, Palette::kDisplayFore);
    // The bar shows the fresh total at once, not a full bar left from the last talk until the
    // next start (the projector follows the display by itself).
    ProgressBar1->setValue(0);

    // Stop the clock before bell 1 is committed: its message box would otherwise let ticks
    // repaint the display over the time just applied. An armed blink is disarmed too, or it
    // would paint the fresh display's digits black on black a moment later.
    setClockRunning(false);
    Timer_Alert->stop();

    bell(1).set->click();
    for (QGroupBox *frame : settingFrames())
        frame->show();
    setClockRunning(false);
}
