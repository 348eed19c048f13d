#pragma once

#include "platform/wavfile.h"

// A PulseAudio of a test's own (unix socket only, in its own runtime folder) with a null sink whose
// monitor can be recorded, so a test or a benchmark hears what an audience would; and the tones
// and the recording it plays and hears. Linux.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QtEndian>
#include <cmath>
#include <csignal>
#include <functional>
#include <limits>
#include <optional>
#include <sys/types.h>

inline constexpr int kToneRate = 44100;

// A steady 1 kHz tone of the given length with no silence after it: its last sample is sound.
inline QByteArray toneWav(int milliseconds)
{
    const qsizetype frames = qsizetype{kToneRate} * milliseconds / 1000;
    PcmSound tone{kToneRate, 1, QByteArray(frames * 2, '\0')};
    for (qsizetype i = 0; i < frames; ++i) {
        const double value = 0.5 * std::sin(2 * M_PI * 1000.0 * static_cast<double>(i) / kToneRate);
        qToLittleEndian(static_cast<qint16>(std::lround(value * 32767)), tone.samples.data() + i * 2);
    }
    return encodeWav(tone);
}

// The bytes the player hands to the output for a tone of toneWav(milliseconds).
inline qsizetype toneBytes(int milliseconds, int tailMs)
{
    return (qsizetype{kToneRate} * milliseconds / 1000 + qsizetype{kToneRate} * tailMs / 1000) * 2;
}

inline QString writeFile(const QString &folder, const QString &name, const QByteArray &bytes)
{
    QFile file(QDir(folder).filePath(name));
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
            firstSampleMs = std::min(firstSampleMs, arrivedMs - lastIndex * 1000 / kToneRate);
    }
    qint64 frames() const { return samples.size() / 2; }
    // The first sample played at or after the given moment; what comes before is history.
    qint64 indexAt(qint64 ms) const { return std::max<qint64>(0, (ms - firstSampleMs) * kToneRate / 1000); }
    int at(qint64 i) const { return qFromLittleEndian<qint16>(samples.constData() + i * 2); }

    // The first and last sample above `level` from the given moment on, as times relative to it;
    // nullopt when nothing was that loud.
    std::optional<std::pair<qint64, qint64>> heard(qint64 fromMs, int level) const
    {
        qint64 first = -1, last = -1;
        for (qint64 i = indexAt(fromMs - 500); i < frames(); ++i) {
            if (std::abs(at(i)) > level) {
                if (first < 0)
                    first = i;
                last = i;
            }
        }
        if (first < 0)
            return std::nullopt;
        return std::pair{firstSampleMs + first * 1000 / kToneRate - fromMs,
                         firstSampleMs + last * 1000 / kToneRate - fromMs};
    }

    // How long the recording has been quiet at its end.
    qint64 quietAtEndMs(int level) const
    {
        qint64 i = frames();
        while (i > 0 && std::abs(at(i - 1)) <= level)
            --i;
        return (frames() - i) * 1000 / kToneRate;
    }

    // How long each stretch of sound above `level` lasted, in order, whatever the timing: stretches
    // apart by more than 10 ms of quiet are separate sounds.
    QList<qint64> soundsMs(int level) const
    {
        QList<qint64> lengths;
        qint64 first = -1, last = -1;
        for (qint64 i = 0; i <= frames(); ++i) {
            const bool loud = i < frames() && std::abs(at(i)) > level;
            if (last >= 0 && (i == frames() || (loud && i - last > kToneRate / 100))) {
                lengths << (last - first) * 1000 / kToneRate;
                first = last = -1;
            }
            if (loud) {
                if (first < 0)
                    first = i;
                last = i;
            }
        }
        return lengths;
    }
};

class PulseServer {
public:
    ~PulseServer() { stop(); }

