// The countdown end to end with the fake clock: applying a total, the tick, run control and the
// over-time blink.

#include "forms/slave.h"
#include "rig.h"

#include <QCheckBox>
#include <QProgressBar>

namespace {

const QColor kBlack(0, 0, 0), kGreen(0, 255, 0), kRed(255, 0, 0), kWhite(255, 255, 255), kYellow(255, 255, 0),
    kBlue(0, 0, 255), kGrey(128, 128, 128);
const QString kRefused = QStringLiteral("時間として取り扱えない書式です。");

} // namespace

class CountdownTest : public QObject {
    Q_OBJECT

private slots:
    void applyDesignValues();
    void applyConvertsTheEntry_data();
    void applyConvertsTheEntry();
    void applyRefusesAndChangesNothing_data();
    void applyRefusesAndChangesNothing();
    void presetsFillTheBoxesOnly();
    void startAnchorsTheEndTime();
    void displayChangesOncePerSecond();
    void partsOfASecond_data();
    void partsOfASecond();
    void zeroSecondAndFirstOverTimeSecond();
    void blinkTimeline();
    void blinkAndFlashWithoutAlertColours();
    void flashEveryThirtySeconds();
    void halfMinuteWordAndAlarmAreIndependent_data();
    void halfMinuteWordAndAlarmAreIndependent();
    void twoBellsInOneSecond();
    void bellAtZeroIsDrownedByTheAlarm();
    void bellSwitchedOffNeverFires();
    void negativeBellFiresInOverTime();
    void progressBar();
    void windowBackgroundFollowsTheMask();
    void slaveMirroredOnlyWhenShown();
    void freezesAt546m08s();
    void pauseAndResumeReanchor();
    void restartFromPauseUsesTheFullTime();
    void startRefusesADisplayThatIsNotATime_data();
    void startRefusesADisplayThatIsNotATime();
    void overTimeSurvivesAPause_data();
    void overTimeSurvivesAPause();
    void applyShowsEverywhereAtOnce();
    void resetDisarmsAnArmedBlink();
    void pauseLeavesAnArmedBlink();
    void imageButtonsPressTheRunButtons();
};

void CountdownTest::applyDesignValues()
{
    Rig rig;
    rig.viewer.show();
    rig.button("Cmd_SetTime")->click();
    QCOMPARE(rig.display(), QStringLiteral("5:00"));
    QCOMPARE(rig.displayBack(), kBlack);
    QCOMPARE(rig.displayFore(), kGreen);
    QCOMPARE(rig.label("Lbl_Time_Second")->text(), QStringLiteral("300"));
    QCOMPARE(rig.label("Lbl_Phase")->text(), QStringLiteral("動作状態：セットアップ中"));
    QCOMPARE(rig.label("Lbl_EndTime")->text(), QStringLiteral("終了予定時刻 --時--分--秒"));
    QCOMPARE(rig.label("Lbl_Bell1_Second")->text(), QStringLiteral("120"));
    QCOMPARE(rig.label("Lbl_Bell2_Second")->text(), QStringLiteral("0s"));
    for (const char *frame : {"Frm_Bell1", "Frm_Bell2", "Frm_Bell3", "Frm_Alert", "Frm_Button"})
        QVERIFY2(ctl<QWidget>(rig.viewer, frame)->isVisible(), frame);
    QVERIFY(!rig.timer("Timer_PresentTime")->isActive());
    QVERIFY(rig.platform.messages.empty());
}

