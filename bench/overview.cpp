// The overview's network side (podiumwatch-overview) following the 50 rooms of an event, on the
// loopback. The rooms are stand-ins in this process, on a thread of their own: each a QTcpServer on
// 127.0.0.1 at a port of its own that answers GET /room as a room of the event does, upgrades
// /ws?t=VIEW and pushes a state of about 600 bytes once a second, each room at its own moment of the
// second, with a remaining time that is new at every push (so that each push is known again in the
// overview's State). The overview is the real process, given the rooms' addresses and the key.
//   bench_overview [OVERVIEW] [--seconds N] [--stops N]
//   (OVERVIEW: the podiumwatch-overview built beside the program; N: 60 steady seconds, 5 stops.
//    A quick run of about 20 s: --seconds 10 --stops 1.)
// latency: a room's push to the State that carries it, every push of the steady seconds.
//      Goal: p99 <= 200 ms (a push never passed on counts as beyond any goal).
// cpu, memory: the overview's process over the same seconds. Goal: <= 3 % of one core; peak
//      resident (VmHWM) over the whole run <= 80 MiB.
// offline: a room stopped abruptly (its listening socket closed, its connections reset) to the
//      State that says it is offline, each of N rooms in turn, the first just after a push and the
//      last just before the next. Goal: <= 3 s.
// refollow: the same room listening again on its port, after down times growing from 1 s past the
//      State, to the State that says it is online. Goal: <= 5 s.
// Exits with 1 when a goal is missed.

#include "programprocess.h"

#include "overview/overviewchannel.h"
#include "overview/roomfeed.h"
#include "remote/channel.h"
#include "remote/websocketframes.h"
#include "rooms/eventtokens.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>
#include <QWebSocket>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr int kRooms = 50;
constexpr int kPushMs = 1000;
// The remaining time of a room's first push; every push after it is a second less, so a State's
// remaining names the push it carries.
constexpr int kFirstRemaining = 3 * 3600;
constexpr double kLatencyGoalMs = 200, kCpuGoal = 3, kMemoryGoalMiB = 80, kOfflineGoalMs = 3000,
                 kRefollowGoalMs = 5000;
const QByteArray kEventKey = "bench-overview-event-key";

double nowMs()
{
    using namespace std::chrono;
    return static_cast<double>(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count()) /
           1000.0;
}

// When each room sent each push, written by the rooms' thread, read by the main one.
struct Pushes {
    std::mutex mutex;
    std::vector<std::vector<double>> sentAt = std::vector<std::vector<double>>(kRooms);
    std::atomic<int> pings{0};
};

QString roomName(int index)
{
    return QStringLiteral("第%1会場").arg(index + 1, 2, 10, QLatin1Char('0'));
}

// One room as an overview sees it on the network: its challenge answer and its view feed.
class Room : public QObject {
public:
    Room(int index, Pushes &pushes, QObject *parent)
        : QObject(parent), index_(index), pushes_(pushes), name_(roomName(index)),
          viewToken_(eventTokens(kEventKey, name_).view)
    {
        server_.setParent(this);
        tick_.setParent(this);
        tick_.setTimerType(Qt::PreciseTimer);
        tick_.setInterval(kPushMs);
        connect(&tick_, &QTimer::timeout, this, &Room::push);
        connect(&server_, &QTcpServer::newConnection, this, &Room::accept);
    }

    // Listens on `port` (0: any); the port, or 0 when it could not.
    quint16 listen(quint16 port)
    {
        if (!server_.listen(QHostAddress::LocalHost, port))
            return 0;
        return server_.serverPort();
    }

    // Pushes at its own moment of the second from now on.
    void startPushing(int delayMs)
    {
        QTimer::singleShot(delayMs, Qt::PreciseTimer, this, [this] {
            tick_.start();
            push();
        });
    }

