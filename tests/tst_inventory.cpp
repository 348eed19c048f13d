// The main window and the secondary window as built, before start-up: every control under its
// name, of its kind, in its container, in its design-time state.

#include "fakeplatform.h"
#include "forms/inventory.h"
#include "forms/slave.h"
#include "forms/viewer.h"
#include "forms/viewercontrols.h"
#include "support.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

class InventoryTest : public QObject {
    Q_OBJECT

private slots:
    void everyControlExists_data();
    void everyControlExists();
    void geometryInPixels_data();
    void geometryInPixels();
    void colours_data();
    void colours();
    void designTimeTexts_data();
    void designTimeTexts();
    void designTimeTicks_data();
    void designTimeTicks();
    void progressBarDesign();
    void entryBoxesKeepSystemText();
    void colourListsOpenInTheirFont();
    void hiddenStateHolders();
    void fontsAreJapaneseGothic();
    void applicationFontIsGothicAtTheSystemSize();
    void firstInstalledFamily_data();
    void firstInstalledFamily();
    void timersStartDisabled();
    void spinRanges();
    void focusOrderAndInitialFocus();
    void slaveDesign();
    void faultyInventoryStopsStartUp_data();
    void faultyInventoryStopsStartUp();
};

void InventoryTest::everyControlExists_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("container");

    auto row = [](const QString &name, const char *kind, const QString &container) {
        QTest::newRow(qPrintable(name)) << name << QString::fromLatin1(kind) << container;
    };
    for (const char *name :
         {"Lbl_Time", "Lbl_Phase", "Lbl_EndTime", "Lbl_Copyright", "Label4", "Label9", "Label10", "Label11"})
        row(name, "QLabel", "Viewer");
    for (const char *name : {"Frm_Time", "Frm_Alert", "Frm_Button", "Frm_Bell1", "Frm_Bell2", "Frm_Bell3"})
        row(name, "QGroupBox", "Viewer");
    for (const char *name :
         {"Cmd_Slave", "Cmd_Start", "Cmd_Reset_Start", "Cmd_Pause", "Cmd_Reset", "Cmd_End"})
        row(name, "QPushButton", "Viewer");
    for (const char *name : {"Txt_Phase", "Txt_BackColor", "Txt_ForeColor"})
        row(name, "QLineEdit", "Viewer");
    row("Check_Mask", "QAbstractButton", "Viewer");
    row("ProgressBar1", "QProgressBar", "Viewer");

    for (const char *name : {"Txt_Time_Min", "Txt_Time_Sec"})
        row(name, "QLineEdit", "Frm_Time");
    for (const char *name : {"Lbl_Time_Min", "Lbl_Time_Sec", "Lbl_Time_Second"})
        row(name, "QLabel", "Frm_Time");
    row("Cmd_SetTime", "QPushButton", "Frm_Time");
    for (int i = 0; i < 7; ++i)
        row("Cmd_SetTime_1touch_" + QString::number(i), "QPushButton", "Frm_Time");
    for (const char *name : {"UpDown_Min", "UpDown_Sec"})
        row(name, "spin", "Frm_Time");

    for (const char *name : {"Check_Alert_OnOff1", "Check_Alert_OnOff2", "Check_Alert_OnOff3"})
        row(name, "QCheckBox", "Frm_Alert");
    for (const char *name : {"Cmb_BC_Alert", "Cmb_FC_Alert"})
        row(name, "QComboBox", "Frm_Alert");
    for (const char *name : {"Lbl_BC_Alert", "Lbl_FC_Alert"})
        row(name, "QLabel", "Frm_Alert");
    for (const char *name : {"Cmd_PlaySound_Alerm", "Cmd_Alerm_Files"})
        row(name, "QPushButton", "Frm_Alert");
    row("Txt_Alerm_Files", "QLineEdit", "Frm_Alert");

    for (const char *name : {"Img_Start", "Img_ReStart", "Img_Stop", "Img_Pause"})
        row(name, "QLabel", "Frm_Button");

    const char *minHeadings[] = {"Label3", "Label5", "Label8"};
    const char *secHeadings[] = {"Label2", "Label6", "Label7"};
    for (int bell = 1; bell <= 3; ++bell) {
        const QString n = QString::number(bell);
        const QString frame = "Frm_Bell" + n;
        row(minHeadings[bell - 1], "QLabel", frame);
        row(secHeadings[bell - 1], "QLabel", frame);
        for (const QString &name :
             {"Txt_Bell_" + n + "_Min", "Txt_Bell_" + n + "_Sec", "Txt_Bell" + n + "_Files"})
            row(name, "QLineEdit", frame);
        for (const QString &name : {"UpDown_Bell" + n + "_Min", "UpDown_Bell" + n + "_Sec"})
            row(name, "spin", frame);
        for (const QString &name : {"Cmd_SetBell" + n, "Cmd_PlaySound" + n, "Cmd_Bell" + n + "_Files"})
            row(name, "QPushButton", frame);
        for (const QString &name : {"Option_Bell" + n + "_OnOff_0", "Option_Bell" + n + "_OnOff_1"})
            row(name, "QRadioButton", frame);
        for (const QString &name :
             {"Lbl_Bell" + n + "_Pilot", "Lbl_Bell" + n + "_Second", "Lbl_BC_Bell" + n, "Lbl_FC_Bell" + n})
            row(name, "QLabel", frame);
        for (const QString &name : {"Check_Bell" + n + "_Ringer", "Check_Bell" + n + "_Color"})
            row(name, "QCheckBox", frame);
        for (const QString &name : {"Cmb_BC_Bell" + n, "Cmb_FC_Bell" + n})
            row(name, "QComboBox", frame);
    }
}

