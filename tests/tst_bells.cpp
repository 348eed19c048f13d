// Setting the three bells: typing, stepping, committing and switching them on and off.

#include "rig.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QWindow>

namespace {

const QString kRefused = QStringLiteral("時間として取り扱えない書式です。");

QString name(const char *pattern, int bell)
{
    return QString::fromLatin1(pattern).arg(bell);
}

// A shown, active window, so focus and typing behave as for the operator.
struct TypingRig : Rig {
    // Shows the window with the bell frames; false when it never became active.
    [[nodiscard]] bool show()
    {
        viewer.show();
        button("Cmd_SetTime")->click();
        return QTest::qWaitForWindowActive(&viewer, kPatienceMs);
    }
    QLineEdit *bellBox(const char *pattern, int bell) const
    {
        return ctl<QLineEdit>(viewer, name(pattern, bell));
    }
    QString committed(int bell) const { return ctl<QLabel>(viewer, name("Lbl_Bell%1_Second", bell))->text(); }
};

} // namespace

class BellsTest : public QObject {
    Q_OBJECT

private slots:
    void typingSecondsKeystrokeByKeystroke_data();
    void typingSecondsKeystrokeByKeystroke();
    void neverAThirdTypedCharacter();
    void programWritesAreNotCut();
    void validMinutesWaitForSet();
    void commitArithmetic_data();
    void commitArithmetic();
    void outOfRangeIsRefused_data();
    void outOfRangeIsRefused();
    void clearingABoxWritesZeroFocusesAndCommits_data();
    void clearingABoxWritesZeroFocusesAndCommits();
    void switchingOnAndOff();
    void spinSteps();
    void changeHandlerOnlyOnAChange();
    void bellFiresAtItsSecond();
    void totalTimeBoxesOnFocusLoss();
    void totalTimeSpins();
    void fullWidthDigitsFromAnInputMethod_data();
    void fullWidthDigitsFromAnInputMethod();
};

void BellsTest::typingSecondsKeystrokeByKeystroke_data()
{
    QTest::addColumn<int>("bell");
    QTest::addColumn<QString>("minutes");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QStringList>("shown");     // the box after each key
    QTest::addColumn<QStringList>("committed"); // the committed time after each key
    for (int bell = 1; bell <= 3; ++bell) {
        QTest::addRow("bell %d: 3 then 0", bell) << bell << "0"
                                                 << "30" << QStringList{"03", "30"} << QStringList{"3", "30"};
        QTest::addRow("bell %d: 7 then 5", bell)
            << bell << "1"
            << "75" << QStringList{"07", "75"} << QStringList{"67", "135"};
        QTest::addRow("bell %d: 0 then 9", bell)
            << bell << "2"
            << "09" << QStringList{"00", "09"} << QStringList{"120", "129"};
    }
}

void BellsTest::typingSecondsKeystrokeByKeystroke()
{
    QFETCH(int, bell);
    QFETCH(QString, minutes);
    QFETCH(QString, keys);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, committed);
    TypingRig rig;
    QVERIFY(rig.show());
    rig.bellBox("Txt_Bell_%1_Min", bell)->setText(minutes);
    QLineEdit *seconds = rig.bellBox("Txt_Bell_%1_Sec", bell);
    QVERIFY(focusOn(seconds));
    seconds->selectAll();
    for (int i = 0; i < keys.size(); ++i) {
        QTest::keyClick(rig.viewer.windowHandle(), keys[i].toLatin1());
        QCOMPARE(seconds->text(), shown[i]);
        QCOMPARE(rig.committed(bell), committed[i]);
    }
}

void BellsTest::neverAThirdTypedCharacter()
{
    TypingRig rig;
    QVERIFY(rig.show());
    QLineEdit *seconds = rig.bellBox("Txt_Bell_%1_Sec", 2);
    QVERIFY(focusOn(seconds));
    seconds->selectAll();
    QTest::keyClicks(seconds, "305");
    QCOMPARE(seconds->text(), QStringLiteral("30"));
    seconds->setCursorPosition(0);
    QTest::keyClick(seconds, Qt::Key_1);
    QCOMPARE(seconds->text(), QStringLiteral("30"));
    // The total's seconds box has no formatting while typing: two characters and no more.
    QLineEdit *total = rig.box("Txt_Time_Sec");
    QVERIFY(focusOn(total));
    total->selectAll();
    QTest::keyClicks(total, "456");
    QCOMPARE(total->text(), QStringLiteral("45"));
}

