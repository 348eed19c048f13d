// A sound server that stops answering, or is not there when the output opens, never holds the
// event loop of the program asking for sounds; a sound that cannot start in time is dropped, not
// played late, and the player finds the server by itself once it answers. Against a PulseAudio the
// test starts, stops (SIGSTOP) and continues (skipped where PulseAudio is not installed), and
// against helpers of the test's own that answer only what they are told to, for the limits.

#include "platform/soundplayer.h"
#include "pulseserver.h"

#include <QTemporaryDir>
#include <QTimer>

class SoundStallTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup();
    void stalledServer_data();
    void stalledServer();
    void serverAppearingLater();
    void helperGivenUpAtItsLimit_data();
    void helperGivenUpAtItsLimit();
    void secondOutageRetriedAsSoonAsTheFirst();

private:
    PulseServer server_;
};

namespace {

const QString kHelper = QStringLiteral(PODIUMWATCH_BUILD_DIR "/podiumwatch-sound");

// A helper that runs `script` and then takes in whatever it is sent without a word more.
QString fakeHelper(const QString &folder, const QByteArray &script)
{
    const QString path =
        writeFile(folder, QStringLiteral("fake-helper"), "#!/bin/sh\n" + script + "\nexec cat >/dev/null\n");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

// A precise one-shot timer that writes down what `probe` says when it fires.
struct Check {
    QTimer timer;
    bool fired = false;
    bool seen = false;

    explicit Check(std::function<bool()> probe)
    {
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, [this, probe] {
            fired = true;
            seen = probe();
        });
    }
};

} // namespace

void SoundStallTest::cleanup()
{
    server_.stop(); // continued first: nothing is left stopped
}

void SoundStallTest::stalledServer_data()
{
    QTest::addColumn<bool>("stalledBeforeOpening");
    QTest::newRow("while the output is open") << false;
    QTest::newRow("before the output opens") << true;
}

void SoundStallTest::stalledServer()
{
    if (!PulseServer::installed())
        QSKIP("PulseAudio is not installed here");
    QFETCH(bool, stalledBeforeOpening);
    QTemporaryDir runtime, folder;
    QVERIFY(server_.start(runtime.path(), true));
    const QString before = writeFile(folder.path(), QStringLiteral("before.wav"), toneWav(100));
    const QString during = writeFile(folder.path(), QStringLiteral("during.wav"), toneWav(200));
    const QString after = writeFile(folder.path(), QStringLiteral("after.wav"), toneWav(300));

    SoundPlayer player(kHelper);
    QList<qsizetype> started;
    connect(&player, &SoundPlayer::started, this, [&](qsizetype bytes) { started << bytes; });
    Recording recording;
    QElapsedTimer clock;
    clock.start();
    server_.record(
        recording, clock,
        [&] {
            if (!stalledBeforeOpening) {
                player.openOutput();
                player.play(before);
                QTRY_VERIFY_WITH_TIMEOUT(started.contains(toneBytes(100, SoundPlayer::kTailMs)), 30000);
                // Heard to its end before the server stops: a stall would cut it.
                QTRY_VERIFY_WITH_TIMEOUT(
                    !recording.soundsMs(4000).isEmpty() && recording.quietAtEndMs(4000) > 100, 30000);
            }

            server_.pause();
            const Heartbeat heartbeat;
            QElapsedTimer call;
            call.start();
            player.openOutput();
            player.play(during);
            QVERIFY2(call.elapsed() < 1000, qPrintable(QString::number(call.elapsed())));
            QTRY_VERIFY_WITH_TIMEOUT(!player.available(), 30000);
            QVERIFY2(heartbeat.longestStallMs() < 1000,
                     qPrintable(QString::number(heartbeat.longestStallMs())));

            server_.resume();
            QTRY_VERIFY_WITH_TIMEOUT(player.available(), 30000); // found again without being asked
            player.play(after);
            QTRY_VERIFY_WITH_TIMEOUT(started.contains(toneBytes(300, SoundPlayer::kTailMs)), 30000);
            QVERIFY2(heartbeat.longestStallMs() < 1000,
                     qPrintable(QString::number(heartbeat.longestStallMs())));
        },
        1000);
    if (QTest::currentTestFailed())
        return;
    QVERIFY(player.available());

    // What was heard: each sound that started, whole, and nothing of the one asked for during the
    // stall, neither then nor once the server went on.
    QVERIFY(!started.contains(toneBytes(200, SoundPlayer::kTailMs)));
    const QList<qint64> heard = recording.soundsMs(4000);
    const QList<qint64> expected = stalledBeforeOpening ? QList<qint64>{300} : QList<qint64>{100, 300};
    QCOMPARE(heard.size(), expected.size());
    for (qsizetype i = 0; i < heard.size(); ++i)
        QVERIFY2(std::abs(heard[i] - expected[i]) <= 20, qPrintable(QString::number(heard[i])));
}

