#include "forms/viewercontrols.h"

#include "forms/clicklabel.h"
#include "forms/displaylabel.h"
#include "forms/spinbutton.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <stdexcept>

namespace {

class Finder {
public:
    explicit Finder(const QHash<QString, QWidget *> &built) : built_(built) {}

    template <class T> void operator()(T *&slot, const QString &name)
    {
        slot = qobject_cast<T *>(built_.value(name));
        if (!slot)
            wrong_ << name;
    }

    void throwIfAnyWrong() const
    {
        if (!wrong_.isEmpty())
            throw std::runtime_error(
                ("The main window lacks these controls, or has them of another kind: " + wrong_.join(u", "))
                    .toStdString());
    }

private:
    const QHash<QString, QWidget *> &built_;
    QStringList wrong_;
};

} // namespace

ViewerControls ViewerControls::resolve(const QHash<QString, QWidget *> &built)
{
    ViewerControls c;
    Finder find(built);
#define FIND(control) find(c.control, QStringLiteral(#control))
    FIND(Lbl_Time);
    FIND(ProgressBar1);
    FIND(Frm_Time);
    FIND(Frm_Alert);
    FIND(Frm_Button);
    FIND(Frm_Bell1);
    FIND(Frm_Bell2);
    FIND(Frm_Bell3);
    FIND(Check_Mask);
    FIND(Cmd_Slave);
    FIND(Lbl_Phase);
    FIND(Lbl_EndTime);
    FIND(Lbl_Copyright);
    FIND(Cmd_Start);
    FIND(Cmd_Reset_Start);
    FIND(Cmd_Pause);
    FIND(Cmd_Reset);
    FIND(Cmd_End);
    FIND(Txt_Phase);
    FIND(Txt_BackColor);
    FIND(Txt_ForeColor);
    FIND(Txt_Time_Min);
    FIND(Txt_Time_Sec);
    FIND(UpDown_Min);
    FIND(UpDown_Sec);
    FIND(Cmd_SetTime);
    FIND(Lbl_Time_Second);
    FIND(Check_Alert_OnOff1);
    FIND(Check_Alert_OnOff2);
    FIND(Check_Alert_OnOff3);
    FIND(Cmb_BC_Alert);
    FIND(Cmb_FC_Alert);
    FIND(Cmd_PlaySound_Alerm);
    FIND(Cmd_Alerm_Files);
    FIND(Txt_Alerm_Files);
    FIND(Img_Start);
    FIND(Img_ReStart);
    FIND(Img_Stop);
    FIND(Img_Pause);
#undef FIND
    for (std::size_t i = 0; i < c.Cmd_SetTime_1touch.size(); ++i)
        find(c.Cmd_SetTime_1touch[i], QStringLiteral("Cmd_SetTime_1touch_%1").arg(i));
    for (int number = 1; number <= 3; ++number) {
        Bell &bell = c.bells[static_cast<std::size_t>(number - 1)];
        auto name = [number](const char *pattern) { return QString::fromLatin1(pattern).arg(number); };
        find(bell.minutes, name("Txt_Bell_%1_Min"));
        find(bell.seconds, name("Txt_Bell_%1_Sec"));
        find(bell.sound, name("Txt_Bell%1_Files"));
        find(bell.minutesSpin, name("UpDown_Bell%1_Min"));
        find(bell.secondsSpin, name("UpDown_Bell%1_Sec"));
        find(bell.committed, name("Lbl_Bell%1_Second"));
        find(bell.pilot, name("Lbl_Bell%1_Pilot"));
        find(bell.set, name("Cmd_SetBell%1"));
        find(bell.browse, name("Cmd_Bell%1_Files"));
        find(bell.preview, name("Cmd_PlaySound%1"));
        find(bell.onOff[0], name("Option_Bell%1_OnOff_0"));
        find(bell.onOff[1], name("Option_Bell%1_OnOff_1"));
        find(bell.ringer, name("Check_Bell%1_Ringer"));
        find(bell.colour, name("Check_Bell%1_Color"));
        find(bell.back, name("Cmb_BC_Bell%1"));
        find(bell.fore, name("Cmb_FC_Bell%1"));
    }
    find.throwIfAnyWrong();
    return c;
}
