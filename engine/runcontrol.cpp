// Start, pause, reset and restart. The remaining time has no store of its own while the clock is
// stopped: it is the text on the big display, and every start reads it back from there.

#include "forms/viewer.h"
#include "platform/platform.h"

#include <QPushButton>
#include <QTimer>
#include <cstdlib>
#include <utility>

void Viewer::Cmd_Start_Click()
{
    // Already counting: re-reading the whole-second display would throw away the part of a
    // second already counted and restart the tick's rhythm, so a held or repeated Start would
    // stop the clock. The countdown goes on as it is; only the mask is applied again.
    if (Timer_PresentTime->isActive()) {
        Check_Mask_Click();
        return;
    }

    setPhase(PhaseMarker::Presentation);
    if (const std::optional<qint16> overTime = displayedSeconds(); overTime && *overTime < 0) {
        // The display shows over-time without a sign (or the word 超過): read back as a time it
        // would count down again and ring the zero alarm a second time. It goes on upwards.
        RemainingSeconds = *overTime;
        ClockMinutes = static_cast<qint16>(std::abs(RemainingSeconds / 60));
        ClockSeconds = static_cast<qint16>(std::abs(RemainingSeconds % 60));
    } else if (const std::optional<DisplayedTime> shown = displayedTime()) {
        // A part beyond 16 bits cannot be read back, and the previous value stands.
        if (shown->minutes)
            ClockMinutes = *shown->minutes;
        if (shown->seconds)
            ClockSeconds = *shown->seconds;
        if (const int remaining = ClockMinutes * 60 + ClockSeconds; std::in_range<qint16>(remaining))
            RemainingSeconds = static_cast<qint16>(remaining);
    } else {
        showValidationMessage();
        return;
    }
    StartTime = platform_.now();
    EndTime = StartTime.addSecs(RemainingSeconds);
    anchorCountdown(qint64{RemainingSeconds} * 1000);
    showEndTime(EndTime);
    showRunState(RunState::Running);
    setClockRunning(true);
    Check_Mask_Click();
}

void Viewer::Cmd_Pause_Click()
{
    setClockRunning(false);
    showEndTime({});
    showRunState(RunState::Paused);
}

void Viewer::Cmd_Reset_Click()
{
    setClockRunning(false);
    Cmd_SetTime->click();
    Check_Mask_Click();
}

void Viewer::Cmd_Reset_Start_Click()
{
    setPhase(PhaseMarker::Presentation);
    restarting_ = true;
    Cmd_Reset->click();
    restarting_ = false;
    Cmd_Start->click();
    Check_Mask_Click();
}

void Viewer::Img_Start_Click()
{
    Cmd_Start->click();
}

void Viewer::Img_ReStart_Click()
{
    Cmd_Reset_Start->click();
}

void Viewer::Img_Pause_Click()
{
    Cmd_Pause->click();
}

void Viewer::Img_Stop_Click()
{
    Cmd_Reset->click();
}

QPushButton *Viewer::commandForKey(int keyCode) const
{
    switch (keyCode) {
    case 97:  // Num 1
    case 112: // F1
    case 113: // F2
        return Cmd_Start;
    case 32:  // Space
    case 101: // Num 5
    case 115: // F4
    case 116: // F5
    case 117: // F6
        return Cmd_Reset_Start;
    case 103: // Num 7
    case 118: // F7
        return Cmd_Pause;
    case 105: // Num 9
    case 120: // F9
        return Cmd_Reset;
    default:
        return nullptr;
    }
}

void Viewer::Form_KeyDown(short KeyCode, short Shift)
{
    Q_UNUSED(Shift); // Shift+F1, Ctrl+F1 and F1 all start
    if (QPushButton *button = commandForKey(KeyCode))
        button->click();
}