    // Stops `delayMs` after its next push and says when: how long the overview takes to see a room
    // gone depends on how long before it last heard from it.
    void stopAfterPush(int delayMs, std::atomic<double> &stoppedAt)
    {
        afterPush_ = [this, delayMs, &stoppedAt] {
            QTimer::singleShot(delayMs, Qt::PreciseTimer, this, [this, &stoppedAt] {
                stoppedAt = nowMs();
                stop();
            });
        };
    }

    // As a room whose machine dropped off the network: no answer to anything more, and what was
    // open reset, not closed politely.
    void stop()
    {
        server_.close();
        for (QTcpSocket *socket : server_.findChildren<QTcpSocket *>()) {
            const ::linger reset{1, 0};
            ::setsockopt(static_cast<int>(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &reset,
                         sizeof reset);
            socket->abort();
            socket->deleteLater();
        }
        feeds_.clear();
        input_.clear();
    }

private:
    void accept()
    {
        while (QTcpSocket *socket = server_.nextPendingConnection()) {
            input_[socket] = {};
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                feeds_.erase(std::remove(feeds_.begin(), feeds_.end(), socket), feeds_.end());
                input_.erase(socket);
                socket->deleteLater();
            });
        }
    }

    void read(QTcpSocket *socket)
    {
        const auto found = input_.find(socket);
        if (found == input_.end())
            return;
        QByteArray &buffer = found->second;
        buffer += socket->readAll();
        if (std::find(feeds_.cbegin(), feeds_.cend(), socket) != feeds_.cend()) {
            readFrames(socket, buffer);
            return;
        }
        // HTTP/1.1, kept alive as the room's server keeps it for the overview's challenges.
        while (socket->state() == QAbstractSocket::ConnectedState) {
            const qsizetype end = buffer.indexOf("\r\n\r\n");
            if (end < 0)
                return;
            const QByteArray head = buffer.left(end);
            buffer.remove(0, end + 4);
            if (answer(socket, head)) {
                feeds_.push_back(socket);
                readFrames(socket, buffer);
                return;
            }
        }
    }

    // Answers one request; true when it upgraded the connection to the room's feed.
    bool answer(QTcpSocket *socket, const QByteArray &head)
    {
        const QList<QByteArray> lines = head.split('\n');
        const QList<QByteArray> request = lines.value(0).trimmed().split(' ');
        const QUrl target(QStringLiteral("http://room") + QString::fromLatin1(request.value(1)));
        const QUrlQuery query(target);
        std::map<QByteArray, QByteArray> headers;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0)
                headers[lines[i].left(colon).trimmed().toLower()] = lines[i].mid(colon + 1).trimmed();
        }
        const auto reply = [socket](const QByteArray &status, const QByteArray &type,
                                    const QByteArray &body) {
            socket->write("HTTP/1.1 " + status + "\r\nContent-Type: " + type + "\r\nContent-Length: " +
                          QByteArray::number(body.size()) + "\r\nCache-Control: no-store\r\n\r\n" + body);
        };
        if (request.value(0) == "GET" && target.path() == QLatin1String("/room")) {
            const QString challenge = query.queryItemValue(QStringLiteral("n"));
            const QJsonObject room{
                {QStringLiteral("room"), name_},
                {QStringLiteral("event"), eventId(kEventKey)},
                {QStringLiteral("version"), 1},
                {QStringLiteral("proof"), roomProof(viewToken_.toLatin1(), challenge.toLatin1())}};
            reply("200 OK", "application/json", QJsonDocument(room).toJson(QJsonDocument::Compact));
            return false;
        }
        const QByteArray key = headers["sec-websocket-key"];
        if (request.value(0) == "GET" && target.path() == QLatin1String("/ws") &&
            query.queryItemValue(QStringLiteral("t")) == viewToken_ &&
            headers["upgrade"].toLower() == "websocket" && !key.isEmpty()) {
            socket->write("HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                          "Sec-WebSocket-Accept: " +
                          webSocketAccept(key) + "\r\n\r\n");
            // A room pushes what it shows now to every viewer that connects.
            socket->write(textFrame(state()));
            socket->flush();
            return true;
        }
        reply("404 Not Found", "text/plain", "404 not found\n");
        socket->disconnectFromHost();
        return false;
    }

    // The overview's frames, read as a room's server reads a viewer's: pings answered, a close
    // returned, anything a viewer may not send ends the feed.
    void readFrames(QTcpSocket *socket, QByteArray &buffer)
    {
        for (;;) {
            const ClientFrame read = readClientFrame(buffer);
            switch (read.kind) {
            case ClientFrame::Kind::Incomplete:
                return;
            case ClientFrame::Kind::Ping:
                ++pushes_.pings;
                socket->write(pongFrame(read.payload));
                socket->flush();
                break;
            case ClientFrame::Kind::Close:
                socket->write(closeFrame(CloseNormal, {}));
                socket->disconnectFromHost();
                return;
            case ClientFrame::Kind::Refused:
                socket->abort();
                return;
            case ClientFrame::Kind::Pong:
            case ClientFrame::Kind::Text:
                break;
            }
            buffer.remove(0, read.size);
        }
    }

    void push()
    {
        ++pushed_;
        const QByteArray json = state();
        {
            std::lock_guard lock(pushes_.mutex);
            pushes_.sentAt[static_cast<std::size_t>(index_)].push_back(nowMs());
        }
        for (QTcpSocket *socket : std::vector<QTcpSocket *>(feeds_)) {
            socket->write(textFrame(json));
            socket->flush();
        }
        if (afterPush_)
            std::exchange(afterPush_, {})();
    }

    // What a room's server pushes (remote/statejson.cpp), a talk counting down.
    QByteArray state() const
    {
        const int remaining = kFirstRemaining - pushed_;
        const QString text =
            QStringLiteral("%1:%2").arg(remaining / 60).arg(remaining % 60, 2, 10, QLatin1Char('0'));
        const QJsonObject talk{
            {QStringLiteral("title"), QStringLiteral("大規模言語モデルの推論を速くする工夫")},
            {QStringLiteral("speaker"), QStringLiteral("山田 花子")},
            {QStringLiteral("affiliation"), QStringLiteral("情報科学研究所")},
            {QStringLiteral("number"), 3},
            {QStringLiteral("count"), 8}};
        const QJsonObject next{{QStringLiteral("title"), QStringLiteral("分散システムの障害から学ぶ")},
                               {QStringLiteral("speaker"), QStringLiteral("佐藤 太郎")},
                               {QStringLiteral("affiliation"), QStringLiteral("株式会社サンプル")}};
        const QJsonObject session{{QStringLiteral("plannedEnd"), QStringLiteral("12:00")},
                                  {QStringLiteral("projectedEnd"), QStringLiteral("12:04")},
                                  {QStringLiteral("behindSeconds"), 240}};
        const QJsonObject object{
            {QStringLiteral("text"), text},
            {QStringLiteral("background"), QStringLiteral("#000000")},
            {QStringLiteral("foreground"), QStringLiteral("#00ff00")},
            {QStringLiteral("state"), QStringLiteral("running")},
            {QStringLiteral("stateText"), QStringLiteral("実行中")},
            {QStringLiteral("remaining"), remaining},
            {QStringLiteral("bell"), 1},
            {QStringLiteral("at"), QDateTime::currentMSecsSinceEpoch()},
            {QStringLiteral("talk"), talk},
            {QStringLiteral("next"), next},
            {QStringLiteral("message"), QJsonValue()},
            {QStringLiteral("band"), QJsonValue()},
            {QStringLiteral("messages"),
             QJsonArray{QStringLiteral("あと5分です"), QStringLiteral("質疑に移ってください"),
                        QStringLiteral("マイクをお使いください")}},
            {QStringLiteral("clock"), QStringLiteral("11:56")},
            {QStringLiteral("projector"), true},
            {QStringLiteral("masked"), false},
            {QStringLiteral("room"), name_},
            {QStringLiteral("session"), session},
        };
        return QJsonDocument(object).toJson(QJsonDocument::Compact);
    }

    int index_;
    Pushes &pushes_;
    QString name_, viewToken_;
    QTcpServer server_;
    QTimer tick_;
    int pushed_ = 0;
    std::vector<QTcpSocket *> feeds_;
    std::map<QTcpSocket *, QByteArray> input_;
    std::function<void()> afterPush_;
};

