#pragma once

#include <QHash>
#include <QString>
#include <array>

class ClickLabel;
class DisplayLabel;
class SpinButton;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QWidget;

// The main window's controls that its handlers work with, each looked up by name once, right
// after they are built, and held under that name from then on (as a form built with Qt Designer
// holds its Ui class). A control that is missing or of another kind stops start-up there, with
// its name, instead of surfacing as a dead button in front of an audience.
struct ViewerControls {
    DisplayLabel *Lbl_Time = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QGroupBox *Frm_Time = nullptr, *Frm_Alert = nullptr, *Frm_Button = nullptr;
    QGroupBox *Frm_Bell1 = nullptr, *Frm_Bell2 = nullptr, *Frm_Bell3 = nullptr;
    QPushButton *Check_Mask = nullptr;
    QPushButton *Cmd_Slave = nullptr;
    QLabel *Lbl_Phase = nullptr, *Lbl_EndTime = nullptr;
    ClickLabel *Lbl_Copyright = nullptr;
    QPushButton *Cmd_Start = nullptr, *Cmd_Reset_Start = nullptr, *Cmd_Pause = nullptr, *Cmd_Reset = nullptr;
    QPushButton *Cmd_End = nullptr;
    QLineEdit *Txt_Phase = nullptr, *Txt_BackColor = nullptr, *Txt_ForeColor = nullptr;

    QLineEdit *Txt_Time_Min = nullptr, *Txt_Time_Sec = nullptr;
    SpinButton *UpDown_Min = nullptr, *UpDown_Sec = nullptr;
    QPushButton *Cmd_SetTime = nullptr;
    std::array<QPushButton *, 7> Cmd_SetTime_1touch{};
    QLabel *Lbl_Time_Second = nullptr;

    QCheckBox *Check_Alert_OnOff1 = nullptr, *Check_Alert_OnOff2 = nullptr, *Check_Alert_OnOff3 = nullptr;
    QComboBox *Cmb_BC_Alert = nullptr, *Cmb_FC_Alert = nullptr;
    QPushButton *Cmd_PlaySound_Alerm = nullptr, *Cmd_Alerm_Files = nullptr;
    QLineEdit *Txt_Alerm_Files = nullptr;

    ClickLabel *Img_Start = nullptr, *Img_ReStart = nullptr, *Img_Stop = nullptr, *Img_Pause = nullptr;

    // The three warning bells are one family: bells[0] holds Txt_Bell_1_Min, Lbl_Bell1_Second and
    // the rest of bell 1's controls, and so on.
    struct Bell {
        QLineEdit *minutes = nullptr, *seconds = nullptr, *sound = nullptr;
        SpinButton *minutesSpin = nullptr, *secondsSpin = nullptr;
        QLabel *committed = nullptr, *pilot = nullptr;
        QPushButton *set = nullptr, *browse = nullptr, *preview = nullptr;
        std::array<QRadioButton *, 2> onOff{}; // index 0 "予鈴ON", 1 "Off"
        QCheckBox *ringer = nullptr, *colour = nullptr;
        QComboBox *back = nullptr, *fore = nullptr;
    };
    std::array<Bell, 3> bells{};

    // Looks every control above up among the built ones. Throws std::runtime_error naming every
    // control that is missing or of another kind.
    static ViewerControls resolve(const QHash<QString, QWidget *> &built);
};
