// The production desk against the real program, on the loopback. Each part gets a fresh program,
// started with --remote, --osc and --osc-send on 127.0.0.1 and a programme of short talks.
//   bench_desk PROGRAM [--part NAME] [--count N]   (NAME: osc, cue, flood, clients; all when not given)
// osc: N (1000) OSC messages, each a new message to the speaker, to the state pushed to a viewer
//      showing it. Goal: p99 <= 20 ms.
// cue: the bell and zero cues of N (8) talks, from the moment the program published the tick that
//      reached them to their arrival at an OSC listener. Goal: p99 <= 50 ms.
// flood: 10 000 OSC datagrams a second for 10 s (valid commands, unknown addresses, garbage) while a
//      talk counts. Goal: no second of the countdown more than 50 ms late; growth <= 8 MiB.
// clients: 200 control WebSockets, each sending a command a second for 20 s. Goal: p99 reply <= 50 ms.

#include "programprocess.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>
#include <QUrl>
#include <QUrlQuery>
#include <QWebSocket>
#include <QtEndian>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace {

double nowMs()
{
    using namespace std::chrono;
    return static_cast<double>(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count()) /
           1000.0;
}

void report(const char *what, const std::vector<double> &ms)
{
    std::printf("  %s: %zu, p50 %.1f ms, p99 %.1f ms, longest %.1f ms\n", what, ms.size(),
                percentile(ms, 0.5), percentile(ms, 0.99), percentile(ms, 1.0));
}

// OSC as the desk writes it: the address, the type tags and the arguments, each padded to four bytes.
QByteArray padded(QByteArray bytes)
{
    bytes += '\0';
    while (bytes.size() % 4)
        bytes += '\0';
    return bytes;
}

QByteArray oscText(const QByteArray &address, const QByteArray &text)
{
    return padded(address) + padded(",s") + padded(text);
}

QByteArray oscNumber(const QByteArray &address, qint32 number)
{
    QByteArray bytes = padded(address) + padded(",i");
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes += static_cast<char>((number >> shift) & 0xff);
    return bytes;
}

// The program under test, with its addresses as it printed them.
struct Program {
    QProcess process;
    quint16 port = 0, oscPort = 0;
    QString viewToken, controlToken;
    QTemporaryDir folder;

    bool start(const QString &path, quint16 cuePort, const QByteArray &talks)
    {
        QFile programme(folder.filePath(QStringLiteral("desk.json")));
        if (!programme.open(QIODevice::WriteOnly))
            return false;
        programme.write(R"({"format": "podiumwatch-programme", "version": 1, "talks": )" + talks + "}");
        programme.close();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (!environment.contains(QStringLiteral("QT_QPA_PLATFORM")))
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(environment);
        process.start(path, {QStringLiteral("--remote=0"), QStringLiteral("--remote-bind=127.0.0.1"),
                             QStringLiteral("--osc=0"), QStringLiteral("--osc-send"),
                             QStringLiteral("127.0.0.1:%1").arg(cuePort), QStringLiteral("--programme"),
                             programme.fileName()});
        QByteArray output;
        if (!waitFor(
                [&] {
                    output += process.readAllStandardOutput();
                    return output.contains("remote control: ") && output.contains("osc: ") &&
                           output.endsWith('\n');
                },
                30000)) {
            std::printf("the program printed no addresses\n");
            return false;
        }
        for (const QByteArray &line : output.split('\n')) {
            const QUrl url(QString::fromUtf8(line.mid(line.indexOf("http://"))));
            const QString token = QUrlQuery(url).queryItemValue(QStringLiteral("t"));
            if (line.startsWith("remote view: ")) {
                port = static_cast<quint16>(url.port());
                viewToken = token;
            } else if (line.startsWith("remote control: ")) {
                controlToken = token;
            } else if (line.startsWith("osc: ")) {
                oscPort = static_cast<quint16>(line.mid(line.lastIndexOf(':') + 1).toUInt());
            }
        }
        waitFor([] { return false; }, 1500); // the programme opened, the window settled
        return port && oscPort;
    }
    QUrl socketUrl(const QString &token) const
    {
        return QUrl(QStringLiteral("ws://127.0.0.1:%1/ws?t=%2").arg(port).arg(token));
    }
    ~Program()
    {
        process.kill();
        process.waitForFinished(10000);
    }
};

