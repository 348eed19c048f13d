// The programme in the main window: a talk prepared as an operator would set it, moving through the
// session in each run state and by key, the record of each run through the fake clock, and a file
// that is refused changing nothing.

#include "app/commandline.h"
#include "forms/slave.h"
#include "rig.h"
#include "session/programmesession.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>

namespace {

// A programme file of the test's own; `talks` is the JSON of the talks list.
QString writeProgramme(const QTemporaryDir &folder, const QByteArray &talks,
                       const QByteArray &defaults = "{}")
{
    const QString path = folder.filePath(QStringLiteral("session.json"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(R"({"format": "podiumwatch-programme", "version": 1, "title": "テスト", "defaults": )" +
               defaults + R"(, "talks": )" + talks + "}");
    return path;
}

const QByteArray kThreeTalks = R"([{"title": "一", "speaker": "甲", "time": "1:00", "bells": ["0:30"]},
                                   {"title": "二", "speaker": "乙", "time": "2:00"},
                                   {"title": "三", "speaker": "丙", "time": "3:00"}])";

bool open(Rig &rig, const QString &path)
{
    return rig.parts().programme().open(path);
}

int talkNumber(Rig &rig)
{
    return rig.parts().programme().talkNumber();
}

// The record file's lines after the header, once there are `count` of them (the record is written
// on a thread of its own).
QStringList recordLines(Rig &rig, int count)
{
    const auto read = [&rig] {
        QFile file(rig.parts().programme().recordPath());
        if (!file.open(QIODevice::ReadOnly))
            return QStringList();
        QStringList lines =
            QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        if (!lines.isEmpty())
            lines.removeFirst();
        return lines;
    };
    QStringList lines;
    if (!QTest::qWaitFor([&] { return (lines = read()).size() >= count; }, kPatienceMs))
        qWarning("the record has %lld lines, not %d", static_cast<long long>(lines.size()), count);
    return lines;
}

// What the window holds for a bell: on, committed seconds, ringing, colours, the two colour names
// and the sound file's name.
QString bellState(Rig &rig, int bell)
{
    const QString n = QString::number(bell);
    return QStringList{rig.button("Option_Bell" + n + "_OnOff_0")->isChecked() ? "on" : "off",
                       rig.label(qPrintable("Lbl_Bell" + n + "_Second"))->text(),
                       ctl<QCheckBox>(rig.viewer, "Check_Bell" + n + "_Ringer")->isChecked() ? "sound" : "-",
                       ctl<QCheckBox>(rig.viewer, "Check_Bell" + n + "_Color")->isChecked() ? "colours" : "-",
                       ctl<QComboBox>(rig.viewer, "Cmb_BC_Bell" + n)->currentText(),
                       ctl<QComboBox>(rig.viewer, "Cmb_FC_Bell" + n)->currentText(),
                       QFileInfo(rig.box(qPrintable("Txt_Bell" + n + "_Files"))->text()).fileName()}
        .join(u' ');
}

QString alertState(Rig &rig)
{
    return QStringList{ctl<QCheckBox>(rig.viewer, "Check_Alert_OnOff1")->isChecked() ? "colours" : "-",
                       ctl<QCheckBox>(rig.viewer, "Check_Alert_OnOff2")->isChecked() ? "word" : "-",
                       ctl<QCheckBox>(rig.viewer, "Check_Alert_OnOff3")->isChecked() ? "bell" : "-",
                       ctl<QComboBox>(rig.viewer, "Cmb_BC_Alert")->currentText(),
                       ctl<QComboBox>(rig.viewer, "Cmb_FC_Alert")->currentText(),
                       QFileInfo(rig.box("Txt_Alerm_Files")->text()).fileName()}
        .join(u' ');
}

} // namespace

class SessionTest : public QObject {
    Q_OBJECT

private slots:
    void preparingSetsTheWindow_data();
    void preparingSetsTheWindow();
    void aTalkDependsOnItselfAlone();
    void movingThroughTheSession_data();
    void movingThroughTheSession();
    void keysMoveThroughTheSession_data();
    void keysMoveThroughTheSession();
    void recordOfEachRun();
    void runEndedByTheExitIsRecorded();
    void aFailedRecordIsSaidUntilItWrites();
    void refusedFileChangesNothing();
    void theExampleProgramme();
    void commandLine_data();
    void commandLine();
    void programmeWindow();
    void savedMessagesKeptWithTheProgramme();
    void nothingTheChairDidIsLost_data();
    void nothingTheChairDidIsLost();
    void enterInACellCommitsTheEdit();
    void thePlanToTheSecond_data();
    void thePlanToTheSecond();
    void theMessageBelongsToItsTalk_data();
    void theMessageBelongsToItsTalk();
};

