// The clock tick: twice a second, the remaining time is worked out afresh and everything the
// display, the bells and the over-time alert show follows from it.

#include "engine/textroutines.h"
#include "forms/colors.h"
#include "forms/displaylabel.h"
#include "forms/viewer.h"
#include "platform/platform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <cmath>
#include <utility>

void Viewer::bellIfDue(int number)
{
    const Bell &bell = this->bell(number);
    // A bell never committed ("0s") is not due, whatever the time.
    if (!bell.onOff[0]->isChecked() || committedSeconds(number) != RemainingSeconds)
        return;
    if (bell.ringer->isChecked())
        platform_.playSound(bell.sound->text());
    if (bell.colour->isChecked())
        applyColorNames(bell.back, bell.fore);
    emit bellDue(number);
}

// The colour names go through the two hidden boxes, the only way into the colour routine.
void Viewer::applyColorNames(const QComboBox *backList, const QComboBox *foreList)
{
    setColorNames(backList->currentText(), foreList->currentText());
    ApplyScreenColors();
}

void Viewer::anchorCountdown(qint64 msLeft)
{
    deadlineMs_ = platform_.monotonicMs() + msLeft;
    anchoredEnd_ = EndTime;
}

void Viewer::countTowardsEndTime()
{
    if (!EndTime.isValid())
        return;
    // An end moment set other than by a start is counted towards from now on.
    if (EndTime != anchoredEnd_)
        anchorCountdown(platform_.now().msecsTo(EndTime));
    // Whole seconds as a wall clock of whole seconds would give them: the display shows 0:00 from
    // the end moment for a second, and 0:01 of over-time after that.
    const qint64 left = deadlineMs_ - platform_.monotonicMs();
    const qint64 seconds = left >= 0 ? (left + 999) / 1000 : -(-left / 1000);
    // Beyond 16 bits the step fails and the previous value stands: a very long over-time
    // freezes at 546:08 rather than wrapping round to a positive time.
    if (std::in_range<qint16>(seconds))
        RemainingSeconds = static_cast<qint16>(seconds);
}

void Viewer::Timer_PresentTime_Timer()
{
    countTowardsEndTime();
    // A second the chair's minute more or less jumped to was shown then; it is not reached by
    // counting, so nothing of it is due (no bell, no alarm, no blink or word).
    const bool due = !quietSecond_ || *quietSecond_ != RemainingSeconds;
    if (due)
        quietSecond_.reset();
    ClockMinutes = static_cast<qint16>(std::abs(RemainingSeconds / 60));
    ClockSeconds = static_cast<qint16>(std::abs(RemainingSeconds % 60));
    setDisplayedTime(ClockMinutes, format00(ClockSeconds), RemainingSeconds);

    if (due) {
        for (int bell = 1; bell <= 3; ++bell)
            bellIfDue(bell);
        if (RemainingSeconds == 0) {
            platform_.playSound(Txt_Alerm_Files->text());
            emit zeroReached();
        }
    }

    if (RemainingSeconds < 0) {
        if (Check_Alert_OnOff1->isChecked()) {
            const bool blinkMark = due && RemainingSeconds % 5 == 0;
            if (!phaseIs(PhaseMarker::OverTime)) {
                applyColorNames(Cmb_BC_Alert, Cmb_FC_Alert);
                // At a fifth second the marker goes on to "Wink" at once; nothing reads it in
                // between, so it is written once (a text box write is the dearest step here).
                if (!blinkMark)
                    setPhase(PhaseMarker::OverTime);
            }
            if (blinkMark) {
                Timer_Alert->start();
                setPhase(PhaseMarker::Wink);
            }
        }
        if (due && RemainingSeconds % 30 == 0) {
            if (Check_Alert_OnOff2->isChecked())
                showOverTimeWord(RemainingSeconds);
            if (Check_Alert_OnOff3->isChecked())
                platform_.playSound(Txt_Alerm_Files->text());
            emit overTimeHalfMinute(RemainingSeconds);
        }
    }

    showElapsedShare();
}

void Viewer::showElapsedShare()
{
    // The elapsed share in percent. A total of 0, over-time and a remaining time beyond the
    // total all fall outside 0..100 and leave the bar where it was.
    if (const std::optional<double> total = appliedTotal(); total && *total != 0) {
        const double percent = 100.0 - RemainingSeconds / std::fabs(*total) * 100.0;
        if (percent >= 0 && percent <= 100)
            ProgressBar1->setValue(static_cast<int>(std::lround(percent)));
    }
    setBackColor(this, Check_Mask->isChecked() ? Palette::kWindowGrey : backColor(Lbl_Time));
}
