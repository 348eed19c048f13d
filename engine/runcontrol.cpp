// Start, pause, reset and restart. The remaining time has no store of its own while the clock is
// stopped: it is the text on the big display, and every start reads it back from there.

#include "engine/guarded.h"
#include "engine/textroutines.h"
#include "forms/viewer.h"
#include "platform/platform.h"

#include <QLabel>
#include <QLineEdit>
#include <QTimer>

void Viewer::Cmd_Start_Click()
{
    // Already counting: re-reading the whole-second display would throw away the part of a
    // second already counted and restart the tick's rhythm, so a held or repeated Start would
    // stop the clock. The countdown goes on as it is; only the mask is applied again.
    if (Timer_PresentTime->isActive()) {
        Check_Mask_Click();
        return;
    }

    textBox(QStringLiteral("Txt_Phase"))->setText(QStringLiteral("Presentation"));

    // All but the last three characters are the minutes, the last two the seconds. "--:--" and
    // "超過" are not a time.
    const QString shown = label(QStringLiteral("Lbl_Time"))->text();
    const QString minutesPart = shown.left(std::max<qsizetype>(shown.size() - 3, 0));
    const QString secondsPart = shown.right(2);
    if (shown.size() < 3 || !isNumeric(minutesPart) || !isNumeric(secondsPart)) {
        showValidationMessage();
        return;
    }

    guarded([&] {
        if (const auto minutes = toInt16(minutesPart))
            ClockMinutes = *minutes;
    });
    guarded([&] {
        if (const auto seconds = toInt16(secondsPart))
            ClockSeconds = *seconds;
    });
    guarded([&] {
        // 16 bits: a display beyond 546:07 cannot be re-read, and the previous value stands.
        const int remaining = ClockMinutes * 60 + ClockSeconds;
        if (remaining >= -32768 && remaining <= 32767)
            RemainingSeconds = static_cast<qint16>(remaining);
    });
    guarded([&] { StartTime = platform_.now(); });
    guarded([&] {
        EndTime = StartTime.addSecs(RemainingSeconds);
        anchorCountdown(qint64{RemainingSeconds} * 1000);
    });
    guarded([&] {
        const QTime end = EndTime.time();
        label(QStringLiteral("Lbl_EndTime"))
            ->setText(QStringLiteral("終了終了時刻 %1時%2分%3秒")
                          .arg(end.hour(), 2, 10, QLatin1Char('0'))
                          .arg(end.minute(), 2, 10, QLatin1Char('0'))
                          .arg(end.second(), 2, 10, QLatin1Char('0')));
    });
    guarded([&] { label(QStringLiteral("Lbl_Phase"))->setText(QStringLiteral("動作状態：進行中")); });
    guarded([&] { setClockRunning(true); });
    guarded([&] { Check_Mask_Click(); });
}

void Viewer::Cmd_Pause_Click()
{
    setClockRunning(false);
    label(QStringLiteral("Lbl_EndTime"))->setText(QStringLiteral("終了予定時刻 --時--分--秒"));
    label(QStringLiteral("Lbl_Phase"))->setText(QStringLiteral("動作状態：一時停止中"));
}

void Viewer::Cmd_Reset_Click()
{
    setClockRunning(false);
    press(QStringLiteral("Cmd_SetTime"));
    Check_Mask_Click();
}

void Viewer::Cmd_Reset_Start_Click()
{
    textBox(QStringLiteral("Txt_Phase"))->setText(QStringLiteral("Presentation"));
    press(QStringLiteral("Cmd_Reset"));
    press(QStringLiteral("Cmd_Start"));
    Check_Mask_Click();
}

void Viewer::Img_Start_Click()
{
    press(QStringLiteral("Cmd_Start"));
}

void Viewer::Img_ReStart_Click()
{
    press(QStringLiteral("Cmd_Reset_Start"));
}

void Viewer::Img_Pause_Click()
{
    press(QStringLiteral("Cmd_Pause"));
}

void Viewer::Img_Stop_Click()
{
    press(QStringLiteral("Cmd_Reset"));
}

const char *Viewer::commandForKey(int keyCode)
{
    switch (keyCode) {
    case 97:  // Num 1
    case 112: // F1
    case 113: // F2
        return "Cmd_Start";
    case 32:  // Space
    case 101: // Num 5
    case 115: // F4
    case 116: // F5
    case 117: // F6
        return "Cmd_Reset_Start";
    case 103: // Num 7
    case 118: // F7
        return "Cmd_Pause";
    case 105: // Num 9
    case 120: // F9
        return "Cmd_Reset";
    default:
        return nullptr;
    }
}

void Viewer::Form_KeyDown(short KeyCode, short Shift)
{
    Q_UNUSED(Shift); // Shift+F1, Ctrl+F1 and F1 all start
    guarded([&] {
        if (const char *button = commandForKey(KeyCode))
            press(QString::fromLatin1(button));
    });
}
