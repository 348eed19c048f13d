#include "forms/inventory.h"

#include "engine/runstate.h"

#include "forms/colorcombobox.h"
#include "forms/colors.h"
#include "forms/displaylabel.h"
#include "forms/limitedlineedit.h"
#include "forms/spinbutton.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QFontDatabase>
#include <QGroupBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <cmath>
#include <stdexcept>

using enum ControlKind;
using namespace ControlFlag;

namespace {

constexpr int White = 0xFFFFFF;
constexpr int Grey = 0x808080;
constexpr int Silver = 0xC0C0C0;
constexpr int Paper = 0xE0E0E0;
constexpr int Lamp = 0x606060;

// One bell frame. The three frames are alike but for a few names, the initial minutes and a few
// twips of bell 3.
std::vector<ControlRow> bellRows(int bell)
{
    struct Differences {
        const char *minHeading, *secHeading, *minutes;
        int minWidth, secWidth, secondLeft, colourLabelTop;
    };
    static constexpr Differences differences[] = {
        {"Label3", "Label2", "2", 852, 612, 3240, 1800},
        {"Label5", "Label6", "1", 852, 612, 3240, 1800},
        {"Label8", "Label7", "0", 828, 600, 3120, 1824},
    };
    const Differences &d = differences[bell - 1];
    const QString n = QString::number(bell);
    const QString frame = "Frm_Bell" + n;
    // clang-format off
    return {
        {d.minHeading, Label, frame, "Min", 120, 360, 492, 372, White, kNoColor, 12},
        {"Txt_Bell_" + n + "_Min", TextBox, frame, d.minutes, 120, 600, d.minWidth, 612, kNoColor, Paper, 24, Right | TimeBox},
        {"UpDown_Bell" + n + "_Min", Spin, frame, "", 960, 600, 252, 612, kNoColor, kNoColor, 0, 0,
         "Txt_Bell_" + n + "_Min", 0, 999},
        {d.secHeading, Label, frame, "Sec", 1320, 360, 492, 372, White, kNoColor, 12},
        {"Txt_Bell_" + n + "_Sec", TextBox, frame, "00", 1320, 600, d.secWidth, 612, kNoColor, Paper, 24,
         Right | TwoChars | PadShifts | TimeBox},
        {"UpDown_Bell" + n + "_Sec", Spin, frame, "", 1920, 600, 252, 612, kNoColor, kNoColor, 0, 0,
         "Txt_Bell_" + n + "_Sec", 0, 59},
        {"Cmd_SetBell" + n, Button, frame, "Set", 2280, 600, 852, 564, kNoColor, Silver, 16.2},
        {"Option_Bell" + n + "_OnOff_0", Option, frame, "予鈴ON", 3240, 600, 1092, 372, White, Grey, 12},
        {"Option_Bell" + n + "_OnOff_1", Option, frame, "Off", 3240, 960, 1092, 372, White, Grey, 12, Ticked},
        {"Lbl_Bell" + n + "_Pilot", Label, frame, "●", 4180, 180, 252, 252, Lamp, kNoColor, 12},
        {"Lbl_Bell" + n + "_Second", Label, frame, "0s", d.secondLeft, 240, 852, 372, Silver, kNoColor, 7.8,
         Hidden | Right},
        {"Check_Bell" + n + "_Ringer", CheckBox, frame, "ベルを鳴らす", 120, 1440, 1932, 300, White, Grey, 12, Ticked},
        {"Cmd_PlaySound" + n, Button, frame, "試聴", 2280, 1460, 612, 252, kNoColor, Silver, 6},
        {"Cmd_Bell" + n + "_Files", Button, frame, "音源ファイル参照", 3120, 1460, 1212, 252, kNoColor, Silver, 6},
        {"Txt_Bell" + n + "_Files", TextBox, frame, "", 1920, 1440, 1572, 264, kNoColor, Grey, 7.8, Hidden},
        {"Check_Bell" + n + "_Color", CheckBox, frame, "画面色の変化", 120, 1800, 1812, 300, White, Grey, 12, Ticked},
        {"Lbl_BC_Bell" + n, Label, frame, "背景", 2160, d.colourLabelTop, 492, 252, White, kNoColor, 7.8},
        {"Cmb_BC_Bell" + n, ComboBox, frame, "", 2520, 1780, 612, 336, White, Grey, 12},
        {"Lbl_FC_Bell" + n, Label, frame, "文字", 3360, d.colourLabelTop, 492, 252, White, kNoColor, 7.8},
        {"Cmb_FC_Bell" + n, ComboBox, frame, "", 3720, 1780, 612, 336, White, Grey, 12},
    };
    // clang-format on
}

QWidget *createControl(const ControlRow &row, QWidget *container)
{
    switch (row.kind) {
    case Label:
        if (row.flags & FitsText)
            return new DisplayLabel(container);
        return new ClickLabel(container);
    case Image:
        return new ClickLabel(container);
    case TextBox:
        return new LimitedLineEdit(container);
    case Frame:
        return new QGroupBox(container);
    case Button:
    case Toggle:
        return new QPushButton(container);
    case CheckBox:
        return new QCheckBox(container);
    case Option:
        return new QRadioButton(container);
    case ComboBox:
        return new ColorComboBox(container);
    case Spin:
        return new SpinButton(container);
    case ProgressBar:
        return new QProgressBar(container);
    }
    return new QWidget(container);
}

// Every role marked as the widget's own, or the ones not marked would still be inherited from
// the container. Marking them keeps the palette shared with its source.
QPalette explicitPalette(QPalette palette)
{
    palette.setResolveMask(~QPalette::ResolveMask(0));
    return palette;
}

Qt::Alignment alignment(unsigned flags)
{
    if (flags & Right)
        return Qt::AlignRight | Qt::AlignVCenter;
    if (flags & Centre)
        return Qt::AlignCenter;
    return Qt::AlignLeft | Qt::AlignVCenter;
}

// Naming a face the machine lacks costs a search through every font for each size and script the
// controls use: `families` is installedGothicFamilies(), looked up once for all the controls.
QFont gothicFont(double points, bool bold, const QStringList &families)
{
    QFont font;
    font.setFamilies(families);
    font.setStyleHint(QFont::Monospace);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

void applyRow(const ControlRow &row, QWidget *widget, const QHash<QString, QWidget *> &built,
              const QStringList &families)
{
    widget->setObjectName(row.name);
    widget->setGeometry(twipsToPixels(row.left), twipsToPixels(row.top), twipsToPixels(row.width),
                        twipsToPixels(row.height));
    if (row.points > 0)
        widget->setFont(gothicFont(row.points, row.flags & Bold, families));
    // Start from the system's colours, not the container's: a text box in a white-on-grey frame
    // keeps the system's black text unless its own row says otherwise.
    widget->setPalette(explicitPalette(QApplication::palette(widget)));
    if (row.fore != kNoColor)
        setForeColor(widget, QColor::fromRgb(static_cast<QRgb>(row.fore)));
    if (row.back != kNoColor) {
        setBackColor(widget, QColor::fromRgb(static_cast<QRgb>(row.back)));
        widget->setAutoFillBackground(row.kind != TextBox);
    }
    if (row.flags & Hidden)
        widget->setVisible(false);

    const bool ticked = row.flags & Ticked;
    if (auto *label = qobject_cast<QLabel *>(widget)) {
        label->setText(row.text);
        label->setAlignment(alignment(row.flags));
        label->setAutoFillBackground(row.flags & Opaque);
        if (row.kind == Image)
            label->setScaledContents(true);
    } else if (auto *edit = qobject_cast<LimitedLineEdit *>(widget)) {
        edit->setText(row.text);
        edit->setAlignment(alignment(row.flags));
        edit->setTypingLimit(row.flags & TwoChars ? 2 : 0);
        edit->setReplacesPaddingZero(row.flags & PadShifts);
        edit->setNarrowsDigits(row.flags & TimeBox);
    } else if (auto *frame = qobject_cast<QGroupBox *>(widget)) {
        frame->setTitle(row.text);
    } else if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
        button->setText(row.text);
        button->setCheckable(row.kind != Button);
        button->setChecked(ticked);
    } else if (auto *spin = qobject_cast<SpinButton *>(widget)) {
        auto *buddy = qobject_cast<QLineEdit *>(built.value(row.buddy));
        if (!buddy)
            throw std::runtime_error("Spin " + row.name.toStdString() + " has no text box " +
                                     row.buddy.toStdString());
        spin->setBuddy(buddy);
        spin->setRange(row.minimum, row.maximum);
    } else if (auto *bar = qobject_cast<QProgressBar *>(widget)) {
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setTextVisible(false);
    }
}

} // namespace