void SessionTest::preparingSetsTheWindow_data()
{
    QTest::addColumn<QByteArray>("talk");
    QTest::addColumn<QByteArray>("defaults");
    QTest::addColumn<QString>("display");
    QTest::addColumn<QStringList>("bells"); // as bellState() says them
    QTest::addColumn<QString>("alert");

    // At start-up every bell is off, at 2:00, 1:00 and 0:00; committing gives them their seconds.
    const QStringList startUpBells{"off 120 sound colours 黄 黒 QOR_Sound01.wav",
                                   "off 60 sound colours 赤 白 QOR_Sound02.wav",
                                   "off 0 sound colours 青 白 QOR_Sound03.wav"};
    QTest::newRow("a time alone: the rest as at start-up")
        << QByteArray(R"({"title": "a", "time": "12:00"})") << QByteArray("{}") << "12:00" << startUpBells
        << "colours word bell 赤 白 QOR_Sound00.wav";
    QTest::newRow("the defaults' bells")
        << QByteArray(R"({"title": "a", "time": "15:00"})")
        << QByteArray(R"({"bells": ["2:00", "0:00", null], "alert": {"word": false}})") << "15:00"
        << QStringList{"on 120 sound colours 黄 黒 QOR_Sound01.wav",
                       "on 0 sound colours 赤 白 QOR_Sound02.wav",
                       "off 0 sound colours 青 白 QOR_Sound03.wav"}
        << "colours - bell 赤 白 QOR_Sound00.wav";
    QTest::newRow("a bell as an object, the alert field by field")
        << QByteArray(
               R"({"title": "a", "time": "25:00", "bells": [{"at": "5:00", "sound": false, "colours": true,
                          "background": "桃", "text": "緑", "file": "gong.wav"}, "1:05"],
                          "alert": {"colours": false, "background": "青", "text": "黄", "file": "end.wav"}})")
        << QByteArray("{}") << "25:00"
        << QStringList{"on 300 - colours 桃 緑 gong.wav", "on 65 sound colours 赤 白 QOR_Sound02.wav",
                       "off 0 sound colours 青 白 QOR_Sound03.wav"}
        << "- word bell 青 黄 end.wav";
    QTest::newRow("546:07, the longest time, no bells")
        << QByteArray(R"({"title": "a", "time": "546:07", "bells": []})") << QByteArray("{}") << "546:07"
        << startUpBells << "colours word bell 赤 白 QOR_Sound00.wav";
}

// What an operator would have typed, ticked and picked, and what the window's own handlers made of
// it: the display, the committed bell times, the lamps.
void SessionTest::preparingSetsTheWindow()
{
    QFETCH(QByteArray, talk);
    QFETCH(QByteArray, defaults);
    QFETCH(QString, display);
    QFETCH(QStringList, bells);
    QFETCH(QString, alert);
    Rig rig;
    QTemporaryDir folder;
    QVERIFY(open(rig, writeProgramme(folder, '[' + talk + ']', defaults)));
    QCOMPARE(talkNumber(rig), 1);
    QCOMPARE(rig.display(), display);
    QCOMPARE(rig.label("Lbl_Phase")->text(), QStringLiteral("動作状態：セットアップ中"));
    for (int bell = 1; bell <= 3; ++bell)
        QCOMPARE(bellState(rig, bell), bells[bell - 1]);
    QCOMPARE(alertState(rig), alert);
    QVERIFY(rig.platform.messages.empty());
    // A bell that is on rings at its second.
    if (bells[0].startsWith("on 300")) {
        rig.start();
        rig.seconds(25 * 60 - 300);
        QCOMPARE(rig.displayBack(), QColor(255, 100, 200));
    }
}

// The second talk prepared after the first, or the first after the second, leaves the window as the
// talk alone would: nothing carries over from the talk before.
void SessionTest::aTalkDependsOnItselfAlone()
{
    const QByteArray talks =
        R"([{"title": "一", "time": "5:00", "bells": [{"at": "1:00", "sound": false, "colours": false,
                                   "background": "緑", "text": "桃", "file": "x.wav"}, "0:30", "0:10"],
                                   "alert": {"colours": false, "word": false, "bell": false, "background": "白", "text": "黒"}},
                                  {"title": "二", "time": "7:00"}])";
    QTemporaryDir folder;
    const QString path = writeProgramme(folder, talks);
    Rig fresh, travelled;
    QVERIFY(open(fresh, path) && open(travelled, path));
    fresh.parts().programme().next();
    travelled.parts().programme().next();
    travelled.parts().programme().previous();
    travelled.parts().programme().next();
    QCOMPARE(talkNumber(travelled), 2);
    QCOMPARE(travelled.display(), fresh.display());
    for (int bell = 1; bell <= 3; ++bell)
        QCOMPARE(bellState(travelled, bell), bellState(fresh, bell));
    QCOMPARE(alertState(travelled), alertState(fresh));
}