// A viewer on a thread of its own, calling `seen` with each state and the moment it came.
class Viewer : public QThread {
public:
    Viewer(QUrl url, std::function<void(const QJsonObject &, double)> seen)
        : url_(std::move(url)), seen_(std::move(seen))
    {
    }

protected:
    void run() override
    {
        QWebSocket socket;
        QObject::connect(&socket, &QWebSocket::textMessageReceived, [this](const QString &text) {
            const double at = nowMs();
            seen_(QJsonDocument::fromJson(text.toUtf8()).object(), at);
        });
        socket.open(url_);
        exec();
    }

private:
    QUrl url_;
    std::function<void(const QJsonObject &, double)> seen_;
};

bool oscToChange(const QString &path, int count)
{
    QUdpSocket cues; // the program sends its cues here; this part does not read them
    cues.bind(QHostAddress::LocalHost, 0);
    Program program;
    if (!program.start(path, cues.localPort(), R"([{"title": "一", "time": "10:00"}])"))
        return false;
    std::mutex mutex;
    std::map<QString, double> shownAt;
    Viewer viewer(program.socketUrl(program.viewToken), [&](const QJsonObject &state, double at) {
        std::lock_guard lock(mutex);
        shownAt.emplace(state.value(QStringLiteral("message")).toString(), at);
    });
    viewer.start();
    waitFor([] { return false; }, 500);
    QUdpSocket desk;
    std::vector<double> ms;
    int lost = 0;
    for (int i = 0; i < count; ++i) {
        const QString text = QStringLiteral("m%1").arg(i);
        const double sent = nowMs();
        desk.writeDatagram(oscText("/podiumwatch/message", text.toUtf8()), QHostAddress::LocalHost,
                           program.oscPort);
        const bool shown = waitFor(
            [&] {
                std::lock_guard lock(mutex);
                return shownAt.count(text) > 0;
            },
            2000);
        std::lock_guard lock(mutex);
        if (shown)
            ms.push_back(shownAt[text] - sent);
        else
            ++lost;
        // Within the program's own command rate.
        waitFor([] { return false; }, 20);
    }
    viewer.quit();
    viewer.wait();
    std::printf("osc: a message to the speaker over OSC, to the state a viewer gets\n");
    report("shown", ms);
    std::printf("  not shown within 2 s: %d\n", lost);
    return lost == 0;
}