    static bool installed()
    {
        for (const char *tool : {"pulseaudio", "pacat", "parec", "pactl"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                return false;
        }
        return true;
    }

    // Starts the server in `runtime` and points this process (and every process it starts from
    // now on) at it. With `steady`, a silent stream keeps the sink rendering: without one the
    // monitor delivers in bursts, which only matters to a recording.
    bool start(const QString &runtime, bool steady)
    {
        qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
        qputenv("PULSE_RUNTIME_PATH", (runtime + "/pulse").toLocal8Bit());
        qputenv("PULSE_SERVER", ("unix:" + runtime + "/pulse/native").toLocal8Bit());
        server_.setProgram(QStringLiteral("pulseaudio"));
        server_.setArguments({"-n", "--daemonize=no", "--exit-idle-time=-1", "--system=false",
                              "--disallow-exit", "--load=module-native-protocol-unix",
                              "--load=module-null-sink sink_name=nullsink"});
        server_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server_.start();
        if (!server_.waitForStarted(5000))
            return false;
        for (int attempt = 0; attempt < 200; ++attempt) {
            QProcess info;
            info.start(QStringLiteral("pactl"), {QStringLiteral("info")});
            if (info.waitForFinished(5000) && info.exitStatus() == QProcess::NormalExit &&
                info.exitCode() == 0) {
                if (!steady)
                    return true;
                keepAlive_.start(QStringLiteral("pacat"), {"-p", "--latency-msec=20", "--raw", "/dev/zero"});
                return keepAlive_.waitForStarted(5000);
            }
            QTest::qWait(50);
        }
        return false;
    }

    qint64 pid() const { return server_.processId(); }
    // The server stops answering, as a stalled one does, until resume().
    void pause() { send(SIGSTOP); }
    void resume() { send(SIGCONT); }

    void stop()
    {
        resume(); // a stopped server would not hear the request to end
        for (QProcess *process : {&keepAlive_, &server_}) {
            if (process->state() == QProcess::NotRunning)
                continue;
            process->terminate();
            if (!process->waitForFinished(5000)) {
                process->kill();
                process->waitForFinished(5000);
            }
        }
    }

    // Records the sink's monitor while `during` runs and for `afterMs` after it, beginning 2.5 s
    // before, with the arrival times read from `clock`.
    void record(Recording &recording, const QElapsedTimer &clock, const std::function<void()> &during,
                int afterMs)
    {
        QProcess parec;
        parec.start(QStringLiteral("parec"),
                    {"-d", "nullsink.monitor", "--raw", "--format=s16le", "--channels=1",
                     "--rate=" + QString::number(kToneRate), "--latency-msec=5"});
        if (!parec.waitForStarted(5000))
            return;
        QObject::connect(&parec, &QProcess::readyReadStandardOutput,
                         [&] { recording.append(parec.readAllStandardOutput(), clock.elapsed()); });
        QTest::qWait(2500);
        during();
        QTest::qWait(afterMs);
        parec.terminate();
        parec.waitForFinished(3000);
    }

    // Records while `request` asks for one sound, and answers when it was heard, relative to the
    // request: nullopt when nothing was louder than `level`.
    std::optional<std::pair<qint64, qint64>>
    hear(const QElapsedTimer &clock, const std::function<void()> &request, int afterMs, int level = 4000)
    {
        Recording recording;
        qint64 requestedMs = 0;
        record(
            recording, clock,
            [&] {
                requestedMs = clock.elapsed();
                request();
            },
            afterMs);
        return recording.heard(requestedMs, level);
    }

private:
    void send(int which)
    {
        if (server_.state() != QProcess::NotRunning)
            ::kill(static_cast<pid_t>(server_.processId()), which);
    }

    QProcess server_;
    QProcess keepAlive_;
};

// The longest the event loop kept a 50 ms timer waiting beyond its period, since construction.
class Heartbeat {
public:
    Heartbeat()
    {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 stall = since_.restart() - kPeriodMs;
            if (stall > longestMs_) {
                longestMs_ = stall;
                longestAtMs_ = clock_.elapsed();
            }
        });
        clock_.start();
        since_.start();
        timer_.start(kPeriodMs);
    }
    qint64 longestStallMs() const { return longestMs_; }
    // When the longest stall ended, from construction.
    qint64 longestAtMs() const { return longestAtMs_; }

private:
    static constexpr int kPeriodMs = 50;
    QTimer timer_;
    QElapsedTimer clock_;
    QElapsedTimer since_;
    qint64 longestMs_ = 0;
    qint64 longestAtMs_ = 0;
};