void SessionTest::movingThroughTheSession_data()
{
    QTest::addColumn<QString>("state"); // of the clock when the chair moves
    QTest::addColumn<QString>("move");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<QString>("display");
    QTest::newRow("next in set-up") << "setup"
                                    << "next" << 1 << 2 << "2:00";
    QTest::newRow("previous in set-up") << "setup"
                                        << "previous" << 2 << 1 << "1:00";
    QTest::newRow("next while paused") << "paused"
                                       << "next" << 1 << 2 << "2:00";
    QTest::newRow("previous while paused") << "paused"
                                           << "previous" << 3 << 2 << "2:00";
    QTest::newRow("next while running: refused") << "running"
                                                 << "next" << 1 << 1 << "0:50";
    QTest::newRow("previous while running: refused") << "running"
                                                     << "previous" << 2 << 2 << "1:50";
    QTest::newRow("next after the last talk: nothing") << "setup"
                                                       << "next" << 3 << 3 << "3:00";
    QTest::newRow("previous before the first: nothing") << "paused"
                                                        << "previous" << 1 << 1 << "0:50";
}

void SessionTest::movingThroughTheSession()
{
    QFETCH(QString, state);
    QFETCH(QString, move);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(QString, display);
    Rig rig;
    QTemporaryDir folder;
    QVERIFY(open(rig, writeProgramme(folder, kThreeTalks)));
    for (int i = 1; i < from; ++i)
        rig.parts().programme().next();
    QCOMPARE(talkNumber(rig), from);
    if (state != "setup") {
        rig.start();
        rig.seconds(10);
    }
    if (state == "paused")
        rig.button("Cmd_Pause")->click();
    if (move == "next")
        rig.parts().programme().next();
    else
        rig.parts().programme().previous();
    QCOMPARE(talkNumber(rig), to);
    QCOMPARE(rig.display(), display);
    const bool refused = state == "running";
    QCOMPARE(rig.timer("Timer_PresentTime")->isActive(), refused);
    // A move refused, or one with nowhere to go, is said where the chair looks.
    QCOMPARE(rig.parts().programme().note().isEmpty(), !refused && from != to);
    QCOMPARE(rig.label("SessionLine")->text().startsWith(rig.parts().programme().note()), true);
    // A paused talk left for another has its line in the record before the next one starts.
    if (state == "paused" && from != to) {
        const QStringList lines = recordLines(rig, 1);
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().endsWith(move == "next" ? ",次の発表,0" : ",前の発表,0"),
                 qPrintable(lines.first()));
    }
}

void SessionTest::keysMoveThroughTheSession_data()
{
    QTest::addColumn<bool>("programme");
    QTest::addColumn<bool>("fromTheProjector");
    QTest::newRow("main window") << true << false;
    QTest::newRow("projector window") << true << true;
    QTest::newRow("no programme: the keys do what they did") << false << false;
}

void SessionTest::keysMoveThroughTheSession()
{
    QFETCH(bool, programme);
    QFETCH(bool, fromTheProjector);
    Rig rig;
    rig.viewer.show();
    QVERIFY(QTest::qWaitForWindowActive(&rig.viewer, kPatienceMs));
    QTemporaryDir folder;
    if (programme)
        QVERIFY(open(rig, writeProgramme(folder, kThreeTalks)));
    rig.button("Cmd_Slave")->click();
    QWidget *target = fromTheProjector ? static_cast<QWidget *>(rig.viewer.slave()) : &rig.viewer;
    auto *colours = ctl<QComboBox>(rig.viewer, "Cmb_BC_Bell1");
    if (!fromTheProjector)
        QVERIFY(focusOn(colours));
    const QString colour = colours->currentText();
    QTest::keyClick(target->windowHandle(), Qt::Key_PageDown);
    // Used up with a programme, not passed on to the list; without one, the list moves as it always did.
    QCOMPARE(colours->currentText() == colour, programme);
    QTest::keyClick(target->windowHandle(), Qt::Key_PageDown);
    QTest::keyClick(target->windowHandle(), Qt::Key_PageUp);
    QCOMPARE(talkNumber(rig), programme ? 2 : 0);
    if (programme)
        QCOMPARE(rig.display(), QStringLiteral("2:00"));
    QTest::keyClick(target->windowHandle(), Qt::Key_F3);
    QTRY_VERIFY_WITH_TIMEOUT(
        rig.viewer.findChild<QWidget *>() &&
            [] {
                for (QWidget *window : QApplication::topLevelWidgets())
                    if (window->objectName() == QLatin1String("ProgrammeWindow") && window->isVisible())
                        return true;
                return false;
            }(),
        kPatienceMs);
}

