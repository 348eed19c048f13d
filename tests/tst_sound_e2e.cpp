// The real player, through its real sound process, against a real sound server: PulseAudio with a
// null sink whose monitor is recorded, so the test hears what an audience would. Skipped where
// PulseAudio is not installed. How soon a sound is heard is measured by bench_soundlatency; here it
// is only reported.

#include "platform/soundplayer.h"
#include "pulseserver.h"

#include <QTemporaryDir>
#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

class SoundEndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void soundArrivesWhole();
    void newRequestCutsTheOldSound();
    void unplayableFallsBackToTheDefaultBell();
    void aSoundStillBeingReadGivesWayToANewerOne();
    void helperSaysWhetherThereIsAnOutput_data();
    void helperSaysWhetherThereIsAnOutput();

private:
    QTemporaryDir runtime_;
    PulseServer server_;
    QElapsedTimer clock_;
};

void SoundEndToEndTest::initTestCase()
{
    if (!PulseServer::installed() || !server_.start(runtime_.path(), true))
        QSKIP("PulseAudio is not available here");
    clock_.start();
}

void SoundEndToEndTest::cleanupTestCase()
{
    server_.stop();
}

void SoundEndToEndTest::soundArrivesWhole()
{
    QTemporaryDir folder;
    const QString path = writeFile(folder.path(), QStringLiteral("tone.wav"), toneWav(600));

    SoundPlayer player(QStringLiteral(PODIUMWATCH_BUILD_DIR "/podiumwatch-sound"));
    player.openOutput();
    // Twice: the first play reads the file, the second finds it already decoded.
    for (int round = 0; round < 2; ++round) {
        const auto heard = server_.hear(
            clock_, [&] { player.play(path); }, 2500);
        QVERIFY2(heard, "nothing was heard");
        const qint64 lastedMs = heard->second - heard->first;
        qInfo("round %d: sound arrived %lld ms after the request and lasted %lld ms", round, heard->first,
              lastedMs);
        // Generous: a sound played late is dropped, so one heard at all is heard within about
        // the limit for starting it.
        QVERIFY2(heard->first <= 2000, qPrintable(QString::number(heard->first)));
        QVERIFY2(lastedMs >= 590 && lastedMs <= 620, qPrintable(QString::number(lastedMs)));
    }
    QVERIFY(player.available());
}

void SoundEndToEndTest::newRequestCutsTheOldSound()
{
    QTemporaryDir folder;
    const QString longTone = writeFile(folder.path(), QStringLiteral("long.wav"), toneWav(3000));

    SoundPlayer player(QStringLiteral(PODIUMWATCH_BUILD_DIR "/podiumwatch-sound"));
    Recording recording;
    qint64 secondMs = 0;
    server_.record(
        recording, clock_,
        [&] {
            player.play(longTone);
            QTest::qWait(500);
            secondMs = clock_.elapsed();
            player.play(QString()); // an empty name rings the default bell instead
        },
        3500);

    // The long tone stopped where the second request came; what follows is the (shorter) bell.
    const auto heard = recording.heard(secondMs, 1000);
    QVERIFY(heard);
    QVERIFY2(heard->second < 2500, qPrintable(QString::number(heard->second)));
}

