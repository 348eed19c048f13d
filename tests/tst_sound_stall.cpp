// A sound server that stops answering, or is not there when the output opens, never holds the
// event loop of the program asking for sounds; a sound that cannot start in time is dropped, not
// played late, and the player finds the server by itself once it answers. Against a PulseAudio the
// test starts, stops (SIGSTOP) and continues; skipped where PulseAudio is not installed.

#include "platform/soundplayer.h"
#include "pulseserver.h"

#include <QTemporaryDir>

class SoundStallTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void stalledServer_data();
    void stalledServer();
    void serverAppearingLater();

private:
    PulseServer server_;
};

namespace {

const QString kHelper = QStringLiteral(PODIUMWATCH_BUILD_DIR "/podiumwatch-sound");

} // namespace

void SoundStallTest::initTestCase()
{
    if (!PulseServer::installed())
        QSKIP("PulseAudio is not installed here");
}

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

QTEST_MAIN(SoundStallTest)
#include "tst_sound_stall.moc"