bool cueAfterTick(const QString &path, int talks)
{
    QUdpSocket listener;
    listener.bind(QHostAddress::LocalHost, 0);
    QByteArray list = "[";
    for (int i = 0; i < talks; ++i)
        list +=
            QByteArray(i ? "," : "") + R"({"title": "t", "time": "0:05", "bells": ["0:04", "0:03", "0:02"]})";
    list += ']';
    Program program;
    if (!program.start(path, listener.localPort(), list))
        return false;
    // When the program published each second of each talk (its own clock), by talk and remaining.
    std::mutex mutex;
    std::map<std::pair<int, int>, qint64> publishedAt;
    Viewer viewer(program.socketUrl(program.viewToken), [&](const QJsonObject &state, double) {
        if (state.value(QStringLiteral("state")).toString() != QLatin1String("running"))
            return;
        std::lock_guard lock(mutex);
        publishedAt.emplace(
            std::pair{state.value(QStringLiteral("talk")).toObject().value(QStringLiteral("number")).toInt(),
                      state.value(QStringLiteral("remaining")).toInt()},
            state.value(QStringLiteral("at")).toInteger());
    });
    viewer.start();
    QWebSocket control;
    control.open(program.socketUrl(program.controlToken));
    waitFor([&] { return control.state() == QAbstractSocket::ConnectedState; }, 5000);
    std::vector<std::pair<std::pair<int, int>, qint64>> arrivals; // (talk, remaining), epoch ms
    QObject::connect(&listener, &QUdpSocket::readyRead, [&] {
        while (listener.hasPendingDatagrams()) {
            const QByteArray datagram = listener.receiveDatagram().data();
            const qint64 at = QDateTime::currentMSecsSinceEpoch();
            // /podiumwatch/cue/bell or /zero, then ",ii…": the talk and the remaining time.
            if (!datagram.startsWith("/podiumwatch/cue/bell") &&
                !datagram.startsWith("/podiumwatch/cue/zero"))
                continue;
            const qsizetype tags = datagram.indexOf(",ii");
            if (tags < 0)
                continue;
            qsizetype args = tags + 1;
            while (args < datagram.size() && datagram[args] != '\0')
                ++args;
            args = (args + 4) & ~qsizetype{3};
            if (datagram.size() < args + 8)
                continue;
            auto word = [&](qsizetype at32) {
                return static_cast<qint32>(qFromBigEndian<quint32>(datagram.constData() + at32));
            };
            arrivals.push_back({{word(args), word(args + 4)}, at});
        }
    });
    // What came before this listened is read now: a socket with datagrams unread says no more.
    emit listener.readyRead();
    for (int talk = 1; talk <= talks; ++talk) {
        control.sendTextMessage(QStringLiteral(R"({"command": "start", "id": 1})"));
        waitFor([] { return false; }, 5600);
        control.sendTextMessage(QStringLiteral(R"({"command": "reset", "id": 2})"));
        waitFor([] { return false; }, 300);
        control.sendTextMessage(QStringLiteral(R"({"command": "next", "id": 3})"));
        waitFor([] { return false; }, 300);
    }
    viewer.quit();
    viewer.wait();
    std::vector<double> ms;
    int unmatched = 0;
    std::lock_guard lock(mutex);
    for (const auto &[moment, at] : arrivals) {
        const auto found = publishedAt.find(moment);
        if (found == publishedAt.end())
            ++unmatched;
        else
            ms.push_back(static_cast<double>(at - found->second));
    }
    std::printf("cue: bell and zero cues, from the published tick to the OSC listener\n");
    report("cues", ms);
    std::printf("  expected %d, without a published tick %d\n", talks * 4, unmatched);
    return !ms.empty();
}

// Datagrams as fast as asked, from a thread of their own.
class Flood : public QThread {
public:
    Flood(quint16 port, int perSecond, int seconds) : port_(port), perSecond_(perSecond), seconds_(seconds) {}
    qint64 sent = 0;

protected:
    void run() override
    {
        QUdpSocket socket;
        const QByteArray valid = oscText("/podiumwatch/message", "flood");
        const QByteArray unknown = oscNumber("/podiumwatch/nothing", 1);
        QByteArray garbage(200, Qt::Uninitialized);
        const double start = nowMs();
        for (qint64 i = 0; nowMs() - start < seconds_ * 1000.0; ++i) {
            // Paced in steps of a millisecond.
            while (static_cast<double>(sent) > (nowMs() - start) * perSecond_ / 1000.0)
                QThread::usleep(200);
            for (char &byte : garbage)
                byte = static_cast<char>(QRandomGenerator::global()->bounded(256));
            const QByteArray &datagram = i % 3 == 0 ? valid : i % 3 == 1 ? unknown : garbage;
            socket.writeDatagram(datagram, QHostAddress::LocalHost, port_);
            ++sent;
        }
    }

private:
    quint16 port_;
    int perSecond_, seconds_;
};