// One line per run: from the start in set-up to what ends it, pauses left out of the running time,
// the largest over-time reached.
void SessionTest::recordOfEachRun()
{
    Rig rig;
    QTemporaryDir folder;
    QVERIFY(open(rig, writeProgramme(folder, kThreeTalks)));
    QCOMPARE(QFileInfo(rig.parts().programme().recordPath()).fileName(),
             QStringLiteral("session.record.csv"));
    rig.start(); // 10:00:00
    rig.seconds(30);
    rig.button("Cmd_Pause")->click();
    rig.platform.advance(10); // no ticks while paused
    rig.start();
    rig.seconds(35); // 0:05 over
    rig.button("Cmd_Pause")->click();
    rig.platform.advance(3);
    rig.start();
    rig.seconds(2); // 0:07 over
    rig.button("Cmd_Reset")->click();
    QCOMPARE(
        recordLines(rig, 1),
        QStringList{
            "1,一,甲,,0:01:00,2026-12-07 10:00:00,2026-12-07 10:01:20,0:01:07,2,0:00:13,0:00:07,リセット,0"});
    // Started again after the reset, then left for the next talk while paused.
    rig.start();
    rig.seconds(4);
    rig.button("Cmd_Pause")->click();
    rig.parts().programme().next();
    QCOMPARE(recordLines(rig, 2).size(), 2);
    QCOMPARE(recordLines(rig, 2).last(),
             "1,一,甲,,0:01:00,2026-12-07 10:01:20,2026-12-07 10:01:24,0:00:04,1,0:00:00,0:00:00,次の発表,0");
    // ReStart ends a run as a ReStart, and begins the next.
    rig.start();
    rig.second();
    rig.button("Cmd_Reset_Start")->click();
    QCOMPARE(
        recordLines(rig, 3).last(),
        "2,二,乙,,0:02:00,2026-12-07 10:01:24,2026-12-07 10:01:25,0:00:01,0,0:00:00,0:00:00,再スタート,0");
    // Somebody sets the computer's clock during a talk: the start, the end and the running time
    // still add up, counted on the steady clock.
    rig.seconds(10);
    rig.platform.setWallClockBy(3600);
    rig.seconds(5);
    rig.button("Cmd_Reset")->click();
    QCOMPARE(recordLines(rig, 4).last(),
             "2,二,乙,,0:02:00,2026-12-07 10:01:25,2026-12-07 10:01:40,0:00:15,0,0:00:00,0:00:00,リセット,0");
}

void SessionTest::runEndedByTheExitIsRecorded()
{
    QTemporaryDir folder;
    const QString path = writeProgramme(folder, kThreeTalks);
    QString record;
    {
        Rig rig;
        QVERIFY(open(rig, path));
        record = rig.parts().programme().recordPath();
        rig.start();
        rig.seconds(7);
    }
    QFile file(record);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().endsWith(",0:00:07,0,0:00:00,0:00:00,終了,0\r\n"));
}

// A record that cannot be written is said in the main window's line and in the programme window,
// opened before or after, until a later run is written.
void SessionTest::aFailedRecordIsSaidUntilItWrites()
{
    Rig rig;
    QTemporaryDir folder;
    QVERIFY(open(rig, writeProgramme(folder, kThreeTalks)));
    const QString record = rig.parts().programme().recordPath();
    QVERIFY(QDir().mkdir(record)); // not a file: refused
    rig.start();
    rig.seconds(2);
    rig.button("Cmd_Reset")->click();
    QLabel *line = rig.label("SessionLine");
    QTRY_VERIFY_WITH_TIMEOUT(line->text().startsWith(QStringLiteral("記録を書き込めませんでした")),
                             kPatienceMs);
    QVERIFY(!line->isHidden());
    rig.parts().showProgrammeWindow();
    auto *shownThere = inSomeWindow<QLabel>(QStringLiteral("RecordPath"));
    QVERIFY(shownThere);
    QVERIFY2(shownThere->text().contains(QStringLiteral("記録を書き込めませんでした")),
             qPrintable(shownThere->text()));
    QVERIFY(QDir().rmdir(record));
    rig.start();
    rig.seconds(2);
    rig.button("Cmd_Reset")->click();
    QTRY_COMPARE_WITH_TIMEOUT(line->text(), QStringLiteral("1/3　一　甲"), kPatienceMs);
    QVERIFY(!shownThere->text().contains(QStringLiteral("記録を書き込めませんでした")));
    QCOMPARE(recordLines(rig, 2).size(), 2); // the refused run's line too, kept for the next write
}

