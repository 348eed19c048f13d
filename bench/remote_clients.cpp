// Many remote viewers at once: N WebSocket clients on the loopback follow a running countdown for
// T seconds. Reports whether every client got every update and every second of the count, the
// delay from a change (`at`) to its arrival, and with --pid each given process's CPU share over
// the run (from /proc/<pid>/stat) and its resident memory at the end (the program and its server's
// process, say: give --pid for each).
//   bench_remote_clients VIEW_URL [--clients N] [--seconds T] [--pid PID]...
// For instance against the test fixture:
//   build/dev/tests/remote_fixture & bench_remote_clients "$(view URL it printed)" --pid $!

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>
#include <QWebSocket>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <set>
#include <unistd.h>
#include <vector>

namespace {

struct Client {
    std::unique_ptr<QWebSocket> socket = std::make_unique<QWebSocket>();
    std::set<qint64> seen; // `at` of every update received while measuring
    // The remaining seconds received while measuring. A running count steps them by one, so a gap
    // is a lost update even when no client got it (which `seen` alone cannot tell).
    std::set<qint64> remaining;
    bool ready = false;
};

// utime + stime of a process, in clock ticks; -1 when it cannot be read.
long long cpuTicks(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = file.readAll();
    // The command name may hold spaces; the fields are counted after its closing parenthesis.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return fields.at(11).toLongLong() + fields.at(12).toLongLong(); // fields 14 and 15 of the line
}

// A line of /proc/<pid>/status, such as "VmRSS:     12345 kB".
QByteArray statusLine(qint64 pid, const QByteArray &name)
{
    QFile file(QStringLiteral("/proc/%1/status").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith(name + ':'))
            return line.mid(name.size() + 1).simplified();
    }
    return {};
}