void BellsTest::programWritesAreNotCut()
{
    TypingRig rig;
    QVERIFY(rig.show());
    QLineEdit *seconds = rig.bellBox("Txt_Bell_%1_Sec", 1);
    seconds->setText("-5");
    QCOMPARE(seconds->text(), QStringLiteral("-05"));
    QCOMPARE(rig.committed(1), QStringLiteral("115"));
    // A digit typed after "-0d" takes the padding zero's place too.
    QVERIFY(focusOn(seconds));
    seconds->end(false);
    QTest::keyClick(seconds, Qt::Key_1);
    QCOMPARE(seconds->text(), QStringLiteral("-51"));
    QCOMPARE(rig.committed(1), QStringLiteral("69"));
}

void BellsTest::validMinutesWaitForSet()
{
    TypingRig rig;
    QVERIFY(rig.show());
    QCOMPARE(rig.committed(1), QStringLiteral("120"));
    QLineEdit *minutes = rig.bellBox("Txt_Bell_%1_Min", 1);
    QVERIFY(focusOn(minutes));
    minutes->selectAll();
    QTest::keyClick(minutes, Qt::Key_3);
    QCOMPARE(minutes->text(), QStringLiteral("3"));
    QCOMPARE(rig.committed(1), QStringLiteral("120"));
    rig.button("Cmd_SetBell1")->click();
    QCOMPARE(rig.committed(1), QStringLiteral("180"));
}

void BellsTest::commitArithmetic_data()
{
    QTest::addColumn<int>("bell");
    QTest::addColumn<QString>("minutes");
    QTest::addColumn<QString>("seconds");
    QTest::addColumn<QString>("committed");
    const struct {
        const char *name, *minutes, *seconds, *committed;
    } cases[] = {
        {"seconds above 59", "1", "75", "135"},
        {"negative seconds", "2", "-5", "115"},
        {"half minute rounds down to even", "2.5", "00", "120"},
        {"half minute rounds up to even", "3.5", "00", "240"},
        {"minus a minute", "-1", "00", "-60"},
        {"the largest", "546", "07", "32767"},
        {"the smallest", "-546", "-08", "-32768"},
        {"exponent", "1e1", "00", "600"},
    };
    for (int bell = 1; bell <= 3; ++bell) {
        for (const auto &c : cases)
            QTest::addRow("bell %d: %s", bell, c.name) << bell << c.minutes << c.seconds << c.committed;
    }
}

void BellsTest::commitArithmetic()
{
    QFETCH(int, bell);
    QFETCH(QString, minutes);
    QFETCH(QString, seconds);
    QFETCH(QString, committed);
    Rig rig;
    ctl<QLineEdit>(rig.viewer, name("Txt_Bell_%1_Min", bell))->setText(minutes);
    ctl<QLineEdit>(rig.viewer, name("Txt_Bell_%1_Sec", bell))->setText(seconds);
    rig.button(name("Cmd_SetBell%1", bell))->click();
    QCOMPARE(ctl<QLabel>(rig.viewer, name("Lbl_Bell%1_Second", bell))->text(), committed);
    QVERIFY(rig.platform.messages.empty());
}

void BellsTest::outOfRangeIsRefused_data()
{
    QTest::addColumn<QString>("minutes");
    QTest::addColumn<QString>("seconds");
    QTest::newRow("547 minutes") << "547"
                                 << "00";
    QTest::newRow("one second past the largest") << "546"
                                                 << "08";
    QTest::newRow("the spin's top") << "999"
                                    << "00";
    QTest::newRow("below the smallest") << "-546"
                                        << "-09";
    QTest::newRow("minutes beyond 16 bits") << "40000"
                                            << "00";
}