void SessionTest::refusedFileChangesNothing()
{
    Rig rig;
    QTemporaryDir folder;
    QVERIFY(open(rig, writeProgramme(folder, kThreeTalks)));
    rig.parts().programme().next();
    const QString display = rig.display();
    const QString bell = bellState(rig, 1);
    const QString bad = writeProgramme(folder, R"([{"title": "x", "time": "12:75"}])");
    QVERIFY(!open(rig, bad));
    QCOMPARE(rig.platform.messages.size(), std::size_t{1});
    // The file is named, then what is wrong in it and how it would be read.
    QCOMPARE(rig.platform.messages.front().first,
             QStringLiteral("「session.json」を開けません。\r\n1番目の発表の「時間」\"12:75\" を読めません。"
                            "「12:30」「12」「12分30秒」「0:12:30」のように書いてください。"));
    QCOMPARE(talkNumber(rig), 2);
    QCOMPARE(rig.display(), display);
    QCOMPARE(bellState(rig, 1), bell);
    QCOMPARE(rig.parts().programme().model().rowCount(), 3);
}

void SessionTest::theExampleProgramme()
{
    Rig rig;
    QVERIFY(open(rig, QStringLiteral(PODIUMWATCH_SOURCE_DIR "/docs/example-programme.json")));
    QCOMPARE(rig.parts().programme().model().rowCount(), 6);
    QCOMPARE(rig.display(), QStringLiteral("12:00"));
    rig.parts().programme().next();
    QCOMPARE(rig.display(), QStringLiteral("25:00"));
    QCOMPARE(rig.label("Lbl_Bell1_Second")->text(), QStringLiteral("300"));
    const Shown &shown = rig.viewer.feed().current();
    QVERIFY(shown.talk && shown.next && shown.session);
    QCOMPARE(shown.talk->title, QStringLiteral("招待講演"));
    QCOMPARE(shown.next->speaker, QStringLiteral("鈴木 一郎"));
    QVERIFY(shown.session->plannedEnd); // from its planned start
}

void SessionTest::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("programme");
    QTest::addColumn<bool>("refused");
    QTest::newRow("--programme FILE") << QStringList{"--programme", "a.json"} << "a.json" << false;
    QTest::newRow("--programme=FILE") << QStringList{"--programme=b.csv", "--remote"} << "b.csv" << false;
    QTest::newRow("a JSON file alone")
        << QStringList{"/tmp/セッション.json"} << "/tmp/セッション.json" << false;
    QTest::newRow("a CSV file alone, capitals") << QStringList{"A3.CSV"} << "A3.CSV" << false;
    QTest::newRow("another kind of file") << QStringList{"notes.txt"} << "" << false;
    QTest::newRow("a file beside other options") << QStringList{"a.json", "--remote"} << "" << false;
    QTest::newRow("--programme without a file") << QStringList{"--programme"} << "" << true;
}

void SessionTest::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, programme);
    QFETCH(bool, refused);
    const CommandLine line = parseCommandLine(QStringList{"podiumwatch"} + arguments);
    QCOMPARE(line.programme, programme);
    QCOMPARE(!line.error.isEmpty(), refused);
}

// The chair's window: a talk prepared from the table, a bad cell refused with its reason, a setup
// added, and unsaved changes asked about before it closes.
void SessionTest::programmeWindow()
{
    Rig rig;
    QTemporaryDir folder;
    QVERIFY(open(rig, writeProgramme(folder, kThreeTalks)));
    rig.parts().showProgrammeWindow();
    QWidget *window = inSomeWindow<QWidget>(QStringLiteral("ProgrammeWindow"));
    QVERIFY(window);
    auto *table = ctl<QTableView>(*window, "ProgrammeTable");
    table->selectRow(2);
    ctl<QPushButton>(*window, "Prepare")->click();
    QCOMPARE(talkNumber(rig), 3);
    QCOMPARE(rig.display(), QStringLiteral("3:00"));

    ProgrammeModel &model = rig.parts().programme().model();
    const ProgrammeDocument &document = rig.parts().programme().document();
    QVERIFY(!model.setData(model.index(0, ProgrammeModel::TimeColumn), QStringLiteral("1:75")));
    QVERIFY(ctl<QLabel>(*window, "Note")->text().contains(QStringLiteral("1:75")));
    ctl<QPushButton>(*window, "AddSetup")->click();
    QCOMPARE(model.rowCount(), 4);
    QCOMPARE(document.programme().talks.at(3).seconds, 180);
    QVERIFY(document.isModified());

    // The plan is set here under the file's checks; a refused value goes back to what it was.
    auto *start = ctl<QLineEdit>(*window, "PlanStart");
    start->setText(QStringLiteral("１３:００"));
    emit start->editingFinished();
    QCOMPARE(document.programme().start, std::optional<int>(13 * 60));
    start->setText(QStringLiteral("25:00"));
    emit start->editingFinished();
    QCOMPARE(start->text(), QStringLiteral("13:00"));
    QVERIFY(!ctl<QLabel>(*window, "Note")->text().isEmpty());
    // A long message, shown or kept, does not widen the window.
    const int widest = window->minimumSizeHint().width();
    const QString longest(kLongestMessage, u'あ');
    rig.parts().message().set(longest);
    QVERIFY(rig.parts().programme().saveMessage(longest));
    QVERIFY2(window->minimumSizeHint().width() <= widest, qPrintable(QString::number(widest)));
    // The record opens in the desktop's spreadsheet once there is one.
    auto *openRecord = ctl<QPushButton>(*window, "OpenRecord");
    openRecord->click();
    QVERIFY(rig.platform.openedInDesktop.isEmpty());
    rig.start();
    rig.second();
    rig.button("Cmd_Reset")->click();
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(rig.parts().programme().recordPath()), kPatienceMs);
    openRecord->click();
    QCOMPARE(rig.platform.openedInDesktop, QStringList{rig.parts().programme().recordPath()});

    const QPointer<QWidget> guard(window);
    QVERIFY(!window->close()); // the chair goes back
    QCOMPARE(rig.platform.unsavedAsked, 1);
    rig.platform.unsavedAnswers = {Platform::Unsaved::Save};
    QVERIFY(window->close()); // saved under its own name
    QVERIFY(!document.isModified());
    Rig reopened;
    QVERIFY(open(reopened, rig.parts().programme().path()));
    QCOMPARE(reopened.parts().programme().model().rowCount(), 4);
    QTRY_VERIFY_WITH_TIMEOUT(guard.isNull(), kPatienceMs);
}