void CountdownTest::applyConvertsTheEntry_data()
{
    QTest::addColumn<QString>("minutes");
    QTest::addColumn<QString>("seconds");
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("total");
    QTest::newRow("leading zero dropped") << "05"
                                          << "00"
                                          << "5:00"
                                          << "300";
    QTest::newRow("half to even, down") << "2.5"
                                        << "00"
                                        << "2:00"
                                        << "120";
    QTest::newRow("half to even, up") << "3.5"
                                      << "00"
                                      << "4:00"
                                      << "240";
    QTest::newRow("negative") << "-5"
                              << "00"
                              << "-5:00"
                              << "-300";
    QTest::newRow("seconds above 59") << "3"
                                      << "75"
                                      << "3:75"
                                      << "255";
    QTest::newRow("seconds left unformatted") << "3"
                                              << "5"
                                              << "3:5"
                                              << "185";
    QTest::newRow("blanks around minutes") << " 7 "
                                           << "30"
                                           << "7:30"
                                           << "450";
    QTest::newRow("largest total") << "546"
                                   << "07"
                                   << "546:07"
                                   << "32767";
    QTest::newRow("smallest total") << "-546"
                                    << "-08"
                                    << "-546:-08"
                                    << "-32768";
}

void CountdownTest::applyConvertsTheEntry()
{
    QFETCH(QString, minutes);
    QFETCH(QString, seconds);
    QFETCH(QString, display);
    QFETCH(QString, total);
    Rig rig;
    rig.setTotal(minutes, seconds);
    QCOMPARE(rig.display(), display);
    QCOMPARE(rig.label("Lbl_Time_Second")->text(), total);
    QVERIFY(rig.platform.messages.empty());
}

void CountdownTest::applyRefusesAndChangesNothing_data()
{
    QTest::addColumn<QString>("minutes");
    QTest::addColumn<QString>("seconds");
    QTest::newRow("minutes not a number") << "abc"
                                          << "00";
    QTest::newRow("seconds empty") << "5"
                                   << "";
    QTest::newRow("one second too long") << "546"
                                         << "08";
    QTest::newRow("the spin's top") << "999"
                                    << "00";
    QTest::newRow("minutes beyond 16 bits") << "40000"
                                            << "00";
    QTest::newRow("below the bottom") << "-546"
                                      << "-09";
}

void CountdownTest::applyRefusesAndChangesNothing()
{
    QFETCH(QString, minutes);
    QFETCH(QString, seconds);
    Rig rig;
    rig.setTotal("10", "00");
    rig.start();
    rig.seconds(3);
    rig.setTotal(minutes, seconds);
    QCOMPARE(rig.platform.messages.size(), std::size_t{1});
    QCOMPARE(rig.platform.messages[0].first, kRefused);
    QCOMPARE(rig.platform.messages[0].second, QStringLiteral("ポディウォッチ"));
    QCOMPARE(rig.display(), QStringLiteral("9:57"));
    QCOMPARE(rig.label("Lbl_Time_Second")->text(), QStringLiteral("600"));
    QCOMPARE(rig.label("Lbl_Phase")->text(), QStringLiteral("動作状態：進行中"));
    QVERIFY(rig.timer("Timer_PresentTime")->isActive());
}

void CountdownTest::presetsFillTheBoxesOnly()
{
    Rig rig;
    rig.setTotal("5", "30");
    rig.start();
    rig.seconds(2);
    const int minutes[] = {1, 3, 5, 7, 10, 12, 15};
    for (short index = 0; index < 7; ++index) {
        rig.box("Txt_Time_Sec")->setText("45");
        rig.button("Cmd_SetTime_1touch_" + QString::number(index))->click();
        QCOMPARE(rig.box("Txt_Time_Min")->text(), QString::number(minutes[index]));
        QCOMPARE(rig.box("Txt_Time_Sec")->text(), QStringLiteral("00"));
    }
    // The run goes on untouched until the total is applied.
    QCOMPARE(rig.display(), QStringLiteral("5:28"));
    QVERIFY(rig.timer("Timer_PresentTime")->isActive());
    QVERIFY(QMetaObject::invokeMethod(&rig.viewer, "Cmd_SetTime_1touch_Click", Q_ARG(short, 7)));
    QCOMPARE(rig.box("Txt_Time_Min")->text(), QStringLiteral("15"));
    // The next reset takes the preset.
    rig.button("Cmd_Reset")->click();
    QCOMPARE(rig.display(), QStringLiteral("15:00"));
}

