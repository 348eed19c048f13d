// Talking to the speaker: a minute more or less across every phase of a talk, silent, by key from
// both windows; and the message under the time, on the projector and nowhere on the main display.

#include "forms/slave.h"
#include "messages/speakermessage.h"
#include "rig.h"
#include "session/programmesession.h"

#include <QTemporaryDir>

namespace {

const QColor kBlack(0, 0, 0), kGreen(0, 255, 0), kRed(255, 0, 0), kWhite(255, 255, 255), kYellow(255, 255, 0);

// A five-minute talk with bell 1 at 2:00 (yellow, black digits), started.
void startTalk(Rig &rig)
{
    rig.setBell(1, "2", "00");
    rig.setTotal("5", "00");
    rig.start();
}

// Runs the clock until the display shows `text`.
void runTo(Rig &rig, const QString &text)
{
    for (int i = 0; i < 40000 && rig.display() != text; ++i)
        rig.second();
}

} // namespace

class SpeakerTest : public QObject {
    Q_OBJECT

private slots:
    void minuteMoreOrLess_data();
    void minuteMoreOrLess();
    void aBellPassedAgainRingsAgain();
    void keypadFromBothWindows_data();
    void keypadFromBothWindows();
    void recordKeepsTheNetAdjustment();
    void messageOnTheProjectorOnly();
    void messageTextMadeOneLine_data();
    void messageTextMadeOneLine();
};

void SpeakerTest::minuteMoreOrLess_data()
{
    QTest::addColumn<QString>("at");  // the display when the chair presses
    QTest::addColumn<bool>("paused"); // or running
    QTest::addColumn<int>("by");
    QTest::addColumn<QString>("display");
    QTest::addColumn<QColor>("back");
    QTest::addColumn<QColor>("fore");
    QTest::addColumn<QString>("phase");
    QTest::addColumn<bool>("secondBell"); // bell 2 at 1:00 too, red with white digits

    QTest::newRow("before a bell") << "4:50" << false << -60 << "3:50" << kBlack << kGreen << "Presentation"
                                   << false;
    QTest::newRow("across a bell") << "2:30" << false << -60 << "1:30" << kYellow << kBlack << "Presentation"
                                   << false;
    QTest::newRow("back across a bell")
        << "1:30" << false << 60 << "2:30" << kBlack << kGreen << "Presentation" << false;
    QTest::newRow("across zero into over-time")
        << "0:30" << false << -60 << "0:30" << kRed << kWhite << "OverTime" << false;
    QTest::newRow("across zero out of over-time")
        << "0:20+" << false << 60 << "0:40" << kYellow << kBlack << "Presentation" << false;
    QTest::newRow("in over-time, onto a blink's second")
        << "1:20+" << false << -60 << "2:20" << kRed << kWhite << "OverTime" << false;
    QTest::newRow("paused") << "3:00" << true << 60 << "4:00" << kBlack << kGreen << "Presentation" << false;
    QTest::newRow("paused in over-time")
        << "0:05+" << true << 60 << "0:55" << kYellow << kBlack << "Presentation" << false;
    QTest::newRow("past two bells: the later one's colours")
        << "1:50" << false << -60 << "0:50" << kRed << kWhite << "Presentation" << true;
    QTest::newRow("to the limit") << "546:00" << false << 60 << "546:07" << kBlack << kGreen << "Presentation"
                                  << false;
}