void InventoryTest::everyControlExists()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QString, container);
    FakePlatform platform;
    Viewer viewer(platform);

    const QList<QWidget *> found = viewer.findChildren<QWidget *>(name);
    QCOMPARE(found.size(), 1);
    QWidget *widget = found.constFirst();
    if (kind == "spin") {
        QVERIFY(widget->metaObject()->indexOfSlot("stepUp()") >= 0);
        QVERIFY(widget->metaObject()->indexOfSlot("stepDown()") >= 0);
    } else {
        QVERIFY2(widget->inherits(kind.toLatin1()), widget->metaObject()->className());
    }
    QCOMPARE(widget->parentWidget()->objectName(), container);
    if (auto *combo = qobject_cast<QComboBox *>(widget)) {
        QVERIFY(!combo->isEditable());
        QCOMPARE(combo->count(), 0); // filled at start-up
    }
}

void InventoryTest::geometryInPixels_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twips");
    QTest::newRow("Lbl_Time") << "Lbl_Time" << QRect(120, 0, 14292, 4692);
    QTest::newRow("ProgressBar1") << "ProgressBar1" << QRect(120, 4800, 14292, 252);
    QTest::newRow("Frm_Alert") << "Frm_Alert" << QRect(5040, 5280, 4452, 1932);
    QTest::newRow("Frm_Bell3") << "Frm_Bell3" << QRect(9960, 7560, 4452, 2172);
    QTest::newRow("Cmd_End") << "Cmd_End" << QRect(13200, 9960, 1212, 372);
    QTest::newRow("Txt_Time_Sec in its frame") << "Txt_Time_Sec" << QRect(1320, 600, 612, 612);
    QTest::newRow("last preset") << "Cmd_SetTime_1touch_6" << QRect(3720, 1440, 612, 372);
    QTest::newRow("bell 3 minutes narrower") << "Txt_Bell_3_Min" << QRect(120, 600, 828, 612);
    QTest::newRow("bell 3 seconds narrower") << "Txt_Bell_3_Sec" << QRect(1320, 600, 600, 612);
    QTest::newRow("bell 3 committed time further left") << "Lbl_Bell3_Second" << QRect(3120, 240, 852, 372);
    QTest::newRow("bell 2 committed time") << "Lbl_Bell2_Second" << QRect(3240, 240, 852, 372);
    QTest::newRow("bell 3 colour heading lower") << "Lbl_FC_Bell3" << QRect(3360, 1824, 492, 252);
    QTest::newRow("pilot lamp") << "Lbl_Bell2_Pilot" << QRect(4180, 180, 252, 252);
    QTest::newRow("Img_Pause") << "Img_Pause" << QRect(3600, 1080, 756, 756);
}

void InventoryTest::geometryInPixels()
{
    QFETCH(QString, name);
    QFETCH(QRect, twips);
    FakePlatform platform;
    Viewer viewer(platform);
    auto px = [](int t) { return static_cast<int>(std::lround(t / 15.0)); };
    QCOMPARE(ctl<QWidget>(viewer, name)->geometry(),
             QRect(px(twips.x()), px(twips.y()), px(twips.width()), px(twips.height())));
}