void CountdownTest::startAnchorsTheEndTime()
{
    Rig rig;
    rig.button("Cmd_SetTime")->click();
    rig.start();
    QCOMPARE(rig.viewer.StartTime, rig.platform.clock);
    QCOMPARE(rig.viewer.EndTime, rig.platform.clock.addSecs(300));
    QCOMPARE(rig.label("Lbl_EndTime")->text(), QStringLiteral("終了終了時刻 10時05分00秒"));
    QCOMPARE(rig.label("Lbl_Phase")->text(), QStringLiteral("動作状態：進行中"));
    QCOMPARE(rig.phase(), QStringLiteral("Presentation"));
    QVERIFY(rig.timer("Timer_PresentTime")->isActive());
    QCOMPARE(rig.timer("Timer_PresentTime")->interval(), 500);
}

void CountdownTest::displayChangesOncePerSecond()
{
    Rig rig;
    rig.button("Cmd_SetTime")->click();
    rig.start();
    rig.tick();
    QCOMPARE(rig.display(), QStringLiteral("5:00"));
    rig.tick();
    QCOMPARE(rig.display(), QStringLiteral("5:00"));
    rig.second();
    QCOMPARE(rig.display(), QStringLiteral("4:59"));
    rig.seconds(240);
    QCOMPARE(rig.display(), QStringLiteral("0:59"));
    rig.setTotal("60", "00");
    rig.start();
    rig.tick();
    QCOMPARE(rig.display(), QStringLiteral("60:00"));
}

void CountdownTest::partsOfASecond_data()
{
    QTest::addColumn<int>("elapsedMs"); // on the steady clock, since the start of a 5:00 talk
    QTest::addColumn<QString>("display");
    QTest::newRow("a millisecond in") << 1 << "5:00";
    QTest::newRow("a millisecond short of a second") << 999 << "5:00";
    QTest::newRow("a whole second") << 1000 << "4:59";
    QTest::newRow("a millisecond short of the end") << 299'999 << "0:01";
    QTest::newRow("the end") << 300'000 << "0:00";
    QTest::newRow("a millisecond short of a second over") << 300'999 << "0:00";
    QTest::newRow("a second over") << 301'000 << "0:01";
}

void CountdownTest::partsOfASecond()
{
    QFETCH(int, elapsedMs);
    QFETCH(QString, display);
    Rig rig;
    rig.button("Cmd_SetTime")->click();
    rig.start();
    // The timer does not tick on the second: what a tick shows depends on the part of it gone.
    rig.platform.steadyMs += elapsedMs;
    rig.tick();
    QCOMPARE(rig.display(), display);
}

void CountdownTest::zeroSecondAndFirstOverTimeSecond()
{
    Rig rig;
    rig.setTotal("0", "03");
    rig.start();
    rig.seconds(2);
    QVERIFY(rig.platform.played.isEmpty());
    rig.second();
    QCOMPARE(rig.display(), QStringLiteral("0:00"));
    const QString alarm = rig.box("Txt_Alerm_Files")->text();
    // Both ticks of the end second start the alarm; no colour changes with no bell at zero.
    QCOMPARE(rig.platform.played, (QStringList{alarm, alarm}));
    QCOMPARE(rig.displayBack(), kBlack);
    QCOMPARE(rig.displayFore(), kGreen);
    rig.second();
    QCOMPARE(rig.display(), QStringLiteral("0:01"));
    QCOMPARE(rig.displayBack(), kRed);
    QCOMPARE(rig.displayFore(), kWhite);
    QCOMPARE(rig.phase(), QStringLiteral("OverTime"));
    QCOMPARE(rig.platform.played.size(), 2);
    QCOMPARE(ctl<QProgressBar>(rig.viewer, "ProgressBar1")->value(), 100);
}