// The usual messages are offered until the chair changes the list; from then on the programme keeps
// the list as it was left, the usual ones included.
void SessionTest::savedMessagesKeptWithTheProgramme()
{
    Rig rig;
    QTemporaryDir folder;
    QVERIFY(open(rig, writeProgramme(folder, kThreeTalks)));
    ProgrammeSession &session = rig.parts().programme();
    const QStringList usual = session.savedMessages();
    QCOMPARE(usual.size(), 4);
    QVERIFY(!session.saveMessage(usual.at(1))); // already there
    QVERIFY(!session.document().isModified());
    QVERIFY(session.forgetMessage(0));
    QCOMPARE(session.savedMessages(), usual.mid(1));
    QVERIFY(session.save(session.path()));
    Rig reopened;
    QVERIFY(open(reopened, session.path()));
    QCOMPARE(reopened.parts().programme().savedMessages(), usual.mid(1));

    Rig another;
    QTemporaryDir otherFolder;
    QVERIFY(open(another, writeProgramme(otherFolder, kThreeTalks)));
    QVERIFY(another.parts().programme().saveMessage(QStringLiteral(" 延長します ")));
    QCOMPARE(another.parts().programme().savedMessages(), usual + QStringList{QStringLiteral("延長します")});
}

void SessionTest::nothingTheChairDidIsLost_data()
{
    QTest::addColumn<QString>("what");
    for (const char *what : {"QORを終了 with changes", "QORを終了 without changes", "a spreadsheet saved",
                             "a programme never saved", "messages without a programme"})
        QTest::newRow(what) << QString::fromUtf8(what);
}