void InventoryTest::colours_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QPalette::ColorRole>("role");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("display digits green") << "Lbl_Time" << QPalette::WindowText << QColor(0, 255, 0);
    QTest::newRow("display on black") << "Lbl_Time" << QPalette::Window << QColor(0, 0, 0);
    QTest::newRow("frame caption white") << "Frm_Bell2" << QPalette::WindowText << QColor(255, 255, 255);
    QTest::newRow("frame grey") << "Frm_Time" << QPalette::Window << QColor(128, 128, 128);
    QTest::newRow("mask toggle face") << "Check_Mask" << QPalette::Button << QColor(64, 64, 64);
    QTest::newRow("mask toggle text") << "Check_Mask" << QPalette::ButtonText << QColor(255, 255, 255);
    QTest::newRow("run button face") << "Cmd_Start" << QPalette::Button << QColor(128, 128, 128);
    QTest::newRow("set button face") << "Cmd_SetTime" << QPalette::Button << QColor(192, 192, 192);
    QTest::newRow("entry box paper") << "Txt_Bell_1_Min" << QPalette::Base << QColor(224, 224, 224);
    QTest::newRow("pilot lamp grey") << "Lbl_Bell3_Pilot" << QPalette::WindowText << QColor(96, 96, 96);
    QTest::newRow("copyright grey") << "Lbl_Copyright" << QPalette::WindowText << QColor(96, 96, 96);
    QTest::newRow("total seconds silver")
        << "Lbl_Time_Second" << QPalette::WindowText << QColor(192, 192, 192);
    QTest::newRow("colour list") << "Cmb_FC_Alert" << QPalette::Button << QColor(128, 128, 128);
    QTest::newRow("check box text") << "Check_Alert_OnOff2" << QPalette::WindowText << QColor(255, 255, 255);
}

void InventoryTest::colours()
{
    QFETCH(QString, name);
    QFETCH(QPalette::ColorRole, role);
    QFETCH(QColor, colour);
    FakePlatform platform;
    Viewer viewer(platform);
    const QPalette palette = ctl<QWidget>(viewer, name)->palette();
    // The same in every colour group, so an inactive window shows the same colours.
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        QCOMPARE(palette.color(group, role), colour);
    QCOMPARE(viewer.palette().color(QPalette::Window), QColor(128, 128, 128));
}

void InventoryTest::designTimeTexts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::newRow("display") << "Lbl_Time"
                             << "--:--";
    QTest::newRow("state line") << "Lbl_Phase"
                                << "動作状態：セットアップ中";
    QTest::newRow("end line") << "Lbl_EndTime"
                              << "終了予定時刻 --時--分--秒";
    QTest::newRow("total seconds") << "Lbl_Time_Second"
                                   << "300";
    QTest::newRow("minutes") << "Txt_Time_Min"
                             << "5";
    QTest::newRow("seconds") << "Txt_Time_Sec"
                             << "00";
    QTest::newRow("phase marker") << "Txt_Phase"
                                  << "Txt_Phase";
    QTest::newRow("back colour name") << "Txt_BackColor"
                                      << "Txt_BackColor";
    QTest::newRow("fore colour name") << "Txt_ForeColor"
                                      << "Txt_ForeColor";
    QTest::newRow("bell 1 minutes") << "Txt_Bell_1_Min"
                                    << "2";
    QTest::newRow("bell 2 minutes") << "Txt_Bell_2_Min"
                                    << "1";
    QTest::newRow("bell 3 minutes") << "Txt_Bell_3_Min"
                                    << "0";
    QTest::newRow("bell 3 seconds") << "Txt_Bell_3_Sec"
                                    << "00";
    QTest::newRow("bell 1 committed") << "Lbl_Bell1_Second"
                                      << "0s";
    QTest::newRow("bell 3 committed") << "Lbl_Bell3_Second"
                                      << "0s";
    QTest::newRow("alarm path empty") << "Txt_Alerm_Files"
                                      << "";
    QTest::newRow("bell path empty") << "Txt_Bell2_Files"
                                     << "";
    QTest::newRow("mask caption") << "Check_Mask"
                                  << "画面マスク";
    QTest::newRow("exit") << "Cmd_End"
                          << "QORを終了";
    QTest::newRow("apply") << "Cmd_SetTime"
                           << "表示セット";
    QTest::newRow("preset 4") << "Cmd_SetTime_1touch_4"
                              << "10分";
    QTest::newRow("bell on") << "Option_Bell2_OnOff_0"
                             << "予鈴ON";
    QTest::newRow("bell off") << "Option_Bell2_OnOff_1"
                              << "Off";
    QTest::newRow("alarm browse") << "Cmd_Alerm_Files"
                                  << "参照";
    QTest::newRow("bell browse") << "Cmd_Bell3_Files"
                                 << "音源ファイル参照";
    QTest::newRow("preview") << "Cmd_PlaySound_Alerm"
                             << "試聴";
    QTest::newRow("flash option") << "Check_Alert_OnOff2"
                                  << "30秒毎に『超過』の文字表示";
    QTest::newRow("restart legend") << "Label9"
                                    << "Space・F5";
    QTest::newRow("bell frame") << "Frm_Bell3"
                                << "予鈴3";
}