void CountdownTest::blinkTimeline()
{
    Rig rig;
    rig.setTotal("0", "00");
    rig.start();
    rig.seconds(4);
    QCOMPARE(rig.display(), QStringLiteral("0:04"));
    QVERIFY(!rig.timer("Timer_Alert")->isActive());

    // 0 ms: the first tick of 0:05 over arms the blink.
    rig.platform.advance(1);
    rig.tick();
    QCOMPARE(rig.phase(), QStringLiteral("Wink"));
    QVERIFY(rig.timer("Timer_Alert")->isActive());
    QCOMPARE(rig.timer("Timer_Alert")->interval(), 250);
    QCOMPARE(rig.displayFore(), kWhite);
    // 250 ms: the digits go black, the blink disarms itself.
    rig.blink();
    QCOMPARE(rig.displayFore(), kBlack);
    QCOMPARE(rig.displayBack(), kRed);
    QVERIFY(!rig.timer("Timer_Alert")->isActive());
    // 500 ms: same second, colours back and armed again.
    rig.tick();
    QCOMPARE(rig.displayFore(), kWhite);
    QCOMPARE(rig.phase(), QStringLiteral("Wink"));
    QVERIFY(rig.timer("Timer_Alert")->isActive());
    rig.blink();
    QCOMPARE(rig.displayFore(), kBlack);
    // 1000 ms: next second, colours back, no mark.
    rig.platform.advance(1);
    rig.tick();
    QCOMPARE(rig.displayFore(), kWhite);
    QCOMPARE(rig.phase(), QStringLiteral("OverTime"));
    QVERIFY(!rig.timer("Timer_Alert")->isActive());
    // Every fifth second, and the alert lists are read afresh.
    ctl<QComboBox>(rig.viewer, "Cmb_FC_Alert")->setCurrentText("黄");
    rig.seconds(4);
    QCOMPARE(rig.display(), QStringLiteral("0:10"));
    QVERIFY(rig.timer("Timer_Alert")->isActive());
    QCOMPARE(rig.displayFore(), kYellow);
}

void CountdownTest::blinkAndFlashWithoutAlertColours()
{
    Rig rig;
    ctl<QCheckBox>(rig.viewer, "Check_Alert_OnOff1")->setChecked(false);
    rig.setTotal("0", "00");
    rig.start();
    rig.seconds(29);
    QCOMPARE(rig.display(), QStringLiteral("0:29"));
    QCOMPARE(rig.displayBack(), kBlack);
    QCOMPARE(rig.displayFore(), kGreen);
    QVERIFY(!rig.timer("Timer_Alert")->isActive());
    QCOMPARE(rig.phase(), QStringLiteral("Presentation"));
    rig.second();
    QCOMPARE(rig.display(), QStringLiteral("超過"));
    rig.second();
    // Yellow and red stay for the rest of the over-time: nothing puts other colours back.
    QCOMPARE(rig.display(), QStringLiteral("0:31"));
    QCOMPARE(rig.displayBack(), kYellow);
    QCOMPARE(rig.displayFore(), kRed);
    QVERIFY(!rig.timer("Timer_Alert")->isActive());
}

void CountdownTest::flashEveryThirtySeconds()
{
    Rig rig;
    rig.setTotal("0", "00");
    rig.start();
    rig.seconds(29);
    rig.platform.played.clear();
    rig.platform.advance(1);
    rig.tick();
    QCOMPARE(rig.display(), QStringLiteral("超過"));
    QCOMPARE(rig.displayBack(), kYellow);
    QCOMPARE(rig.displayFore(), kRed);
    QCOMPARE(rig.platform.played, QStringList{rig.box("Txt_Alerm_Files")->text()});
    rig.blink();
    QCOMPARE(rig.displayFore(), kBlack); // the blink blackens the red letters
    rig.tick();
    QCOMPARE(rig.display(), QStringLiteral("超過"));
    QCOMPARE(rig.displayFore(), kRed);
    rig.second();
    QCOMPARE(rig.display(), QStringLiteral("0:31"));
    QCOMPARE(rig.displayBack(), kRed);
    QCOMPARE(rig.displayFore(), kWhite);
    rig.seconds(29);
    QCOMPARE(rig.display(), QStringLiteral("超過"));

    // Without the flash and the alarm options the half minute passes like any fifth second.
    ctl<QCheckBox>(rig.viewer, "Check_Alert_OnOff2")->setChecked(false);
    ctl<QCheckBox>(rig.viewer, "Check_Alert_OnOff3")->setChecked(false);
    rig.platform.played.clear();
    rig.seconds(30);
    QCOMPARE(rig.display(), QStringLiteral("1:30"));
    QVERIFY(rig.platform.played.isEmpty());
}