bool flood(const QString &path)
{
    QUdpSocket cues;
    cues.bind(QHostAddress::LocalHost, 0);
    Program program;
    if (!program.start(path, cues.localPort(), R"([{"title": "一", "time": "10:00"}])"))
        return false;
    std::mutex mutex;
    qint64 lastAt = 0, longest = 0;
    int lastRemaining = 0;
    bool measuring = false;
    Viewer viewer(program.socketUrl(program.viewToken), [&](const QJsonObject &state, double) {
        std::lock_guard lock(mutex);
        const int remaining = state.value(QStringLiteral("remaining")).toInt();
        const qint64 at = state.value(QStringLiteral("at")).toInteger();
        if (state.value(QStringLiteral("state")).toString() == QLatin1String("running") &&
            remaining != lastRemaining) {
            if (lastAt && measuring)
                longest = std::max(longest, at - lastAt);
            lastAt = at;
            lastRemaining = remaining;
        }
    });
    viewer.start();
    QWebSocket control;
    control.open(program.socketUrl(program.controlToken));
    waitFor([&] { return control.state() == QAbstractSocket::ConnectedState; }, 5000);
    control.sendTextMessage(QStringLiteral(R"({"command": "start", "id": 1})"));
    waitFor([] { return false; }, 2500);
    const qint64 pid = program.process.processId();
    const qint64 server = serverOf(pid);
    const double ownBefore = rssMiB(pid), serverBefore = rssMiB(server);
    double ownPeak = ownBefore, serverPeak = serverBefore;
    {
        std::lock_guard lock(mutex);
        measuring = true;
    }
    Flood datagrams(program.oscPort, 10000, 10);
    datagrams.start();
    while (!datagrams.isFinished()) {
        waitFor([] { return false; }, 100);
        ownPeak = std::max(ownPeak, rssMiB(pid));
        serverPeak = std::max(serverPeak, rssMiB(server));
    }
    waitFor([] { return false; }, 1500);
    viewer.quit();
    viewer.wait();
    const bool alive = program.process.state() == QProcess::Running && serverOf(pid) == server;
    std::printf("flood: %lld OSC datagrams in 10 s while a talk counts\n",
                static_cast<long long>(datagrams.sent));
    std::printf("  alive: %s (the same server's process: %s)\n",
                program.process.state() == QProcess::Running ? "yes" : "NO",
                serverOf(pid) == server ? "yes" : "no");
    std::printf("  countdown: longest gap between two seconds %lld ms (%+lld ms)\n",
                static_cast<long long>(longest), static_cast<long long>(longest - 1000));
    std::printf(
        "  memory: program %.1f -> peak %.1f MiB (%+.1f), server's process %.1f -> peak %.1f MiB (%+.1f)\n",
        ownBefore, ownPeak, ownPeak - ownBefore, serverBefore, serverPeak, serverPeak - serverBefore);
    return alive;
}