void InventoryTest::designTimeTexts()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    FakePlatform platform;
    Viewer viewer(platform);
    QWidget *widget = ctl<QWidget>(viewer, name);
    QString actual;
    if (auto *label = qobject_cast<QLabel *>(widget))
        actual = label->text();
    else if (auto *edit = qobject_cast<QLineEdit *>(widget))
        actual = edit->text();
    else if (auto *button = qobject_cast<QAbstractButton *>(widget))
        actual = button->text();
    else if (auto *frame = qobject_cast<QGroupBox *>(widget))
        actual = frame->title();
    QCOMPARE(actual, text);
}

void InventoryTest::designTimeTicks_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("ticked");
    for (int bell = 1; bell <= 3; ++bell) {
        const QString n = QString::number(bell);
        QTest::addRow("bell %d on", bell) << "Option_Bell" + n + "_OnOff_0" << false;
        QTest::addRow("bell %d off", bell) << "Option_Bell" + n + "_OnOff_1" << true;
        QTest::addRow("bell %d rings", bell) << "Check_Bell" + n + "_Ringer" << true;
        QTest::addRow("bell %d colours", bell) << "Check_Bell" + n + "_Color" << true;
    }
    for (int option = 1; option <= 3; ++option)
        QTest::addRow("alert option %d", option) << "Check_Alert_OnOff" + QString::number(option) << true;
    QTest::newRow("mask toggle pressed") << "Check_Mask" << true;
}

void InventoryTest::designTimeTicks()
{
    QFETCH(QString, name);
    QFETCH(bool, ticked);
    FakePlatform platform;
    Viewer viewer(platform);
    auto *button = ctl<QAbstractButton>(viewer, name);
    QVERIFY(button->isCheckable());
    QCOMPARE(button->isChecked(), ticked);
}

void InventoryTest::progressBarDesign()
{
    FakePlatform platform;
    Viewer viewer(platform);
    auto *bar = ctl<QProgressBar>(viewer, "ProgressBar1");
    QCOMPARE(bar->minimum(), 0);
    QCOMPARE(bar->maximum(), 100);
    QCOMPARE(bar->value(), 0);
}

void InventoryTest::entryBoxesKeepSystemText()
{
    FakePlatform platform;
    Viewer viewer(platform);
    // The frames around them have white captions; their text stays the system's, in every group.
    for (const char *name : {"Txt_Time_Min", "Txt_Bell_1_Min", "Txt_Bell_3_Sec"}) {
        auto *box = ctl<QLineEdit>(viewer, name);
        QCOMPARE(box->parentWidget()->palette().color(QPalette::Text), QColor(Qt::white));
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            QCOMPARE(box->palette().color(group, QPalette::Text),
                     QApplication::palette(box).color(group, QPalette::Text));
    }
}

void InventoryTest::colourListsOpenInTheirFont()
{
    FakePlatform platform;
    Viewer viewer(platform);
    viewer.Form_Load();
    auto *list = ctl<QComboBox>(viewer, "Cmb_FC_Bell2");
    // The drop-down window is not built before the list is first opened...
    QVERIFY(list->findChild<QAbstractItemView *>() == nullptr);
    // ...and opens in the list's font all the same, and follows it afterwards.
    QCOMPARE(list->view()->font(), list->font());
    QFont larger = list->font();
    larger.setPointSizeF(20);
    list->setFont(larger);
    QCOMPARE(list->view()->font().pointSizeF(), 20.0);
}

