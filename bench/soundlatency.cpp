// How soon a sound is heard: from the request (SoundPlayer::play) to its first sample in the
// recording of a PulseAudio null sink, through the real sound process, for a file never read before
// and for one already read and sent. Goal: 40 ms.
//   bench_soundlatency [rounds]     (5 rounds unless given)

#include "platform/soundplayer.h"
#include "pulseserver.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    QTemporaryDir runtime, folder;
    PulseServer server;
    if (!PulseServer::installed() || !server.start(runtime.path(), true)) {
        std::fprintf(stderr, "PulseAudio is not available here\n");
        return 1;
    }
    QElapsedTimer clock;
    clock.start();
    SoundPlayer player(QStringLiteral(PODIUMWATCH_BUILD_DIR "/podiumwatch-sound"));
    player.openOutput(); // as the program does once its window is shown

    std::vector<qint64> arrived[2]; // a file read for the first time, then the same file again
    for (int round = 0; round < rounds; ++round) {
        const QString path = writeFile(folder.path(), QStringLiteral("tone%1.wav").arg(round), toneWav(600));
        for (int again = 0; again < 2; ++again) {
            const auto heard = server.hear(
                clock, [&] { player.play(path); }, 1500);
            if (!heard) {
                std::fprintf(stderr, "round %d: nothing was heard\n", round);
                return 1;
            }
            std::printf("round %d, %s: heard %lld ms after the request, for %lld ms\n", round,
                        again ? "read before" : "first play ", static_cast<long long>(heard->first),
                        static_cast<long long>(heard->second - heard->first));
            std::fflush(stdout);
            arrived[again].push_back(heard->first);
        }
    }
    for (int again = 0; again < 2; ++again) {
        std::vector<qint64> &ms = arrived[again];
        std::sort(ms.begin(), ms.end());
        std::printf("%s: median %lld ms, longest %lld ms (goal 40 ms)\n",
                    again ? "read before" : "first play ", static_cast<long long>(ms[ms.size() / 2]),
                    static_cast<long long>(ms.back()));
    }
    server.stop();
    return 0;
}
