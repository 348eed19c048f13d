// Hostile clients against the real program's remote view, on the loopback. Each attack gets a fresh
// program, started with --remote on 127.0.0.1 and its open-file limit at 1024 (soft and hard, so
// that raising it gains nothing), its countdown running (paused for the pingers, then running
// again). While an attack goes on, a legitimate viewer asks for /state ten times a second on a
// new connection each time and follows the pushes over a WebSocket. Printed per attack: whether
// the program is alive, the /state answers (failures, p50, p99, longest), the countdown's longest
// gap between two seconds (from the program's own `at` of each push), the peak resident memory
// against the start and the peak of open descriptors, for the program and for the remote server's
// process where it has one (and how many server processes there were: more than one is a restart).
//   bench_remote_hostile PROGRAM [--seconds T] [--attack NAME]   (NAME: held, pipeline, pipeline-token,
//   pings, resets; all five when not given)
// Goal: alive; /state answered throughout, p99 <= 50 ms; longest gap <= 1.2 s; growth <= 64 MiB.

#include "programprocess.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>
#include <QWebSocket>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <sys/resource.h>
#include <sys/socket.h>
#include <vector>

namespace {

constexpr int FileLimit = 1024;

struct Target {
    quint16 port = 0;
    QByteArray viewToken, controlToken;
    QByteArray host() const { return "127.0.0.1:" + QByteArray::number(port); }
};

// One request on a connection of its own; the status, or -1 when the connection failed, -2 when it
// was closed without an answer, -3 when no answer came within the time.
int request(const Target &target, const QByteArray &method, const QByteArray &path, int timeoutMs,
            QByteArray *body = nullptr)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, target.port);
    const QDeadlineTimer deadline(timeoutMs);
    if (!socket.waitForConnected(static_cast<int>(deadline.remainingTime())))
        return -1;
    socket.write(method + ' ' + path + " HTTP/1.1\r\nHost: " + target.host() +
                 "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    QByteArray data;
    while (!deadline.hasExpired()) {
        if (const qsizetype end = data.indexOf("\r\n\r\n"); end >= 0) {
            const qsizetype at = data.toLower().indexOf("content-length:");
            const qsizetype length =
                at < 0 ? 0 : data.mid(at + 15, data.indexOf('\r', at) - at - 15).trimmed().toLongLong();
            if (data.size() >= end + 4 + length) {
                if (body)
                    *body = data.mid(end + 4, length);
                return data.mid(9, 3).toInt();
            }
        }
        if (!socket.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime()))) &&
            socket.state() != QAbstractSocket::ConnectedState)
            return -2;
        data += socket.readAll();
    }
    return -3;
}

const char *failureKind(int status)
{
    switch (status) {
    case -1:
        return "no connection";
    case -2:
        return "closed without an answer";
    case -3:
        return "no answer within 2 s";
    default:
        return "an answer other than 200";
    }
}

int descriptors(qint64 pid)
{
    return pid ? static_cast<int>(QDir(QStringLiteral("/proc/%1/fd").arg(pid)).entryList(QDir::System).size())
               : 0;
}

// Peaks of one process's memory and descriptors over an attack.
struct Watched {
    double rssBefore = 0, rssPeak = 0;
    int fdPeak = 0;
    void look(qint64 pid, bool first = false)
    {
        if (!pid)
            return;
        const double rss = rssMiB(pid);
        if (first)
            rssBefore = rss;
        rssPeak = std::max(rssPeak, rss);
        fdPeak = std::max(fdPeak, descriptors(pid));
    }
};

// The legitimate viewer's /state, on a thread of its own so that the attack's work here does not
// count against the program.
class StatePoller : public QThread {
public:
    explicit StatePoller(const Target &target) : target_(target) {}
    std::atomic<bool> stop{false};
    std::vector<double> latenciesMs;
    int failures = 0;
    QMap<int, int> failuresByKind; // as request() says

protected:
    void run() override
    {
        while (!stop) {
            QElapsedTimer clock;
            clock.start();
            const int status = request(target_, "GET", "/state?t=" + target_.viewToken, 2000);
            const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
            if (status == 200) {
                latenciesMs.push_back(ms);
            } else {
                ++failures;
                ++failuresByKind[status];
            }
            msleep(100);
        }
    }

private:
    Target target_;
};

