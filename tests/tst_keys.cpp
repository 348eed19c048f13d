// The shortcut keys, seen by the main window before the control that has the focus: a key that runs
// a command is used up by it, every other key reaches the control.

#include "rig.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWindow>

class KeysTest : public QObject {
    Q_OBJECT

private slots:
    void shortcutTable_data();
    void shortcutTable();
    void commandKeysAreUsedUp_data();
    void commandKeysAreUsedUp();
    void otherKeysReachTheirControl_data();
    void otherKeysReachTheirControl();
    void eachKeyRunsItsCommandOnce();
    void startWhileRunningLosesNothing();
    void heldKeyActsOnce();
    void keyCodesByName();
};

namespace {

// A countdown of 5:00 that has run for three seconds, so each command leaves its own trace; false
// when the window never became active.
[[nodiscard]] bool prepare(Rig &rig)
{
    rig.viewer.show();
    if (!QTest::qWaitForWindowActive(&rig.viewer, kPatienceMs))
        return false;
    rig.button("Cmd_SetTime")->click();
    rig.start();
    rig.seconds(3);
    return rig.display() == QStringLiteral("4:57");
}

} // namespace

void KeysTest::shortcutTable_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("focus");
    QTest::addColumn<QString>("state");   // state line afterwards
    QTest::addColumn<QString>("display"); // display afterwards
    QTest::addColumn<bool>("startedNow"); // a start ran, anchoring the countdown at this moment

    const QString running = QStringLiteral("動作状態：進行中");
    const QString paused = QStringLiteral("動作状態：一時停止中");
    const QString setup = QStringLiteral("動作状態：セットアップ中");
    const int keypad = Qt::KeypadModifier;
    const struct {
        const char *name;
        int key, modifiers;
    } starts[] = {{"F1", Qt::Key_F1, 0},
                  {"F2", Qt::Key_F2, 0},
                  {"Num 1", Qt::Key_1, keypad},
                  {"Shift+F1", Qt::Key_F1, Qt::ShiftModifier},
                  {"Ctrl+F1", Qt::Key_F1, Qt::ControlModifier}};
    // Already running: a start leaves the countdown anchored where it was.
    for (const auto &k : starts)
        QTest::newRow(k.name) << k.key << k.modifiers << "Cmd_Start" << running << "4:57" << false;
    const struct {
        const char *name;
        int key, modifiers;
    } restarts[] = {
        {"F4", Qt::Key_F4, 0}, {"F5", Qt::Key_F5, 0}, {"F6", Qt::Key_F6, 0}, {"Num 5", Qt::Key_5, keypad}};
    for (const auto &k : restarts)
        QTest::newRow(k.name) << k.key << k.modifiers << "Cmd_Start" << running << "5:00" << true;
    QTest::newRow("Space") << int{Qt::Key_Space} << 0 << "Txt_Time_Min" << running << "5:00" << true;
    QTest::newRow("F7") << int{Qt::Key_F7} << 0 << "Cmd_Start" << paused << "4:57" << false;
    QTest::newRow("Num 7") << int{Qt::Key_7} << keypad << "Cmd_Start" << paused << "4:57" << false;
    QTest::newRow("F9") << int{Qt::Key_F9} << 0 << "Cmd_Start" << setup << "5:00" << false;
    QTest::newRow("Num 9") << int{Qt::Key_9} << keypad << "Cmd_Start" << setup << "5:00" << false;
    QTest::newRow("F3 does nothing") << int{Qt::Key_F3} << 0 << "Cmd_Start" << running << "4:57" << false;
    QTest::newRow("F8 does nothing") << int{Qt::Key_F8} << 0 << "Cmd_Start" << running << "4:57" << false;
    QTest::newRow("top-row 1 does nothing")
        << int{Qt::Key_1} << 0 << "Cmd_Start" << running << "4:57" << false;
    QTest::newRow("F1 in the colour list")
        << int{Qt::Key_F1} << 0 << "Cmb_BC_Alert" << running << "4:57" << false;
    QTest::newRow("F9 in the seconds box")
        << int{Qt::Key_F9} << 0 << "Txt_Time_Sec" << setup << "5:00" << false;
}

