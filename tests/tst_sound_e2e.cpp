// The real player against a real sound server: PulseAudio with a null sink whose monitor is
// recorded, so the test hears what an audience would. Skipped where PulseAudio is not installed.

#include "platform/soundplayer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <cmath>
#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

constexpr int kRate = 44100;

// How soon a bell must be heard. A sanitizer build runs several times slower and only checks that
// the sound still comes.
#if defined(__SANITIZE_ADDRESS__)
constexpr qint64 kPromptMs = 200;
#else
constexpr qint64 kPromptMs = 40;
#endif

// A steady 1 kHz tone of the given length with no silence after it: its last sample is sound.
QByteArray toneWav(int milliseconds)
{
    const int frames = kRate * milliseconds / 1000;
    QByteArray wav(44 + frames * 2, '\0');
    char *h = wav.data();
    memcpy(h, "RIFF", 4);
    qToLittleEndian<quint32>(static_cast<quint32>(36 + frames * 2), h + 4);
    memcpy(h + 8, "WAVEfmt ", 8);
    qToLittleEndian<quint32>(16, h + 16);
    qToLittleEndian<quint16>(1, h + 20);
    qToLittleEndian<quint16>(1, h + 22);
    qToLittleEndian<quint32>(kRate, h + 24);
    qToLittleEndian<quint32>(kRate * 2, h + 28);
    qToLittleEndian<quint16>(2, h + 32);
    qToLittleEndian<quint16>(16, h + 34);
    memcpy(h + 36, "data", 4);
    qToLittleEndian<quint32>(static_cast<quint32>(frames * 2), h + 40);
    for (int i = 0; i < frames; ++i) {
        const double value = 0.5 * std::sin(2 * M_PI * 1000.0 * i / kRate);
        qToLittleEndian(static_cast<qint16>(std::lround(value * 32767)), h + 44 + i * 2);
    }
    return wav;
}

QString writeFile(const QTemporaryDir &folder, const QString &name, const QByteArray &bytes)
{
    QFile file(folder.filePath(name));
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return file.fileName();
}

// The recording as it arrives, with the moment each chunk came in, so a sample's index can be
// turned into the time it was played. A chunk arrives after its samples were played, never
// before, so the earliest start time consistent with every chunk is the closest to the truth and
// errs towards a longer delay. The first second is left out of that estimate: the server may hand
// over some history when the recording begins.
struct Recording {
    QByteArray samples;
    qint64 startedMs = -1;
    qint64 firstSampleMs = std::numeric_limits<qint64>::max();

    void append(const QByteArray &chunk, qint64 arrivedMs)
    {
        if (startedMs < 0)
            startedMs = arrivedMs;
        samples += chunk;
        const qint64 lastIndex = samples.size() / 2;
        if (arrivedMs - startedMs >= 1000)
            firstSampleMs = std::min(firstSampleMs, arrivedMs - lastIndex * 1000 / kRate);
    }
    qint64 frames() const { return samples.size() / 2; }
    // The first sample played at or after the given moment; what comes before is history.
    qint64 indexAt(qint64 ms) const { return std::max<qint64>(0, (ms - firstSampleMs) * kRate / 1000); }
    int at(qint64 i) const { return qFromLittleEndian<qint16>(samples.constData() + i * 2); }
};

} // namespace

class SoundEndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void soundArrivesPromptlyAndWhole();
    void newRequestCutsTheOldSound();
    void unplayableFallsBackToTheDefaultBell();

private:
    bool startServer();
    void record(Recording &recording, const std::function<void()> &during, int afterMs);

    QTemporaryDir runtime_;
    QProcess server_;
    QProcess keepAlive_;
    QElapsedTimer clock_;
};