// The legitimate viewer's WebSocket: the program's moment of each new second of a running count.
class Follower : public QThread {
public:
    explicit Follower(const Target &target) : target_(target) {}
    qint64 longestGapMs() const
    {
        std::lock_guard lock(mutex_);
        return longest_;
    }
    void resetGap()
    {
        std::lock_guard lock(mutex_);
        longest_ = 0;
        lastAt_ = 0;
    }
    QString state() const
    {
        std::lock_guard lock(mutex_);
        return state_;
    }

protected:
    void run() override
    {
        QWebSocket socket;
        QObject::connect(&socket, &QWebSocket::textMessageReceived, [this](const QString &message) {
            const QJsonObject state = QJsonDocument::fromJson(message.toUtf8()).object();
            std::lock_guard lock(mutex_);
            state_ = state.value(QStringLiteral("state")).toString();
            const int remaining = state.value(QStringLiteral("remaining")).toInt();
            const qint64 at = state.value(QStringLiteral("at")).toInteger();
            if (state_ == QLatin1String("running") && remaining != lastRemaining_) {
                if (lastAt_ != 0)
                    longest_ = std::max(longest_, at - lastAt_);
                lastAt_ = at;
            } else if (state_ != QLatin1String("running")) {
                lastAt_ = 0;
            }
            lastRemaining_ = remaining;
        });
        QObject::connect(&socket, &QWebSocket::disconnected, [this] {
            std::lock_guard lock(mutex_);
            state_ = QStringLiteral("disconnected");
        });
        socket.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws?t=%2")
                             .arg(target_.port)
                             .arg(QString::fromLatin1(target_.viewToken))));
        exec();
    }

private:
    Target target_;
    mutable std::mutex mutex_;
    QString state_;
    qint64 longest_ = 0, lastAt_ = 0;
    int lastRemaining_ = 0;
};

// Clients that mean harm; each reconnects when the server closes it.
class Attack : public QObject {
public:
    enum class Kind { Held, Pipeline, PipelineToken, Pings, Resets };
    Attack(Kind kind, const Target &target) : kind_(kind), target_(target)
    {
        if (kind == Kind::Resets) {
            // A WebSocket handshake, and at once a reset: the answer's write fails in the server.
            connect(&feed_, &QTimer::timeout, this, [this] {
                for (int i = 0; i < 10; ++i)
                    resetAfterHandshake();
            });
            feed_.start(10);
            return;
        }
        const int count = kind == Kind::Held ? 1100 : kind == Kind::Pings ? 50 : 8;
        for (int i = 0; i < count; ++i)
            open();
        if (kind_ != Kind::Held) {
            connect(&feed_, &QTimer::timeout, this, [this] {
                for (QTcpSocket *socket : sockets_)
                    feed(socket);
            });
            feed_.start(10);
        }
    }
    ~Attack() override
    {
        stopped_ = true;
        for (QTcpSocket *socket : sockets_)
            delete socket;
    }
    qint64 sent = 0;
    int connections = 0;

private:
    void open()
    {
        auto *socket = new QTcpSocket;
        socket->setReadBufferSize(1024); // and never read: the server's answers pile up towards it
        sockets_.push_back(socket);
        ++connections;
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            if (stopped_)
                return;
            sockets_.erase(std::remove(sockets_.begin(), sockets_.end(), socket), sockets_.end());
            socket->deleteLater();
            open();
        });
        connect(socket, &QTcpSocket::connected, this, [this, socket] {
            if (kind_ == Kind::Pings)
                socket->write(
                    "GET /ws?t=" + target_.viewToken + " HTTP/1.1\r\nHost: " + target_.host() +
                    "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                    "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n");
        });
        socket->connectToHost(QHostAddress::LocalHost, target_.port);
    }

    void resetAfterHandshake()
    {
        auto *socket = new QTcpSocket(this);
        ++connections;
        connect(socket, &QTcpSocket::connected, this, [this, socket] {
            sent += socket->write(
                "GET /ws?t=" + target_.viewToken + " HTTP/1.1\r\nHost: " + target_.host() +
                "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n");
            socket->flush();
            const linger reset{1, 0};
            setsockopt(static_cast<int>(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &reset,
                       sizeof reset);
            socket->abort();
            socket->deleteLater();
        });
        connect(socket, &QTcpSocket::errorOccurred, socket, &QObject::deleteLater);
        socket->connectToHost(QHostAddress::LocalHost, target_.port);
    }

    void feed(QTcpSocket *socket)
    {
        if (socket->state() != QAbstractSocket::ConnectedState || socket->bytesToWrite() > 64 * 1024)
            return;
        QByteArray chunk;
        if (kind_ == Kind::Pings) {
            // Masked pings as large as a ping may be, each asking for a pong as large.
            for (int i = 0; i < 100; ++i)
                chunk += QByteArray("\x89\xfd\x01\x02\x03\x04", 6) + QByteArray(125, 'p');
        } else {
            const QByteArray path =
                kind_ == Kind::PipelineToken ? "/?t=" + target_.viewToken : QByteArray("/");
            const QByteArray one = "GET " + path + " HTTP/1.1\r\nHost: " + target_.host() + "\r\n\r\n";
            for (int i = 0; i < 100; ++i)
                chunk += one;
        }
        sent += socket->write(chunk);
    }

    Kind kind_;
    Target target_;
    std::vector<QTcpSocket *> sockets_;
    QTimer feed_;
    bool stopped_ = false;
};