void CountdownTest::halfMinuteWordAndAlarmAreIndependent_data()
{
    QTest::addColumn<bool>("word");
    QTest::addColumn<bool>("alarm");
    QTest::newRow("the word alone") << true << false;
    QTest::newRow("the alarm alone") << false << true;
}

void CountdownTest::halfMinuteWordAndAlarmAreIndependent()
{
    QFETCH(bool, word);
    QFETCH(bool, alarm);
    Rig rig;
    ctl<QCheckBox>(rig.viewer, "Check_Alert_OnOff2")->setChecked(word);
    ctl<QCheckBox>(rig.viewer, "Check_Alert_OnOff3")->setChecked(alarm);
    rig.setTotal("0", "00");
    rig.start();
    rig.seconds(29);
    rig.platform.played.clear();
    rig.second();
    QCOMPARE(rig.display() == QStringLiteral("超過"), word);
    QCOMPARE(rig.platform.played.count(rig.box("Txt_Alerm_Files")->text()), alarm ? 2 : 0);
}

void CountdownTest::twoBellsInOneSecond()
{
    Rig rig;
    rig.setTotal("0", "10");
    rig.setBell(1, "0", "05");
    rig.setBell(2, "0", "05");
    rig.start();
    rig.seconds(4);
    QVERIFY(rig.platform.played.isEmpty());
    rig.platform.advance(1);
    rig.tick();
    const QString bell1 = rig.box("Txt_Bell1_Files")->text();
    const QString bell2 = rig.box("Txt_Bell2_Files")->text();
    QCOMPARE(rig.platform.played, (QStringList{bell1, bell2}));
    QCOMPARE(rig.displayBack(), kRed);   // bell 2's background
    QCOMPARE(rig.displayFore(), kWhite); // and text
    rig.tick();                          // the second tick of the same second rings both again
    QCOMPARE(rig.platform.played, (QStringList{bell1, bell2, bell1, bell2}));
    rig.second();
    QCOMPARE(rig.platform.played.size(), 4);
}

void CountdownTest::bellAtZeroIsDrownedByTheAlarm()
{
    Rig rig;
    rig.setTotal("0", "02");
    rig.setBell(3, "0", "00");
    rig.start();
    rig.seconds(2);
    const QString bell3 = rig.box("Txt_Bell3_Files")->text();
    const QString alarm = rig.box("Txt_Alerm_Files")->text();
    QCOMPARE(rig.platform.played, (QStringList{bell3, alarm, bell3, alarm}));
    QCOMPARE(rig.displayBack(), kBlue);
    QCOMPARE(rig.displayFore(), kWhite);
}

void CountdownTest::bellSwitchedOffNeverFires()
{
    Rig rig;
    rig.setTotal("0", "05");
    rig.setBell(1, "0", "03", false);
    rig.start();
    rig.seconds(4);
    QVERIFY(rig.platform.played.isEmpty());
    QCOMPARE(rig.displayBack(), kBlack);
}

void CountdownTest::negativeBellFiresInOverTime()
{
    Rig rig;
    rig.setTotal("0", "00");
    rig.setBell(2, "-1", "00");
    ctl<QCheckBox>(rig.viewer, "Check_Bell2_Ringer")->setChecked(false);
    ctl<QComboBox>(rig.viewer, "Cmb_BC_Bell2")->setCurrentText("緑");
    rig.start();
    rig.seconds(59);
    QCOMPARE(rig.displayBack(), kRed);
    rig.platform.advance(1);
    rig.tick();
    QCOMPARE(rig.display(), QStringLiteral("超過"));
    // The bell's colour comes first; the alert colours and the flash are painted over it.
    QCOMPARE(rig.displayBack(), kYellow);
    // Away from a fifth second, the bell's colour is the one that stays.
    rig.setBell(2, "-1", "-02");
    rig.seconds(2);
    QCOMPARE(rig.display(), QStringLiteral("1:02"));
    QCOMPARE(rig.displayBack(), kGreen);
    QVERIFY(!rig.platform.played.contains(rig.box("Txt_Bell2_Files")->text()));
}