void SoundStallTest::serverAppearingLater()
{
    if (!PulseServer::installed())
        QSKIP("PulseAudio is not installed here");
    QTemporaryDir runtime, folder;
    // Where the server will be, before it is there.
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    qputenv("PULSE_SERVER", ("unix:" + runtime.path() + "/pulse/native").toLocal8Bit());
    const QString tone = writeFile(folder.path(), QStringLiteral("tone.wav"), toneWav(100));

    SoundPlayer player(kHelper);
    QList<qsizetype> started;
    connect(&player, &SoundPlayer::started, this, [&](qsizetype bytes) { started << bytes; });
    player.openOutput();
    QTRY_VERIFY_WITH_TIMEOUT(!player.available(), 30000);

    QVERIFY(server_.start(runtime.path(), false));
    player.play(tone);
    QTRY_COMPARE_WITH_TIMEOUT(started, QList<qsizetype>{toneBytes(100, SoundPlayer::kTailMs)}, 30000);
    QVERIFY(player.available());
}

void SoundStallTest::helperGivenUpAtItsLimit_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<bool>("plays");
    QTest::addColumn<int>("limitMs");
    QTest::addColumn<bool>("givenUp");
    // The limits written out rather than read from the player, so that one changed fails here.
    QTest::newRow("a sound not started") << QByteArray("echo output 1") << true << 1500 << true;
    QTest::newRow("no word on the output") << QByteArray() << false << 3000 << true;
    QTest::newRow("the output reported") << QByteArray("echo output 1") << false << 3000 << false;
}

void SoundStallTest::helperGivenUpAtItsLimit()
{
    QFETCH(QByteArray, script);
    QFETCH(bool, plays);
    QFETCH(int, limitMs);
    QFETCH(bool, givenUp);
    QTemporaryDir folder;
    SoundPlayer player(fakeHelper(folder.path(), script));
    // The player counts its limit from a moment between the starts of the two checks, so at any
    // load the early one comes before the limit and the late one after it. Qt may fire the
    // player's coarse timer up to 5 % early or late.
    const auto available = [&] { return player.available(); };
    Check early(available), late(available);
    early.timer.start(limitMs * 94 / 100);
    if (plays) {
        player.play(QString()); // the built-in bell: nothing to read first
        QCoreApplication::sendPostedEvents(&player, QEvent::MetaCall);
    } else {
        player.openOutput();
    }
    late.timer.start(limitMs * 106 / 100);
    QTRY_VERIFY_WITH_TIMEOUT(late.fired, 30000);
    QVERIFY2(early.seen, "given up before its limit");
    QCOMPARE(late.seen, !givenUp);
}

void SoundStallTest::secondOutageRetriedAsSoonAsTheFirst()
{
    QTemporaryDir folder;
    const QString down = writeFile(folder.path(), QStringLiteral("down"), {});
    SoundPlayer player(fakeHelper(folder.path(), "if [ -e '" + QFile::encodeName(down) +
                                                     "' ]; then echo output 0; else echo output 1; fi"));
    // The newest helper still running, if any.
    const auto helper = [&]() -> QProcess * {
        const QList<QProcess *> helpers = player.findChildren<QProcess *>();
        return !helpers.isEmpty() && helpers.last()->state() != QProcess::NotRunning ? helpers.last()
                                                                                     : nullptr;
    };
    player.openOutput();
    QTRY_VERIFY_WITH_TIMEOUT(!player.available(), 30000);
    QFile::remove(down);
    QTRY_VERIFY_WITH_TIMEOUT(player.available() && helper(), 30000);

    // The retry after the second outage comes 2 s after it, as after the first. The early check is
    // started just before the player arms its retry, the late one just after.
    const auto relaunched = [&] { return helper() != nullptr; };
    Check early(relaunched), late(relaunched);
    bool armed = false;
    connect(&player, &SoundPlayer::availabilityChanged, this, [&](bool available) {
        if (available || std::exchange(armed, true))
            return;
        early.timer.start(2000 * 94 / 100);
        QTimer::singleShot(0, this, [&] { late.timer.start(2000 * 106 / 100); });
    });
    helper()->kill();
    QTRY_VERIFY_WITH_TIMEOUT(late.fired, 30000);
    QVERIFY2(!early.seen, "tried again sooner than 2 s");
    QVERIFY2(late.seen, "not tried again 2 s after the second outage");
}

QTEST_MAIN(SoundStallTest)
#include "tst_sound_stall.moc"
