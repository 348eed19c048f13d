// The main window against a sound server that stalls: the real window (QtPlatform and Viewer) with
// a countdown running and a PulseAudio of its own, stopped (SIGSTOP) for 35 s, continued for 10 s,
// stopped for 40 s and continued, while the preview of bell 1 is asked for every second. Reports
// the longest gap between two clock ticks (goal: at most 50 ms beyond their 500 ms period), the
// longest the event loop kept a 50 ms heartbeat waiting, when sound was reported lost and found,
// and whether it was there again at the end.
//   bench_soundstall [--short]     (--short: stalls of 5 s and 5 s; QT_QPA_PLATFORM offscreen unless set)
// The server is stopped and continued from a thread of its own, so that a window held by the sound
// library is measured for as long as it is held, rather than never continuing the server.

#include "pulseserver.h"
#include "forms/viewer.h"
#include "platform/qtplatform.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
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

// After the last stall the program has this long to find the server again by itself.
constexpr qint64 kRecoveryMs = 30000;

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
        BenchPlatform() : QtPlatform(systemClocks(), QStringLiteral(PODIUMWATCH_BUILD_DIR "/podiumwatch-sound")) {}
        QString programFolder() const override { return QDir::toNativeSeparators(PODIUMWATCH_BUILD_DIR); }
    } platform;
    Viewer viewer(platform);
    platform.setDialogParent(&viewer);
    viewer.Form_Load();
    viewer.show();
    // As the program does: the sound output opens once the window is on the screen, and what the
    // first paint costs is not what is measured here.
    if (!QTest::qWaitForWindowExposed(&viewer))
        return 1;
    QTest::qWait(500);
    platform.openSoundOutput();

    QElapsedTimer clock;
    clock.start();
    const auto say = [&clock](const char *what, const char *detail = "") {
        std::printf("%6.1f s  %s%s\n", static_cast<double>(clock.elapsed()) / 1000.0, what, detail);
        std::fflush(stdout);
    };
    bool available = true;
    platform.watchSoundOutput([&](bool now) {
        say(now ? "sound available" : "sound not available");
        available = now;
    });

    viewer.findChild<QAbstractButton *>(QStringLiteral("Cmd_SetTime"))->click();
    viewer.findChild<QAbstractButton *>(QStringLiteral("Cmd_Start"))->click();
    auto *tick = viewer.findChild<QTimer *>(QStringLiteral("Timer_PresentTime"));
    if (!tick || !tick->isActive()) {
        std::fprintf(stderr, "the countdown did not start\n");
        return 1;
    }

    std::atomic<std::size_t> phase = 0;
    std::vector<Gaps> gaps(phases.size());
    QElapsedTimer sinceTick;
    sinceTick.start();
    QObject::connect(tick, &QTimer::timeout, [&] {
        Gaps &now = gaps[phase];
        now.longestMs = std::max(now.longestMs, sinceTick.restart());
        ++now.ticks;
    });
    const Heartbeat heartbeat;

    QTimer preview;
    int previews = 0;
    QObject::connect(&preview, &QTimer::timeout, [&] {
        QMetaObject::invokeMethod(&viewer, "Cmd_PlaySound1_Click");
        ++previews;
    });
    preview.start(1000);

    // Once the last stall is over, the previews stop and the program is watched until it has sound
    // again or the time for that is up.
    qint64 recoveredMs = -1;
    QTimer recovery;
    QElapsedTimer sinceContinued;
    QObject::connect(&recovery, &QTimer::timeout, [&] {
        if (available || sinceContinued.elapsed() > kRecoveryMs) {
            recoveredMs = available ? sinceContinued.elapsed() : -1;
            QApplication::quit();
        }
    });
    std::atomic<bool> done = false;
    const qint64 serverPid = server.pid();
    std::thread director([&] {
        for (std::size_t i = 0; i < phases.size(); ++i) {
            phase = i;
            ::kill(static_cast<pid_t>(serverPid), phases[i].stalled ? SIGSTOP : SIGCONT);
            say(phases[i].name, phases[i].stalled ? " (server stopped)" : "");
            std::this_thread::sleep_for(std::chrono::seconds(phases[i].seconds));
        }
        QMetaObject::invokeMethod(
            &app,
            [&] {
                preview.stop();
                sinceContinued.start();
                recovery.start(100);
            },
            Qt::QueuedConnection);
        // A window still held long after the server went on is not coming back.
        for (int waited = 0; !done && waited < 600; ++waited)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (!done) {
            say("the window has not answered for a minute since the server went on; giving up");
            ::kill(static_cast<pid_t>(serverPid), SIGKILL);
            std::_Exit(1);
        }
    });
    QApplication::exec();
    done = true;
    director.join();
    server.stop();

    std::printf("\nlongest gap between clock ticks (period 500 ms, goal at most 550 ms):\n");
    for (std::size_t i = 0; i < phases.size(); ++i) {
        if (gaps[i].ticks > 0)
            std::printf("  %-13s %5lld ms over %d ticks\n", phases[i].name,
                        static_cast<long long>(gaps[i].longestMs), gaps[i].ticks);
    }
    std::printf("longest stall of a 50 ms heartbeat: %lld ms, at %.1f s\n",
                static_cast<long long>(heartbeat.longestStallMs()),
                static_cast<double>(heartbeat.longestAtMs()) / 1000.0);
    std::printf("previews asked for: %d\n", previews);
    if (recoveredMs >= 0)
        std::printf("sound available again at the end: yes, %.1f s after the server continued\n",
                    static_cast<double>(recoveredMs) / 1000.0);
    else
        std::printf("sound available again at the end: no, %lld s after the server continued\n",
                    static_cast<long long>(kRecoveryMs / 1000));
    return 0;
}