// The display, its colours and the phase are at once what counting to the new time would have made
// them; nothing sounds, no blink goes on, and the end-time line follows.
void SpeakerTest::minuteMoreOrLess()
{
    QFETCH(QString, at);
    QFETCH(bool, paused);
    QFETCH(int, by);
    QFETCH(QString, display);
    QFETCH(QColor, back);
    QFETCH(QColor, fore);
    QFETCH(QString, phase);
    QFETCH(bool, secondBell);
    Rig rig;
    if (secondBell)
        rig.setBell(2, "1", "00");
    if (at == "546:00") {
        rig.setTotal("546", "00");
        rig.start();
    } else {
        startTalk(rig);
        const bool overTime = at.endsWith('+');
        if (overTime)
            runTo(rig, "0:00");
        runTo(rig, at.chopped(overTime ? 1 : 0));
        rig.tick(); // the second's second tick
        if (overTime && at == "0:05+")
            rig.blink(); // paused in the quarter second the digits are black
    }
    if (paused)
        rig.button("Cmd_Pause")->click();
    rig.platform.played.clear();
    QVERIFY(QMetaObject::invokeMethod(&rig.viewer, "adjustRemaining", Q_ARG(int, by)));
    QCOMPARE(rig.display(), display);
    QCOMPARE(rig.displayBack(), back);
    QCOMPARE(rig.displayFore(), fore);
    QCOMPARE(rig.phase(), phase);
    QVERIFY(!rig.timer("Timer_Alert")->isActive());
    QVERIFY(rig.platform.played.isEmpty());
    if (!paused) {
        const QDateTime end = rig.platform.clock.addSecs(rig.viewer.shown().remaining.value_or(0));
        QCOMPARE(rig.label("Lbl_EndTime")->text(), end.toString(QStringLiteral("終了終了時刻 HH時mm分ss秒")));
    }
    // The second it jumped to is not reached by counting: its ticks sound nothing either.
    if (paused)
        rig.start();
    rig.tick();
    rig.tick();
    QCOMPARE(rig.display(), display);
    QVERIFY2(rig.platform.played.isEmpty(), qPrintable(rig.platform.played.join(u',')));
    QVERIFY(!rig.timer("Timer_Alert")->isActive());
    // Counting on is counting again.
    rig.second();
    QVERIFY(rig.display() != display);
}

void SpeakerTest::aBellPassedAgainRingsAgain()
{
    Rig rig;
    startTalk(rig);
    runTo(rig, "1:59");
    QCOMPARE(rig.platform.played.size(), 2); // the bell's two ticks at 2:00
    rig.viewer.adjustRemaining(60);
    runTo(rig, "2:00");
    QCOMPARE(rig.platform.played.size(), 4); // its two ticks again
    QCOMPARE(rig.displayBack(), kYellow);
    runTo(rig, "0:00");
    rig.viewer.adjustRemaining(-60); // to 1:00 over: the zero alarm was heard, and is not again
    const qsizetype heard = rig.platform.played.size();
    rig.seconds(3);
    QCOMPARE(rig.platform.played.size(), heard);
    QCOMPARE(rig.viewer.shown().remaining, -63);
}

void SpeakerTest::keypadFromBothWindows_data()
{
    QTest::addColumn<bool>("fromTheProjector");
    QTest::newRow("main window") << false;
    QTest::newRow("projector window") << true;
}

void SpeakerTest::keypadFromBothWindows()
{
    QFETCH(bool, fromTheProjector);
    Rig rig;
    rig.viewer.show();
    QVERIFY(QTest::qWaitForWindowActive(&rig.viewer, kPatienceMs));
    rig.button("Cmd_Slave")->click();
    QWindow *target = fromTheProjector ? rig.viewer.slave()->windowHandle() : rig.viewer.windowHandle();
    QLineEdit *minutes = rig.box("Txt_Time_Min");
    QVERIFY(fromTheProjector || focusOn(minutes));
    // In set-up the keypad's signs type as they always did.
    QTest::keyClick(target, Qt::Key_Minus, Qt::KeypadModifier);
    QCOMPARE(minutes->text().contains(u'-'), !fromTheProjector);
    rig.setTotal("5", "00");
    rig.start();
    rig.second();
    const QString typed = minutes->text();
    QTest::keyClick(target, Qt::Key_Plus, Qt::KeypadModifier);
    QCOMPARE(rig.display(), QStringLiteral("5:59"));
    QTest::keyClick(target, Qt::Key_Minus, Qt::KeypadModifier);
    QTest::keyClick(target, Qt::Key_Minus, Qt::KeypadModifier);
    QCOMPARE(rig.display(), QStringLiteral("3:59"));
    QCOMPARE(minutes->text(), typed); // used up, not typed
}

