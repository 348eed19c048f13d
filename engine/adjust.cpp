// A minute more or less, while a talk runs or is paused: the remaining time moves, and the display,
// its colours and the over-time phase are at once what counting down to the new time would have
// made them. Nothing sounds: a bell or an alarm rings only at a second the count reaches.

#include "engine/countlimits.h"
#include "engine/textroutines.h"
#include "forms/colors.h"
#include "forms/displaylabel.h"
#include "forms/viewer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QTimer>
#include <algorithm>
#include <cstdlib>

void Viewer::adjustRemaining(int seconds)
{
    const RunState state = runState();
    if (state == RunState::Setup || seconds == 0)
        return;
    int current = 0;
    if (state == RunState::Running) {
        countTowardsEndTime();
        current = RemainingSeconds;
    } else if (const std::optional<qint16> shown = displayedSeconds()) {
        current = *shown; // paused: the display holds the count
    } else {
        return;
    }
    const int target = std::clamp(current + seconds, -kLongestCount, kLongestCount);
    const int moved = target - current;
    if (moved == 0)
        return;
    if (state == RunState::Running) {
        // The deadline moves by whole seconds, so the tick keeps its rhythm within the second.
        deadlineMs_ += qint64{moved} * 1000;
        EndTime = EndTime.addSecs(moved);
        anchoredEnd_ = EndTime;
        showEndTime(EndTime);
    }
    quietSecond_ = static_cast<qint16>(target);
    showCountAt(static_cast<qint16>(target));
    emit remainingAdjusted(moved);
}

void Viewer::showCountAt(qint16 remaining)
{
    RemainingSeconds = remaining;
    ClockMinutes = static_cast<qint16>(std::abs(remaining / 60));
    ClockSeconds = static_cast<qint16>(std::abs(remaining % 60));
    // A blink under way ends: the colours below are the ones to see.
    Timer_Alert->stop();
    if (remaining < 0 && Check_Alert_OnOff1->isChecked()) {
        applyColorNames(Cmb_BC_Alert, Cmb_FC_Alert);
        setPhase(PhaseMarker::OverTime);
    } else {
        setPhase(PhaseMarker::Presentation);
        applyPassedBellColours(remaining);
    }
    setDisplayedTime(ClockMinutes, format00(ClockSeconds), remaining);
    showElapsedShare();
}

// The colours of the last bell the count has passed on its way down to `remaining` that changes
// them (bells at one second in their order), or the display's own before any.
void Viewer::applyPassedBellColours(qint16 remaining)
{
    int last = 0;
    double lastSeconds = 0;
    for (int number = 1; number <= 3; ++number) {
        const Bell &candidate = bell(number);
        const std::optional<double> at = committedSeconds(number);
        if (!candidate.onOff[0]->isChecked() || !candidate.colour->isChecked() || !at || *at < remaining)
            continue;
        if (last == 0 || *at <= lastSeconds) {
            last = number;
            lastSeconds = *at;
        }
    }
    if (last != 0) {
        applyColorNames(bell(last).back, bell(last).fore);
        return;
    }
    setBackColor(Lbl_Time, Palette::kDisplayBack);
    setForeColor(Lbl_Time, Palette::kDisplayFore);
}