// The rooms' thread: its event loop, and the rooms living in it.
class Hall {
public:
    explicit Hall(Pushes &pushes) : home_(new QObject)
    {
        for (int i = 0; i < kRooms; ++i)
            rooms_.push_back(new Room(i, pushes, home_));
        home_->moveToThread(&thread_);
        QObject::connect(&thread_, &QThread::finished, home_, &QObject::deleteLater);
        thread_.start();
    }
    ~Hall()
    {
        thread_.quit();
        thread_.wait();
    }

    // Runs `what` on the rooms' thread and waits for it.
    template <typename F> void run(F what)
    {
        QMetaObject::invokeMethod(home_, what, Qt::BlockingQueuedConnection);
    }
    Room *room(int index) const { return rooms_[static_cast<std::size_t>(index)]; }

private:
    QThread thread_;
    QObject *home_;
    std::vector<Room *> rooms_;
};

// What the overview said of a room, as it came.
struct Followed {
    bool online = false;
    std::vector<double> seenAt;                 // by push, 0 until its State came
    std::vector<std::pair<double, bool>> turns; // when the room went online or offline
};

// The overview's process: the Configure in, the States out.
class Overview {
public:
    Overview(const QString &path, const std::map<QString, int> &rooms) : rooms_(rooms), followed_(kRooms)
    {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(&process_, &QProcess::readyReadStandardOutput, [this] { read(); });
        process_.start(path, {});
    }
    ~Overview()
    {
        process_.closeWriteChannel();
        if (!process_.waitForFinished(5000))
            process_.kill();
        process_.waitForFinished(5000);
    }

