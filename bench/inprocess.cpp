// In-process costs: building and starting the main window, one clock tick in each phase of a talk,
// repainting the big display and a second on a 4K projector, preparing a talk of a programme, and
// asking for a sound. Run with
//   build/dev/bench/bench_inprocess --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include "fakeplatform.h"
#include "forms/slave.h"
#include "forms/viewer.h"
#include "platform/soundplayer.h"
#include "session/sessionparts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QWindow>
#include <benchmark/benchmark.h>
#include <optional>

namespace {

struct Talk {
    FakePlatform platform;
    Viewer viewer{platform};
    std::optional<SessionParts> session;

    Talk()
    {
        viewer.Form_Load();
        session.emplace(viewer, platform);
        viewer.show();
        press("Cmd_SetTime");
    }
    SessionParts &parts() { return *session; }
    void press(const char *name) { viewer.findChild<QAbstractButton *>(name)->click(); }
    void text(const char *name, const char *value) { viewer.findChild<QLineEdit *>(name)->setText(value); }
};

// Every tick sees a new second, so the display text changes each time (the dearer case).
void runTicks(benchmark::State &state, Talk &talk, int secondsLeft)
{
    for (auto _ : state) {
        state.PauseTiming(); // moving the fake clock is not part of the tick
        talk.viewer.EndTime = talk.platform.clock.addSecs(secondsLeft);
        talk.platform.advance(1);
        state.ResumeTiming();
        talk.viewer.Timer_PresentTime_Timer();
    }
    QCoreApplication::processEvents();
}

void tickCounting(benchmark::State &state)
{
    Talk talk;
    talk.press("Cmd_Start");
    runTicks(state, talk, 200);
}
BENCHMARK(tickCounting);

void tickBellDue(benchmark::State &state)
{
    Talk talk;
    talk.text("Txt_Bell_1_Min", "3");
    talk.text("Txt_Bell_1_Sec", "19");
    talk.press("Cmd_SetBell1");
    talk.press("Option_Bell1_OnOff_0");
    talk.press("Cmd_Start");
    runTicks(state, talk, 200); // one second after the clock moves, 199 s are left: bell 1 is due
    if (talk.platform.played.isEmpty())
        state.SkipWithError("the bell never rang");
}
BENCHMARK(tickBellDue);

void tickOverTimeWithSlave(benchmark::State &state)
{
    Talk talk;
    talk.press("Cmd_Slave");
    talk.press("Cmd_Start");
    runTicks(state, talk, -12); // the thirteenth second of over-time, neither a fifth nor a thirtieth
}
BENCHMARK(tickOverTimeWithSlave);

void tickOverTimeBlinkMark(benchmark::State &state)
{
    Talk talk;
    talk.press("Cmd_Slave");
    talk.press("Cmd_Start");
    runTicks(state, talk, -29); // 30 s over: blink armed, "超過" flashed, alarm asked for
}
BENCHMARK(tickOverTimeBlinkMark);

void constructAndLoad(benchmark::State &state)
{
    for (auto _ : state) {
        FakePlatform platform;
        platform.folder = QStringLiteral(PODIUMWATCH_BUILD_DIR);
        Viewer viewer(platform);
        viewer.Form_Load();
        benchmark::DoNotOptimize(viewer.windowTitle());
    }
}
BENCHMARK(constructAndLoad)->Unit(benchmark::kMillisecond);

// Painting into an image, as the window system would have the widget paint its area.
void repaint(benchmark::State &state, QWidget *widget)
{
    QImage target(widget->size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        widget->render(&target);
        benchmark::DoNotOptimize(target.bits());
    }
}

void repaintMainDisplay(benchmark::State &state)
{
    Talk talk;
    auto *time = talk.viewer.findChild<QLabel *>(QStringLiteral("Lbl_Time"));
    time->setText(QStringLiteral("546:08"));
    repaint(state, time);
}
BENCHMARK(repaintMainDisplay)->Unit(benchmark::kMicrosecond);

// One second on a 4K projector: the next second's text into the projector window's label, and
// the event loop's turn that lays the window out, paints what changed and flushes it.
void tickRepaintProjector4K(benchmark::State &state)
{
    Slave slave;
    slave.show();
    slave.resize(3840, 2160);
    QDeadlineTimer patience(30000);
    while (!slave.windowHandle()->isExposed() && !patience.hasExpired())
        QCoreApplication::processEvents();
    if (slave.size() != QSize(3840, 2160) || !slave.windowHandle()->isExposed()) {
        state.SkipWithError("no shown 3840x2160 window (is the screen smaller?)");
        return;
    }
    QStringList seconds;
    for (int second = 59; second >= 0; --second)
        seconds << QStringLiteral("12:%1").arg(second, 2, 10, QLatin1Char('0'));
    qsizetype next = 0;
    for (auto _ : state) {
        slave.timeLabel()->setText(seconds[next]);
        next = (next + 1) % seconds.size();
        QCoreApplication::sendPostedEvents();
    }
}
BENCHMARK(tickRepaintProjector4K)->Unit(benchmark::kMicrosecond);

// Preparing a talk of a 200-talk programme: every control set as an operator would, through their
// handlers, and 表示セット pressed (goal 5 ms).
void prepareTalk(benchmark::State &state)
{
    Talk talk;
    const QString path = QDir::temp().filePath(
        QStringLiteral("bench-programme-%1.json").arg(QCoreApplication::applicationPid()));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        state.SkipWithError("no programme file");
        return;
    }
    QByteArray talks;
    for (int i = 1; i <= 200; ++i)
        talks += (i > 1 ? "," : "") +
                 QByteArrayLiteral(R"({"title": "発表", "speaker": "発表者", "time": ")") +
                 QByteArray::number(10 + i % 6) +
                 R"(:00", "bells": [{"at": "2:00", "background": "黄", "text": "黒"}, "0:30", "0:00"]})";
    file.write(R"({"format": "podiumwatch-programme", "version": 1, "talks": [)" + talks + "]}");
    file.close();
    if (!talk.parts().programme().open(path)) {
        state.SkipWithError("the programme was refused");
        return;
    }
    int number = 1;
    bool prepared = true;
    for (auto _ : state)
        prepared = talk.parts().programme().prepare(number = number % 200 + 1) && prepared;
    if (!prepared || talk.parts().programme().talkNumber() != number)
        state.SkipWithError("a talk was not prepared");
    QCoreApplication::processEvents();
    QFile::remove(path);
    QFile::remove(talk.parts().programme().recordPath());
}
BENCHMARK(prepareTalk)->Unit(benchmark::kMillisecond);

void playSoundReturns(benchmark::State &state)
{
    SoundPlayer player(QStringLiteral(PODIUMWATCH_BUILD_DIR "/podiumwatch-sound"));
    const QString path = QStringLiteral(PODIUMWATCH_BUILD_DIR "/DATA/Sound/QOR_Sound01.wav");
    for (auto _ : state)
        player.play(path);
    QCoreApplication::processEvents();
}
BENCHMARK(playSoundReturns);

} // namespace

int main(int argc, char **argv)
{
    // A 4K virtual screen, or the projector window could be no larger than the default 800x600.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" PODIUMWATCH_SOURCE_DIR "/tests/screens/uhd.json");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