void CountdownTest::progressBar()
{
    Rig rig;
    auto *bar = ctl<QProgressBar>(rig.viewer, "ProgressBar1");
    rig.setTotal("1", "40");
    rig.start();
    rig.tick();
    QCOMPARE(bar->value(), 0);
    rig.seconds(25);
    QCOMPARE(bar->value(), 25);
    rig.seconds(75);
    QCOMPARE(bar->value(), 100);
    rig.seconds(3);
    QCOMPARE(bar->value(), 100);

    // Applying a total empties the bar; a total of 0 then moves nothing.
    rig.setTotal("0", "10");
    QCOMPARE(bar->value(), 0);
    rig.label("Lbl_Time_Second")->setText("0");
    rig.start();
    rig.seconds(5);
    QCOMPARE(rig.display(), QStringLiteral("0:05"));
    QCOMPARE(bar->value(), 0);
    // A remaining time beyond the total is not shown either.
    rig.label("Lbl_Time_Second")->setText("2");
    rig.tick();
    QCOMPARE(bar->value(), 0);
}

void CountdownTest::windowBackgroundFollowsTheMask()
{
    Rig rig;
    rig.setTotal("0", "10");
    rig.setBell(1, "0", "08");
    rig.start();
    rig.seconds(2);
    QCOMPARE(rig.displayBack(), kYellow);
    QCOMPARE(rig.viewer.palette().color(QPalette::Window), kGrey);
    rig.button("Check_Mask")->click(); // masked
    QCOMPARE(rig.viewer.palette().color(QPalette::Window), kYellow);
    rig.setBell(2, "0", "07");
    rig.second();
    QCOMPARE(rig.viewer.palette().color(QPalette::Window), kRed);
    rig.button("Check_Mask")->click(); // shown again
    rig.second();
    QCOMPARE(rig.viewer.palette().color(QPalette::Window), kGrey);
}

void CountdownTest::slaveMirroredOnlyWhenShown()
{
    Rig rig;
    rig.setTotal("0", "10");
    rig.setBell(1, "0", "08");
    rig.button("Cmd_Slave")->click();
    Slave *slave = rig.viewer.slave();
    QVERIFY(slave);
    auto *copy = ctl<QLabel>(*slave, "Lbl_Time");
    QCOMPARE(copy->text(), QStringLiteral("0:10"));
    slave->hide();
    rig.start();
    rig.seconds(1);
    QCOMPARE(copy->text(), QStringLiteral("0:10"));
    slave->show();
    rig.second();
    QCOMPARE(copy->text(), QStringLiteral("0:08"));
    QCOMPARE(slave->palette().color(QPalette::Window), kYellow);
    QCOMPARE(copy->palette().color(QPalette::WindowText), kBlack);
    // The blink reaches the projector too.
    rig.setTotal("0", "00");
    rig.start();
    rig.seconds(5);
    rig.blink();
    QCOMPARE(copy->palette().color(QPalette::WindowText), kBlack);
    QCOMPARE(slave->palette().color(QPalette::Window), kRed);
}

void CountdownTest::freezesAt546m08s()
{
    Rig rig;
    rig.setTotal("0", "00");
    rig.start();
    rig.platform.advance(32767);
    rig.tick();
    QCOMPARE(rig.display(), QStringLiteral("546:07"));
    rig.second();
    QCOMPARE(rig.display(), QStringLiteral("546:08"));
    QCOMPARE(int{rig.viewer.RemainingSeconds}, -32768);
    rig.seconds(3);
    QCOMPARE(rig.display(), QStringLiteral("546:08"));
    rig.platform.advance(86400);
    rig.tick();
    QCOMPARE(rig.display(), QStringLiteral("546:08"));
    QCOMPARE(int{rig.viewer.RemainingSeconds}, -32768);
}