    bool started() { return process_.waitForStarted(10000); }
    bool running() const { return process_.state() == QProcess::Running; }
    qint64 pid() const { return process_.processId(); }
    void configure(const QStringList &addresses)
    {
        overviewchannel::Configure configure;
        configure.key = kEventKey;
        configure.addresses = addresses;
        process_.write(channel::message(channel::Type::Configure, overviewchannel::encode(configure)));
    }
    const Followed &room(int index) const { return followed_[static_cast<std::size_t>(index)]; }
    int online() const
    {
        return static_cast<int>(std::count_if(followed_.cbegin(), followed_.cend(),
                                              [](const Followed &room) { return room.online; }));
    }
    int unreadable = 0;

private:
    void read()
    {
        const double at = nowMs();
        reader_.append(process_.readAllStandardOutput());
        while (const std::optional<channel::Message> message = reader_.next()) {
            if (message->type != channel::Type::State)
                continue;
            const auto change = overviewchannel::decodeRoomChange(message->body);
            const auto found = change ? rooms_.find(change->key) : rooms_.end();
            if (found == rooms_.end()) {
                ++unreadable;
                continue;
            }
            Followed &room = followed_[static_cast<std::size_t>(found->second)];
            if (change->online != room.online)
                room.turns.emplace_back(at, change->online);
            room.online = change->online;
            const QJsonValue remaining = change->state.value(QLatin1StringView("remaining"));
            if (!change->online || !remaining.isDouble())
                continue;
            const auto push = static_cast<std::size_t>(kFirstRemaining - remaining.toInt());
            if (room.seenAt.size() <= push)
                room.seenAt.resize(push + 1, 0);
            if (room.seenAt[push] == 0)
                room.seenAt[push] = at;
        }
    }

