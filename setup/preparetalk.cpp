// A talk of the programme put in the window, and the window's setup taken as a talk. Preparing
// does what an operator would: types the times into the boxes, sets each bell on or off, ticks
// the checks, picks the colours and the files, and presses each bell's Set and 表示セット. The
// handlers behind those controls do the work, so every rule of entering a time holds unchanged.

#include "engine/countlimits.h"
#include "engine/textroutines.h"
#include "forms/viewer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

void typeTime(QLineEdit *minutes, QLineEdit *seconds, int total)
{
    // Minutes first: a change of the seconds may commit what both boxes hold.
    minutes->setText(QString::number(total / 60));
    seconds->setText(format00(total % 60));
}

// The seconds the boxes hold, 0 for what is not a time, and no more than the clock can count (the
// boxes take more than they can apply).
qint16 typedTime(const QLineEdit *minutes, const QLineEdit *seconds)
{
    const std::optional<qint16> m = toInt16(minutes->text());
    const std::optional<qint16> s = toInt16(seconds->text());
    return static_cast<qint16>(m && s ? std::clamp(*m * 60 + *s, 0, kLongestCount) : 0);
}

} // namespace

void Viewer::prepareTalk(const PreparedTalk &talk)
{
    for (int number = 1; number <= 3; ++number) {
        const PreparedBell &plan = talk.bells[static_cast<std::size_t>(number - 1)];
        const Bell &controls = bell(number);
        typeTime(controls.minutes, controls.seconds, plan.at);
        controls.ringer->setChecked(plan.sound);
        controls.colour->setChecked(plan.colours);
        controls.back->setCurrentText(plan.background);
        controls.fore->setCurrentText(plan.text);
        controls.sound->setText(plan.file);
        controls.onOff[plan.on ? 0 : 1]->click();
        controls.set->click();
    }
    Check_Alert_OnOff1->setChecked(talk.alert.colours);
    Check_Alert_OnOff2->setChecked(talk.alert.word);
    Check_Alert_OnOff3->setChecked(talk.alert.bell);
    Cmb_BC_Alert->setCurrentText(talk.alert.background);
    Cmb_FC_Alert->setCurrentText(talk.alert.text);
    Txt_Alerm_Files->setText(talk.alert.file);
    typeTime(Txt_Time_Min, Txt_Time_Sec, talk.seconds);
    Cmd_SetTime->click();
}

PreparedTalk Viewer::setupNow() const
{
    PreparedTalk talk;
    // What the window counts: the applied total and the committed bell times, where there are any;
    // else what the boxes hold.
    const std::optional<double> total = appliedTotal();
    talk.seconds = static_cast<qint16>(total ? *total : typedTime(Txt_Time_Min, Txt_Time_Sec));
    for (int number = 1; number <= 3; ++number) {
        PreparedBell &plan = talk.bells[static_cast<std::size_t>(number - 1)];
        const Bell &controls = bell(number);
        const std::optional<double> committed = committedSeconds(number);
        plan.on = controls.onOff[0]->isChecked();
        plan.at = static_cast<qint16>(committed ? *committed : typedTime(controls.minutes, controls.seconds));
        plan.sound = controls.ringer->isChecked();
        plan.colours = controls.colour->isChecked();
        plan.background = controls.back->currentText();
        plan.text = controls.fore->currentText();
        plan.file = controls.sound->text();
    }
    talk.alert = {Check_Alert_OnOff1->isChecked(), Check_Alert_OnOff2->isChecked(),
                  Check_Alert_OnOff3->isChecked(), Cmb_BC_Alert->currentText(),
                  Cmb_FC_Alert->currentText(),     Txt_Alerm_Files->text()};
    return talk;
}