void BellsTest::outOfRangeIsRefused()
{
    QFETCH(QString, minutes);
    QFETCH(QString, seconds);
    Rig rig;
    rig.setBell(2, "3", "00");
    rig.platform.messages.clear();
    ctl<QLineEdit>(rig.viewer, "Txt_Bell_2_Min")->setText(minutes);
    rig.box("Txt_Bell_2_Sec")->blockSignals(true); // set both before committing
    rig.box("Txt_Bell_2_Sec")->setText(seconds);
    rig.box("Txt_Bell_2_Sec")->blockSignals(false);
    rig.button("Cmd_SetBell2")->click();
    QCOMPARE(rig.label("Lbl_Bell2_Second")->text(), QStringLiteral("180"));
    QCOMPARE(rig.platform.messages.size(), std::size_t{1});
    QCOMPARE(rig.platform.messages[0].first, kRefused);
    QCOMPARE(rig.platform.messages[0].second, QStringLiteral("ポディウォッチ"));
}

void BellsTest::clearingABoxWritesZeroFocusesAndCommits_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("committed");
    QTest::newRow("minutes") << "Txt_Bell_3_Min"
                             << "45";
    QTest::newRow("seconds") << "Txt_Bell_3_Sec"
                             << "240";
}

void BellsTest::clearingABoxWritesZeroFocusesAndCommits()
{
    QFETCH(QString, box);
    QFETCH(QString, committed);
    TypingRig rig;
    QVERIFY(rig.show());
    rig.bellBox("Txt_Bell_%1_Min", 3)->setText("4");
    rig.bellBox("Txt_Bell_%1_Sec", 3)->setText("45");
    QCOMPARE(rig.committed(3), QStringLiteral("285"));
    QVERIFY(focusOn(rig.button("Cmd_Start")));
    ctl<QLineEdit>(rig.viewer, box)->clear();
    QCOMPARE(ctl<QLineEdit>(rig.viewer, box)->text(), QStringLiteral("00"));
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::focusWidget(), ctl<QWidget>(rig.viewer, box), kPatienceMs);
    QCOMPARE(rig.committed(3), committed);
    QVERIFY(rig.platform.messages.empty());
    // Text that is not a number is treated alike.
    ctl<QLineEdit>(rig.viewer, box)->setText("ab");
    QCOMPARE(ctl<QLineEdit>(rig.viewer, box)->text(), QStringLiteral("00"));
}

void BellsTest::switchingOnAndOff()
{
    Rig rig;
    auto pilot = [&] { return rig.label("Lbl_Bell2_Pilot")->palette().color(QPalette::WindowText); };
    QCOMPARE(rig.label("Lbl_Bell2_Second")->text(), QStringLiteral("0s"));
    rig.button("Option_Bell2_OnOff_0")->click();
    QCOMPARE(rig.label("Lbl_Bell2_Second")->text(), QStringLiteral("60"));
    QCOMPARE(pilot(), QColor(0, 255, 0));
    rig.box("Txt_Bell_2_Min")->setText("4"); // not committed yet
    rig.button("Option_Bell2_OnOff_1")->click();
    QCOMPARE(pilot(), QColor(96, 96, 96));
    QCOMPARE(rig.label("Lbl_Bell2_Second")->text(), QStringLiteral("240")); // committed, not cleared
    // Selecting from code counts as selecting.
    ctl<QRadioButton>(rig.viewer, "Option_Bell2_OnOff_0")->setChecked(true);
    QCOMPARE(pilot(), QColor(0, 255, 0));
    // The other bells are untouched.
    QCOMPARE(rig.label("Lbl_Bell1_Second")->text(), QStringLiteral("0s"));
    QCOMPARE(rig.label("Lbl_Bell3_Pilot")->palette().color(QPalette::WindowText), QColor(96, 96, 96));
}