void InventoryTest::hiddenStateHolders()
{
    FakePlatform platform;
    Viewer viewer(platform);
    viewer.show();
    const QStringList hidden = {"Txt_Phase",        "Txt_BackColor",   "Txt_ForeColor",   "Txt_Alerm_Files",
                                "Txt_Bell1_Files",  "Txt_Bell2_Files", "Txt_Bell3_Files", "Lbl_Bell1_Second",
                                "Lbl_Bell2_Second", "Lbl_Bell3_Second"};
    for (const QString &name : hidden)
        QVERIFY2(ctl<QWidget>(viewer, name)->isHidden(), qPrintable(name));
    // Before start-up every frame is still shown; start-up hides five of them.
    for (const char *frame : {"Frm_Time", "Frm_Alert", "Frm_Button", "Frm_Bell1", "Frm_Bell2", "Frm_Bell3"})
        QVERIFY2(ctl<QWidget>(viewer, frame)->isVisible(), frame);
    QVERIFY(ctl<QWidget>(viewer, "Lbl_Time_Second")->isVisible());
}

void InventoryTest::fontsAreJapaneseGothic()
{
    FakePlatform platform;
    Viewer viewer(platform);
    const QFont display = ctl<QWidget>(viewer, "Lbl_Time")->font();
    // One face, the first wanted one the machine has (the test machines have IPAGothic at least).
    QCOMPARE(display.families().size(), 1);
    QVERIFY(gothicFamilies().contains(display.families().first()));
    QVERIFY(QFontDatabase::families().contains(display.families().first(), Qt::CaseInsensitive));
    QCOMPARE(display.pointSizeF(), 240.0);
    const QFont frame = ctl<QWidget>(viewer, "Frm_Alert")->font();
    QVERIFY(frame.bold());
    QCOMPARE(frame.pointSizeF(), 12.0);
    QCOMPARE(ctl<QWidget>(viewer, "Cmd_SetTime")->font().pointSizeF(), 16.2);
    QCOMPARE(ctl<QWidget>(viewer, "Check_Mask")->font().pointSizeF(), 10.2);
    QVERIFY(ctl<QWidget>(viewer, "Check_Mask")->font().bold());
    // Whatever face the machine substitutes must draw kanji, or the captions turn into boxes.
    QVERIFY(QFontMetrics(display).inFont(QChar(u'超')));
    QVERIFY(QFontMetrics(frame).inFont(QChar(u'鈴')));
}

void InventoryTest::applicationFontIsGothicAtTheSystemSize()
{
    const QFont system = QApplication::font();
    useGothicApplicationFont();
    const QFont font = QApplication::font();
    QApplication::setFont(system);
    QCOMPARE(font.families(), installedGothicFamilies());
    QVERIFY(QFontDatabase::families().contains(font.families().value(0), Qt::CaseInsensitive));
    QCOMPARE(font.pointSizeF(), system.pointSizeF());
    QCOMPARE(font.pixelSize(), system.pixelSize());
    QVERIFY(QFontMetrics(font).inFont(QChar(u'秒')));
}

namespace {

const QStringList kWantedFaces = {QStringLiteral("ＭＳ ゴシック"), QStringLiteral("MS Gothic"),
                                  QStringLiteral("IPAGothic")};

} // namespace

void InventoryTest::firstInstalledFamily_data()
{
    QTest::addColumn<QStringList>("installed");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("the designed face")
        << QStringList{"DejaVu Sans", "ＭＳ ゴシック", "IPAGothic"} << QStringList{"ＭＳ ゴシック"};
    QTest::newRow("a later one") << QStringList{"DejaVu Sans", "IPAGothic"} << QStringList{"IPAGothic"};
    QTest::newRow("case differs") << QStringList{"ipagothic"} << QStringList{"IPAGothic"};
    QTest::newRow("none: all, for the fallback") << QStringList{"DejaVu Sans"} << kWantedFaces;
    QTest::newRow("no fonts at all") << QStringList{} << kWantedFaces;
    QTest::newRow("a name that only contains one") << QStringList{"IPAGothic Extra"} << kWantedFaces;
}

void InventoryTest::firstInstalledFamily()
{
    QFETCH(QStringList, installed);
    QFETCH(QStringList, expected);
    QCOMPARE(::firstInstalledFamily(kWantedFaces, installed), expected);
}