bool runAttack(const QString &program, Attack::Kind kind, const QString &name, int seconds)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!environment.contains(QStringLiteral("QT_QPA_PLATFORM")))
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(environment);
    process.setChildProcessModifier([] {
        const rlimit limit{FileLimit, FileLimit};
        setrlimit(RLIMIT_NOFILE, &limit);
    });
    process.start(program, {QStringLiteral("--remote=0"), QStringLiteral("--remote-bind=127.0.0.1")});
    QByteArray output;
    Target target;
    const bool addressed = waitFor(
        [&] {
            output += process.readAllStandardOutput();
            return output.contains("remote control: ");
        },
        30000);
    if (!addressed) {
        std::printf("%s: the program printed no addresses\n", qPrintable(name));
        return false;
    }
    for (const QByteArray &line : output.split('\n')) {
        const QUrl url(QString::fromUtf8(line.mid(line.indexOf("http://"))));
        const QByteArray token = QUrlQuery(url).queryItemValue(QStringLiteral("t")).toLatin1();
        if (line.startsWith("remote view: ")) {
            target.port = static_cast<quint16>(url.port());
            target.viewToken = token;
        } else if (line.startsWith("remote control: ")) {
            target.controlToken = token;
        }
    }
    const qint64 pid = process.processId();

    Follower follower(target);
    follower.start();
    request(target, "POST", "/control/restart?t=" + target.controlToken, 5000);
    waitFor([&] { return follower.state() == QLatin1String("running"); }, 10000);
    if (kind == Attack::Kind::Pings)
        request(target, "POST", "/control/pause?t=" + target.controlToken, 5000);
    waitFor([] { return false; }, 1500); // settled
    Watched own, server;
    own.look(pid, true);
    server.look(serverOf(pid), true);
    QSet<qint64> servers{serverOf(pid)};

    StatePoller poller(target);
    poller.start();
    auto attack = std::make_unique<Attack>(kind, target);
    QElapsedTimer clock;
    clock.start();
    bool resumed = kind != Attack::Kind::Pings;
    while (clock.elapsed() < seconds * 1000 && process.state() == QProcess::Running) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        own.look(pid);
        const qint64 serving = serverOf(pid);
        server.look(serving);
        servers << serving;
        // Paused for the first half, then counting again under the same pings.
        if (!resumed && clock.elapsed() > seconds * 500) {
            request(target, "POST", "/control/start?t=" + target.controlToken, 5000);
            follower.resetGap();
            resumed = true;
        }
    }
    const qint64 sent = attack->sent;
    const int connections = attack->connections;
    attack.reset();
    poller.stop = true;
    poller.wait();
    waitFor([] { return false; }, 2000);
    const bool alive = process.state() == QProcess::Running &&
                       request(target, "GET", "/state?t=" + target.viewToken, 5000) == 200;
    follower.quit();
    follower.wait();

    const std::vector<double> &ms = poller.latenciesMs;
    std::printf("%s\n  alive: %s\n", qPrintable(name), alive ? "yes" : "NO");
    std::printf("  attacker: %d connections opened, %.1f MB sent\n", connections,
                static_cast<double>(sent) / 1e6);
    std::printf("  /state: %zu answered, %d failed, p50 %.1f ms, p99 %.1f ms, longest %.1f ms\n", ms.size(),
                poller.failures, percentile(ms, 0.5), percentile(ms, 0.99), percentile(ms, 1.0));
    for (auto it = poller.failuresByKind.cbegin(); it != poller.failuresByKind.cend(); ++it)
        std::printf("    %d: %s\n", it.value(), failureKind(it.key()));
    std::printf("  countdown: longest gap between two seconds %.3f s%s\n",
                static_cast<double>(follower.longestGapMs()) / 1000.0,
                kind == Attack::Kind::Pings ? " (in the running half)" : "");
    std::printf("  memory: %.1f MiB resident before, peak %.1f MiB (%+.1f MiB); descriptors: peak %d of %d\n",
                own.rssBefore, own.rssPeak, own.rssPeak - own.rssBefore, own.fdPeak, FileLimit);
    servers.remove(0);
    if (!servers.isEmpty())
        std::printf(
            "  server's process: %.1f MiB resident before, peak %.1f MiB (%+.1f MiB); descriptors: peak "
            "%d of %d; %lld process(es)\n",
            server.rssBefore, server.rssPeak, server.rssPeak - server.rssBefore, server.fdPeak, FileLimit,
            static_cast<long long>(servers.size()));
    std::fflush(stdout);
    process.kill();
    process.waitForFinished(10000);
    return alive && poller.failures == 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("program"), QStringLiteral("the podiumwatch executable"));
    const QCommandLineOption seconds(QStringLiteral("seconds"), QStringLiteral("per attack"),
                                     QStringLiteral("T"), QStringLiteral("20"));
    const QCommandLineOption only(QStringLiteral("attack"),
                                  QStringLiteral("held, pipeline, pipeline-token or pings"),
                                  QStringLiteral("NAME"));
    parser.addOptions({seconds, only});
    parser.addHelpOption();
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);
    const QString program = parser.positionalArguments().first();
    // The attacker holds more connections than the program may open.
    rlimit own{};
    getrlimit(RLIMIT_NOFILE, &own);
    own.rlim_cur = own.rlim_max;
    setrlimit(RLIMIT_NOFILE, &own);

    const struct {
        const char *key;
        Attack::Kind kind;
        const char *name;
    } attacks[] = {
        {"held", Attack::Kind::Held, "1100 connections held, no token, each closed one opened again"},
        {"pipeline", Attack::Kind::Pipeline,
         "GET / pipelined without a token, answers never read (8 connections)"},
        {"pipeline-token", Attack::Kind::PipelineToken,
         "GET /?t=VIEW pipelined with the view token, answers never read (8 connections)"},
        {"pings", Attack::Kind::Pings,
         "50 WebSockets (view token) sending pings of 125 bytes, never reading, countdown paused"},
        {"resets", Attack::Kind::Resets,
         "WebSocket handshakes (view token), each reset at once, 1000 a second"},
    };
    bool allWell = true;
    for (const auto &attack : attacks) {
        if (parser.isSet(only) && parser.value(only) != QLatin1String(attack.key))
            continue;
        allWell = runAttack(program, attack.kind, QString::fromLatin1(attack.name),
                            parser.value(seconds).toInt()) &&
                  allWell;
    }
    return allWell ? 0 : 1;
}
