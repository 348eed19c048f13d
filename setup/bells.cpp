// The three warning bells: one implementation, parameterised by the bell's number, which picks
// its controls by name.

#include "engine/textroutines.h"
#include "forms/controls.h"
#include "forms/viewer.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

// The controls never change while the program runs, so each bell's are looked up once, by name.
void Viewer::findBells()
{
    for (int number = 1; number <= 3; ++number) {
        auto name = [number](const char *pattern) { return QString::fromLatin1(pattern).arg(number); };
        bells_[static_cast<std::size_t>(number - 1)] = {
            textBox(name("Txt_Bell_%1_Min")),
            textBox(name("Txt_Bell_%1_Sec")),
            textBox(name("Txt_Bell%1_Files")),
            label(name("Lbl_Bell%1_Second")),
            label(name("Lbl_Bell%1_Pilot")),
            control<QAbstractButton>(name("Cmd_SetBell%1")),
            control<QAbstractButton>(name("Option_Bell%1_OnOff_0")),
            control<QAbstractButton>(name("Check_Bell%1_Ringer")),
            control<QAbstractButton>(name("Check_Bell%1_Color")),
            control<QComboBox>(name("Cmb_BC_Bell%1")),
            control<QComboBox>(name("Cmb_FC_Bell%1")),
        };
    }
}

void Viewer::commitBell(int bell)
{
    const std::optional<qint16> minutes = toInt16(this->bell(bell).minutes->text());
    const std::optional<qint16> seconds = toInt16(this->bell(bell).seconds->text());
    // In 16 bits, as the clock compares them: 547 minutes or more would wrap, so such a time is
    // refused and the committed time stays what it was.
    const int product = minutes ? *minutes * 60 : 0;
    const int time = seconds ? product + *seconds : 0;
    if (!minutes || !seconds || product < -32768 || product > 32767 || time < -32768 || time > 32767) {
        showValidationMessage();
        return;
    }
    ClockMinutes = *minutes;
    ClockSeconds = *seconds;
    RemainingSeconds = static_cast<qint16>(time);
    this->bell(bell).committed->setText(QString::number(time));
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
        setForeColor(this->bell(bell).pilot, QColor(0, 255, 0));
    else if (index == 1)
        setForeColor(this->bell(bell).pilot, QColor(96, 96, 96));
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
