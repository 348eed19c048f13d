// A session as it runs: the planned and projected end and how far apart they are, and the record of
// each talk, on disk as soon as it is written.

#include "programme/record.h"
#include "programme/session.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <sys/stat.h>
#endif

namespace {

const QDate kDay(2026, 12, 7);

Programme session(const QString &start, int changeover, const QList<int> &minutes)
{
    Programme programme;
    if (!start.isEmpty())
        programme.start = QTime::fromString(start, QStringLiteral("H:mm")).msecsSinceStartOfDay() / 60'000;
    programme.changeover = changeover;
    for (const int m : minutes) {
        ProgrammeTalk talk;
        talk.seconds = m * 60;
        programme.talks << talk;
    }
    return programme;
}

QDateTime at(const char *time)
{
    return QDateTime(kDay, QTime::fromString(QLatin1StringView(time), QStringLiteral("H:mm:ss")));
}

TalkRun run()
{
    TalkRun talk;
    talk.number = 3;
    talk.title = QStringLiteral("深層学習による欠陥検出");
    talk.speaker = QStringLiteral("山田 太郎");
    talk.plannedSeconds = 720;
    talk.started = at("13:31:05");
    talk.ended = at("13:44:10");
    talk.runningSeconds = 770;
    talk.pauses = 1;
    talk.pausedSeconds = 15;
    talk.mostOverSeconds = 50;
    talk.end = RunEnd::NextTalk;
    talk.adjustmentSeconds = 60;
    return talk;
}

QByteArray readWhole(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

} // namespace

class ProgrammeRunTest : public QObject {
    Q_OBJECT

private slots:
    void glance_data();
    void glance();
    void noGlanceWithoutTheTalk();
    void recordLine_data();
    void recordLine();
    void recordOnDiskAtOnce();
    void recordWholeOrNotAtAll();
    void recordPath();
};

void ProgrammeRunTest::glance_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<int>("changeover");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("remaining"); // -99999: the current talk not started
    QTest::addColumn<QString>("firstStart");
    QTest::addColumn<QString>("now");
    QTest::addColumn<QString>("expected"); // planned end | projected end | behind | words; "-" unknown
    const int notStarted = -99999;
    // Talks of 12, 25 and 12 minutes with a minute between them: 49 + 2 minutes from 13:30 is 14:21.
    QTest::newRow("on time") << "13:30" << 60 << 1 << notStarted << ""
                             << "13:30:00"
                             << "14:21|14:21|0|予定どおり";
    QTest::newRow("59 s late is on time") << "13:30" << 60 << 1 << notStarted << ""
                                          << "13:30:59"
                                          << "14:21|14:21|59|予定どおり";
    QTest::newRow("60 s late is a minute") << "13:30" << 60 << 1 << notStarted << ""
                                           << "13:31:00"
                                           << "14:21|14:22|60|予定より 1分 遅れ";
    QTest::newRow("minutes towards zero") << "13:30" << 60 << 1 << notStarted << ""
                                          << "13:31:59"
                                          << "14:21|14:22|119|予定より 1分 遅れ";
    QTest::newRow("early, the current talk running") << "13:30" << 60 << 2 << 1500 << ""
                                                     << "13:40:00"
                                                     << "14:21|14:18|-180|予定より 3分 早い";
    QTest::newRow("59 s early is on time") << "13:30" << 60 << 2 << 661 << ""
                                           << "13:56:00"
                                           << "14:21|14:20|-59|予定どおり";
    QTest::newRow("over-time: nothing left of the talk") << "13:30" << 60 << 3 << -120 << ""
                                                         << "14:25:00"
                                                         << "14:21|14:25|240|予定より 4分 遅れ";
    QTest::newRow("no start, nothing started: only the projection") << "" << 60 << 1 << notStarted << ""
                                                                    << "13:30:00"
                                                                    << "-|14:21|-|";
    QTest::newRow("no start: from the first talk's actual start") << "" << 60 << 2 << 1200 << "13:35:00"
                                                                  << "13:50:00"
                                                                  << "14:26|14:23|-180|予定より 3分 早い";
    QTest::newRow("no changeover") << "9:05" << 0 << 3 << 0 << ""
                                   << "9:55:00"
                                   << "09:54|09:55|60|予定より 1分 遅れ";
}