void InventoryTest::timersStartDisabled()
{
    FakePlatform platform;
    Viewer viewer(platform);
    auto *tick = ctl<QTimer>(viewer, "Timer_PresentTime");
    auto *blink = ctl<QTimer>(viewer, "Timer_Alert");
    QCOMPARE(tick->parent(), &viewer);
    QCOMPARE(tick->interval(), 500);
    QCOMPARE(blink->interval(), 250);
    QVERIFY(!tick->isActive());
    QVERIFY(!blink->isActive());
}

void InventoryTest::spinRanges()
{
    FakePlatform platform;
    Viewer viewer(platform);
    for (const auto &[spin, maximum] : {std::pair{"UpDown_Min", 999},
                                        {"UpDown_Sec", 59},
                                        {"UpDown_Bell2_Min", 999},
                                        {"UpDown_Bell3_Sec", 59}}) {
        QWidget *widget = ctl<QWidget>(viewer, spin);
        QCOMPARE(widget->property("minimum").toInt(), 0);
        QCOMPARE(widget->property("maximum").toInt(), maximum);
    }
}

void InventoryTest::focusOrderAndInitialFocus()
{
    FakePlatform platform;
    Viewer viewer(platform);
    viewer.Form_Load();
    viewer.show();
    QVERIFY(QTest::qWaitForWindowActive(&viewer, kPatienceMs));
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Cmd_Start"));

    // Tab walks the visible stops in the design order; the frames start-up hid are skipped.
    const QStringList expected = {"Cmd_SetTime",
                                  "Txt_Time_Sec",
                                  "Txt_Time_Min",
                                  "Cmd_SetTime_1touch_0",
                                  "Cmd_SetTime_1touch_1",
                                  "Cmd_SetTime_1touch_2",
                                  "Cmd_SetTime_1touch_3",
                                  "Cmd_SetTime_1touch_4",
                                  "Cmd_SetTime_1touch_5",
                                  "Cmd_SetTime_1touch_6",
                                  "Cmd_Pause",
                                  "Cmd_Reset",
                                  "Cmd_Reset_Start",
                                  "Check_Mask",
                                  "Cmd_Slave",
                                  "Cmd_End",
                                  "Cmd_Start"};
    for (const QString &name : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), name);
    }
}

void InventoryTest::slaveDesign()
{
    Slave slave;
    QVERIFY(slave.parentWidget() == nullptr);
    QVERIFY(slave.windowTitle().startsWith(QStringLiteral("Podium Watch (QOR)")));
    QCOMPARE(slave.palette().color(QPalette::Window), QColor(0, 0, 0));
    auto *time = ctl<QLabel>(slave, "Lbl_Time");
    QCOMPARE(time->text(), QStringLiteral("--:--"));
    QCOMPARE(time->palette().color(QPalette::WindowText), QColor(0, 255, 0));
    QVERIFY(!time->autoFillBackground());
    QCOMPARE(time->geometry(), QRect(4, 187, 953, 321));
}

void InventoryTest::faultyInventoryStopsStartUp_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("fault");
    QTest::newRow("missing") << "Cmd_Start"
                             << "missing";
    QTest::newRow("of another kind") << "Txt_Phase"
                                     << "kind";
    QTest::newRow("in a container that does not exist") << "Cmd_SetBell2"
                                                        << "container";
    QTest::newRow("named twice") << "Lbl_EndTime"
                                 << "twice";
}

void InventoryTest::faultyInventoryStopsStartUp()
{
    QFETCH(QString, name);
    QFETCH(QString, fault);
    std::vector<ControlRow> rows = viewerInventory();
    const auto row =
        std::find_if(rows.begin(), rows.end(), [&](const ControlRow &r) { return r.name == name; });
    QVERIFY(row != rows.end());
    if (fault == "missing")
        rows.erase(row);
    else if (fault == "kind")
        row->kind = ControlKind::Label;
    else if (fault == "container")
        row->container = "Frm_Bel2";
    else
        rows.push_back(*row);
    QWidget window;
    try {
        ViewerControls::resolve(buildControls(&window, rows));
        QFAIL("the faulty inventory was taken");
    } catch (const std::runtime_error &error) {
        QVERIFY2(QString::fromUtf8(error.what()).contains(name), error.what());
    }
}

QTEST_MAIN(InventoryTest)
#include "tst_inventory.moc"