    std::map<QString, int> rooms_; // by the overview's key for it: its address
    std::vector<Followed> followed_;
    QProcess process_;
    channel::Reader reader_{overviewchannel::kLargest};
};

// Waits with this thread asleep between events: waitFor (programprocess.h) spins, which on two
// cores would take one from the process measured and from the rooms.
bool waitUntil(const std::function<bool()> &done, int ms)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    poll.start(10);
    loop.exec();
    return done();
}

// utime + stime of a process, in seconds.
double cpuSeconds(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray stat = file.readAll();
    // After the command's name, which may hold anything up to its closing bracket: fields 3 on.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    const double ticks = fields.value(11).toDouble() + fields.value(12).toDouble();
    return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

double statusMiB(qint64 pid, const QByteArray &field)
{
    return statusField(pid, field).split(' ').value(0).toDouble() / 1024.0;
}

const char *verdict(bool met)
{
    return met ? "pass" : "FAIL";
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addPositionalArgument(
        QStringLiteral("overview"),
        QStringLiteral("the podiumwatch-overview executable (the one built beside the "
                       "program when not given)"));
    parser.addOption(
        {QStringLiteral("seconds"), QStringLiteral("steady seconds measured (60)"), QStringLiteral("n")});
    parser.addOption({QStringLiteral("stops"),
                      QStringLiteral("rooms stopped and started again, one at a time (5)"),
                      QStringLiteral("n")});
    parser.process(app);
    const QString path = parser.positionalArguments().value(0, QStringLiteral(PODIUMWATCH_OVERVIEW));
    const int seconds =
        parser.isSet(QStringLiteral("seconds")) ? parser.value(QStringLiteral("seconds")).toInt() : 60;
    const int stops =
        parser.isSet(QStringLiteral("stops")) ? parser.value(QStringLiteral("stops")).toInt() : 5;
    if (seconds < 1 || stops < 0 || stops > kRooms)
        parser.showHelp(2);

    Pushes pushes;
    Hall hall(pushes);
    std::vector<quint16> ports(kRooms);
    std::map<QString, int> byAddress;
    QStringList addresses;
    for (int i = 0; i < kRooms; ++i) {
        hall.run([&] { ports[static_cast<std::size_t>(i)] = hall.room(i)->listen(0); });
        if (!ports[static_cast<std::size_t>(i)]) {
            std::printf("room %d could not listen on the loopback\n", i + 1);
            return 1;
        }
        addresses.append(QStringLiteral("http://127.0.0.1:%1").arg(ports[static_cast<std::size_t>(i)]));
        byAddress[addresses.back()] = i;
    }
    // The stand-in answers as a room does: a WebSocket client of its feed gets the handshake, the
    // state and a pong to its ping (the overview pings a room only when it has been quiet a second,
    // which a room pushing every second seldom is).
    {
        QWebSocket viewer;
        bool stated = false, ponged = false;
        QObject::connect(&viewer, &QWebSocket::textMessageReceived,
                         [&](const QString &text) { stated = roomfeed::roomState(text.toUtf8()).ok(); });
        QObject::connect(&viewer, &QWebSocket::pong,
                         [&](quint64, const QByteArray &payload) { ponged = payload == "bench"; });
        viewer.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws?t=%2")
                             .arg(ports[0])
                             .arg(eventTokens(kEventKey, roomName(0)).view)));
        waitUntil([&] { return viewer.state() == QAbstractSocket::ConnectedState; }, 5000);
        viewer.ping("bench");
        if (!waitUntil([&] { return stated && ponged; }, 5000)) {
            std::printf("the stand-in room does not answer as a room: state %s, pong %s\n",
                        stated ? "yes" : "no", ponged ? "yes" : "no");
            return 1;
        }
        viewer.close();
        waitUntil([&] { return viewer.state() == QAbstractSocket::UnconnectedState; }, 2000);
        pushes.pings = 0;
    }
    // Each room at its own moment of the second, spread evenly over it.
    for (int i = 0; i < kRooms; ++i)
        hall.run([&] { hall.room(i)->startPushing(i * kPushMs / kRooms); });

    Overview overview(path, byAddress);
    if (!overview.started()) {
        std::printf("%s did not start\n", qPrintable(path));
        return 1;
    }
    const qint64 pid = overview.pid();
    const double configuredAt = nowMs();
    overview.configure(addresses);
    if (!waitUntil([&] { return overview.online() == kRooms || !overview.running(); }, 30000)) {
        std::printf("only %d of %d rooms followed after 30 s\n", overview.online(), kRooms);
        return 1;
    }
    std::printf("overview: %s following %d rooms on the loopback (all online %.0f ms after the Configure)\n",
                qPrintable(path), kRooms, nowMs() - configuredAt);
    waitUntil([] { return false; }, 3000); // past the start's connections and first pushes

    // The steady seconds: every push's way to the State, and what the process costs meanwhile.
    const double cpuBefore = cpuSeconds(pid);
    const double steadyFrom = nowMs();
    waitUntil([&] { return !overview.running(); }, seconds * 1000);
    const double steadyTo = nowMs();
    const double cpuAfter = cpuSeconds(pid);
    const double rssSteady = statusMiB(pid, "VmRSS");
    waitUntil([] { return false; }, 2000); // the last pushes' States
    std::vector<double> latencies;
    int lost = 0, offlineMeanwhile = 0;
    {
        std::lock_guard lock(pushes.mutex);
        for (int i = 0; i < kRooms; ++i) {
            const std::vector<double> &sent = pushes.sentAt[static_cast<std::size_t>(i)];
            const Followed &room = overview.room(i);
            for (std::size_t push = 1; push <= sent.size(); ++push) {
                const double at = sent[push - 1];
                if (at < steadyFrom || at > steadyTo)
                    continue;
                const double seen = push < room.seenAt.size() ? room.seenAt[push] : 0;
                if (seen == 0) {
                    ++lost;
                    latencies.push_back(std::numeric_limits<double>::infinity());
                } else {
                    latencies.push_back(seen - at);
                }
            }
            offlineMeanwhile +=
                static_cast<int>(std::count_if(room.turns.cbegin(), room.turns.cend(), [&](const auto &turn) {
                    return !turn.second && turn.first >= steadyFrom && turn.first <= steadyTo;
                }));
        }
    }
    const double cpuShare = 100.0 * (cpuAfter - cpuBefore) / ((steadyTo - steadyFrom) / 1000.0);
    const double p99 = percentile(latencies, 0.99);

    // Rooms dropping off the network, one at a time, each coming back after a while of its own so
    // that the overview's retries are caught at different moments.
    std::vector<double> offline, refollow;
    bool allTurned = true;
    for (int stop = 0; stop < stops && overview.running(); ++stop) {
        const int index = (3 + stop * kRooms / std::max(stops, 1)) % kRooms;
        const std::size_t turnsBefore = overview.room(index).turns.size();
        // From just after a push (the longest the overview can take) to just before the next.
        std::atomic<double> stoppedAt = 0;
        const int delayMs = stop * (kPushMs - 50) / std::max(stops - 1, 1);
        hall.run([&] { hall.room(index)->stopAfterPush(delayMs, stoppedAt); });
        if (!waitUntil([&] { return stoppedAt > 0; }, 5000)) {
            std::printf("  %s: did not stop\n", qPrintable(addresses[index]));
            return 1;
        }
        const auto turned = [&](bool online, std::size_t after) {
            const auto &turns = overview.room(index).turns;
            for (std::size_t i = after; i < turns.size(); ++i)
                if (turns[i].second == online)
                    return turns[i].first;
            return 0.0;
        };
        if (!waitUntil([&] { return turned(false, turnsBefore) > 0; }, 10000)) {
            std::printf("  %s: still online 10 s after it stopped\n", qPrintable(addresses[index]));
            allTurned = false;
            continue;
        }
        offline.push_back(turned(false, turnsBefore) - stoppedAt);
        waitUntil([] { return false; }, 1000 + 700 * stop);
        const std::size_t turnsDown = overview.room(index).turns.size();
        double listeningAt = 0;
        quint16 port = 0;
        hall.run([&] {
            listeningAt = nowMs();
            port = hall.room(index)->listen(ports[static_cast<std::size_t>(index)]);
        });
        if (!port) {
            std::printf("  %s: could not listen again on its port\n", qPrintable(addresses[index]));
            allTurned = false;
            continue;
        }
        if (!waitUntil([&] { return turned(true, turnsDown) > 0; }, 15000)) {
            std::printf("  %s: not followed again 15 s after it listened again\n",
                        qPrintable(addresses[index]));
            allTurned = false;
            continue;
        }
        refollow.push_back(turned(true, turnsDown) - listeningAt);
        std::printf(
            "  %s (%s): stopped %d ms after a push, offline after %.0f ms, down %.1f s, followed again "
            "after %.0f ms\n",
            qPrintable(addresses[index]), qPrintable(roomName(index)), delayMs, offline.back(),
            (listeningAt - stoppedAt) / 1000.0, refollow.back());
    }
    const double peakMiB = statusMiB(pid, "VmHWM");
    const bool alive = overview.running();

    std::printf("latency: %zu pushes of %d rooms over %.1f s, each to the State carrying it\n",
                latencies.size(), kRooms, (steadyTo - steadyFrom) / 1000.0);
    std::printf("  p50 %.1f ms, p99 %.1f ms, longest %.1f ms; never passed on: %d; goal p99 <= %.0f ms: %s\n",
                percentile(latencies, 0.5), p99, percentile(latencies, 1.0), lost, kLatencyGoalMs,
                verdict(p99 <= kLatencyGoalMs));
    std::printf("  rooms said offline during those seconds: %d; States the bench could not read: %d; pings "
                "answered over the whole run: %d\n",
                offlineMeanwhile, overview.unreadable, pushes.pings.load());
    std::printf("cpu: %.2f %% of one core over %.1f s; goal <= %.0f %%: %s\n", cpuShare,
                (steadyTo - steadyFrom) / 1000.0, kCpuGoal, verdict(cpuShare <= kCpuGoal));
    std::printf(
        "memory: %.1f MiB resident at the end of the steady seconds, peak %.1f MiB; goal <= %.0f MiB: %s\n",
        rssSteady, peakMiB, kMemoryGoalMiB, verdict(peakMiB <= kMemoryGoalMiB));
    bool ok =
        alive && lost == 0 && p99 <= kLatencyGoalMs && cpuShare <= kCpuGoal && peakMiB <= kMemoryGoalMiB;
    if (stops > 0) {
        const double worstOffline = percentile(offline, 1.0), worstRefollow = percentile(refollow, 1.0);
        const bool offlineMet = allTurned && worstOffline <= kOfflineGoalMs;
        const bool refollowMet = allTurned && worstRefollow <= kRefollowGoalMs;
        std::printf(
            "offline: %zu of %d rooms stopped, longest %.0f ms to the State saying so; goal <= %.0f ms: %s\n",
            offline.size(), stops, worstOffline, kOfflineGoalMs, verdict(offlineMet));
        std::printf(
            "refollow: %zu of %d rooms listening again, longest %.0f ms to the State saying so; goal <= "
            "%.0f ms: %s\n",
            refollow.size(), stops, worstRefollow, kRefollowGoalMs, verdict(refollowMet));
        ok = ok && offlineMet && refollowMet;
    }
    if (!alive)
        std::printf("the overview's process ended during the run\n");
    std::fflush(stdout);
    return ok ? 0 : 1;
}