void SoundEndToEndTest::unplayableFallsBackToTheDefaultBell()
{
    QFile resource(QStringLiteral(":/podiumwatch/default_bell.wav"));
    QVERIFY(resource.open(QIODevice::ReadOnly));
    const std::optional<PcmSound> bell = decodeWav(resource.readAll(), SoundPlayer::kTailMs);
    QVERIFY(bell);

    QTemporaryDir folder;
    auto write = [&](const QString &name, const QByteArray &bytes) {
        return writeFile(folder.path(), name, bytes);
    };
    QStringList unplayable = {QString(),
                              folder.filePath(QStringLiteral("missing.wav")),
                              write(QStringLiteral("empty.wav"), QByteArray()),
                              write(QStringLiteral("text.wav"), "just some words"),
                              write(QStringLiteral("cut.wav"), toneWav(200).left(30)),
                              folder.path()};
#ifdef Q_OS_UNIX
    const QString fifo = folder.filePath(QStringLiteral("pipe.wav"));
    QVERIFY(mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    unplayable << fifo;
#endif
    SoundPlayer player(QStringLiteral(PODIUMWATCH_BUILD_DIR "/podiumwatch-sound"));
    QList<qsizetype> started;
    connect(&player, &SoundPlayer::started, this, [&](qsizetype bytes) { started << bytes; });
    for (const QString &name : unplayable) {
        started.clear();
        player.play(name);
        QTRY_COMPARE_WITH_TIMEOUT(started.size(), 1, 30000);
        QVERIFY2(started[0] == bell->samples.size(), qPrintable(name));
    }
    // A good file plays itself, not the bell.
    started.clear();
    player.play(write(QStringLiteral("good.wav"), toneWav(100)));
    QTRY_COMPARE_WITH_TIMEOUT(started.size(), 1, 30000);
    QCOMPARE(started[0], toneBytes(100, SoundPlayer::kTailMs));
}

void SoundEndToEndTest::aSoundStillBeingReadGivesWayToANewerOne()
{
    QTemporaryDir folder;
    // Long enough that it is still being read when the next request comes.
    const QString slow = writeFile(folder.path(), QStringLiteral("slow.wav"), toneWav(20'000));
    const QString first = writeFile(folder.path(), QStringLiteral("first.wav"), toneWav(100));
    const QString second = writeFile(folder.path(), QStringLiteral("second.wav"), toneWav(200));
    SoundPlayer player(QStringLiteral(PODIUMWATCH_BUILD_DIR "/podiumwatch-sound"));
    QList<qsizetype> started;
    connect(&player, &SoundPlayer::started, this, [&](qsizetype bytes) { started << bytes; });
    player.play(slow);
    QCoreApplication::processEvents(); // the player takes the request and starts reading
    player.play(first);
    QTRY_COMPARE_WITH_TIMEOUT(started.size(), 1, 30000);
    // Files are read one after the other, so the long one has been read by the time the next
    // newer request is: it was dropped, not played late in between.
    player.play(second);
    QTRY_COMPARE_WITH_TIMEOUT(started.size(), 2, 30000);
    QCOMPARE(started,
             (QList<qsizetype>{toneBytes(100, SoundPlayer::kTailMs), toneBytes(200, SoundPlayer::kTailMs)}));
}

void SoundEndToEndTest::helperSaysWhetherThereIsAnOutput_data()
{
    QTest::addColumn<bool>("server");
    QTest::addColumn<QByteArray>("verdict");
    QTest::newRow("a server with a sink") << true << QByteArray("output 1\n");
    QTest::newRow("no server") << false << QByteArray("output 0\n");
}

void SoundEndToEndTest::helperSaysWhetherThereIsAnOutput()
{
    QFETCH(bool, server);
    QFETCH(QByteArray, verdict);
    // Its first word, before it is asked anything: the player gives up on a helper that keeps it
    // to itself, and takes "0" for a failed output.
    QProcess helper;
    if (!server) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("PULSE_SERVER"),
                           "unix:" + runtime_.filePath(QStringLiteral("nowhere")));
        helper.setProcessEnvironment(environment);
    }
    helper.start(QStringLiteral(PODIUMWATCH_BUILD_DIR "/podiumwatch-sound"));
    QTRY_VERIFY_WITH_TIMEOUT(helper.canReadLine(), 30000);
    QCOMPARE(helper.readLine(), verdict);
    helper.closeWriteChannel();
    QVERIFY(helper.waitForFinished(30000));
}

QTEST_MAIN(SoundEndToEndTest)
#include "tst_sound_e2e.moc"