void CountdownTest::pauseAndResumeReanchor()
{
    Rig rig;
    rig.setTotal("5", "00");
    rig.start();
    rig.seconds(93);
    QCOMPARE(rig.display(), QStringLiteral("3:27"));
    rig.button("Cmd_Pause")->click();
    QVERIFY(!rig.timer("Timer_PresentTime")->isActive());
    QCOMPARE(rig.label("Lbl_Phase")->text(), QStringLiteral("動作状態：一時停止中"));
    QCOMPARE(rig.label("Lbl_EndTime")->text(), QStringLiteral("終了予定時刻 --時--分--秒"));
    rig.platform.advance(60);
    rig.start();
    QCOMPARE(rig.viewer.EndTime, rig.platform.clock.addSecs(207));
    QCOMPARE(rig.label("Lbl_EndTime")->text(), QStringLiteral("終了終了時刻 10時06分00秒"));
    rig.second();
    QCOMPARE(rig.display(), QStringLiteral("3:26"));
    // A start while running re-anchors from what is shown.
    rig.seconds(6);
    rig.start();
    QCOMPARE(rig.viewer.EndTime, rig.platform.clock.addSecs(200));
}

void CountdownTest::restartFromPauseUsesTheFullTime()
{
    Rig rig;
    rig.setTotal("2", "00");
    rig.start();
    rig.seconds(30);
    rig.button("Cmd_Pause")->click();
    rig.platform.advance(10);
    rig.button("Cmd_Reset_Start")->click();
    QCOMPARE(rig.display(), QStringLiteral("2:00"));
    QCOMPARE(rig.viewer.EndTime, rig.platform.clock.addSecs(120));
    QVERIFY(rig.timer("Timer_PresentTime")->isActive());
    QCOMPARE(rig.label("Lbl_Phase")->text(), QStringLiteral("動作状態：進行中"));
    QCOMPARE(rig.phase(), QStringLiteral("Presentation"));
}

void CountdownTest::startRefusesADisplayThatIsNotATime_data()
{
    QTest::addColumn<QString>("shown");
    QTest::newRow("never applied") << "--:--";
    QTest::newRow("over-time word") << "超過";
    QTest::newRow("seconds unformatted") << "3:5";
    QTest::newRow("empty") << "";
}

void CountdownTest::startRefusesADisplayThatIsNotATime()
{
    QFETCH(QString, shown);
    Rig rig;
    rig.label("Lbl_Time")->setText(shown);
    rig.start();
    QCOMPARE(rig.platform.messages.size(), std::size_t{1});
    QCOMPARE(rig.platform.messages[0].first, kRefused);
    QVERIFY(!rig.timer("Timer_PresentTime")->isActive());
    QCOMPARE(rig.label("Lbl_Phase")->text(), QStringLiteral("動作状態：セットアップ中"));
    QCOMPARE(rig.label("Lbl_EndTime")->text(), QStringLiteral("終了予定時刻 --時--分--秒"));
    QVERIFY(!rig.viewer.EndTime.isValid());
}

void CountdownTest::overTimeSurvivesAPause_data()
{
    QTest::addColumn<int>("pausedAt");  // seconds of over-time
    QTest::addColumn<QString>("shown"); // the display while paused
    QTest::newRow("at 0:10") << 10 << "0:10";
    QTest::newRow("on the half minute") << 30 << "超過";
}