void BellsTest::spinSteps()
{
    Rig rig;
    auto step = [&](const char *spin, const char *slot) {
        return QMetaObject::invokeMethod(ctl<QWidget>(rig.viewer, spin), slot);
    };
    rig.box("Txt_Bell_1_Sec")->setText("04");
    QVERIFY(step("UpDown_Bell1_Sec", "stepUp"));
    QCOMPARE(rig.box("Txt_Bell_1_Sec")->text(), QStringLiteral("05"));
    QCOMPARE(rig.label("Lbl_Bell1_Second")->text(), QStringLiteral("125"));
    QVERIFY(step("UpDown_Bell1_Min", "stepUp"));
    QCOMPARE(rig.box("Txt_Bell_1_Min")->text(), QStringLiteral("3"));
    QCOMPARE(rig.label("Lbl_Bell1_Second")->text(), QStringLiteral("125"));
    // The ends of the range hold.
    rig.box("Txt_Bell_1_Sec")->setText("59");
    QVERIFY(step("UpDown_Bell1_Sec", "stepUp"));
    QCOMPARE(rig.box("Txt_Bell_1_Sec")->text(), QStringLiteral("59"));
    rig.box("Txt_Bell_3_Min")->setText("0");
    QVERIFY(step("UpDown_Bell3_Min", "stepDown"));
    QCOMPARE(rig.box("Txt_Bell_3_Min")->text(), QStringLiteral("0"));
    rig.box("Txt_Bell_3_Min")->setText("999");
    QVERIFY(step("UpDown_Bell3_Min", "stepUp"));
    QCOMPARE(rig.box("Txt_Bell_3_Min")->text(), QStringLiteral("999"));
    // A number outside the range steps back into it.
    rig.box("Txt_Bell_2_Sec")->setText("75");
    QVERIFY(step("UpDown_Bell2_Sec", "stepDown"));
    QCOMPARE(rig.box("Txt_Bell_2_Sec")->text(), QStringLiteral("59"));
}

void BellsTest::changeHandlerOnlyOnAChange()
{
    Rig rig;
    rig.box("Txt_Bell_1_Min")->setText("3");
    QCOMPARE(rig.label("Lbl_Bell1_Second")->text(), QStringLiteral("0s"));
    // The same text again raises nothing, so nothing is committed.
    rig.box("Txt_Bell_1_Sec")->setText("00");
    QCOMPARE(rig.label("Lbl_Bell1_Second")->text(), QStringLiteral("0s"));
    rig.box("Txt_Bell_1_Sec")->setText("01");
    QCOMPARE(rig.label("Lbl_Bell1_Second")->text(), QStringLiteral("181"));
    // A press from code runs the handler at once, also in a hidden frame.
    QVERIFY(ctl<QWidget>(rig.viewer, "Frm_Bell1")->isHidden());
    rig.box("Txt_Bell_1_Min")->setText("4");
    rig.button("Cmd_SetBell1")->click();
    QCOMPARE(rig.label("Lbl_Bell1_Second")->text(), QStringLiteral("241"));
}

void BellsTest::bellFiresAtItsSecond()
{
    Rig rig;
    rig.box("Txt_Bell_1_Min")->setText("0");
    rig.box("Txt_Bell_1_Sec")->setText("2");
    rig.button("Option_Bell1_OnOff_0")->click();
    rig.setTotal("0", "04");
    rig.start();
    rig.seconds(1);
    QVERIFY(rig.platform.played.isEmpty());
    QCOMPARE(rig.displayBack(), QColor(0, 0, 0));
    rig.second();
    QCOMPARE(rig.display(), QStringLiteral("0:02"));
    QCOMPARE(rig.platform.played,
             (QStringList{rig.box("Txt_Bell1_Files")->text(), rig.box("Txt_Bell1_Files")->text()}));
    QCOMPARE(rig.displayBack(), QColor(255, 255, 0));
    QCOMPARE(rig.displayFore(), QColor(0, 0, 0));
    rig.second();
    QCOMPARE(rig.displayBack(), QColor(255, 255, 0)); // the colours stay until the next change
    QCOMPARE(rig.platform.played.size(), 2);
}