int twipsToPixels(int twips)
{
    return static_cast<int>(std::lround(twips / 15.0));
}

QStringList gothicFamilies()
{
    return {QStringLiteral("ＭＳ ゴシック"),
            QStringLiteral("MS Gothic"),
            QStringLiteral("IPAGothic"),
            QStringLiteral("IPAゴシック"),
            QStringLiteral("Noto Sans Mono CJK JP"),
            QStringLiteral("Noto Sans CJK JP")};
}

QStringList firstInstalledFamily(const QStringList &wanted, const QStringList &installed)
{
    for (const QString &family : wanted) {
        if (installed.contains(family, Qt::CaseInsensitive))
            return {family};
    }
    return wanted;
}

QStringList installedGothicFamilies()
{
    return firstInstalledFamily(gothicFamilies(), QFontDatabase::families());
}

void useGothicApplicationFont()
{
    QFont font = QApplication::font();
    font.setFamilies(installedGothicFamilies());
    QApplication::setFont(font);
}

std::vector<ControlRow> viewerInventory()
{
    // clang-format off
    std::vector<ControlRow> rows = {
        {"Lbl_Time", Label, "", "--:--", 120, 0, 14292, 4692, 0x00FF00, 0x000000, 240, Centre | Opaque | FitsText},
        {"ProgressBar1", ProgressBar, "", "", 120, 4800, 14292, 252},
        {"Frm_Time", Frame, "", "総計測時間", 120, 5280, 4452, 1932, White, Grey, 12, Bold},
        {"Frm_Alert", Frame, "", "警告表示", 5040, 5280, 4452, 1932, White, Grey, 12, Bold},
        {"Frm_Button", Frame, "", "操作ボタン", 9960, 5280, 4452, 1932, White, Grey, 12, Bold},
        {"Frm_Bell1", Frame, "", "予鈴1", 120, 7560, 4452, 2172, White, Grey, 12, Bold},
        {"Frm_Bell2", Frame, "", "予鈴2", 5040, 7560, 4452, 2172, White, Grey, 12, Bold},
        {"Frm_Bell3", Frame, "", "予鈴3", 9960, 7560, 4452, 2172, White, Grey, 12, Bold},
        {"Check_Mask", Toggle, "", "画面マスク", 120, 9960, 1452, 372, White, 0x404040, 10.2, Bold | Ticked},
        {"Cmd_Slave", Button, "", "Slave", 1560, 9960, 732, 372, kNoColor, Grey},
        {"Lbl_Phase", Label, "", runStateLine(RunState::Setup), 4908, 9840, 4692, 252, kNoColor, kNoColor, 12, Centre},
        {"Lbl_EndTime", Label, "", "終了予定時刻 --時--分--秒", 4908, 10200, 4692, 252, kNoColor, kNoColor, 12, Centre},
        {"Lbl_Copyright", Label, "", "Copyright (C) QOR", 120, 10340, 4692, 252, Lamp, kNoColor, 6},
        {"Cmd_Start", Button, "", "Start", 9960, 9960, 732, 372, kNoColor, Grey, 7.8},
        {"Cmd_Reset_Start", Button, "", "ReStart", 10680, 9960, 732, 372, kNoColor, Grey, 7.8},
        {"Cmd_Pause", Button, "", "Pause", 11400, 9960, 732, 372, kNoColor, Grey, 7.8},
        {"Cmd_Reset", Button, "", "Reset", 12120, 9960, 732, 372, kNoColor, Grey, 7.8},
        {"Cmd_End", Button, "", "QORを終了", 13200, 9960, 1212, 372, kNoColor, Grey, 7.8},
        {"Label4", Label, "", "F1", 9960, 10320, 732, 132, kNoColor, kNoColor, 6, Centre},
        {"Label9", Label, "", "Space・F5", 10680, 10320, 732, 132, kNoColor, kNoColor, 6, Centre},
        {"Label10", Label, "", "F7", 11400, 10320, 732, 132, kNoColor, kNoColor, 6, Centre},
        {"Label11", Label, "", "F9", 12120, 10320, 732, 132, kNoColor, kNoColor, 6, Centre},
        {"Txt_Phase", TextBox, "", "Txt_Phase", 840, 2880, 1692, 372, kNoColor, kNoColor, 12, Hidden},
        {"Txt_BackColor", TextBox, "", "Txt_BackColor", 840, 3360, 1692, 372, kNoColor, kNoColor, 12, Hidden},
        {"Txt_ForeColor", TextBox, "", "Txt_ForeColor", 840, 3840, 1692, 372, kNoColor, kNoColor, 12, Hidden},

        {"Lbl_Time_Min", Label, "Frm_Time", "Min", 120, 360, 492, 372, White, kNoColor, 12},
        {"Txt_Time_Min", TextBox, "Frm_Time", "5", 120, 600, 852, 612, kNoColor, Paper, 24, Right | TimeBox},
        {"UpDown_Min", Spin, "Frm_Time", "", 960, 600, 252, 612, kNoColor, kNoColor, 0, 0, "Txt_Time_Min", 0, 999},
        {"Lbl_Time_Sec", Label, "Frm_Time", "Sec", 1320, 360, 492, 372, White, kNoColor, 12},
        {"Txt_Time_Sec", TextBox, "Frm_Time", "00", 1320, 600, 612, 612, kNoColor, Paper, 24, Right | TwoChars | TimeBox},
        {"UpDown_Sec", Spin, "Frm_Time", "", 1920, 600, 252, 612, kNoColor, kNoColor, 0, 0, "Txt_Time_Sec", 0, 59},
        {"Cmd_SetTime", Button, "Frm_Time", "表示セット", 2280, 600, 2064, 612, kNoColor, Silver, 16.2},
        {"Lbl_Time_Second", Label, "Frm_Time", "300", 3480, 240, 852, 372, Silver, kNoColor, 7.8, Right},

        {"Check_Alert_OnOff1", CheckBox, "Frm_Alert", "超過時色設定", 240, 480, 1812, 300, White, Grey, 12, Ticked},
        {"Lbl_BC_Alert", Label, "Frm_Alert", "背景", 2160, 504, 492, 252, White, kNoColor, 7.8},
        {"Cmb_BC_Alert", ComboBox, "Frm_Alert", "", 2520, 460, 612, 336, White, Grey, 12},
        {"Lbl_FC_Alert", Label, "Frm_Alert", "文字", 3360, 504, 492, 252, White, kNoColor, 7.8},
        {"Cmb_FC_Alert", ComboBox, "Frm_Alert", "", 3720, 460, 612, 336, White, Grey, 12},
        {"Check_Alert_OnOff2", CheckBox, "Frm_Alert", "30秒毎に『超過』の文字表示", 240, 960, 4092, 300, White, Grey, 12,
         Ticked},
        {"Check_Alert_OnOff3", CheckBox, "Frm_Alert", "30秒毎に警告ベルを鳴動", 240, 1440, 4092, 300, White, Grey, 12,
         Ticked},
        {"Cmd_PlaySound_Alerm", Button, "Frm_Alert", "試聴", 3360, 1440, 492, 252, kNoColor, Silver, 6},
        {"Cmd_Alerm_Files", Button, "Frm_Alert", "参照", 3840, 1440, 492, 252, kNoColor, Silver, 6},
        {"Txt_Alerm_Files", TextBox, "Frm_Alert", "", 2760, 1560, 1572, 264, kNoColor, Grey, 7.8, Hidden},

        {"Img_Start", Image, "Frm_Button", "", 240, 240, 1596, 1596},
        {"Img_ReStart", Image, "Frm_Button", "", 1920, 240, 1596, 1596},
        {"Img_Stop", Image, "Frm_Button", "", 3600, 240, 750, 750},
        {"Img_Pause", Image, "Frm_Button", "", 3600, 1080, 756, 756},
    };
    // clang-format on
    for (int index = 0; index < 7; ++index) {
        static constexpr const char *captions[] = {"1分", "3分", "5分", "7分", "10分", "12分", "15分"};
        rows.push_back({"Cmd_SetTime_1touch_" + QString::number(index), Button, "Frm_Time", captions[index],
                        120 + 600 * index, 1440, 612, 372, kNoColor, Silver, 10.2});
    }
    for (int bell = 1; bell <= 3; ++bell) {
        const std::vector<ControlRow> bellControls = bellRows(bell);
        rows.insert(rows.end(), bellControls.begin(), bellControls.end());
    }
    return rows;
}