double percentile(std::vector<qint64> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return static_cast<double>(values.at(index));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption clientsOption(QStringLiteral("clients"), QStringLiteral("WebSocket clients"),
                                           QStringLiteral("N"), QStringLiteral("200"));
    const QCommandLineOption secondsOption(QStringLiteral("seconds"), QStringLiteral("measuring time"),
                                           QStringLiteral("T"), QStringLiteral("30"));
    const QCommandLineOption pidOption(QStringLiteral("pid"), QStringLiteral("the server's process"),
                                       QStringLiteral("PID"));
    parser.addOptions({clientsOption, secondsOption, pidOption});
    parser.addPositionalArgument(QStringLiteral("url"),
                                 QStringLiteral("the view address the program printed"));
    parser.addHelpOption();
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);

    const QUrl view(parser.positionalArguments().constFirst());
    if (view.host() != QLatin1String("127.0.0.1") && view.host() != QLatin1String("::1") &&
        view.host() != QLatin1String("localhost")) {
        std::fprintf(stderr, "bench_remote_clients: %s is not on the loopback\n",
                     qPrintable(view.toString()));
        return 2;
    }
    QUrl ws(view);
    ws.setScheme(QStringLiteral("ws"));
    ws.setPath(QStringLiteral("/ws"));
    const int count = parser.value(clientsOption).toInt();
    const int seconds = parser.value(secondsOption).toInt();
    std::vector<qint64> pids;
    for (const QString &pid : parser.values(pidOption))
        pids.push_back(pid.toLongLong());

    std::vector<Client> clients(static_cast<size_t>(count));
    std::vector<qint64> delays;
    delays.reserve(static_cast<size_t>(count) * static_cast<size_t>(seconds) * 4);
    bool measuring = false;
    qint64 windowStart = 0, windowEnd = 0;
    int ready = 0, lost = 0;
    for (Client &client : clients) {
        Client *c = &client;
        QObject::connect(c->socket.get(), &QWebSocket::textMessageReceived, [&, c](const QString &message) {
            const qint64 arrival = QDateTime::currentMSecsSinceEpoch();
            if (!c->ready) {
                c->ready = true; // the state sent at connect
                ++ready;
                return;
            }
            if (!measuring)
                return;
            const QJsonObject update = QJsonDocument::fromJson(message.toUtf8()).object();
            const qint64 at = update.value("at").toInteger();
            c->seen.insert(at);
            if (update.value("remaining").isDouble())
                c->remaining.insert(update.value("remaining").toInteger());
            delays.push_back(arrival - at);
        });
        QObject::connect(c->socket.get(), &QWebSocket::disconnected, [&lost] { ++lost; });
        c->socket->open(ws);
    }

    QElapsedTimer waiting;
    waiting.start();
    while (ready < count && waiting.elapsed() < 30000 && lost == 0)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (ready < count) {
        std::fprintf(stderr, "bench_remote_clients: only %d of %d clients connected (%d refused or lost)\n",
                     ready, count, lost);
        return 1;
    }
    std::printf("%d clients connected in %lld ms\n", count, static_cast<long long>(waiting.elapsed()));

    std::vector<long long> ticksBefore;
    for (const qint64 pid : pids)
        ticksBefore.push_back(cpuTicks(pid));
    QElapsedTimer wall;
    wall.start();
    measuring = true;
    windowStart = QDateTime::currentMSecsSinceEpoch();
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    QCoreApplication::exec();
    measuring = false;
    windowEnd = QDateTime::currentMSecsSinceEpoch();
    const double elapsed = static_cast<double>(wall.elapsed()) / 1000.0;
    std::vector<long long> ticksAfter;
    for (const qint64 pid : pids)
        ticksAfter.push_back(cpuTicks(pid));

    // The server's pushes: every update any client saw, but those too close to the end of the run
    // to have reached everyone.
    std::set<qint64> pushes;
    for (const Client &client : clients)
        pushes.insert(client.seen.begin(), client.seen.end());
    std::erase_if(pushes, [&](qint64 at) { return at < windowStart || at > windowEnd - 250; });
    int complete = 0, skipped = 0;
    size_t fewest = pushes.size();
    for (const Client &client : clients) {
        const std::set<qint64> &r = client.remaining;
        if (!r.empty() && static_cast<size_t>(*r.rbegin() - *r.begin() + 1) != r.size())
            ++skipped;
        const auto got = static_cast<size_t>(std::count_if(
            pushes.begin(), pushes.end(), [&client](qint64 at) { return client.seen.count(at) > 0; }));
        fewest = std::min(fewest, got);
        if (got == pushes.size())
            ++complete;
    }
    std::printf("updates pushed: %zu in %.1f s; clients with every update: %d of %d (fewest received: %zu); "
                "lost: %d; clients that missed a second of the count: %d\n",
                pushes.size(), elapsed, complete, count, fewest, lost, skipped);
    std::printf("delay from change to arrival: p50 %.0f ms, p99 %.0f ms, max %.0f ms over %zu arrivals "
                "(goal: p99 <= 50 ms)\n",
                percentile(delays, 0.5), percentile(delays, 0.99), percentile(delays, 1.0), delays.size());
    double total = 0;
    for (std::size_t i = 0; i < pids.size(); ++i) {
        if (ticksBefore[i] < 0 || ticksAfter[i] < 0)
            continue;
        const double share = 100.0 * static_cast<double>(ticksAfter[i] - ticksBefore[i]) /
                             static_cast<double>(sysconf(_SC_CLK_TCK)) / elapsed;
        total += share;
        std::printf("process %lld: %.2f %% of a core; resident %s, peak %s\n",
                    static_cast<long long>(pids[i]), share, statusLine(pids[i], "VmRSS").constData(),
                    statusLine(pids[i], "VmHWM").constData());
    }
    if (!pids.empty())
        std::printf("all of them: %.2f %% of a core (goal: <= 2 %%)\n", total);
    return complete == count && lost == 0 && skipped == 0 ? 0 : 1;
}