void BellsTest::totalTimeBoxesOnFocusLoss()
{
    TypingRig rig;
    QVERIFY(rig.show());
    QLineEdit *minutes = rig.box("Txt_Time_Min");
    QLineEdit *seconds = rig.box("Txt_Time_Sec");
    QVERIFY(focusOn(seconds));
    seconds->selectAll();
    QTest::keyClick(seconds, Qt::Key_7);
    QVERIFY(focusOn(rig.button("Cmd_SetTime")));
    QCOMPARE(seconds->text(), QStringLiteral("07"));

    QVERIFY(focusOn(minutes));
    minutes->setText("05");
    QVERIFY(focusOn(rig.button("Cmd_SetTime")));
    QCOMPARE(minutes->text(), QStringLiteral("05")); // a number stays as typed

    minutes->setText("abc");
    QVERIFY(focusOn(minutes));
    QVERIFY(focusOn(rig.button("Cmd_SetTime")));
    QCOMPARE(minutes->text(), QStringLiteral("00"));
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::focusWidget(), minutes, kPatienceMs);
    QVERIFY(rig.platform.messages.empty());

    seconds->setText("x");
    QVERIFY(focusOn(seconds));
    QVERIFY(focusOn(rig.button("Cmd_SetTime")));
    QCOMPARE(seconds->text(), QStringLiteral("00"));
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::focusWidget(), seconds, kPatienceMs);
}

void BellsTest::totalTimeSpins()
{
    Rig rig;
    auto step = [&](const char *spin, const char *slot) {
        return QMetaObject::invokeMethod(ctl<QWidget>(rig.viewer, spin), slot);
    };
    QVERIFY(step("UpDown_Sec", "stepUp"));
    QCOMPARE(rig.box("Txt_Time_Sec")->text(), QStringLiteral("01"));
    QVERIFY(step("UpDown_Min", "stepUp"));
    QCOMPARE(rig.box("Txt_Time_Min")->text(), QStringLiteral("6"));
    QVERIFY(step("UpDown_Sec", "stepDown"));
    QVERIFY(step("UpDown_Sec", "stepDown"));
    QCOMPARE(rig.box("Txt_Time_Sec")->text(), QStringLiteral("00"));
    // Stepping never applies: the display waits for 表示セット.
    QCOMPARE(rig.display(), QStringLiteral("--:--"));
}

void BellsTest::fullWidthDigitsFromAnInputMethod_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<bool>("replaceAll"); // else typed at the end
    QTest::addColumn<QString>("committed");
    QTest::addColumn<QString>("text");
    QTest::newRow("total minutes") << "Txt_Time_Min" << true << "１２"
                                   << "12";
    QTest::newRow("total seconds") << "Txt_Time_Sec" << true << "４５"
                                   << "45";
    QTest::newRow("the last digit") << "Txt_Time_Min" << true << "９"
                                    << "9";
    QTest::newRow("a negative bell minute") << "Txt_Bell_1_Min" << true << "－１"
                                            << "-1";
    QTest::newRow("bell seconds, formatted") << "Txt_Bell_2_Sec" << true << "７"
                                             << "07";
    QTest::newRow("bell seconds, after the padding zero") << "Txt_Bell_3_Sec" << false << "０"
                                                          << "30";
}

void BellsTest::fullWidthDigitsFromAnInputMethod()
{
    QFETCH(QString, box);
    QFETCH(bool, replaceAll);
    QFETCH(QString, committed);
    QFETCH(QString, text);
    TypingRig rig;
    QVERIFY(rig.show());
    rig.box("Txt_Bell_3_Sec")->setText("3");
    QLineEdit *target = rig.box(qPrintable(box));
    QVERIFY(focusOn(target));
    if (replaceAll)
        target->selectAll();
    else
        target->end(false);
    // A Japanese input method hands over what was typed as one committed string.
    QInputMethodEvent typed;
    typed.setCommitString(committed);
    QCoreApplication::sendEvent(target, &typed);
    QCOMPARE(target->text(), text);
}

QTEST_MAIN(BellsTest)
#include "tst_bells.moc"
