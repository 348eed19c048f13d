// The main window against a sound server that stalls: the real window (QtPlatform and Viewer) with
// a countdown running and a PulseAudio of its own, stopped (SIGSTOP) for 35 s, continued for 10 s,
// stopped for 40 s and continued, while the preview of bell 1 is asked for every second. Reports
// the longest gap between two clock ticks (goal: at most 50 ms beyond their 500 ms period), the
// longest the event loop kept a 50 ms heartbeat waiting, when sound was reported lost and found,
// and whether it was there again at the end.
//   bench_soundstall [--short]     (--short: stalls of 5 s and 5 s; QT_QPA_PLATFORM offscreen unless set)

#include "../tests/pulseserver.h"
#include "forms/viewer.h"
#include "platform/qtplatform.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

namespace {

struct Phase {
    const char *name;
    int seconds;
    bool stalled;
};

// The longest gap between the ticks of one phase, and how many there were.
struct Gaps {
    qint64 longestMs = 0;
    int ticks = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const bool quick = argc > 1 && std::strcmp(argv[1], "--short") == 0;
    const std::vector<Phase> phases = {{"before", 5, false},
                                       {"first stall", quick ? 5 : 35, true},
                                       {"between", 10, false},
                                       {"second stall", quick ? 5 : 40, true},
                                       {"after", 0, false}};

    QTemporaryDir runtime;
    PulseServer server;
    if (!PulseServer::installed() || !server.start(runtime.path(), false)) {
        std::fprintf(stderr, "PulseAudio is not available here\n");
        return 1;
    }

    struct BenchPlatform : QtPlatform {
        BenchPlatform() : QtPlatform(QStringLiteral(PODIUMWATCH_BUILD_DIR "/podiumwatch-sound")) {}
        QString programFolder() const override { return QDir::toNativeSeparators(PODIUMWATCH_BUILD_DIR); }
    } platform;
    Viewer viewer(platform);
    platform.setDialogParent(&viewer);
    viewer.Form_Load();
    viewer.show();
    platform.openSoundOutput();

    QElapsedTimer clock;
    clock.start();
    bool available = true;
    platform.watchSoundOutput([&](bool now) {
        std::printf("%6.1f s  sound %s\n", static_cast<double>(clock.elapsed()) / 1000.0,
                    now ? "available" : "not available");
        std::fflush(stdout);
        available = now;
    });

    viewer.findChild<QAbstractButton *>(QStringLiteral("Cmd_SetTime"))->click();
    viewer.findChild<QAbstractButton *>(QStringLiteral("Cmd_Start"))->click();
    auto *tick = viewer.findChild<QTimer *>(QStringLiteral("Timer_PresentTime"));
    if (!tick || !tick->isActive()) {
        std::fprintf(stderr, "the countdown did not start\n");
        return 1;
    }

    std::size_t phase = 0;
    std::vector<Gaps> gaps(phases.size());
    QElapsedTimer sinceTick;
    sinceTick.start();
    QObject::connect(tick, &QTimer::timeout, [&] {
        gaps[phase].longestMs = std::max(gaps[phase].longestMs, sinceTick.restart());
        ++gaps[phase].ticks;
    });
    const Heartbeat heartbeat;

    QTimer preview;
    int previews = 0;
    QObject::connect(&preview, &QTimer::timeout, [&] {
        QMetaObject::invokeMethod(&viewer, "Cmd_PlaySound1_Click");
        ++previews;
    });
    preview.start(1000);

    // Each phase starts the next when it is over; after the last stall, the program is given up to
    // 30 s to find the server again by itself, without the previews.
    qint64 recoveredMs = -1;
    std::function<void()> next = [&] {
        if (++phase == phases.size() - 1) {
            server.resume();
            preview.stop();
            const qint64 since = clock.elapsed();
            auto *poll = new QTimer(&app);
            QObject::connect(poll, &QTimer::timeout, [&, since, poll] {
                if (available || clock.elapsed() - since > 30000) {
                    recoveredMs = available ? clock.elapsed() - since : -1;
                    poll->stop();
                    QApplication::quit();
                }
            });
            poll->start(100);
            return;
        }
        std::printf("%6.1f s  %s (%d s)\n", static_cast<double>(clock.elapsed()) / 1000.0, phases[phase].name,
                    phases[phase].seconds);
        std::fflush(stdout);
        if (phases[phase].stalled)
            server.pause();
        else
            server.resume();
        QTimer::singleShot(phases[phase].seconds * 1000, Qt::PreciseTimer, &app, next);
    };
    std::printf("%6.1f s  %s (%d s)\n", 0.0, phases[0].name, phases[0].seconds);
    QTimer::singleShot(phases[0].seconds * 1000, Qt::PreciseTimer, &app, next);
    QApplication::exec();
    server.stop();

    std::printf("\nlongest gap between clock ticks (period 500 ms, goal at most 550 ms):\n");
    for (std::size_t i = 0; i < phases.size(); ++i)
        if (gaps[i].ticks > 0)
            std::printf("  %-13s %5lld ms over %d ticks\n", phases[i].name,
                        static_cast<long long>(gaps[i].longestMs), gaps[i].ticks);
    std::printf("longest stall of a 50 ms heartbeat: %lld ms, at %.1f s\n",
                static_cast<long long>(heartbeat.longestStallMs()),
                static_cast<double>(heartbeat.longestAtMs()) / 1000.0);
    std::printf("previews asked for: %d\n", previews);
    if (recoveredMs >= 0)
        std::printf("sound available again at the end: yes, %.1f s after the server continued\n",
                    static_cast<double>(recoveredMs) / 1000.0);
    else
        std::printf("sound available again at the end: no (30 s after the server continued)\n");
    return 0;
}
