// Whole-process start-up: the program and the floor (a minimal Qt Widgets window) are started in
// turns, and for each the time from exec to the first paint of the main window, the peak resident
// memory at that moment and again a second later are taken; medians and the program/floor ratios
// are reported.
//   bench_startup <podiumwatch> <bench_floor> [runs]      (platform from QT_QPA_PLATFORM)

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Sample {
    double ms = 0;
    double peakMiB = 0;
    double settledPeakMiB = 0; // a second after the first paint, once start-up work is done
};

// Peak resident memory of a running process so far (Linux).
double peakResidentMiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

std::optional<Sample> runOnce(const QString &program)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PODIUMWATCH_PROBE_FIRST_PAINT"), QStringLiteral("1"));
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    process.start(program, {});
    Sample sample;
    bool painted = false;
    while (!painted && process.waitForReadyRead(10000)) {
        while (process.canReadLine()) {
            if (process.readLine().startsWith("first-paint")) {
                sample.ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
                sample.peakMiB = peakResidentMiB(process.processId());
                painted = true;
            }
        }
    }
    if (painted) {
        // Work the program leaves until its window is on the screen still counts, a moment later.
        process.waitForFinished(1000);
        sample.settledPeakMiB = peakResidentMiB(process.processId());
    }
    process.kill();
    process.waitForFinished(5000);
    if (!painted)
        return std::nullopt;
    return sample;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <podiumwatch> <bench_floor> [runs]\n", argv[0]);
        return 2;
    }
    const QString programs[] = {QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2])};
    const int runs = argc > 3 ? std::atoi(argv[3]) : 15;
    std::vector<double> ms[2], peak[2], settled[2];
    runOnce(programs[0]); // warm the disk cache for both
    runOnce(programs[1]);
    for (int run = 0; run < runs; ++run) {
        for (int which = 0; which < 2; ++which) {
            const std::optional<Sample> sample = runOnce(programs[which]);
            if (!sample) {
                std::fprintf(stderr, "%s never painted\n", qPrintable(programs[which]));
                return 1;
            }
            ms[which].push_back(sample->ms);
            peak[which].push_back(sample->peakMiB);
            settled[which].push_back(sample->settledPeakMiB);
        }
    }
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    std::printf("platform %s, %d runs each, medians\n", platform.isEmpty() ? "default" : platform.constData(),
                runs);
    std::printf("%-12s %10s %12s %16s\n", "", "first paint", "peak RSS", "peak RSS at 1 s");
    for (int which = 0; which < 2; ++which)
        std::printf("%-12s %8.1f ms %8.1f MiB %12.1f MiB\n", which == 0 ? "podiumwatch" : "floor",
                    median(ms[which]), median(peak[which]), median(settled[which]));
    std::printf("%-12s %10.2fx %11.2fx %15.2fx\n", "ratio", median(ms[0]) / median(ms[1]),
                median(peak[0]) / median(peak[1]), median(settled[0]) / median(settled[1]));
    return 0;
}
