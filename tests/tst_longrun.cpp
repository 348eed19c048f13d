// Long runs and moving clocks: ten hours of a talk with the fake clock, and the wall clock jumping
// while the countdown runs or is paused.

#include "forms/slave.h"
#include "platform/qtplatform.h"
#include "rig.h"

#include <QCheckBox>
#include <QProgressBar>
#include <malloc.h>

namespace {

// The heap in use, to see whether a long run leaks.
qint64 heapInUse()
{
#if defined(__GLIBC__)
    return static_cast<qint64>(mallinfo2().uordblks);
#else
    return 0;
#endif
}

// Delivers what Qt has posted (repaints, deferred deletions) without running the real timers,
// which would tick once more behind the test's back.
void flushPostedEvents()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Runs the clock the way the timers do: two ticks each second, and the blink a quarter second
// after a tick armed it.
void runSeconds(Rig &rig, int seconds)
{
    for (int i = 0; i < seconds; ++i) {
        rig.platform.advance(1);
        for (int tick = 0; tick < 2; ++tick) {
            rig.tick();
            if (rig.timer("Timer_Alert")->isActive())
                rig.blink();
        }
    }
}

} // namespace

class LongRunTest : public QObject {
    Q_OBJECT

private slots:
    void tenHoursOfATalk();
    void clockJumpsWhileRunning_data();
    void clockJumpsWhileRunning();
    void clockJumpsWhilePaused();
    void bellsAfterTheClockIsSetBack();
};

void LongRunTest::tenHoursOfATalk()
{
    Rig rig;
    rig.viewer.show();
    rig.setTotal("10", "00");
    rig.setBell(1, "2", "00");
    rig.setBell(2, "1", "00");
    rig.setBell(3, "0", "00");
    rig.button("Cmd_Slave")->click();
    rig.start();
    rig.button("Check_Mask")->click(); // masked for the whole talk
    const QString alarm = rig.box("Txt_Alerm_Files")->text();
    const QLabel *copy = rig.viewer.slave()->timeLabel();

    runSeconds(rig, 300);
    QCOMPARE(rig.display(), QStringLiteral("5:00"));
    runSeconds(rig, 180);
    QCOMPARE(rig.displayBack(), QColor(255, 255, 0)); // bell 1 at 2:00
    runSeconds(rig, 120);
    QCOMPARE(rig.display(), QStringLiteral("0:00"));
    QCOMPARE(rig.platform.played.count(alarm), 2);
    for (const char *bell : {"Txt_Bell1_Files", "Txt_Bell2_Files", "Txt_Bell3_Files"})
        QCOMPARE(rig.platform.played.count(rig.box(bell)->text()), 2);

    flushPostedEvents();
    const qint64 heapBefore = heapInUse();
    for (int hour = 0; hour < 9; ++hour) {
        runSeconds(rig, 3600);
        flushPostedEvents();
    }
    runSeconds(rig, 3000); // ten hours since the start: 9 h 50 min over
    flushPostedEvents();
    const qint64 grown = heapInUse() - heapBefore;

    // Frozen at the 16-bit limit, on both windows, in the alert colours.
    QCOMPARE(rig.display(), QStringLiteral("546:08"));
    QCOMPARE(copy->text(), QStringLiteral("546:08"));
    QCOMPARE(rig.displayBack(), QColor(255, 0, 0));
    QCOMPARE(rig.viewer.palette().color(QPalette::Window), QColor(255, 0, 0));
    QCOMPARE(ctl<QProgressBar>(rig.viewer, "ProgressBar1")->value(), 100);
    QVERIFY(!rig.timer("Timer_Alert")->isActive());
    // The zero alarm, then every half minute of over-time up to 9:06:00 (1092 marks), each in
    // both ticks of its second; nothing after the freeze.
    QCOMPARE(rig.platform.played.count(alarm), 2 + 1092 * 2);
    QVERIFY2(grown < 512 * 1024, qPrintable(QStringLiteral("heap grew by %1 bytes").arg(grown)));
}

void LongRunTest::clockJumpsWhileRunning_data()
{
    QTest::addColumn<int>("jump");
    QTest::newRow("an hour forward") << 3600;
    QTest::newRow("an hour back") << -3600;
    QTest::newRow("a day forward") << 86400;
    QTest::newRow("a day back") << -86400;
}

void LongRunTest::clockJumpsWhileRunning()
{
    // The real platform, with both of its clocks in the test's hand.
    QFETCH(int, jump);
    qint64 wallMs = QDateTime(QDate(2026, 12, 7), QTime(10, 0)).toMSecsSinceEpoch();
    qint64 steadyMs = 5'000'000;
    QtPlatform platform({[&] { return wallMs; }, [&] { return steadyMs; }});
    Viewer viewer(platform);
    viewer.Form_Load();
    ctl<QLineEdit>(viewer, "Txt_Time_Min")->setText("120");
    ctl<QAbstractButton>(viewer, "Cmd_SetTime")->click();
    ctl<QAbstractButton>(viewer, "Cmd_Start")->click();
    const QLabel *display = ctl<QLabel>(viewer, "Lbl_Time");
    auto runFor = [&](int seconds) {
        for (int i = 0; i < seconds; ++i) {
            wallMs += 1000;
            steadyMs += 1000;
            run(viewer, "Timer_PresentTime_Timer");
            run(viewer, "Timer_PresentTime_Timer");
        }
    };
    runFor(60);
    QCOMPARE(display->text(), QStringLiteral("119:00"));
    // Somebody sets the system clock: the talk's time is not touched.
    wallMs += qint64{jump} * 1000;
    run(viewer, "Timer_PresentTime_Timer");
    QCOMPARE(display->text(), QStringLiteral("119:00"));
    runFor(2);
    QCOMPARE(display->text(), QStringLiteral("118:58"));
}

void LongRunTest::clockJumpsWhilePaused()
{
    Rig rig;
    rig.setTotal("30", "00");
    rig.start();
    runSeconds(rig, 30);
    rig.button("Cmd_Pause")->click();
    for (int jump : {3600, -86400, 86400 * 2}) {
        rig.platform.setWallClockBy(jump);
        rig.start();
        runSeconds(rig, 1);
        // Resuming reads the display: the time lost or gained by the clock is not counted.
        QCOMPARE(rig.display(), QStringLiteral("29:29"));
        rig.button("Cmd_Pause")->click();
        rig.label("Lbl_Time")->setText("29:30");
    }
}

void LongRunTest::bellsAfterTheClockIsSetBack()
{
    Rig rig;
    rig.setTotal("3", "00");
    rig.setBell(1, "2", "00");
    rig.start();
    const QString bell = rig.box("Txt_Bell1_Files")->text();
    runSeconds(rig, 61);
    QCOMPARE(rig.platform.played.count(bell), 2); // both ticks of its second
    // The system clock set back by a minute: the bell's second does not come round again.
    rig.platform.setWallClockBy(-60);
    runSeconds(rig, 61);
    QCOMPARE(rig.display(), QStringLiteral("0:58"));
    QCOMPARE(rig.platform.played.count(bell), 2);
    // Time jumps past a bell's second (the machine slept): it is skipped, not rung late.
    rig.setBell(1, "0", "50");
    rig.platform.advance(30);
    rig.tick();
    QCOMPARE(rig.display(), QStringLiteral("0:28"));
    runSeconds(rig, 2);
    QCOMPARE(rig.platform.played.count(bell), 2);
}

QTEST_MAIN(LongRunTest)
#include "tst_longrun.moc"