void KeysTest::shortcutTable()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, focus);
    QFETCH(QString, state);
    QFETCH(QString, display);
    QFETCH(bool, startedNow);
    Rig rig;
    QVERIFY(prepare(rig));
    const QDateTime started = rig.platform.clock.addSecs(-3);
    QWidget *target = ctl<QWidget>(rig.viewer, focus);
    target->setVisible(true);
    QVERIFY(focusOn(target));

    // Sent to the window, as a real key press arrives.
    QTest::keyClick(rig.viewer.windowHandle(), static_cast<Qt::Key>(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(rig.label("Lbl_Phase")->text(), state);
    QCOMPARE(rig.display(), display);
    QCOMPARE(rig.viewer.StartTime, startedNow ? rig.platform.clock : started);
    if (startedNow)
        QCOMPARE(rig.viewer.EndTime, rig.platform.clock.addSecs(display == "5:00" ? 300 : 297));
}

namespace {

// What a key could change in the control it lands in.
QString stateOf(QWidget *control)
{
    if (auto *box = qobject_cast<QLineEdit *>(control))
        return box->text();
    if (auto *button = qobject_cast<QAbstractButton *>(control))
        return button->isChecked() ? QStringLiteral("ticked") : QStringLiteral("not ticked");
    return {};
}

} // namespace

void KeysTest::commandKeysAreUsedUp_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("state"); // the state line afterwards
    const QString running = QStringLiteral("動作状態：進行中");
    const int keypad = Qt::KeypadModifier;
    QTest::newRow("Num 1 in bell 1's seconds") << "Txt_Bell_1_Sec" << int{Qt::Key_1} << keypad << running;
    QTest::newRow("Space in the total's minutes") << "Txt_Time_Min" << int{Qt::Key_Space} << 0 << running;
    QTest::newRow("Space on 表示セット") << "Cmd_SetTime" << int{Qt::Key_Space} << 0 << running;
    QTest::newRow("Space on ベルを鳴らす") << "Check_Bell1_Ringer" << int{Qt::Key_Space} << 0 << running;
    QTest::newRow("Space on 画面マスク") << "Check_Mask" << int{Qt::Key_Space} << 0 << running;
    QTest::newRow("Num 7 in bell 2's minutes")
        << "Txt_Bell_2_Min" << int{Qt::Key_7} << keypad << QStringLiteral("動作状態：一時停止中");
    QTest::newRow("F9 on Pause") << "Cmd_Pause" << int{Qt::Key_F9} << 0 << QStringLiteral("動作状態：セットアップ中");
}

void KeysTest::commandKeysAreUsedUp()
{
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, state);
    Rig rig;
    QVERIFY(prepare(rig));
    rig.box("Txt_Bell_1_Sec")->setText("07");
    rig.box("Txt_Time_Min")->setText("10");
    QWidget *target = ctl<QWidget>(rig.viewer, focus);
    QVERIFY(focusOn(target));
    if (auto *box = qobject_cast<QLineEdit *>(target))
        box->end(false);
    const QString before = stateOf(target);
    const QString committed = rig.label("Lbl_Bell1_Second")->text();

    QTest::keyClick(rig.viewer.windowHandle(), static_cast<Qt::Key>(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(rig.label("Lbl_Phase")->text(), state);
    QCOMPARE(stateOf(target), before);
    QCOMPARE(rig.label("Lbl_Bell1_Second")->text(), committed);
}

void KeysTest::otherKeysReachTheirControl_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("text");      // the minutes box afterwards
    QTest::addColumn<QString>("focusAfter");
    const int keypad = Qt::KeypadModifier;
    QTest::newRow("top-row 1") << int{Qt::Key_1} << 0 << "1"
                               << "Txt_Time_Min";
    QTest::newRow("top-row 7") << int{Qt::Key_7} << 0 << "7"
                               << "Txt_Time_Min";
    for (int digit : {0, 2, 3, 4, 6, 8})
        QTest::addRow("Num %d", digit) << Qt::Key_0 + digit << keypad << QString::number(digit) << "Txt_Time_Min";
    QTest::newRow("a letter") << int{Qt::Key_A} << 0 << "a"
                              << "Txt_Time_Min";
    QTest::newRow("Tab") << int{Qt::Key_Tab} << 0 << "5"
                         << "Cmd_SetTime_1touch_0";
}