std::vector<ControlRow> slaveInventory()
{
    return {
        {"Lbl_Time", Label, "", "--:--", 54, 2808, 14292, 4812, 0x00FF00, kNoColor, 240, Centre | FitsText},
    };
}

QStringList viewerFocusOrder()
{
    // clang-format off
    return {
        "Cmd_Start",
        "Cmd_SetTime", "Txt_Time_Sec", "UpDown_Min", "Txt_Time_Min", "UpDown_Sec",
        "Cmd_SetTime_1touch_0", "Cmd_SetTime_1touch_1", "Cmd_SetTime_1touch_2", "Cmd_SetTime_1touch_3",
        "Cmd_SetTime_1touch_4", "Cmd_SetTime_1touch_5", "Cmd_SetTime_1touch_6",
        "Cmd_Pause", "Cmd_Reset", "Cmd_Reset_Start",
        "Txt_Bell_1_Min", "Txt_Bell_1_Sec", "Cmd_SetBell1", "UpDown_Bell1_Min", "UpDown_Bell1_Sec",
        "Check_Bell1_Ringer", "Check_Bell1_Color", "Cmd_Bell1_Files", "Option_Bell1_OnOff_0", "Option_Bell1_OnOff_1",
        "Option_Bell2_OnOff_1", "Option_Bell2_OnOff_0", "Cmd_Bell2_Files", "Check_Bell2_Color", "Check_Bell2_Ringer",
        "Cmd_SetBell2", "Txt_Bell_2_Sec", "Txt_Bell_2_Min", "UpDown_Bell2_Min", "UpDown_Bell2_Sec",
        "Cmd_Bell3_Files", "Txt_Bell_3_Min", "Txt_Bell_3_Sec", "Cmd_SetBell3", "Check_Bell3_Ringer",
        "Check_Bell3_Color", "Option_Bell3_OnOff_0", "Option_Bell3_OnOff_1", "UpDown_Bell3_Min", "UpDown_Bell3_Sec",
        "Check_Alert_OnOff1", "Check_Alert_OnOff2", "Check_Alert_OnOff3",
        "Check_Mask",
        "Cmd_PlaySound1", "Cmd_PlaySound2", "Cmd_PlaySound3", "Cmd_PlaySound_Alerm", "Cmd_Alerm_Files",
        "Cmd_Slave", "Cmd_End",
        "Cmb_BC_Bell1", "Cmb_FC_Bell1", "Cmb_FC_Bell2", "Cmb_BC_Bell2", "Cmb_FC_Bell3", "Cmb_BC_Bell3",
        "Cmb_FC_Alert", "Cmb_BC_Alert",
    };
    // clang-format on
}

QHash<QString, QWidget *> buildControls(QWidget *window, const std::vector<ControlRow> &rows)
{
    QHash<QString, QWidget *> built;
    const QStringList families = installedGothicFamilies();
    for (const ControlRow &row : rows) {
        QWidget *container = row.container.isEmpty() ? window : built.value(row.container);
        // A misspelt container would put the control somewhere the design never meant; a name
        // given twice would hide the first control from every handler.
        if (!container)
            throw std::runtime_error("Control " + row.name.toStdString() + " is in " +
                                     row.container.toStdString() + ", which comes nowhere before it");
        if (built.contains(row.name))
            throw std::runtime_error("Two controls are named " + row.name.toStdString());
        QWidget *widget = createControl(row, container);
        applyRow(row, widget, built, families);
        built.insert(row.name, widget);
    }
    return built;
}