// Control sockets on a thread of their own, each sending a command a second and timing its reply.
class Desks : public QThread {
public:
    Desks(QUrl url, int count, int seconds) : url_(std::move(url)), count_(count), seconds_(seconds) {}
    std::vector<double> ms;
    int refused = 0, unanswered = 0, connected = 0;

protected:
    void run() override
    {
        std::vector<std::unique_ptr<QWebSocket>> sockets;
        std::vector<std::map<int, double>> asked(static_cast<std::size_t>(count_));
        for (int i = 0; i < count_; ++i) {
            auto socket = std::make_unique<QWebSocket>();
            QObject::connect(socket.get(), &QWebSocket::textMessageReceived,
                             [this, &asked, i](const QString &text) {
                                 const QJsonObject reply = QJsonDocument::fromJson(text.toUtf8()).object();
                                 if (!reply.contains(QStringLiteral("reply")))
                                     return;
                                 auto &mine = asked[static_cast<std::size_t>(i)];
                                 const auto found = mine.find(reply.value(QStringLiteral("reply")).toInt());
                                 if (found == mine.end())
                                     return;
                                 ms.push_back(nowMs() - found->second);
                                 if (reply.value(QStringLiteral("status")).toInt() != 204)
                                     ++refused;
                                 mine.erase(found);
                             });
            socket->open(url_);
            sockets.push_back(std::move(socket));
        }
        waitFor(
            [&] {
                return std::all_of(sockets.cbegin(), sockets.cend(), [](const auto &socket) {
                    return socket->state() == QAbstractSocket::ConnectedState;
                });
            },
            20000);
        connected = static_cast<int>(std::count_if(sockets.cbegin(), sockets.cend(), [](const auto &socket) {
            return socket->state() == QAbstractSocket::ConnectedState;
        }));
        // Each socket at its own moment of the second, as desks are.
        const double start = nowMs();
        int id = 0;
        for (int second = 0; second < seconds_; ++second) {
            for (int i = 0; i < count_; ++i) {
                const double due = start + second * 1000.0 + i * 1000.0 / count_;
                waitFor([&] { return nowMs() >= due; }, 1000);
                asked[static_cast<std::size_t>(i)][++id] = nowMs();
                sockets[static_cast<std::size_t>(i)]->sendTextMessage(
                    QStringLiteral(R"({"command": "pause", "id": %1})").arg(id));
            }
        }
        waitFor([] { return false; }, 2000);
        for (const auto &mine : asked)
            unanswered += static_cast<int>(mine.size());
    }

private:
    QUrl url_;
    int count_, seconds_;
};

bool clients(const QString &path)
{
    QUdpSocket cues;
    cues.bind(QHostAddress::LocalHost, 0);
    Program program;
    if (!program.start(path, cues.localPort(), R"([{"title": "一", "time": "10:00"}])"))
        return false;
    // Four threads of fifty, so that this side's own event loop is not what is measured.
    std::vector<std::unique_ptr<Desks>> desks;
    for (int i = 0; i < 4; ++i) {
        desks.push_back(std::make_unique<Desks>(program.socketUrl(program.controlToken), 50, 20));
        desks.back()->start();
    }
    std::vector<double> ms;
    int refused = 0, unanswered = 0, connected = 0;
    for (auto &group : desks) {
        while (!group->wait(50))
            QCoreApplication::processEvents();
        ms.insert(ms.end(), group->ms.cbegin(), group->ms.cend());
        refused += group->refused;
        unanswered += group->unanswered;
        connected += group->connected;
    }
    std::printf("clients: 200 control WebSockets, a command a second each for 20 s (%d connected)\n",
                connected);
    report("replies", ms);
    std::printf("  refused (not 204): %d, unanswered: %d\n", refused, unanswered);
    return unanswered == 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("program"), QStringLiteral("the podiumwatch executable"));
    parser.addOption(
        {QStringLiteral("part"), QStringLiteral("osc, cue, flood or clients"), QStringLiteral("name")});
    parser.addOption(
        {QStringLiteral("count"), QStringLiteral("messages (osc) or talks (cue)"), QStringLiteral("n")});
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);
    const QString program = parser.positionalArguments().constFirst();
    const QString part = parser.value(QStringLiteral("part"));
    const int count = parser.value(QStringLiteral("count")).toInt();
    bool ok = true;
    if (part.isEmpty() || part == QLatin1String("osc"))
        ok = oscToChange(program, count > 0 ? count : 1000) && ok;
    if (part.isEmpty() || part == QLatin1String("cue"))
        ok = cueAfterTick(program, count > 0 ? count : 8) && ok;
    if (part.isEmpty() || part == QLatin1String("flood"))
        ok = flood(program) && ok;
    if (part.isEmpty() || part == QLatin1String("clients"))
        ok = clients(program) && ok;
    std::fflush(stdout);
    return ok ? 0 : 1;
}