void CountdownTest::overTimeSurvivesAPause()
{
    QFETCH(int, pausedAt);
    QFETCH(QString, shown);
    Rig rig;
    rig.setTotal("0", "05");
    rig.start();
    rig.seconds(5 + pausedAt);
    rig.button("Cmd_Pause")->click();
    QCOMPARE(rig.display(), shown);
    const QString alarm = rig.box("Txt_Alerm_Files")->text();
    const qsizetype alarms = rig.platform.played.count(alarm);
    rig.start();
    QVERIFY(rig.platform.messages.empty());
    rig.second();
    // Upwards from where it stood, in the alert colours, with no second zero alarm.
    QCOMPARE(rig.display(), QStringLiteral("0:%1").arg(pausedAt + 1));
    QCOMPARE(rig.displayBack(), kRed);
    QCOMPARE(rig.displayFore(), kWhite);
    QCOMPARE(rig.platform.played.count(alarm), alarms);
}

void CountdownTest::applyShowsEverywhereAtOnce()
{
    Rig rig;
    rig.setTotal("0", "02");
    rig.button("Cmd_Slave")->click();
    rig.start();
    rig.seconds(4);
    QCOMPARE(rig.viewer.slave()->timeLabel()->text(), QStringLiteral("0:02"));
    rig.button("Cmd_Pause")->click();
    rig.setTotal("10", "00");
    const QLabel *copy = rig.viewer.slave()->timeLabel();
    QCOMPARE(copy->text(), QStringLiteral("10:00"));
    QCOMPARE(copy->palette().color(QPalette::WindowText), kGreen);
    QCOMPARE(rig.viewer.slave()->palette().color(QPalette::Window), kBlack);
    QCOMPARE(ctl<QProgressBar>(rig.viewer, "ProgressBar1")->value(), 0);
}

void CountdownTest::resetDisarmsAnArmedBlink()
{
    Rig rig;
    rig.setTotal("0", "00");
    rig.start();
    rig.seconds(5);
    QVERIFY(rig.timer("Timer_Alert")->isActive());
    rig.button("Cmd_Reset")->click();
    QVERIFY(!rig.timer("Timer_Alert")->isActive());
    QCOMPARE(rig.display(), QStringLiteral("0:00"));
    QCOMPARE(rig.displayFore(), kGreen);
    QCOMPARE(rig.displayBack(), kBlack);
}

void CountdownTest::pauseLeavesAnArmedBlink()
{
    Rig rig;
    rig.setTotal("0", "00");
    rig.start();
    rig.seconds(5);
    rig.button("Cmd_Pause")->click();
    QVERIFY(rig.timer("Timer_Alert")->isActive());
    rig.blink();
    // Black digits on the alert background stay readable until the next colour change.
    QCOMPARE(rig.displayFore(), kBlack);
    QCOMPARE(rig.displayBack(), kRed);
}

void CountdownTest::imageButtonsPressTheRunButtons()
{
    Rig rig;
    rig.viewer.show();
    rig.button("Cmd_SetTime")->click();
    QTest::mouseClick(rig.label("Img_Start"), Qt::LeftButton);
    QCOMPARE(rig.label("Lbl_Phase")->text(), QStringLiteral("動作状態：進行中"));
    QTest::mouseClick(rig.label("Img_Pause"), Qt::LeftButton);
    QCOMPARE(rig.label("Lbl_Phase")->text(), QStringLiteral("動作状態：一時停止中"));
    QTest::mouseClick(rig.label("Img_ReStart"), Qt::LeftButton);
    QCOMPARE(rig.label("Lbl_Phase")->text(), QStringLiteral("動作状態：進行中"));
    QTest::mouseClick(rig.label("Img_Stop"), Qt::LeftButton);
    QCOMPARE(rig.label("Lbl_Phase")->text(), QStringLiteral("動作状態：セットアップ中"));
    QVERIFY(!rig.timer("Timer_PresentTime")->isActive());
    // A blank image (no picture loaded) is still clickable.
    QVERIFY(rig.label("Img_Start")->pixmap().isNull());
    QTest::mouseClick(rig.label("Img_Start"), Qt::LeftButton);
    QVERIFY(rig.timer("Timer_PresentTime")->isActive());
}

QTEST_MAIN(CountdownTest)
#include "tst_countdown.moc"
