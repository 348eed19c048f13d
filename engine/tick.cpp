// The clock tick: twice a second, the remaining time is worked out afresh from the wall clock and
// everything the display, the bells and the over-time alert show follows from it.

#include "engine/guarded.h"
#include "engine/textroutines.h"
#include "forms/controls.h"
#include "forms/slave.h"
#include "forms/viewer.h"
#include "platform/platform.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTimer>
#include <cmath>

void Viewer::bellIfDue(int number)
{
    const Bell &bell = this->bell(number);
    bool due = false;
    guarded([&] { due = bell.on->isChecked() && numericValue(bell.committed->text()) == RemainingSeconds; });
    if (!due)
        return;
    guarded([&] {
        if (bell.ringer->isChecked())
            platform_.playSound(bell.sound->text());
    });
    guarded([&] {
        if (bell.colour->isChecked())
            applyColorNames(bell.back, bell.fore);
    });
}

// The colour names go through the two hidden boxes, the only way into the colour routine.
void Viewer::applyColorNames(const QComboBox *backList, const QComboBox *foreList)
{
    writeText(textBox(QStringLiteral("Txt_BackColor")), backList->currentText());
    writeText(textBox(QStringLiteral("Txt_ForeColor")), foreList->currentText());
    ApplyScreenColors();
}

void Viewer::copyDisplayTo(Slave *target) const
{
    const QLabel *time = label(QStringLiteral("Lbl_Time"));
    setBackColor(target, backColor(time));
    setForeColor(target->timeLabel(), foreColor(time));
    writeText(target->timeLabel(), time->text());
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
    if (seconds >= -32768 && seconds <= 32767)
        RemainingSeconds = static_cast<qint16>(seconds);
}

void Viewer::Timer_PresentTime_Timer()
{
    QLabel *time = label(QStringLiteral("Lbl_Time"));

    guarded([&] { countTowardsEndTime(); });
    guarded([&] {
        ClockMinutes = static_cast<qint16>(std::abs(RemainingSeconds / 60));
        ClockSeconds = static_cast<qint16>(std::abs(RemainingSeconds % 60));
    });
    guarded([&] {
        const QString text = QString::number(ClockMinutes) + QLatin1Char(':') + format00(ClockSeconds);
        writeText(time, text);
    });

    for (int bell = 1; bell <= 3; ++bell)
        bellIfDue(bell);

    guarded([&] {
        if (RemainingSeconds == 0)
            playSoundOf(QStringLiteral("Txt_Alerm_Files"));
    });

    if (RemainingSeconds < 0) {
        if (ticked(QStringLiteral("Check_Alert_OnOff1"))) {
            QLineEdit *phase = textBox(QStringLiteral("Txt_Phase"));
            const bool blinkMark = RemainingSeconds % 5 == 0;
            guarded([&] {
                if (phase->text() != QLatin1String("OverTime")) {
                    applyColorNames(control<QComboBox>(QStringLiteral("Cmb_BC_Alert")),
                                    control<QComboBox>(QStringLiteral("Cmb_FC_Alert")));
                    // At a fifth second the marker goes on to "Wink" at once; nothing reads it in
                    // between, so it is written once (a text box write is the dearest step here).
                    if (!blinkMark)
                        writeText(phase, QStringLiteral("OverTime"));
                }
            });
            guarded([&] {
                if (blinkMark) {
                    Timer_Alert->start();
                    writeText(phase, QStringLiteral("Wink"));
                }
            });
        }
        if (RemainingSeconds % 30 == 0) {
            guarded([&] {
                if (ticked(QStringLiteral("Check_Alert_OnOff2"))) {
                    setBackColor(time, QColor(255, 255, 0));
                    setForeColor(time, QColor(255, 0, 0));
                    writeText(time, QStringLiteral("超過"));
                }
            });
            guarded([&] {
                if (ticked(QStringLiteral("Check_Alert_OnOff3")))
                    playSoundOf(QStringLiteral("Txt_Alerm_Files"));
            });
        }
    }

    guarded([&] {
        // The elapsed share in percent. A total of 0, over-time and a remaining time beyond the
        // total all fall outside 0..100 and leave the bar where it was.
        const std::optional<double> total = numericValue(label(QStringLiteral("Lbl_Time_Second"))->text());
        if (!total || *total == 0)
            return;
        const double percent = 100.0 - RemainingSeconds / std::fabs(*total) * 100.0;
        if (percent >= 0 && percent <= 100)
            control<QProgressBar>(QStringLiteral("ProgressBar1"))
                ->setValue(static_cast<int>(std::lround(percent)));
    });

    guarded([&] {
        setBackColor(this, ticked(QStringLiteral("Check_Mask")) ? QColor(128, 128, 128) : backColor(time));
    });

    guarded([&] {
        if (slave_ && slave_->isVisible())
            copyDisplayTo(slave_);
    });
}
