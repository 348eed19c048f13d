// A session as it runs: the planned and projected end and how far apart they are, and the record of
// each talk, on disk as soon as it is written.

#include "programme/record.h"
#include "programme/recordqueue.h"
#include "programme/session.h"

#include <QDir>
#include <QScopeGuard>
#include <QSemaphore>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <csignal>
#include <memory>
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
    talk.affiliation = QStringLiteral("東京大学");
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

TalkRun numbered(int number)
{
    TalkRun talk = run();
    talk.number = number;
    return talk;
}

QByteArray header()
{
    return "\xEF\xBB\xBF" + recordHeader().toUtf8();
}

// A disk whose syncs wait until the test lets them through. Held by the writers' Sync, so that it
// outlives a writing thread the queue could not wait for. A sync gives up after half a minute, so
// that a wait on the wrong thread fails the test instead of hanging it.
struct HeldDisk {
    QSemaphore gate;
    std::atomic<int> held{0};

    static RecordWriter::Sync sync(const std::shared_ptr<HeldDisk> &disk)
    {
        return [disk](QFile &file) {
            ++disk->held;
            const bool through = disk->gate.tryAcquire(1, 30'000);
            --disk->held;
            return through && file.flush();
        };
    }
};

constexpr int kPatience = 10'000;

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
    void recordPath_data();
    void recordPath();
    void recordQueueNeverHoldsTheCaller();
    void recordQueueBound();
    void recordQueueFailureThenSuccess();
    void recordQueueMakesTheFolder();
    void recordQueueEnd();
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
        << "3,深層学習による欠陥検出,山田 太郎,東京大学,0:12:00,2026-12-07 13:31:05,2026-12-07 "
           "13:44:10,0:12:50,1,0:00:15,0:00:50,次の発表,60\r\n";
    TalkRun quoted = run();
    quoted.title = QStringLiteral("A, \"B\"\nC");
    quoted.speaker = QStringLiteral("山田\n太郎");
    quoted.affiliation.clear();
    quoted.end = RunEnd::Reset;
    quoted.adjustmentSeconds = -120;
    quoted.mostOverSeconds = 0;
    QTest::newRow("quoted cells, reset, two minutes taken")
        << quoted
        << "3,\"A, \"\"B\"\"\nC\",\"山田\n太郎\",,0:12:00,2026-12-07 13:31:05,2026-12-07 "
           "13:44:10,0:12:50,1,0:00:15,0:00:00,リセット,-120\r\n";
    TalkRun formula = run();
    formula.title = QStringLiteral("=HYPERLINK(\"http://x\")");
    formula.speaker = QStringLiteral("@admin");
    formula.affiliation = QStringLiteral("=東京大学");
    QTest::newRow("a title a spreadsheet would run as a formula")
        << formula
        << "3,\"'=HYPERLINK(\"\"http://x\"\")\",'@admin,'=東京大学,0:12:00,2026-12-07 13:31:05,2026-12-07 "
           "13:44:10,0:12:50,1,0:00:15,0:00:50,次の発表,60\r\n";
    formula.title = QStringLiteral("-2+3");
    formula.speaker = QStringLiteral("+81 3 1234");
    formula.affiliation = QStringLiteral("-");
    QTest::newRow("a sign first is a formula too")
        << formula
        << "3,'-2+3,'+81 3 1234,'-,0:12:00,2026-12-07 13:31:05,2026-12-07 "
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
            << QStringLiteral(
                   "3,深層学習による欠陥検出,山田 太郎,東京大学,0:12:00,2026-12-07 13:31:05,2026-12-07 "
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
        QByteArray(
            "\xEF\xBB\xBF番号,演題,発表者,所属,予定時間,開始,終了,発表時間,一時停止回数,一時停止時間,超過,"
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

void ProgrammeRunTest::recordPath_data()
{
    // Paths under a folder with talks/ and docs/ in it and a file named "file"; "~/" is home.
    QTest::addColumn<QString>("programme");
    QTest::addColumn<QString>("elsewhere");
    QTest::addColumn<QString>("expected");
    QTest::newRow("beside the programme") << "talks/A3.session.json"
                                          << "docs"
                                          << "talks/A3.session.record.csv";
    QTest::newRow("beside a CSV programme") << "talks/A3.csv"
                                            << "docs"
                                            << "talks/A3.record.csv";
    QTest::newRow("the programme's folder gone") << "gone/A3.json"
                                                 << "docs"
                                                 << "docs/A3.record.csv";
    // Never saved: a name of its own, not an empty path.
    QTest::newRow("never saved") << ""
                                 << "docs"
                                 << "docs/podiumwatch.record.csv";
    QTest::newRow("documents folder to be made") << ""
                                                 << "new/docs"
                                                 << "new/docs/podiumwatch.record.csv";
    QTest::newRow("documents folder under a file") << ""
                                                   << "file/docs"
                                                   << "~/podiumwatch.record.csv";
    QTest::newRow("documents folder a file") << ""
                                             << "file"
                                             << "~/podiumwatch.record.csv";
    QTest::newRow("no documents folder") << "gone/A3.json"
                                         << ""
                                         << "~/A3.record.csv";
}

void ProgrammeRunTest::recordPath()
{
    QFETCH(QString, programme);
    QFETCH(QString, elsewhere);
    QFETCH(QString, expected);
    QTemporaryDir folder;
    QVERIFY(QDir(folder.path()).mkpath(QStringLiteral("talks")));
    QVERIFY(QDir(folder.path()).mkpath(QStringLiteral("docs")));
    QVERIFY(QFile(folder.filePath(QStringLiteral("file"))).open(QIODevice::WriteOnly));
    const auto under = [&](const QString &path) { return path.isEmpty() ? path : folder.filePath(path); };
    QCOMPARE(recordPathFor(under(programme), under(elsewhere)),
             expected.startsWith(u'~') ? QDir::home().filePath(expected.mid(2)) : under(expected));
    QVERIFY(!QFileInfo::exists(folder.filePath(QStringLiteral("new")))); // made by the writer, not here
}

// The caller's thread, the clock's, goes on while the disk takes its time.
void ProgrammeRunTest::recordQueueNeverHoldsTheCaller()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("held.record.csv"));
    const auto disk = std::make_shared<HeldDisk>();
    RecordQueue queue(HeldDisk::sync(disk));
    const auto open = qScopeGuard([&] { disk->gate.release(1'000); });
    QSignalSpy written(&queue, &RecordQueue::written);
    QVERIFY(queue.append(path, run()));
    QTRY_COMPARE_WITH_TIMEOUT(disk->held.load(), 1, kPatience);
    int ticks = 0;
    QTimer clock;
    connect(&clock, &QTimer::timeout, [&] { ++ticks; });
    clock.start(10);
    QVERIFY(queue.append(path, numbered(4))); // the next talk ends while the first is on its way
    QTRY_VERIFY_WITH_TIMEOUT(ticks >= 3, kPatience);
    QCOMPARE(disk->held.load(), 1);
    QVERIFY(written.isEmpty()); // not before it is on disk
    disk->gate.release(2);
    QTRY_COMPARE_WITH_TIMEOUT(written.count(), 2, kPatience);
    QCOMPARE(readWhole(path), header() + ::recordLine(run()).toUtf8() + ::recordLine(numbered(4)).toUtf8());
}

// As many runs as it holds are kept while the disk is stuck, in order; the one more is refused and
// nothing before it is lost.
void ProgrammeRunTest::recordQueueBound()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("bound.record.csv"));
    const auto disk = std::make_shared<HeldDisk>();
    RecordQueue queue(HeldDisk::sync(disk));
    const auto open = qScopeGuard([&] { disk->gate.release(1'000); });
    QSignalSpy written(&queue, &RecordQueue::written);
    QSignalSpy failed(&queue, &RecordQueue::failed);
    QByteArray lines;
    for (int number = 1; number <= RecordQueue::kMostPending; ++number) {
        QVERIFY2(queue.append(path, numbered(number)), qPrintable(QString::number(number)));
        lines += ::recordLine(numbered(number)).toUtf8();
    }
    QVERIFY(!queue.append(path, numbered(RecordQueue::kMostPending + 1)));
    QVERIFY(failed.isEmpty()); // told from the event loop, not from inside append()
    QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, kPatience);
    QCOMPARE(failed.first().first().toString(), path);
    QVERIFY(failed.first().last().toString().contains(QStringLiteral("bound.record.csv")));
    disk->gate.release(1'000);
    QTRY_COMPARE_WITH_TIMEOUT(written.count(), RecordQueue::kMostPending, 3 * kPatience);
    QCOMPARE(readWhole(path), header() + lines);
    QCOMPARE(failed.count(), 1);
}

// A line the disk refused is written with the next to the same file, and a run for another file
// goes to that file.
void ProgrammeRunTest::recordQueueFailureThenSuccess()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("full.record.csv"));
    const QString other = folder.filePath(QStringLiteral("other.record.csv"));
    const auto syncs = std::make_shared<std::atomic<int>>(0);
    RecordQueue queue([syncs](QFile &file) { return ++*syncs > 1 && file.flush(); });
    QSignalSpy written(&queue, &RecordQueue::written);
    QSignalSpy failed(&queue, &RecordQueue::failed);
    QVERIFY(queue.append(path, numbered(4)));
    QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, kPatience);
    QCOMPARE(failed.first(),
             (QVariantList{path, QStringLiteral("記録ファイル「full.record.csv」に書き込めません。")}));
    QVERIFY(written.isEmpty());
    QVERIFY(queue.append(path, numbered(5)));
    QVERIFY(queue.append(other, numbered(6)));
    QTRY_COMPARE_WITH_TIMEOUT(written.count(), 2, kPatience);
    QCOMPARE(written.at(0), QVariantList{path});
    QCOMPARE(written.at(1), QVariantList{other});
    QCOMPARE(readWhole(path),
             header() + ::recordLine(numbered(4)).toUtf8() + ::recordLine(numbered(5)).toUtf8());
    QCOMPARE(readWhole(other), header() + ::recordLine(numbered(6)).toUtf8());
    QCOMPARE(failed.count(), 1);
}

void ProgrammeRunTest::recordQueueMakesTheFolder()
{
    QTemporaryDir folder;
    const QString path = recordPathFor({}, folder.filePath(QStringLiteral("Documents/PodiumWatch")));
    RecordQueue queue;
    QSignalSpy written(&queue, &RecordQueue::written);
    QVERIFY(queue.append(path, run()));
    QTRY_COMPARE_WITH_TIMEOUT(written.count(), 1, kPatience);
    QCOMPARE(readWhole(path), header() + ::recordLine(run()).toUtf8());
}

// At exit what is queued is written before the program ends, but a disk that hangs does not keep
// it from ending.
void ProgrammeRunTest::recordQueueEnd()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("end.record.csv"));
    const auto disk = std::make_shared<HeldDisk>();
    {
        RecordQueue queue(HeldDisk::sync(disk));
        for (int number = 1; number <= 3; ++number)
            QVERIFY(queue.append(path, numbered(number)));
        QTRY_COMPARE_WITH_TIMEOUT(disk->held.load(), 1, kPatience);
        disk->gate.release(3);
    }
    QCOMPARE(readWhole(path), header() + ::recordLine(numbered(1)).toUtf8() +
                                  ::recordLine(numbered(2)).toUtf8() + ::recordLine(numbered(3)).toUtf8());

    const auto open = qScopeGuard([&] { disk->gate.release(1'000); });
    {
        RecordQueue queue(HeldDisk::sync(disk));
        QVERIFY(queue.append(path, numbered(4)));
        QTRY_COMPARE_WITH_TIMEOUT(disk->held.load(), 1, kPatience);
    }
    QCOMPARE(disk->held.load(), 1); // the end gave up on it
}

QTEST_GUILESS_MAIN(ProgrammeRunTest)
#include "tst_programmerun.moc"