void SpeakerTest::recordKeepsTheNetAdjustment()
{
    Rig rig;
    QTemporaryDir folder;
    QFile file(folder.filePath("p.json"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(
        R"({"format": "podiumwatch-programme", "version": 1, "talks": [{"title": "一", "time": "5:00"}]})");
    file.close();
    QVERIFY(rig.parts().programme().open(file.fileName()));
    rig.start();
    rig.second();
    rig.viewer.adjustRemaining(60);
    rig.viewer.adjustRemaining(60);
    rig.viewer.adjustRemaining(-60);
    rig.button("Cmd_Reset")->click();
    // Written on a thread of its own.
    const auto recorded = [path = rig.parts().programme().recordPath()] {
        QFile record(path);
        return record.open(QIODevice::ReadOnly) ? record.readAll() : QByteArray();
    };
    QTRY_VERIFY_WITH_TIMEOUT(recorded().endsWith(",リセット,60\r\n"), kPatienceMs);
    // At 546:00 a minute more moves the count by the 7 s left to 546:07: that is what is recorded.
    rig.setTotal("546", "00");
    rig.start();
    rig.button("Cmd_Pause")->click();
    rig.viewer.adjustRemaining(60);
    QCOMPARE(rig.display(), QStringLiteral("546:07"));
    rig.button("Cmd_Reset")->click();
    QTRY_VERIFY_WITH_TIMEOUT(recorded().endsWith(",リセット,7\r\n"), kPatienceMs);
}

// Under the time on the projector and on the remote pages, never on the operator's display; a new
// message blinks, the same one again does not.
void SpeakerTest::messageOnTheProjectorOnly()
{
    Rig rig;
    rig.setTotal("5", "00");
    rig.button("Cmd_Slave")->click();
    auto *onProjector = ctl<QLabel>(*rig.viewer.slave(), QStringLiteral("Lbl_Message"));
    QVERIFY(onProjector->isHidden());
    rig.parts().message().set(QStringLiteral("あと5分です"));
    QCOMPARE(onProjector->text(), QStringLiteral("あと5分です"));
    QVERIFY(!onProjector->isHidden());
    QCOMPARE(rig.viewer.feed().current().message, QStringLiteral("あと5分です"));
    QCOMPARE(rig.display(), QStringLiteral("5:00"));
    for (QLabel *label : rig.viewer.findChildren<QLabel *>())
        QVERIFY2(!label->text().contains(QStringLiteral("あと5分")), qPrintable(label->objectName()));
    // The message takes the time's colours as they change.
    rig.setBell(1, "4", "59");
    rig.start();
    rig.second();
    QCOMPARE(onProjector->palette().color(QPalette::WindowText), kBlack);
    rig.parts().message().set({});
    QVERIFY(onProjector->isHidden());
    QVERIFY(rig.viewer.feed().current().message.isEmpty());
}

void SpeakerTest::messageTextMadeOneLine_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain") << "時間です"
                           << "時間です";
    QTest::newRow("blanks around") << "  まとめに入ってください\t"
                                   << "まとめに入ってください";
    QTest::newRow("line breaks") << "質疑応答に\n移ってください"
                                 << "質疑応答に 移ってください";
    QTest::newRow("80 characters") << QString(80, u'あ') << QString(80, u'あ');
    QTest::newRow("81 characters") << QString(81, u'あ') << QString(80, u'あ');
    // Characters outside the basic plane count once and are never cut in half.
    QTest::newRow("80 of four bytes each, and more")
        << QString::fromUcs4(std::u32string(81, U'\U0001F600').c_str())
        << QString::fromUcs4(std::u32string(80, U'\U0001F600').c_str());
    QTest::newRow("blank") << "   "
                           << "";
}

void SpeakerTest::messageTextMadeOneLine()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QCOMPARE(SpeakerMessage::normalized(typed), shown);
}

QTEST_MAIN(SpeakerTest)
#include "tst_speaker.moc"