void ProgrammeRunTest::glance()
{
    QFETCH(QString, start);
    QFETCH(int, changeover);
    QFETCH(int, current);
    QFETCH(int, remaining);
    QFETCH(QString, firstStart);
    QFETCH(QString, now);
    QFETCH(QString, expected);
    SessionProgress progress;
    progress.currentTalk = current;
    if (remaining != -99999)
        progress.remainingSeconds = remaining;
    if (!firstStart.isEmpty())
        progress.firstStart = at(qPrintable(firstStart));
    progress.now = at(qPrintable(now));
    const std::optional<SessionGlance> glance =
        sessionGlance(session(start, changeover, {12, 25, 12}), progress);
    QVERIFY(glance);
    const auto clock = [](const QDateTime &moment) { return moment.toString(QStringLiteral("HH:mm")); };
    const QString described =
        QStringList{glance->plannedEnd ? clock(*glance->plannedEnd) : QStringLiteral("-"),
                    clock(glance->projectedEnd),
                    glance->behindSeconds ? QString::number(*glance->behindSeconds) : QStringLiteral("-"),
                    glance->behindSeconds ? scheduleInWords(*glance->behindSeconds) : QString()}
            .join(u'|');
    QCOMPARE(described, expected);
}

// Without a programme, or with a talk it does not have, there is nothing to glance at.
void ProgrammeRunTest::noGlanceWithoutTheTalk()
{
    const Programme programme = session(QStringLiteral("13:30"), 60, {12, 25, 12});
    for (const int current : {0, 4})
        QVERIFY(!sessionGlance(programme, SessionProgress{current, 1620, std::nullopt, at("13:45:00")}));
}

void ProgrammeRunTest::recordLine_data()
{
    QTest::addColumn<TalkRun>("talk");
    QTest::addColumn<QString>("line");
    QTest::newRow("next talk, a minute added")
        << run()
        << "3,深層学習による欠陥検出,山田 太郎,0:12:00,2026-12-07 13:31:05,2026-12-07 "
           "13:44:10,0:12:50,1,0:00:15,0:00:50,次の発表,60\r\n";
    TalkRun quoted = run();
    quoted.title = QStringLiteral("A, \"B\"\nC");
    quoted.speaker = QStringLiteral("山田\n太郎");
    quoted.end = RunEnd::Reset;
    quoted.adjustmentSeconds = -120;
    quoted.mostOverSeconds = 0;
    QTest::newRow("quoted cells, reset, two minutes taken")
        << quoted
        << "3,\"A, \"\"B\"\"\nC\",\"山田\n太郎\",0:12:00,2026-12-07 13:31:05,2026-12-07 "
           "13:44:10,0:12:50,1,0:00:15,0:00:00,リセット,-120\r\n";
    TalkRun formula = run();
    formula.title = QStringLiteral("=HYPERLINK(\"http://x\")");
    formula.speaker = QStringLiteral("@admin");
    QTest::newRow("a title a spreadsheet would run as a formula")
        << formula
        << "3,\"'=HYPERLINK(\"\"http://x\"\")\",'@admin,0:12:00,2026-12-07 13:31:05,2026-12-07 "
           "13:44:10,0:12:50,1,0:00:15,0:00:50,次の発表,60\r\n";
    formula.title = QStringLiteral("-2+3");
    formula.speaker = QStringLiteral("+81 3 1234");
    QTest::newRow("a sign first is a formula too")
        << formula
        << "3,'-2+3,'+81 3 1234,0:12:00,2026-12-07 13:31:05,2026-12-07 "
           "13:44:10,0:12:50,1,0:00:15,0:00:50,次の発表,60\r\n";
    TalkRun plain = run();
    plain.pauses = 0;
    plain.pausedSeconds = 0;
    plain.adjustmentSeconds = 0;
    plain.runningSeconds = 3725;
    for (const auto &[end, words] :
         {std::pair{RunEnd::PreviousTalk, "前の発表"}, std::pair{RunEnd::Exit, "終了"},
          std::pair{RunEnd::Restart, "再スタート"}}) {
        plain.end = end;
        QTest::addRow("%s, no adjustment", words)
            << plain
            << QStringLiteral("3,深層学習による欠陥検出,山田 太郎,0:12:00,2026-12-07 13:31:05,2026-12-07 "
                              "13:44:10,1:02:05,0,0:00:00,0:00:50,%1,0\r\n")
                   .arg(QString::fromUtf8(words));
    }
}

void ProgrammeRunTest::recordLine()
{
    QFETCH(TalkRun, talk);
    QFETCH(QString, line);
    QCOMPARE(::recordLine(talk), line);
}