void SessionTest::nothingTheChairDidIsLost()
{
    QFETCH(QString, what);
    Rig rig;
    QTemporaryDir folder;
    // The session takes the documents folder when it is made.
    rig.platform.documents = folder.filePath(QStringLiteral("documents"));
    rig.session.emplace(rig.viewer, rig.platform);
    ProgrammeSession &session = rig.parts().programme();
    if (what.startsWith(QStringLiteral("QORを終了"))) {
        QVERIFY(open(rig, writeProgramme(folder, kThreeTalks)));
        if (what.endsWith(QStringLiteral("with changes")))
            QVERIFY(session.model().setData(session.model().index(0, ProgrammeModel::TimeColumn), "1:30"));
        rig.button("Cmd_End")->click(); // the chair goes back when asked
        const bool changed = what.endsWith(QStringLiteral("with changes"));
        QCOMPARE(rig.platform.unsavedAsked, changed ? 1 : 0);
        QCOMPARE(rig.platform.quits, changed ? 0 : 1);
        if (changed) {
            rig.platform.unsavedAnswers = {Platform::Unsaved::Discard};
            rig.button("Cmd_End")->click();
            QCOMPARE(rig.platform.quits, 1);
        }
    } else if (what == "a spreadsheet saved") {
        const QString csv = folder.filePath(QStringLiteral("A3.csv"));
        QFile file(csv);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("title,time\n一,1:00\n二,2:00\n");
        file.close();
        QVERIFY(open(rig, csv));
        const QString record = session.recordPath();
        QCOMPARE(record, folder.filePath(QStringLiteral("A3.record.csv")));
        // Its name is offered as JSON, the spreadsheet's file left as it is; the record stays.
        rig.platform.programmeFileAnswers = {folder.filePath(QStringLiteral("elsewhere.json"))};
        QVERIFY(session.saveAsked(false));
        QCOMPARE(rig.platform.programmeFileStarts, QStringList{folder.filePath(QStringLiteral("A3.json"))});
        QCOMPARE(session.recordPath(), record);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("title,time\n一,1:00\n二,2:00\n"));
    } else if (what == "a programme never saved") {
        rig.setTotal("1", "00");
        QVERIFY(session.addCurrentSetup());
        rig.start();
        rig.seconds(3);
        rig.button("Cmd_Reset")->click();
        QCOMPARE(session.recordPath(), folder.filePath(QStringLiteral("documents/podiumwatch.record.csv")));
        QCOMPARE(recordLines(rig, 1).size(), 1);
        QVERIFY(session.note().isEmpty());
        // Saved at last, it keeps its record beside it from then on.
        QVERIFY(session.save(folder.filePath(QStringLiteral("made.json"))));
        QCOMPARE(session.recordPath(), folder.filePath(QStringLiteral("made.record.csv")));
    } else if (what == "messages without a programme") {
        const QStringList usual = session.savedMessages();
        QVERIFY(session.saveMessage(QStringLiteral("延長します")));
        QVERIFY(session.forgetMessage(0));
        QVERIFY(!session.document().isModified());
        QCOMPARE(session.savedMessages(), usual.mid(1) + QStringList{QStringLiteral("延長します")});
        QCOMPARE(rig.platform.settings.value(QStringLiteral("savedMessages")), session.savedMessages());
        rig.button("Cmd_End")->click();
        QCOMPARE(rig.platform.unsavedAsked, 0);
        QCOMPARE(rig.platform.quits, 1);
        // The next run starts with the chair's own list.
        Rig next;
        next.platform.settings = rig.platform.settings;
        QCOMPARE(next.parts().programme().savedMessages(), session.savedMessages());
    }
}

// Enter in a cell's editor commits the edit, as in a spreadsheet; Enter on a talk prepares it.
void SessionTest::enterInACellCommitsTheEdit()
{
    Rig rig;
    QTemporaryDir folder;
    QVERIFY(open(rig, writeProgramme(folder, kThreeTalks)));
    rig.parts().showProgrammeWindow();
    auto *table = inSomeWindow<QTableView>(QStringLiteral("ProgrammeTable"));
    QVERIFY(table);
    QVERIFY(QTest::qWaitForWindowActive(table->window()));
    const QModelIndex title = table->model()->index(2, ProgrammeModel::TitleColumn);
    table->setCurrentIndex(title);
    table->edit(title);
    auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    QVERIFY(editor);
    editor->selectAll();
    editor->insert(QStringLiteral("三の改題"));
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(table->model()->data(title).toString(), QStringLiteral("三の改題"),
                              kPatienceMs);
    QCOMPARE(talkNumber(rig), 1);
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::focusWidget(), table, kPatienceMs);
    QTest::keyClick(table, Qt::Key_Return);
    QCOMPARE(talkNumber(rig), 3);
}

void SessionTest::thePlanToTheSecond_data()
{
    // s: a second counted, i: a second in set-up or paused, p: pause, +: a minute more, R: reset,
    // S: start, n: the next talk
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("projected");
    QTest::addColumn<int>("behind");
    // Talks of 1, 2 and 3 minutes from 10:00 with no changeover: planned to end at 10:06:00.
    QTest::newRow("before the start") << ""
                                      << "10:06:00" << 0;
    QTest::newRow("running") << "10s"
                             << "10:06:00" << 0;
    QTest::newRow("paused: the time passes") << "10s p 20i"
                                             << "10:06:20" << 20;
    QTest::newRow("a minute more") << "10s +"
                                   << "10:07:00" << 60;
    QTest::newRow("at zero") << "60s"
                             << "10:06:00" << 0;
    QTest::newRow("over-time moves it on") << "75s"
                                           << "10:06:15" << 15;
    QTest::newRow("over-time, ten seconds on") << "85s"
                                               << "10:06:25" << 25;
    // Without a planned start (the row's name says "unplanned"), the plan counts from the first
    // talk's real start, after a test run of it, and not again from the next talk's.
    QTest::newRow("unplanned") << "10s"
                               << "10:06:00" << 0;
    QTest::newRow("unplanned, after a test run") << "i 5s R 300i S 10s"
                                                 << "10:11:06" << 0;
    QTest::newRow("unplanned, the second talk later") << "30s p n 120i S 10s"
                                                      << "10:07:30" << 90;
}