bool SoundEndToEndTest::startServer()
{
    for (const char *tool : {"pulseaudio", "pacat", "parec", "pactl"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            return false;
    }
    qputenv("XDG_RUNTIME_DIR", runtime_.path().toLocal8Bit());
    qputenv("PULSE_RUNTIME_PATH", (runtime_.path() + "/pulse").toLocal8Bit());
    qputenv("PULSE_SERVER", ("unix:" + runtime_.path() + "/pulse/native").toLocal8Bit());
    server_.setProgram(QStringLiteral("pulseaudio"));
    server_.setArguments({"-n", "--daemonize=no", "--exit-idle-time=-1", "--system=false", "--disallow-exit",
                          "--load=module-native-protocol-unix",
                          "--load=module-null-sink sink_name=nullsink"});
    server_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server_.start();
    if (!server_.waitForStarted(5000))
        return false;
    for (int attempt = 0; attempt < 100; ++attempt) {
        QProcess info;
        info.start(QStringLiteral("pactl"), {QStringLiteral("info")});
        if (info.waitForFinished(2000) && info.exitStatus() == QProcess::NormalExit && info.exitCode() == 0) {
            // Keep the sink rendering steadily; without a stream the monitor delivers in bursts.
            keepAlive_.start(QStringLiteral("pacat"), {"-p", "--latency-msec=20", "--raw", "/dev/zero"});
            return keepAlive_.waitForStarted(5000);
        }
        QTest::qWait(50);
    }
    return false;
}

void SoundEndToEndTest::initTestCase()
{
    if (!startServer())
        QSKIP("PulseAudio is not available here");
    clock_.start();
}

void SoundEndToEndTest::cleanupTestCase()
{
    for (QProcess *process : {&keepAlive_, &server_}) {
        process->terminate();
        process->waitForFinished(3000);
    }
}

void SoundEndToEndTest::record(Recording &recording, const std::function<void()> &during, int afterMs)
{
    QProcess parec;
    parec.start(QStringLiteral("parec"), {"-d", "nullsink.monitor", "--raw", "--format=s16le", "--channels=1",
                                          "--rate=" + QString::number(kRate), "--latency-msec=5"});
    QVERIFY(parec.waitForStarted(5000));
    connect(&parec, &QProcess::readyReadStandardOutput, this,
            [&] { recording.append(parec.readAllStandardOutput(), clock_.elapsed()); });
    QTest::qWait(2500);
    during();
    QTest::qWait(afterMs);
    parec.terminate();
    parec.waitForFinished(3000);
}

void SoundEndToEndTest::soundArrivesPromptlyAndWhole()
{
    QTemporaryDir folder;
    const QString path = writeFile(folder, QStringLiteral("tone.wav"), toneWav(600));

    SoundPlayer player;
    // Twice: the first play reads the file, the second finds it already decoded.
    for (int round = 0; round < 2; ++round) {
        Recording recording;
        qint64 requestedMs = 0;
        record(
            recording,
            [&] {
                requestedMs = clock_.elapsed();
                player.play(path);
            },
            1500);

        qint64 first = -1, last = -1;
        for (qint64 i = recording.indexAt(requestedMs - 500); i < recording.frames(); ++i) {
            if (std::abs(recording.at(i)) > 4000) {
                if (first < 0)
                    first = i;
                last = i;
            }
        }
        QVERIFY2(first >= 0, "nothing was heard");
        const qint64 arrivedMs = recording.firstSampleMs + first * 1000 / kRate - requestedMs;
        const qint64 heardMs = (last - first) * 1000 / kRate;
        qInfo("round %d: sound arrived %lld ms after the request and lasted %lld ms", round, arrivedMs,
              heardMs);
        QVERIFY2(arrivedMs <= kPromptMs, qPrintable(QString::number(arrivedMs)));
        QVERIFY2(heardMs >= 590 && heardMs <= 620, qPrintable(QString::number(heardMs)));
    }
}

void SoundEndToEndTest::newRequestCutsTheOldSound()
{
    QTemporaryDir folder;
    const QString longTone = writeFile(folder, QStringLiteral("long.wav"), toneWav(3000));

    SoundPlayer player;
    Recording recording;
    qint64 secondMs = 0;
    record(
        recording,
        [&] {
            player.play(longTone);
            QTest::qWait(500);
            secondMs = clock_.elapsed();
            player.play(QString()); // an empty name rings the default bell instead
        },
        3500);

    // The long tone stopped where the second request came; what follows is the (shorter) bell.
    qint64 last = -1;
    for (qint64 i = recording.indexAt(secondMs - 1000); i < recording.frames(); ++i) {
        if (std::abs(recording.at(i)) > 1000)
            last = i;
    }
    QVERIFY(last >= 0);
    const qint64 endMs = recording.firstSampleMs + last * 1000 / kRate;
    QVERIFY2(endMs - secondMs < 2500, qPrintable(QString::number(endMs - secondMs)));
}

void SoundEndToEndTest::unplayableFallsBackToTheDefaultBell()
{
    QFile resource(QStringLiteral(":/podiumwatch/default_bell.wav"));
    QVERIFY(resource.open(QIODevice::ReadOnly));
    const std::optional<PcmSound> bell = decodeWav(resource.readAll(), SoundPlayer::kTailMs);
    QVERIFY(bell);

    QTemporaryDir folder;
    auto write = [&](const QString &name, const QByteArray &bytes) { return writeFile(folder, name, bytes); };
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
    SoundPlayer player;
    QList<qsizetype> started;
    connect(&player, &SoundPlayer::started, this, [&](qsizetype bytes) { started << bytes; });
    for (const QString &name : unplayable) {
        started.clear();
        player.play(name);
        QTRY_COMPARE(started.size(), 1);
        QVERIFY2(started[0] == bell->samples.size(), qPrintable(name));
    }
    // A good file plays itself, not the bell.
    started.clear();
    player.play(write(QStringLiteral("good.wav"), toneWav(100)));
    QTRY_COMPARE(started.size(), 1);
    QCOMPARE(started[0], qsizetype{(kRate / 10 + kRate * SoundPlayer::kTailMs / 1000) * 2});
}

QTEST_MAIN(SoundEndToEndTest)
#include "tst_sound_e2e.moc"