void KeysTest::otherKeysReachTheirControl()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, text);
    QFETCH(QString, focusAfter);
    Rig rig;
    QVERIFY(prepare(rig));
    QLineEdit *minutes = rig.box("Txt_Time_Min");
    QVERIFY(focusOn(minutes));
    minutes->selectAll();
    QTest::keyClick(rig.viewer.windowHandle(), static_cast<Qt::Key>(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(minutes->text(), text);
    QCOMPARE(QApplication::focusWidget()->objectName(), focusAfter);
    QCOMPARE(rig.label("Lbl_Phase")->text(), QStringLiteral("動作状態：進行中"));
}

void KeysTest::eachKeyRunsItsCommandOnce()
{
    Rig rig;
    QVERIFY(prepare(rig));
    // Start shows the message when the display is not a time: count the messages to count the runs.
    rig.label("Lbl_Time")->setText(QStringLiteral("超過"));
    rig.button("Cmd_Pause")->click();
    for (const char *focus : {"Txt_Bell_1_Min", "Cmb_FC_Bell2", "Cmd_End", "Check_Alert_OnOff2"}) {
        QWidget *target = ctl<QWidget>(rig.viewer, focus);
        QVERIFY(focusOn(target));
        rig.platform.messages.clear();
        QTest::keyClick(rig.viewer.windowHandle(), Qt::Key_F1);
        QCOMPARE(rig.platform.messages.size(), std::size_t{1});
        QTest::keyClick(target, Qt::Key_F2);
        QCOMPARE(rig.platform.messages.size(), std::size_t{2});
    }
}

void KeysTest::startWhileRunningLosesNothing()
{
    Rig rig;
    QVERIFY(prepare(rig));
    // Twenty presses of F1 1.3 s apart, off the second: 26 s pass, and 26 s are counted.
    for (int press = 0; press < 20; ++press) {
        rig.platform.steadyMs += 1300;
        QTest::keyClick(rig.viewer.windowHandle(), Qt::Key_F1);
        rig.tick();
    }
    QCOMPARE(rig.display(), QStringLiteral("4:31"));
}

void KeysTest::heldKeyActsOnce()
{
    Rig rig;
    QVERIFY(prepare(rig));
    // As the window system delivers a held key: one press, then presses marked as repeats.
    auto press = [&](Qt::Key key, Qt::KeyboardModifiers modifiers, bool repeat) {
        QKeyEvent event(QEvent::KeyPress, key, modifiers, QString(), repeat);
        QCoreApplication::sendEvent(rig.viewer.windowHandle(), &event);
    };
    press(Qt::Key_Space, Qt::NoModifier, false);
    QCOMPARE(rig.display(), QStringLiteral("5:00"));
    rig.seconds(2);
    for (int repeat = 0; repeat < 10; ++repeat) {
        press(Qt::Key_Space, Qt::NoModifier, true);
        press(Qt::Key_7, Qt::KeypadModifier, true);
        press(Qt::Key_F9, Qt::NoModifier, true);
    }
    QCOMPARE(rig.display(), QStringLiteral("4:58"));
    QCOMPARE(rig.label("Lbl_Phase")->text(), QStringLiteral("動作状態：進行中"));
    // Released and pressed again, it acts again.
    press(Qt::Key_7, Qt::KeypadModifier, false);
    QCOMPARE(rig.label("Lbl_Phase")->text(), QStringLiteral("動作状態：一時停止中"));
}

void KeysTest::keyCodesByName()
{
    Rig rig;
    rig.button("Cmd_SetTime")->click();
    auto key = [&](short code, short shift = 0) {
        return QMetaObject::invokeMethod(&rig.viewer, "Form_KeyDown", Q_ARG(short, code),
                                         Q_ARG(short, shift));
    };
    QVERIFY(key(112, 1));
    QCOMPARE(rig.label("Lbl_Phase")->text(), QStringLiteral("動作状態：進行中"));
    QVERIFY(key(119));
    QVERIFY(key(114));
    QCOMPARE(rig.label("Lbl_Phase")->text(), QStringLiteral("動作状態：進行中"));
    QVERIFY(key(103));
    QCOMPARE(rig.label("Lbl_Phase")->text(), QStringLiteral("動作状態：一時停止中"));
    QVERIFY(key(105));
    QCOMPARE(rig.label("Lbl_Phase")->text(), QStringLiteral("動作状態：セットアップ中"));
    QVERIFY(key(32));
    QCOMPARE(rig.label("Lbl_Phase")->text(), QStringLiteral("動作状態：進行中"));
}

QTEST_MAIN(KeysTest)
#include "tst_keys.moc"