// The projected end is now, what is left of the talk (nothing in over-time), and the talks after it.
void SessionTest::thePlanToTheSecond()
{
    QFETCH(QString, steps);
    QFETCH(QString, projected);
    QFETCH(int, behind);
    Rig rig;
    QTemporaryDir folder;
    QFile file(folder.filePath(QStringLiteral("plan.json")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    const QByteArray start =
        QByteArray(QTest::currentDataTag()).startsWith("unplanned") ? "" : R"("start": "10:00", )";
    file.write(R"({"format": "podiumwatch-programme", "version": 1, )" + start + R"("talks": [
                   {"title": "一", "time": "1:00"}, {"title": "二", "time": "2:00"}, {"title": "三", "time": "3:00"}]})");
    file.close();
    QVERIFY(open(rig, file.fileName()));
    if (!steps.isEmpty())
        rig.start();
    for (const QString &step : steps.split(u' ', Qt::SkipEmptyParts)) {
        const int count = step.size() > 1 ? step.chopped(1).toInt() : 1;
        const QChar kind = step.back();
        if (kind == u's')
            rig.seconds(count);
        else if (kind == u'i')
            rig.platform.advance(count);
        else if (kind == u'p')
            rig.button("Cmd_Pause")->click();
        else if (kind == u'+')
            rig.viewer.adjustRemaining(60);
        else if (kind == u'R')
            rig.button("Cmd_Reset")->click();
        else if (kind == u'S')
            rig.start();
        else if (kind == u'n')
            rig.parts().programme().next();
    }
    rig.viewer.feed().refresh(); // as the session's clock does every second
    const std::optional<SessionGlance> glance = rig.viewer.feed().current().session;
    QVERIFY(glance);
    QCOMPARE(glance->projectedEnd.time().toString(QStringLiteral("HH:mm:ss")), projected);
    QCOMPARE(glance->behindSeconds.value_or(-1), behind);
    // The programme window says the same.
    rig.parts().showProgrammeWindow();
    auto *shownThere = inSomeWindow<QLabel>(QStringLiteral("SessionGlance"));
    QVERIFY(shownThere);
    QVERIFY2(shownThere->text().contains(QStringLiteral("見込み終了 ") + projected.left(5)),
             qPrintable(shownThere->text()));
}

void SessionTest::theMessageBelongsToItsTalk_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("kept");
    QTest::newRow("the next talk") << "next" << false;
    QTest::newRow("the previous talk") << "previous" << false;
    QTest::newRow("another talk from the table") << "prepare 3" << false;
    QTest::newRow("the same talk from the table") << "prepare 2" << true;
    QTest::newRow("reset") << "reset" << true;
    QTest::newRow("restart") << "restart" << true;
    QTest::newRow("Esc on the message line") << "escape" << false;
}

// A message to the speaker is for the talk it was sent in: another talk prepared clears it, the same
// talk started again keeps it.
void SessionTest::theMessageBelongsToItsTalk()
{
    QFETCH(QString, action);
    QFETCH(bool, kept);
    Rig rig;
    QTemporaryDir folder;
    QVERIFY(open(rig, writeProgramme(folder, kThreeTalks)));
    rig.parts().programme().next();
    rig.parts().message().set(QStringLiteral("あと3分でまとめてください"));
    rig.button("Cmd_Slave")->click();
    if (action == "next")
        rig.parts().programme().next();
    else if (action == "previous")
        rig.parts().programme().previous();
    else if (action.startsWith(QStringLiteral("prepare")))
        QVERIFY(rig.parts().programme().prepare(action.back().digitValue()));
    else if (action == "reset")
        rig.button("Cmd_Reset")->click();
    else if (action == "restart")
        rig.button("Cmd_Reset_Start")->click();
    else if (action == "escape") {
        rig.parts().showProgrammeWindow();
        auto *line = inSomeWindow<QLineEdit>(QStringLiteral("MessageLine"));
        QVERIFY(line);
        QTest::keyClick(line, Qt::Key_Escape);
    }
    const QString expected = kept ? QStringLiteral("あと3分でまとめてください") : QString();
    QCOMPARE(rig.viewer.feed().current().message, expected);
    // Without it, the band under the time goes to the talk about to start: who is next.
    const ProgrammeSession &session = rig.parts().programme();
    const ProgrammeTalk &talk = session.document().programme().talks.at(session.talkNumber() - 1);
    auto *band = rig.viewer.slave()->findChild<QLabel *>(QStringLiteral("Lbl_Message"));
    QVERIFY(band->isVisible());
    QCOMPARE(band->text(),
             kept ? expected : QStringLiteral("次の発表　%1　%2").arg(talk.title, talk.speaker));
}

QTEST_MAIN(SessionTest)
#include "tst_session.moc"
