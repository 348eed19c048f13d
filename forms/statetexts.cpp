// The texts handlers hand to each other through controls: the phase marker, the committed bell
// times, the big display, the colour names, the state and end-time lines and the applied total.
// Each is written and read here alone, so its format is said once.

#include "engine/textroutines.h"
#include "forms/colors.h"
#include "forms/displaylabel.h"
#include "forms/viewer.h"

#include <QLabel>
#include <QLineEdit>

namespace {

QString markerText(int marker)
{
    static const QString texts[] = {QStringLiteral("Presentation"), QStringLiteral("OverTime"),
                                    QStringLiteral("Wink")};
    return texts[marker];
}

} // namespace

bool Viewer::phaseIs(PhaseMarker marker) const
{
    // Exact and case-sensitive: any other text, the box's own name at start-up included, is
    // none of the three.
    return Txt_Phase->text() == markerText(static_cast<int>(marker));
}

void Viewer::setPhase(PhaseMarker marker)
{
    writeText(Txt_Phase, markerText(static_cast<int>(marker)));
}

// A plain decimal number of seconds once committed; "0s" before, which is not a number.
std::optional<double> Viewer::committedSeconds(int number) const
{
    return numericValue(bell(number).committed->text());
}

void Viewer::setCommittedSeconds(int number, qint16 seconds)
{
    bell(number).committed->setText(QString::number(seconds));
}

// Minutes without leading zeros, a colon, two-digit seconds: all but the last three characters
// are the minutes, the last two the seconds. "--:--" and "超過" are not a time.
std::optional<Viewer::DisplayedTime> Viewer::displayedTime() const
{
    const QString shown = Lbl_Time->text();
    const QString minutesPart = shown.left(std::max<qsizetype>(shown.size() - 3, 0));
    const QString secondsPart = shown.right(2);
    if (shown.size() < 3 || !isNumeric(minutesPart) || !isNumeric(secondsPart))
        return std::nullopt;
    return DisplayedTime{toInt16(minutesPart), toInt16(secondsPart)};
}

std::optional<qint16> Viewer::displayedSeconds() const
{
    if (shownText_.isNull() || Lbl_Time->text() != shownText_)
        return std::nullopt;
    return shownSeconds_;
}

void Viewer::setDisplayedTime(qint16 minutes, const QString &seconds, qint16 signedSeconds)
{
    showOnDisplay(QString::number(minutes) + QLatin1Char(':') + seconds, signedSeconds);
}

void Viewer::showOverTimeWord(qint16 signedSeconds)
{
    setBackColor(Lbl_Time, Palette::kFlashBack);
    setForeColor(Lbl_Time, Palette::kFlashFore);
    showOnDisplay(QStringLiteral("超過"), signedSeconds);
}

void Viewer::showOnDisplay(const QString &text, qint16 signedSeconds)
{
    shownText_ = text;
    shownSeconds_ = signedSeconds;
    if (writeText(Lbl_Time, text))
        emit shownChanged();
}

std::pair<QString, QString> Viewer::colorNames() const
{
    return {Txt_BackColor->text(), Txt_ForeColor->text()};
}

void Viewer::setColorNames(const QString &back, const QString &fore)
{
    writeText(Txt_BackColor, back);
    writeText(Txt_ForeColor, fore);
}

void Viewer::showRunState(RunState state)
{
    const RunState from = runState();
    if (writeText(Lbl_Phase, runStateLine(state))) {
        // Those who keep track of runs first, then those who show what they know.
        emit runStateChanged(from, state, restarting_);
        emit shownChanged();
    }
}

Viewer::Shown Viewer::shown() const
{
    Shown now;
    now.text = Lbl_Time->text();
    now.background = backColor(Lbl_Time);
    now.foreground = foreColor(Lbl_Time);
    now.state = runState();
    if (const std::optional<qint16> seconds = displayedSeconds())
        now.remaining = *seconds;
    return now;
}

Viewer::RunState Viewer::runState() const
{
    for (const RunState state : {RunState::Running, RunState::Paused}) {
        if (Lbl_Phase->text() == runStateLine(state))
            return state;
    }
    return RunState::Setup;
}

void Viewer::showEndTime(const QDateTime &end)
{
    if (!end.isValid()) {
        writeText(Lbl_EndTime, QStringLiteral("終了予定時刻 --時--分--秒"));
        return;
    }
    // The running line's doubled 終了 is the program's own wording, kept as operators know it.
    const QTime time = end.time();
    writeText(Lbl_EndTime, QStringLiteral("終了終了時刻 %1時%2分%3秒")
                               .arg(time.hour(), 2, 10, QLatin1Char('0'))
                               .arg(time.minute(), 2, 10, QLatin1Char('0'))
                               .arg(time.second(), 2, 10, QLatin1Char('0')));
}

std::optional<double> Viewer::appliedTotal() const
{
    return numericValue(Lbl_Time_Second->text());
}

void Viewer::setAppliedTotal(int seconds)
{
    Lbl_Time_Second->setText(QString::number(seconds));
}