void ProgrammeRunTest::recordOnDiskAtOnce()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("session.record.csv"));
    RecordWriter writer(path);
    const QByteArray header = "\xEF\xBB\xBF" + recordHeader().toUtf8();
    QCOMPARE(
        header,
        QByteArray("\xEF\xBB\xBF番号,演題,発表者,予定時間,開始,終了,発表時間,一時停止回数,一時停止時間,超過,"
                   "終了の仕方,調整（秒）\r\n"));
    const QByteArray first = ::recordLine(run()).toUtf8();
    QVERIFY(writer.append(run()));
    // Read by another handle at once: nothing waits in a buffer of the writer's.
    QCOMPARE(readWhole(path), header + first);
    TalkRun second = run();
    second.number = 4;
    QVERIFY(writer.append(second));
    QCOMPARE(readWhole(path), header + first + ::recordLine(second).toUtf8());

    // A file that exists but is empty gets the header; one with lines does not get it again.
    const QString empty = folder.filePath(QStringLiteral("empty.record.csv"));
    QFile(empty).open(QIODevice::WriteOnly);
    QVERIFY(RecordWriter(empty).append(run()));
    QCOMPARE(readWhole(empty), header + first);
    QVERIFY(RecordWriter(path).append(run()));
    QCOMPARE(readWhole(path).count("番号"), 1);

    RecordWriter folderAsFile(folder.path());
    QVERIFY(!folderAsFile.append(run()));
    QCOMPARE(folderAsFile.errorString(),
             QStringLiteral("記録ファイル「%1」を開けません。").arg(QFileInfo(folder.path()).fileName()));
}

// A record on a disk that fills, or at a path that is no file: a line is on disk whole or not at
// all, a line that could not be written goes with the next, and nothing waits for a reader.
void ProgrammeRunTest::recordWholeOrNotAtAll()
{
#ifdef Q_OS_UNIX
    QTemporaryDir folder;
    const QString fifo = folder.filePath(QStringLiteral("fifo.record.csv"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    RecordWriter toFifo(fifo);
    QVERIFY(!toFifo.append(run())); // at once: a blocking open would never return here
    QVERIFY(toFifo.errorString().contains(QStringLiteral("fifo.record.csv")));

    const QString path = folder.filePath(QStringLiteral("full.record.csv"));
    RecordWriter writer(path);
    QVERIFY(writer.append(run()));
    const QByteArray first = readWhole(path);
    // The disk has room for 10 bytes more: the next line does not fit.
    rlimit limit{};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit full{static_cast<rlim_t>(first.size() + 10), limit.rlim_max};
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &full), 0);
    TalkRun second = run();
    second.number = 4;
    const bool written = writer.append(second);
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, oldHandler);
    QVERIFY(!written);
    QCOMPARE(readWhole(path), first); // no fragment
    TalkRun third = run();
    third.number = 5;
    QVERIFY(writer.append(third));
    QCOMPARE(readWhole(path), first + ::recordLine(second).toUtf8() + ::recordLine(third).toUtf8());

    // On the disk itself before it says so: a line whose sync fails is not reported written.
    int syncs = 0;
    bool syncing = true;
    RecordWriter counted(folder.filePath(QStringLiteral("synced.record.csv")), [&](QFile &file) {
        ++syncs;
        return syncing && RecordWriter::syncToDisk(file);
    });
    QVERIFY(counted.append(run()));
    QCOMPARE(syncs, 1);
    syncing = false;
    QVERIFY(!counted.append(second));
    QCOMPARE(syncs, 2);
#else
    QSKIP("FIFOs and file size limits are Unix's");
#endif
}

void ProgrammeRunTest::recordPath()
{
    QTemporaryDir folder;
    const QString documents = QStringLiteral("/srv/documents");
    QCOMPARE(recordPathFor(folder.filePath(QStringLiteral("A3.session.json")), documents),
             folder.filePath(QStringLiteral("A3.session.record.csv")));
    QCOMPARE(recordPathFor(folder.filePath(QStringLiteral("A3.csv")), documents),
             folder.filePath(QStringLiteral("A3.record.csv")));
    QCOMPARE(recordPathFor(folder.filePath(QStringLiteral("gone/A3.json")), documents),
             QStringLiteral("/srv/documents/A3.record.csv"));
    // Never saved: a name of its own, not an empty path.
    QCOMPARE(recordPathFor({}, documents), QStringLiteral("/srv/documents/podiumwatch.record.csv"));
    QCOMPARE(recordPathFor({}, {}), QDir::home().filePath(QStringLiteral("podiumwatch.record.csv")));
}

QTEST_APPLESS_MAIN(ProgrammeRunTest)
#include "tst_programmerun.moc"
