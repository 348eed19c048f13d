// The three warning bells: one implementation, parameterised by the bell's number, which picks
// its controls from the family.

#include "engine/textroutines.h"
#include "forms/colors.h"
#include "forms/viewer.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <utility>

void Viewer::commitBell(int bell)
{
    const std::optional<qint16> minutes = toInt16(this->bell(bell).minutes->text());
    const std::optional<qint16> seconds = toInt16(this->bell(bell).seconds->text());
    // In 16 bits, as the clock compares them: 547 minutes or more would wrap, so such a time is
    // refused and the committed time stays what it was.
    const int product = minutes ? *minutes * 60 : 0;
    const int time = seconds ? product + *seconds : 0;
    if (!minutes || !seconds || !std::in_range<qint16>(product) || !std::in_range<qint16>(time)) {
        showValidationMessage();
        return;
    }
    ClockMinutes = *minutes;
    ClockSeconds = *seconds;
    RemainingSeconds = static_cast<qint16>(time);
    setCommittedSeconds(bell, RemainingSeconds);
}

// A valid minutes entry waits for Set; only an unusable one is replaced and committed at once.
void Viewer::bellMinutesChanged(int bell)
{
    QLineEdit *box = this->bell(bell).minutes;
    if (isNumeric(box->text()))
        return;
    box->setFocus();
    box->setText(QStringLiteral("00")); // runs this handler again, which finds a number
    this->bell(bell).set->click();
}

// Seconds are formatted and committed at every change. Writing the formatted text runs this
// handler once more, which finds it already formatted: the commit may run twice, to one result.
void Viewer::bellSecondsChanged(int bell)
{
    QLineEdit *box = this->bell(bell).seconds;
    if (isNumeric(box->text())) {
        box->setText(format00(box->text()));
        this->bell(bell).set->click();
        return;
    }
    box->setFocus();
    box->setText(QStringLiteral("00")); // runs this handler again, which formats and commits
}

void Viewer::bellSwitched(int bell, short index)
{
    this->bell(bell).set->click();
    if (index == 0)
        setForeColor(this->bell(bell).pilot, Palette::kLampOn);
    else if (index == 1)
        setForeColor(this->bell(bell).pilot, Palette::kLampOff);
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

void Viewer::Txt_Bell_1_Min_Change()
{
    bellMinutesChanged(1);
}

void Viewer::Txt_Bell_2_Min_Change()
{
    bellMinutesChanged(2);
}

void Viewer::Txt_Bell_3_Min_Change()
{
    bellMinutesChanged(3);
}

void Viewer::Txt_Bell_1_Sec_Change()
{
    bellSecondsChanged(1);
}

void Viewer::Txt_Bell_2_Sec_Change()
{
    bellSecondsChanged(2);
}

void Viewer::Txt_Bell_3_Sec_Change()
{
    bellSecondsChanged(3);
}

void Viewer::Option_Bell1_OnOff_Click(short Index)
{
    bellSwitched(1, Index);
}

void Viewer::Option_Bell2_OnOff_Click(short Index)
{
    bellSwitched(2, Index);
}

void Viewer::Option_Bell3_OnOff_Click(short Index)
{
    bellSwitched(3, Index);
}
