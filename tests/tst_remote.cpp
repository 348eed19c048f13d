// The remote server on the loopback: what it answers, to whom, what it pushes, and whom it drops,
// and how it holds when a client means it harm. Clients here may block: the server runs on a
// thread of its own.

#include "app/commandline.h"
#include "programme/programme.h"
#include "remote/connection.h"
#include "remote/remoteserver.h"
#include "remote/remotetokens.h"
#include "remote/remoteview.h"
#include "remote/remotewindow.h"
#include "remote/remoteworker.h"
#include "remote/statejson.h"
#include "rooms/eventtokens.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QWebSocket>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int Patience = 30000;

struct Response {
    int status = -1;
    QMap<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
    bool closed = false; // the server closed the connection after it
    QByteArray after;    // what came after it, when waiting for the close
};

// Reads one answer from the socket, and with `waitForClose` also whether the server then closes.
Response readResponse(QTcpSocket &socket, bool waitForClose = false)
{
    Response response;
    QByteArray data;
    const QDeadlineTimer deadline(Patience);
    while (!deadline.hasExpired()) {
        data += socket.readAll();
        if (const qsizetype end = data.indexOf("\r\n\r\n"); end >= 0 && response.status < 0) {
            const QList<QByteArray> lines = data.left(end).split('\n');
            QMap<QByteArray, QByteArray> headers;
            for (qsizetype i = 1; i < lines.size(); ++i) {
                const qsizetype colon = lines[i].indexOf(':');
                headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
            }
            const qsizetype length = headers.value("content-length").toLongLong();
            if (data.size() >= end + 4 + length) {
                response.status = lines.first().split(' ').value(1).toInt();
                response.headers = headers;
                response.body = data.mid(end + 4, length);
                if (!waitForClose)
                    return response;
            }
        }
        if (socket.state() != QAbstractSocket::ConnectedState && socket.bytesAvailable() == 0) {
            response.closed = true;
            break;
        }
        socket.waitForReadyRead(20);
        // The window answers commands on this thread: it must have its turns while the client waits.
        QCoreApplication::processEvents();
    }
    if (response.status >= 0)
        response.after = data.mid(data.indexOf("\r\n\r\n") + 4 + response.body.size());
    return response;
}

// One request on a connection of its own. `headers` may name a Host of its own.
Response exchange(quint16 port, const QByteArray &method, const QByteArray &target,
                  const QByteArray &body = {}, const QByteArray &headers = {})
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(Patience))
        return {};
    const QByteArray host =
        headers.contains("Host:") ? QByteArray() : "Host: 127.0.0.1:" + QByteArray::number(port) + "\r\n";
    socket.write(method + ' ' + target + " HTTP/1.1\r\n" + host +
                 "Content-Length: " + QByteArray::number(body.size()) + "\r\n" + headers + "\r\n" + body);
    return readResponse(socket);
}

// Raw bytes on a connection of their own: the answer, and whether the server closed after it.
Response rawExchange(quint16 port, const QByteArray &bytes)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(Patience))
        return {};
    socket.write(bytes);
    return readResponse(socket, true);
}

const QByteArray Upgrade = "Upgrade: websocket\r\nConnection: Upgrade\r\n"
                           "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n";

// The state the program would send while `text` is on its display.
RemoteState shownState(const QString &text, std::optional<int> remaining = 299,
                       RunState state = RunState::Running)
{
    RemoteState s;
    s.shown.text = text;
    s.shown.background = QColor(0x12, 0x34, 0x56);
    s.shown.foreground = QColor(0xAB, 0xCD, 0xEF);
    s.shown.state = state;
    s.shown.remaining = remaining;
    return s;
}

QByteArray snapshot(const QString &text, std::optional<int> remaining = 299)
{
    return stateJson(shownState(text, remaining), 1700000000123);
}

// A WebSocket client that keeps every message it is sent.
struct Listener {
    QWebSocket socket;
    QStringList messages;
    Listener()
    {
        QObject::connect(&socket, &QWebSocket::textMessageReceived,
                         [this](const QString &m) { messages << m; });
    }
    QString lastText() const
    {
        return messages.isEmpty()
                   ? QString()
                   : QJsonDocument::fromJson(messages.last().toUtf8()).object().value("text").toString();
    }
};

// A masked frame as a client sends it.
QByteArray clientFrame(char opcode, const QByteArray &payload)
{
    QByteArray frame;
    frame += static_cast<char>(0x80 | opcode);
    frame += static_cast<char>(0x80 | payload.size());
    const QByteArray mask = "\x11\x22\x33\x44";
    frame += mask;
    for (qsizetype i = 0; i < payload.size(); ++i)
        frame += static_cast<char>(payload[i] ^ mask[i % 4]);
    return frame;
}

} // namespace

class RemoteTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void json();
    void addresses();
    void policyNamesThePagesOwnScript();
    void verdictsReachTheAsker();
    void commandsOnTheControlSocket();
    void verdictsAfterStopGoNowhere();
    void commandsLimitedPerSecond();
    void pushAtConnectAndOnChange();
    void clientLimit();
    void slowReaderDropped();
    void idleConnectionsClosed();
    void tokensNewAtEveryStart();
    void framing_data();
    void framing();
    void requestsSentInPieces();
    void headEndSplitAcrossReads_data();
    void headEndSplitAcrossReads();
    void hostileClients_data();
    void hostileClients();
    void handshakeAnsweredToAResetClient();
    void commandLine_data();
    void commandLine();
    void deskCommandLine_data();
    void deskCommandLine();
    void tokensKeptInAFile();
    void eventTokens_data();
    void eventTokens();
    void roomCommandLine_data();
    void roomCommandLine();
    void eventKeyFromAFile();
    void limitsAsDocumented();
    void qrCodeKeepsQuietZone();

private:
    void start(RemoteSettings settings = {});
    QByteArray target(const QByteArray &path, const QString &token) const
    {
        return path + "?t=" + token.toLatin1();
    }
    QByteArray host() const { return "127.0.0.1:" + QByteArray::number(server->port()); }
    QString wsUrl(const QString &token) const
    {
        return QStringLiteral("ws://127.0.0.1:%1/ws?t=%2").arg(server->port()).arg(token);
    }
    // A connection that has made the WebSocket handshake by hand and read the first push.
    bool handshake(QTcpSocket &socket);
    // What a legitimate viewer needs after an attack: the state, and a push of a change.
    void viewerStillServed(Listener &viewer);

    std::unique_ptr<RemoteServer> server;
    QList<RemoteCommand> asked; // as the window was asked, in order
    bool settling = true;       // whether the window answers them
};

void RemoteTest::init()
{
    server = std::make_unique<RemoteServer>();
    asked.clear();
    settling = true;
    // The window's part: every command is taken as done, and kept to be looked at.
    connect(server.get(), &RemoteServer::commandRequested, server.get(),
            [this](const RemoteCommand &command, quint64 id) {
                asked << command;
                if (settling)
                    server->settle(id, {});
            });
}

void RemoteTest::cleanup()
{
    server.reset();
}

void RemoteTest::start(RemoteSettings settings)
{
    settings.bind = QStringLiteral("127.0.0.1");
    settings.port = 0;
    server->publish(snapshot(QStringLiteral("5:00")));
    QSignalSpy started(server.get(), &RemoteServer::started);
    QSignalSpy failed(server.get(), &RemoteServer::failed);
    server->start(settings);
    QTRY_VERIFY_WITH_TIMEOUT(started.count() + failed.count() > 0, Patience);
    QVERIFY2(failed.isEmpty(), qPrintable(failed.value(0).value(0).toString()));
    QVERIFY(server->isListening());
}

bool RemoteTest::handshake(QTcpSocket &socket)
{
    socket.connectToHost(QHostAddress::LocalHost, server->port());
    if (!socket.waitForConnected(Patience))
        return false;
    socket.write("GET " + target("/ws", server->viewToken()) + " HTTP/1.1\r\nHost: " + host() + "\r\n" +
                 Upgrade + "\r\n");
    QByteArray data;
    const QDeadlineTimer deadline(Patience);
    // The 101, then the first push: a text frame.
    while (!deadline.hasExpired() &&
           !(data.contains("\r\n\r\n") && data.indexOf('\x81') > data.indexOf("\r\n\r\n"))) {
        socket.waitForReadyRead(50);
        data += socket.readAll();
    }
    return data.startsWith("HTTP/1.1 101");
}

void RemoteTest::viewerStillServed(Listener &viewer)
{
    const Response state = exchange(server->port(), "GET", target("/state", server->viewToken()));
    QCOMPARE(state.status, 200);
    static int published = 0;
    const QString text = QStringLiteral("still %1").arg(++published);
    server->publish(snapshot(text));
    QTRY_COMPARE_WITH_TIMEOUT(viewer.lastText(), text, Patience);
}

void RemoteTest::json()
{
    RemoteState s = shownState(QStringLiteral("超過"), -31);
    s.shown.background = QColor(QStringLiteral("#FFAA00"));
    QJsonObject o = QJsonDocument::fromJson(stateJson(s, 1700000000123)).object();
    QCOMPARE(o.value("text").toString(), QStringLiteral("超過"));
    QCOMPARE(o.value("background").toString(), QStringLiteral("#ffaa00"));
    QCOMPARE(o.value("foreground").toString(), QStringLiteral("#abcdef"));
    QCOMPARE(o.value("state").toString(), QStringLiteral("running"));
    QCOMPARE(o.value("stateText").toString(), QStringLiteral("超過中"));
    QCOMPARE(o.value("remaining").toInt(), -31);
    s.shown.remaining = 0;
    QCOMPARE(QJsonDocument::fromJson(stateJson(s, 0)).object().value("stateText").toString(),
             QStringLiteral("進行中"));
    QCOMPARE(o.value("at").toInteger(), 1700000000123);

    // Without a programme or a message their fields are there, and null.
    for (const char *field : {"talk", "next", "session", "message", "room"})
        QVERIFY2(o.contains(field) && o.value(field).isNull(), field);
    s.room = QStringLiteral("A会場");
    QCOMPARE(QJsonDocument::fromJson(stateJson(s, 0)).object().value("room").toString(),
             QStringLiteral("A会場"));

    s.shown.state = RunState::Paused;
    s.shown.remaining.reset();
    s.shown.talk =
        TalkShown{2, 6, QStringLiteral("招待講演"), QStringLiteral("佐藤 花子"), QStringLiteral("東京大学")};
    s.shown.next = TalkShown{3, 6, QStringLiteral("評価"), QString()};
    const QDateTime end(QDate(2026, 12, 8), QTime(15, 14, 59));
    s.shown.session = SessionGlance{std::nullopt, end, std::nullopt};
    s.shown.message = QStringLiteral("時間です");
    s.messages = QStringList{QStringLiteral("あと5分です"), QStringLiteral("時間です")};
    s.clock = QStringLiteral("14:03:27");
    o = QJsonDocument::fromJson(stateJson(s, 0)).object();
    QCOMPARE(o.value("stateText").toString(), QStringLiteral("一時停止中"));
    QCOMPARE(o.value("message").toString(), QStringLiteral("時間です"));
    QCOMPARE(o.value("messages").toArray().size(), 2);
    QCOMPARE(o.value("clock").toString(), QStringLiteral("14:03:27"));
    QVERIFY(o.contains("remaining"));
    QVERIFY(o.value("remaining").isNull());
    QCOMPARE(o.value("talk").toObject(), (QJsonObject{{"number", 2},
                                                      {"count", 6},
                                                      {"title", "招待講演"},
                                                      {"speaker", "佐藤 花子"},
                                                      {"affiliation", "東京大学"}}));
    QCOMPARE(o.value("next").toObject(),
             (QJsonObject{{"title", "評価"}, {"speaker", ""}, {"affiliation", ""}}));
    QCOMPARE(o.value("session").toObject(),
             (QJsonObject{
                 {"plannedEnd", QJsonValue()}, {"projectedEnd", "15:14"}, {"behindSeconds", QJsonValue()}}));
    s.shown.session = SessionGlance{end.addSecs(-240), end, 240};
    o = QJsonDocument::fromJson(stateJson(s, 0)).object();
    QCOMPARE(o.value("session").toObject(),
             (QJsonObject{{"plannedEnd", "15:10"}, {"projectedEnd", "15:14"}, {"behindSeconds", 240}}));
}

void RemoteTest::addresses()
{
    start();
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(server->port());
    QCOMPARE(server->viewUrl(), base + "/?t=" + server->viewToken());
    QCOMPARE(server->controlUrl(), base + "/control?t=" + server->controlToken());
    QCOMPARE(remoteUrlHost(QStringLiteral("::1")), QStringLiteral("[::1]"));
    const QHostAddress any(remoteUrlHost({}));
    QVERIFY(!any.isNull() && any.protocol() == QAbstractSocket::IPv4Protocol);
}

void RemoteTest::policyNamesThePagesOwnScript()
{
    start();
    const Response page = exchange(server->port(), "GET", target("/", server->viewToken()));
    QCOMPARE(page.status, 200);
    // The policy must name the hashes of exactly the script and style the page carries, or a
    // browser runs neither.
    auto hashOf = [&page](const QByteArray &open, const QByteArray &close) {
        const qsizetype from = page.body.indexOf(open) + open.size();
        const QByteArray content = page.body.mid(from, page.body.indexOf(close, from) - from);
        return "'sha256-" + QCryptographicHash::hash(content, QCryptographicHash::Sha256).toBase64() + "'";
    };
    const QByteArray policy = page.headers.value("content-security-policy");
    QVERIFY2(policy.contains("script-src " + hashOf("<script>", "</script>")), policy);
    QVERIFY2(policy.contains("style-src " + hashOf("<style>", "</style>")), policy);
    QCOMPARE(page.body.count("<script"), 1);
    QCOMPARE(page.body.count("<style"), 1);
}

// A command is answered with what the window made of it, once it has said: a refusal with its
// reason, nothing (503) when it does not answer in time, and nothing at all to an asker that left.
void RemoteTest::verdictsReachTheAsker()
{
    RemoteSettings settings;
    settings.verdictMs = 300;
    start(settings);
    settling = false;
    const QByteArray next = target("/control/next", server->controlToken());
    QSignalSpy requested(server.get(), &RemoteServer::commandRequested);
    connect(server.get(), &RemoteServer::commandRequested, this, [this](const RemoteCommand &, quint64 id) {
        server->settle(id, {409, "not while the clock runs"});
    });
    const Response refused = exchange(server->port(), "POST", next);
    QCOMPARE(refused.status, 409);
    QCOMPARE(refused.body, QByteArray("409 not while the clock runs\n"));
    disconnect(server.get(), &RemoteServer::commandRequested, this, nullptr);

    QElapsedTimer waited;
    waited.start();
    const Response unanswered = exchange(server->port(), "POST", next);
    QCOMPARE(unanswered.status, 503);
    QVERIFY(waited.elapsed() >= settings.verdictMs);
    // The answer that comes too late is dropped, and the next asker gets its own.
    server->settle(requested.last().last().value<quint64>(), {});
    connect(server.get(), &RemoteServer::commandRequested, this,
            [this](const RemoteCommand &, quint64 id) { server->settle(id, {}); });
    QCOMPARE(exchange(server->port(), "POST", next).status, 204);
}

// A control socket sends the commands as JSON texts and is answered on it, each reply with the id it
// came with; a view socket that sends one is closed.
void RemoteTest::commandsOnTheControlSocket()
{
    start();
    settling = false;
    connect(server.get(), &RemoteServer::commandRequested, this,
            [this](const RemoteCommand &command, quint64 id) {
                server->settle(id, command.number > 60 ? CommandVerdict{409, "the time is at its limit"}
                                                       : CommandVerdict{});
            });
    Listener control;
    control.socket.open(QUrl(wsUrl(server->controlToken())));
    QTRY_COMPARE_WITH_TIMEOUT(control.messages.size(), 1, Patience);
    const auto replies = [&control] {
        QStringList found;
        for (const QString &message : std::as_const(control.messages)) {
            if (message.contains(QLatin1String("\"reply\"")))
                found << message;
        }
        return found;
    };
    control.socket.sendTextMessage(QStringLiteral(R"({"command":"adjust","by":30,"id":7})"));
    control.socket.sendTextMessage(QStringLiteral(R"({"command":"adjust","by":90,"id":"late"})"));
    control.socket.sendTextMessage(QStringLiteral(R"({"command":"fly","id":8})"));
    QTRY_COMPARE_WITH_TIMEOUT(replies().size(), 3, Patience);
    // A refusal of the socket's own comes at once, the window's when it has said: the ids match them.
    QStringList got = replies();
    got.sort();
    QCOMPARE(got, (QStringList{R"({"reason":"no such command","reply":8,"status":400})",
                               R"({"reason":"the time is at its limit","reply":"late","status":409})",
                               R"({"reply":7,"status":204})"}));
    QCOMPARE(asked.size(), 2);
    QCOMPARE(asked.first().kind, RemoteCommand::Kind::Adjust);
    QCOMPARE(asked.first().number, 30);

    Listener viewer;
    viewer.socket.open(QUrl(wsUrl(server->viewToken())));
    QTRY_COMPARE_WITH_TIMEOUT(viewer.messages.size(), 1, Patience);
    QSignalSpy closed(&viewer.socket, &QWebSocket::disconnected);
    viewer.socket.sendTextMessage(QStringLiteral(R"({"command":"start","id":1})"));
    QTRY_COMPARE_WITH_TIMEOUT(closed.size(), 1, Patience);
    QCOMPARE(asked.size(), 2);
}

// No client keeps the window busy with commands, however fast it answers them.
void RemoteTest::commandsLimitedPerSecond()
{
    RemoteSettings settings;
    settings.commandsPerSecond = 2;
    start(settings);
    const QByteArray pause = target("/control/pause", server->controlToken());
    QList<int> statuses;
    QElapsedTimer within;
    within.start();
    for (int i = 0; i < 3; ++i)
        statuses << exchange(server->port(), "POST", pause).status;
    if (within.elapsed() >= 900)
        QSKIP("the machine took a second for three requests: nothing to tell");
    QCOMPARE(statuses, (QList<int>{204, 204, 503}));
    QCOMPARE(asked.size(), int(statuses.count(204)));
}

// What a stopped server was asked is answered by no one: not even by the answer meant for it,
// once a new server has been asked the same.
void RemoteTest::verdictsAfterStopGoNowhere()
{
    QSignalSpy requested(server.get(), &RemoteServer::commandRequested);
    QTcpSocket first, second;
    const auto ask = [&](QTcpSocket &socket, qsizetype count) {
        start();
        settling = false;
        socket.connectToHost(QHostAddress::LocalHost, server->port());
        QVERIFY(socket.waitForConnected(Patience));
        socket.write("POST " + target("/control/reset", server->controlToken()) +
                     " HTTP/1.1\r\nHost: " + host() + "\r\nContent-Length: 0\r\n\r\n");
        QTRY_COMPARE_WITH_TIMEOUT(requested.size(), count, Patience);
    };
    ask(first, 1);
    const auto stale = requested.first().last().value<quint64>();
    ask(second, 2);
    server->settle(stale, {409, "stale"});
    QTest::qWait(200);
    QVERIFY(second.bytesAvailable() == 0 && second.state() == QAbstractSocket::ConnectedState);
    server->settle(requested.last().last().value<quint64>(), {});
    QCOMPARE(readResponse(second).status, 204);
    QTRY_COMPARE_WITH_TIMEOUT(first.state(), QAbstractSocket::UnconnectedState, Patience);
}

void RemoteTest::pushAtConnectAndOnChange()
{
    start();
    server->publish(snapshot(QStringLiteral("4:59")));
    Listener client;
    client.socket.open(QUrl(wsUrl(server->viewToken())));
    QTRY_COMPARE_WITH_TIMEOUT(client.messages.size(), 1, Patience);
    QCOMPARE(client.lastText(), QStringLiteral("4:59"));

    const QByteArray next = snapshot(QStringLiteral("4:58"), 298);
    server->publish(next);
    QTRY_COMPARE_WITH_TIMEOUT(client.messages.size(), 2, Patience);
    QCOMPARE(client.messages.last().toUtf8(), next);

    const Response state = exchange(server->port(), "GET", target("/state", server->viewToken()));
    QCOMPARE(state.body, next);
}

void RemoteTest::clientLimit()
{
    RemoteSettings settings;
    settings.maxClients = 2;
    start(settings);
    Listener a, b, c;
    a.socket.open(QUrl(wsUrl(server->viewToken())));
    b.socket.open(QUrl(wsUrl(server->controlToken())));
    QTRY_VERIFY_WITH_TIMEOUT(a.messages.size() == 1 && b.messages.size() == 1, Patience);
    QCOMPARE(server->clientCount(), 2);

    QCOMPARE(exchange(server->port(), "GET", target("/ws", server->viewToken()), {}, Upgrade).status, 503);
    // A page whose WebSocket failed asks the same path plainly to learn why.
    QCOMPARE(exchange(server->port(), "GET", target("/ws", server->viewToken())).status, 503);
    QSignalSpy refused(&c.socket, &QWebSocket::disconnected);
    c.socket.open(QUrl(wsUrl(server->viewToken())));
    QTRY_COMPARE_WITH_TIMEOUT(refused.count(), 1, Patience);
    QVERIFY(c.messages.isEmpty());

    // A place that frees up is given to the next one.
    a.socket.close();
    QTRY_COMPARE_WITH_TIMEOUT(server->clientCount(), 1, Patience);
    Listener d;
    d.socket.open(QUrl(wsUrl(server->viewToken())));
    QTRY_COMPARE_WITH_TIMEOUT(d.messages.size(), 1, Patience);
    QCOMPARE(server->clientCount(), 2);
}

void RemoteTest::slowReaderDropped()
{
    RemoteSettings settings;
    settings.maxPendingBytes = 16 * 1024;
    start(settings);
    Listener reader;
    reader.socket.open(QUrl(wsUrl(server->viewToken())));
    QTRY_COMPARE_WITH_TIMEOUT(reader.messages.size(), 1, Patience);

    // A client that upgrades and then never reads: small buffers at its end, so the backlog piles
    // up at the server's.
    QTcpSocket stalled;
    stalled.bind(QHostAddress::LocalHost, 0);
    stalled.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
    stalled.setReadBufferSize(1024);
    stalled.connectToHost(QHostAddress::LocalHost, server->port());
    QVERIFY(stalled.waitForConnected(Patience));
    stalled.write("GET " + target("/ws", server->viewToken()) + " HTTP/1.1\r\nHost: " + host() + "\r\n" +
                  Upgrade + "\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(server->clientCount(), 2, Patience);

    int published = 0;
    auto publishMore = [&] {
        for (int i = 0; i < 200; ++i)
            server->publish(snapshot(QString::number(++published)));
    };
    QTRY_VERIFY_WITH_TIMEOUT((publishMore(), server->clientCount() == 1), Patience);
    // The one that reads is still there and has everything.
    QTRY_COMPARE_WITH_TIMEOUT(reader.lastText(), QString::number(published), Patience);
    QCOMPARE(reader.socket.state(), QAbstractSocket::ConnectedState);
}

void RemoteTest::idleConnectionsClosed()
{
    RemoteSettings settings;
    settings.idleMs = 300;
    start(settings);
    // Opened first, so any idle limit on it would strike before the HTTP connections' does.
    Listener viewer;
    viewer.socket.open(QUrl(wsUrl(server->viewToken())));
    QTRY_COMPARE_WITH_TIMEOUT(viewer.messages.size(), 1, Patience);

    QTcpSocket silent, answered, dribbling;
    for (QTcpSocket *s : {&silent, &answered, &dribbling}) {
        s->connectToHost(QHostAddress::LocalHost, server->port());
        QVERIFY(s->waitForConnected(Patience));
    }
    answered.write("GET " + target("/state", server->viewToken()) + " HTTP/1.1\r\nHost: " + host() +
                   "\r\n\r\n");
    QTRY_VERIFY_WITH_TIMEOUT(answered.bytesAvailable() > 0 || answered.waitForReadyRead(10), Patience);
    // Bytes that never make a whole request do not keep a connection open.
    auto dribble = [&dribbling] {
        if (dribbling.state() == QAbstractSocket::ConnectedState)
            dribbling.write("X");
    };
    QTRY_VERIFY_WITH_TIMEOUT((dribble(), silent.state() == QAbstractSocket::UnconnectedState &&
                                             answered.state() == QAbstractSocket::UnconnectedState &&
                                             dribbling.state() == QAbstractSocket::UnconnectedState),
                             Patience);
    QCOMPARE(viewer.socket.state(), QAbstractSocket::ConnectedState);
    QCOMPARE(server->clientCount(), 1);
}

void RemoteTest::tokensNewAtEveryStart()
{
    start();
    const QString view = server->viewToken(), control = server->controlToken();
    QCOMPARE(view.size(), 22); // 128 bits in base64url without padding
    for (QChar c : view + control)
        QVERIFY(c.isLetterOrNumber() || c == '-' || c == '_');
    QVERIFY(view != control);
    start();
    QVERIFY(server->viewToken() != view);
    QVERIFY(server->controlToken() != control);
    QCOMPARE(exchange(server->port(), "GET", target("/state", view)).status, 403);
    QCOMPARE(exchange(server->port(), "GET", target("/state", server->viewToken())).status, 200);

    server->stop();
    QVERIFY(!server->isListening());
    QVERIFY(server->viewUrl().isEmpty());
}

void RemoteTest::framing_data()
{
    QTest::addColumn<QByteArray>("head"); // after the request line; HOST stands for the server's
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");

    QTest::newRow("plain") << QByteArray("Host: HOST\r\n") << QByteArray() << 204;
    // The framing suite has every refusal; here each kind closes its connection on a real socket,
    // and what rides behind it is never served.
    QTest::newRow("Content-Length and chunked")
        << QByteArray("Host: HOST\r\nContent-Length: 5\r\nTransfer-Encoding: chunked\r\n")
        << QByteArray("0\r\n\r\n") << 400;
    // Answered before a byte of the body is read: the test sends none.
    QTest::newRow("body announced over 4 KiB")
        << QByteArray("Host: HOST\r\nContent-Length: 4097\r\n") << QByteArray() << 413;
    QTest::newRow("head of 16 KiB and more")
        << QByteArray("Host: HOST\r\nX-Long: " + QByteArray(16 * 1024, 'a') + "\r\n") << QByteArray() << 431;
}

void RemoteTest::framing()
{
    QFETCH(QByteArray, head);
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    start();
    head.replace("HOST", host());
    const QByteArray request =
        "POST " + target("/control/pause", server->controlToken()) + " HTTP/1.1\r\n" + head + "\r\n" + body;
    // A second request rides behind the first: a refusal must not let it through.
    QSignalSpy commands(server.get(), &RemoteServer::commandRequested);
    const QByteArray second = "POST " + target("/control/reset", server->controlToken()) +
                              " HTTP/1.1\r\nHost: " + host() + "\r\nContent-Length: 0\r\n\r\n";
    const Response response = rawExchange(server->port(), request + second);
    QCOMPARE(response.status, status);
    if (status != 204) {
        QVERIFY(response.closed);
        QTest::qWait(200);
        QCOMPARE(commands.count(), 0);
    }
}

// A head and a body that arrive a few bytes at a time, the end of the head split between two
// pieces, are read as one request; two requests in one piece as two.
void RemoteTest::requestsSentInPieces()
{
    start();
    QSignalSpy commands(server.get(), &RemoteServer::commandRequested);
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, server->port());
    QVERIFY(socket.waitForConnected(Patience));
    socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    const QByteArray command = "POST " + target("/control/pause", server->controlToken()) +
                               " HTTP/1.1\r\nHost: " + host() + "\r\nContent-Length: 5\r\n\r\nxxxxx";
    for (qsizetype at = 0; at < command.size(); at += 3) {
        socket.write(command.mid(at, 3));
        socket.waitForBytesWritten(Patience);
        QTest::qWait(1);
    }
    QCOMPARE(readResponse(socket).status, 204);
    socket.write(command + command);
    QByteArray answers;
    QTRY_COMPARE_WITH_TIMEOUT(
        (socket.waitForReadyRead(10), answers += socket.readAll(), answers.count("HTTP/1.1 204")), 2,
        Patience);
    QTRY_COMPARE_WITH_TIMEOUT(commands.count(), 3, Patience);
}

void RemoteTest::headEndSplitAcrossReads_data()
{
    QTest::addColumn<int>("split"); // bytes of the blank line's CR LF CR LF in the first piece
    QTest::addColumn<QByteArray>("ending");
    QTest::addColumn<int>("status");
    for (int split = 0; split <= 3; ++split)
        QTest::addRow("CR LF CR LF, %d in the first piece", split) << split << QByteArray("\r\n\r\n") << 200;
    // Ended by LF alone: refused as soon as it comes, not when the connection has waited long enough.
    QTest::newRow("LF LF") << 1 << QByteArray("\n\n") << 400;
}

// The end of a head is found however the client's writes cut it, and each piece is looked at once.
void RemoteTest::headEndSplitAcrossReads()
{
    QFETCH(int, split);
    QFETCH(QByteArray, ending);
    QFETCH(int, status);
    RemoteSettings settings;
    settings.idleMs = 10 * Patience; // no answer comes from being idle
    start(settings);
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, server->port());
    QVERIFY(socket.waitForConnected(Patience));
    socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    QByteArray head =
        "GET " + target("/state", server->viewToken()) + " HTTP/1.1\r\nHost: " + host() + ending;
    if (ending == "\n\n")
        head.replace("\r\n", "\n");
    const qsizetype cut = head.size() - ending.size() + split;
    socket.write(head.left(cut));
    QVERIFY(socket.waitForBytesWritten(Patience));
    QTest::qWait(100); // the server reads the first piece on its own
    socket.write(head.mid(cut));
    QCOMPARE(readResponse(socket).status, status);
}

void RemoteTest::hostileClients_data()
{
    QTest::addColumn<QString>("attack");
    for (const char *attack :
         {"connections held past the cap", "pipelined requests never read", "pings while paused",
          "a text frame from a viewer", "refusals and idle time", "a burst of handshakes"})
        QTest::newRow(attack) << QString::fromLatin1(attack);
}

// Each attack comes from clients with or without a token, and after each the server has kept its
// promises to a legitimate viewer that was there before: the state and every push.
void RemoteTest::hostileClients()
{
    QFETCH(QString, attack);
    RemoteSettings settings;
    settings.maxConnections = 40;
    settings.maxClients = 8;
    // The page itself is answered whole under the bound a phone gets, so that row keeps it.
    if (attack != "pipelined requests never read")
        settings.maxPendingBytes = 16 * 1024;
    if (attack == "refusals and idle time") {
        settings.idleMs = 1000;
        settings.lifetimeMs = 3000;
    }
    start(settings);
    Listener viewer;
    viewer.socket.open(QUrl(wsUrl(server->viewToken())));
    QTRY_COMPARE_WITH_TIMEOUT(viewer.messages.size(), 1, Patience);
    std::vector<std::unique_ptr<QTcpSocket>> held;
    auto connectOne = [&] {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QHostAddress::LocalHost, server->port());
        const bool connected = socket->waitForConnected(Patience);
        held.push_back(std::move(socket));
        return connected;
    };
    auto open = [&held] {
        return std::count_if(held.cbegin(), held.cend(), [](const auto &s) {
            s->waitForReadyRead(0);
            return s->state() == QAbstractSocket::ConnectedState;
        });
    };

    if (attack == "connections held past the cap") {
        // Silent connections, one more than the cap allows: the oldest make room, and the newest
        // of them are still held when a viewer asks for the state.
        for (int i = 0; i < 60; ++i)
            QVERIFY(connectOne());
        QTRY_VERIFY_WITH_TIMEOUT(held.front()->state() == QAbstractSocket::UnconnectedState, Patience);
        // Forty connections at most, and the viewer holds one of them.
        QTRY_COMPARE_WITH_TIMEOUT(open(), 39, Patience);
        QVERIFY(held.back()->state() == QAbstractSocket::ConnectedState);
    } else if (attack == "pipelined requests never read") {
        // Far more answers than any buffer between here and the server holds: if the server read
        // on regardless, they would pile up at its end past the limit and the connection would go.
        QVERIFY(connectOne());
        QTcpSocket &greedy = *held.front();
        const QByteArray page =
            "GET " + target("/", server->viewToken()) + " HTTP/1.1\r\nHost: " + host() + "\r\n\r\n";
        constexpr int Requests = 2000;
        for (int i = 0; i < Requests; ++i)
            greedy.write(page);
        QTest::qWait(500); // nothing is read meanwhile
        QByteArray answers;
        int complete = 0;
        const QDeadlineTimer deadline(Patience);
        while (complete < Requests && !deadline.hasExpired() &&
               (greedy.state() == QAbstractSocket::ConnectedState || greedy.bytesAvailable() > 0)) {
            greedy.waitForReadyRead(50);
            answers += greedy.readAll();
            for (qsizetype at; (at = answers.indexOf("</html>")) >= 0; ++complete)
                answers.remove(0, at + 7);
        }
        QCOMPARE(complete, Requests);
    } else if (attack == "pings while paused") {
        // Up to five a second are answered; the sixth closes the viewer as a policy violation.
        QTcpSocket fair, flooding;
        QVERIFY(handshake(fair));
        QVERIFY(handshake(flooding));
        QByteArray five, six;
        for (int i = 0; i < 5; ++i)
            five += clientFrame(0x9, "ping");
        six = five + clientFrame(0x9, "ping");
        fair.write(five);
        flooding.write(six);
        QByteArray toFair, toFlooding;
        QTRY_VERIFY_WITH_TIMEOUT((flooding.waitForReadyRead(10), toFlooding += flooding.readAll(),
                                  flooding.state() == QAbstractSocket::UnconnectedState),
                                 Patience);
        QCOMPARE(toFlooding.count(QByteArray("\x8a\x04ping", 6)), 5);
        QVERIFY(toFlooding.endsWith(QByteArray("\x88\x12\x03\xf0policy violation", 20))); // 1008
        QTRY_COMPARE_WITH_TIMEOUT((fair.waitForReadyRead(10), toFair += fair.readAll(), toFair.count("ping")),
                                  5, Patience);
        QCOMPARE(fair.state(), QAbstractSocket::ConnectedState);
        QCOMPARE(server->clientCount(), 2);
    } else if (attack == "a text frame from a viewer") {
        QTcpSocket talker;
        QVERIFY(handshake(talker));
        talker.write(clientFrame(0x1, "hello"));
        QByteArray received;
        QTRY_VERIFY_WITH_TIMEOUT((talker.waitForReadyRead(10), received += talker.readAll(),
                                  talker.state() == QAbstractSocket::UnconnectedState),
                                 Patience);
        QVERIFY(received.contains(QByteArray("\x88\x12\x03\xf0", 4)));
    } else if (attack == "refusals and idle time") {
        // A refusal ends its connection at once, whatever rides behind it; a served one lasts the
        // idle time after its last request, and no longer than its lifetime however often it asks.
        QTcpSocket refused, served;
        for (QTcpSocket *s : {&refused, &served}) {
            s->connectToHost(QHostAddress::LocalHost, server->port());
            QVERIFY(s->waitForConnected(Patience));
        }
        refused.write("GET " + target("/state", QStringLiteral("nope")) + " HTTP/1.1\r\nHost: " + host() +
                      "\r\n\r\nGET " + target("/state", server->viewToken()) +
                      " HTTP/1.1\r\nHost: " + host() + "\r\n\r\n");
        const Response refusal = readResponse(refused, true);
        QCOMPARE(refusal.status, 403);
        QVERIFY(refusal.closed);
        QVERIFY2(refusal.after.isEmpty(), refusal.after);
        QDeadlineTimer lifetime(2 * settings.lifetimeMs);
        int answered = 0;
        while (served.state() == QAbstractSocket::ConnectedState && !lifetime.hasExpired()) {
            served.write("GET " + target("/state", server->viewToken()) + " HTTP/1.1\r\nHost: " + host() +
                         "\r\n\r\n");
            if (readResponse(served).status == 200)
                ++answered;
            QTest::qWait(settings.idleMs / 4);
        }
        QCOMPARE(served.state(), QAbstractSocket::UnconnectedState);
        QVERIFY(answered > 2);
    } else if (attack == "a burst of handshakes") {
        // All at once: each is answered 101 or 503, and every 101 is a viewer that stays.
        constexpr int Burst = 20;
        for (int i = 0; i < Burst; ++i) {
            QVERIFY(connectOne());
            held.back()->write("GET " + target("/ws", server->viewToken()) + " HTTP/1.1\r\nHost: " + host() +
                               "\r\n" + Upgrade + "\r\n");
        }
        int switched = 0, refused = 0;
        for (auto &socket : held) {
            QByteArray data;
            QTRY_VERIFY_WITH_TIMEOUT(
                (socket->waitForReadyRead(10), data += socket->readAll(), data.contains("\r\n")), Patience);
            switched += data.startsWith("HTTP/1.1 101");
            refused += data.startsWith("HTTP/1.1 503");
        }
        QCOMPARE(switched, settings.maxClients - 1); // the viewer holds one place
        QCOMPARE(refused, Burst - switched);
        QCOMPARE(server->clientCount(), settings.maxClients);
        QTRY_COMPARE_WITH_TIMEOUT(open(), switched, Patience);
        held.clear();
        QTRY_COMPARE_WITH_TIMEOUT(server->clientCount(), 1, Patience);
    }
    viewerStillServed(viewer);
}

// A client that resets its connection while the handshake's answer is written: the write fails,
// the connection is gone before the answer returns, and it must not become a viewer. The server
// here runs on this thread, so the request and the reset are both waiting when it first reads.
void RemoteTest::handshakeAnsweredToAResetClient()
{
    RemoteSettings settings;
    settings.bind = QStringLiteral("127.0.0.1");
    settings.port = 0;
    settings.viewToken = QStringLiteral("view");
    settings.controlToken = QStringLiteral("control");
    RemoteWorker worker(settings, snapshot(QStringLiteral("5:00")));
    QSignalSpy listened(&worker, &RemoteWorker::listened);
    worker.listen();
    QCOMPARE(listened.count(), 1);
    const auto port = listened.first().first().value<quint16>();
    const QByteArray handshake =
        "GET /ws?t=view HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) + "\r\n" + Upgrade + "\r\n";
    for (int i = 0; i < 10; ++i) {
        QTcpSocket client; // connected by hand, so that nothing here answers for it
        client.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(client.waitForConnected(Patience));
        QTRY_COMPARE_WITH_TIMEOUT(worker.findChildren<Connection *>().size(), 1, Patience);
        const auto descriptor = static_cast<int>(client.socketDescriptor());
        QCOMPARE(::send(descriptor, handshake.constData(), static_cast<size_t>(handshake.size()), 0),
                 handshake.size());
        const linger reset{1, 0};
        QCOMPARE(::setsockopt(descriptor, SOL_SOCKET, SO_LINGER, &reset, sizeof reset), 0);
        client.abort(); // closed with the linger above: a reset, not a goodbye
        QTRY_VERIFY_WITH_TIMEOUT(worker.findChildren<Connection *>().isEmpty(), Patience);
        // Whatever still held it would now be sent a change.
        worker.publish(snapshot(QStringLiteral("%1").arg(i)));
        QTest::qWait(10);
    }
    QCOMPARE(worker.viewerCount(), 0);
}

void RemoteTest::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("on");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("bind");  // empty: every interface
    QTest::addColumn<QString>("error"); // a part of the message; empty: none

    QTest::newRow("off") << QStringList{"-platform", "offscreen"} << false << 0 << ""
                         << "";
    QTest::newRow("default port") << QStringList{"--remote"} << true << 8760 << ""
                                  << "";
    QTest::newRow("port") << QStringList{"--remote=9000"} << true << 9000 << ""
                          << "";
    QTest::newRow("highest port") << QStringList{"--remote=65535"} << true << 65535 << ""
                                  << "";
    QTest::newRow("any port") << QStringList{"--remote=0"} << true << 0 << ""
                              << "";
    QTest::newRow("bind alone") << QStringList{"--remote-bind=192.168.1.10"} << true << 8760 << "192.168.1.10"
                                << "";
    QTest::newRow("IPv6 in brackets")
        << QStringList{"--remote=80", "--remote-bind=[::1]"} << true << 80 << "::1"
        << "";
    QTest::newRow("port too big") << QStringList{"--remote=65536"} << false << 0 << ""
                                  << "65536";
    QTest::newRow("not a number") << QStringList{"--remote=http"} << false << 0 << ""
                                  << "invalid port";
    QTest::newRow("signed") << QStringList{"--remote=+80"} << false << 0 << ""
                            << "invalid port";
    QTest::newRow("empty port") << QStringList{"--remote="} << false << 0 << ""
                                << "invalid port";
    QTest::newRow("host name") << QStringList{"--remote-bind=localhost"} << true << 8760 << "localhost"
                               << "invalid address";
    QTest::newRow("bind without value") << QStringList{"--remote-bind"} << false << 0 << ""
                                        << "needs an address";
    QTest::newRow("misspelt") << QStringList{"--remote-port=80"} << false << 0 << ""
                              << "unknown option";
}

// The command line is read once; whether an address is one is for the remote view to say.
void RemoteTest::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, on);
    QFETCH(int, port);
    QFETCH(QString, bind);
    QFETCH(QString, error);
    const CommandLine line = parseCommandLine(QStringList{"podiumwatch"} + arguments);
    QCOMPARE(line.remote.has_value(), on);
    QString said = line.error;
    if (on) {
        QCOMPARE(line.remote->port, port);
        QCOMPARE(line.remote->bind, bind);
        const Result<> checked = RemoteView::check(*line.remote);
        QCOMPARE(checked.ok(), error.isEmpty());
        said = checked.error();
    }
    if (error.isEmpty())
        QVERIFY2(said.isEmpty(), qPrintable(said));
    else
        QVERIFY2(said.contains(error), qPrintable(said));
}

void RemoteTest::deskCommandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("oscPort"); // -1: no OSC in
    QTest::addColumn<QString>("oscBind");
    QTest::addColumn<int>("targets"); // --osc-send and --cue-url
    QTest::addColumn<QString>("error");

    QStringList sixteen;
    for (int i = 0; i < 8; ++i)
        sixteen << "--osc-send" << QStringLiteral("127.0.0.1:%1").arg(53000 + i)
                << "--cue-url=http://127.0.0.1/" + QString::number(i);
    QTest::newRow("default port") << QStringList{"--osc"} << 8762 << "" << 0 << "";
    QTest::newRow("any port") << QStringList{"--osc=0"} << 0 << "" << 0 << "";
    QTest::newRow("bind implies OSC") << QStringList{"--osc-bind", "[::1]"} << 8762 << "::1" << 0 << "";
    QTest::newRow("targets in both forms")
        << QStringList{"--osc-send", "192.168.1.20:53000", "--osc-send=[::1]:9", "--cue-url",
                       "http://desk.local:8000/cue"}
        << -1 << "" << 3 << "";
    QTest::newRow("sixteen targets") << sixteen << -1 << "" << 16 << "";
    QTest::newRow("seventeen targets")
        << sixteen + QStringList{"--cue-url=http://127.0.0.1/16"} << -1 << "" << 17 << "at most 16";
    QTest::newRow("target without port")
        << QStringList{"--osc-send=10.0.0.5"} << -1 << "" << 1 << "invalid target";
    QTest::newRow("target port 0") << QStringList{"--osc-send=10.0.0.5:0"} << -1 << "" << 1
                                   << "invalid target";
    QTest::newRow("IPv6 target without brackets")
        << QStringList{"--osc-send=::1:9"} << -1 << "" << 1 << "invalid target";
    QTest::newRow("not http") << QStringList{"--cue-url=https://desk/cue"} << -1 << "" << 1
                              << "invalid address";
    QTest::newRow("bind a name") << QStringList{"--osc-bind=localhost"} << 8762 << "localhost" << 0
                                 << "invalid address";
    QTest::newRow("no value") << QStringList{"--osc-send"} << -1 << "" << 0 << "needs a target";
    QTest::newRow("misspelt") << QStringList{"--osc-port=9000"} << -1 << "" << 0 << "unknown option";
}

// The desk's options turn nothing else on, and what they name is checked before anything starts.
void RemoteTest::deskCommandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, oscPort);
    QFETCH(QString, oscBind);
    QFETCH(int, targets);
    QFETCH(QString, error);
    const CommandLine line = parseCommandLine(QStringList{"podiumwatch"} + arguments);
    QString said = line.error;
    if (said.isEmpty()) {
        QVERIFY(!line.remote);
        QCOMPARE(line.desk.oscPort ? int{*line.desk.oscPort} : -1, oscPort);
        QCOMPARE(line.desk.oscBind, oscBind);
        QCOMPARE(line.desk.oscSend.size() + line.desk.cueUrls.size(), targets);
        RemoteSettings settings;
        settings.desk = line.desk;
        said = RemoteView::check(settings).error();
    }
    if (error.isEmpty())
        QVERIFY2(said.isEmpty(), qPrintable(said));
    else
        QVERIFY2(said.contains(error), qPrintable(said));
}

// The addresses survive a restart when the tokens are kept in a file; a file that is not one is
// refused and left alone.
void RemoteTest::tokensKeptInAFile()
{
    QTemporaryDir folder;
    const QString path = folder.filePath("tokens.json");
    const Result<RemoteTokens> made = remoteTokensFrom(path);
    QVERIFY2(made.ok(), qPrintable(made.error()));
    QCOMPARE(QFile::permissions(path) & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions{});
    const Result<RemoteTokens> again = remoteTokensFrom(path);
    QVERIFY(again.ok());
    QCOMPARE(again->control, made->control);
    QCOMPARE(again->view, made->view);
    QVERIFY(made->view != made->control);

    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(R"({"view": "short", "control": "0123456789abcdef"})");
    file.close();
    QVERIFY(!remoteTokensFrom(path).ok());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("short"));
}

// As another tool computes them (these from Python's hmac): the same key and room give the same
// tokens, another room or key others.
void RemoteTest::eventTokens_data()
{
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QString>("room");
    QTest::addColumn<QString>("view");
    QTest::addColumn<QString>("control");
    QTest::newRow("A") << QByteArray("conference-2026") << "A会場"
                       << "48ddefab6b2f243175df4d2f22291093"
                       << "69c2474e99a583f9eeaf1fdc1b258492";
    QTest::newRow("another room") << QByteArray("conference-2026") << "B会場"
                                  << "fb67b5f5c4b814a2ea526d6725a0ed4d"
                                  << "e72e62d56ed1db335a17fd0413639ebf";
    QTest::newRow("another key") << QByteArray("other-key") << "A会場"
                                 << "e307e866f929663b97a2cfa6000a150b"
                                 << "31a94e47f3ce0bfc00ade5d4f81a4b20";
}

void RemoteTest::eventTokens()
{
    QFETCH(QByteArray, key);
    QFETCH(QString, room);
    QFETCH(QString, view);
    QFETCH(QString, control);
    const EventTokens tokens = ::eventTokens(key, room);
    QCOMPARE(tokens.view, view);
    QCOMPARE(tokens.control, control);
}

void RemoteTest::roomCommandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("room");
    QTest::addColumn<QString>("error");
    QTest::newRow("room and key") << QStringList{"--room", "A会場", "--event=secret"} << "A会場"
                                  << "";
    QTest::newRow("room alone") << QStringList{"--room=A会場"} << "A会場"
                                << "";
    QTest::newRow("key without room") << QStringList{"--event", "secret"} << ""
                                      << "needs the room's name";
    QTest::newRow("key twice") << QStringList{"--room=A", "--event=s", "--event-file=/k"} << ""
                               << "give one";
    QTest::newRow("forty characters")
        << QStringList{"--room=" + QString(40, u'会')} << QString(40, u'会') << "";
    QTest::newRow("forty-one characters") << QStringList{"--room=" + QString(41, u'会')} << ""
                                          << "at most 40";
    QTest::newRow("a line break") << QStringList{"--room=A\nB"} << ""
                                  << "one line";
    QTest::newRow("key and a programme") << QStringList{"--event=s", "--programme", "p.json"} << ""
                                         << "";
    QTest::newRow("overview of the event") << QStringList{"--overview", "--event=s"} << ""
                                           << "";
    QTest::newRow("overview of addresses")
        << QStringList{"--overview", "http://10.0.0.21:8760", "--overview-file=rooms.txt"} << ""
        << "";
    QTest::newRow("overview of nothing") << QStringList{"--overview"} << ""
                                         << "needs the event's key";
    QTest::newRow("overview of a room") << QStringList{"--overview", "--event=s", "--room=A"} << ""
                                        << "takes no --room";
}

void RemoteTest::roomCommandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, room);
    QFETCH(QString, error);
    const CommandLine line = parseCommandLine(QStringList{"podiumwatch"} + arguments);
    QVERIFY2(error.isEmpty() ? line.error.isEmpty() : line.error.contains(error), qPrintable(line.error));
    if (error.isEmpty())
        QCOMPARE(line.room, room);
    // What follows --overview is its rooms; elsewhere an address is left to others.
    QCOMPARE(line.rooms.size(), arguments.contains("http://10.0.0.21:8760") ? 1 : 0);
}

// The key's first line, kept out of the process list; an empty file or one far longer than a key is
// refused.
void RemoteTest::eventKeyFromAFile()
{
    QTemporaryDir folder;
    const auto keyIn = [&folder](const QByteArray &bytes) {
        QFile file(folder.filePath("key"));
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(bytes);
        file.close();
        return eventKeyFrom(file.fileName());
    };
    const Result<QByteArray> read = keyIn("conference-2026\r\nnot the key\n");
    QVERIFY(read.ok());
    QCOMPARE(*read, QByteArray("conference-2026"));
    QVERIFY(keyIn(QByteArray(4096, 'k')).ok());
    QVERIFY(!keyIn(QByteArray(4097, 'k')).ok());
    QVERIFY(!keyIn("\n").ok());
    QVERIFY(!eventKeyFrom(folder.filePath("missing")).ok());
}

// The README tells operators and chairs what is allowed; its figures are the program's own.
void RemoteTest::limitsAsDocumented()
{
    using namespace remotelimits;
    const auto clock = [](int seconds) {
        return QByteArray::number(seconds / 60) + ':' +
               QByteArray::number(seconds % 60).rightJustified(2, '0');
    };
    QFile readme(QStringLiteral(PODIUMWATCH_SOURCE_DIR "/README.md"));
    QVERIFY(readme.open(QIODevice::ReadOnly));
    const QByteArray text = readme.readAll().simplified();
    for (const QByteArray &said : {
             QByteArray::number(kPendingBytes / 1024) + " KiB wait for it",
             "At most " + QByteArray::number(kViewers) + " WebSocket",
             "a request for " + QByteArray::number(kIdleMs / 1000) + " s",
             "on port " + QByteArray::number(kPort),
             "(" + QByteArray::number(kConnections) + " at most;",
             "body over " + QByteArray::number(kBodyBytes / 1024) + " KiB 413",
             "head over " + QByteArray::number(kHeadBytes / 1024) + " KiB 431",
             "more than " + QByteArray::number(kPingsPerSecond) + " pings a second",
             "No more than " + QByteArray::number(kCommandsPerSecond) + " commands a second, and " +
                 QByteArray::number(kCommandsInFlight) + " waiting at once",
             "413 over " + QByteArray::number(kLongestMessageBytes) + " bytes, 400 over " +
                 QByteArray::number(kLongestMessage) + " characters",
             "up to " + QByteArray::number(kLongestMessage) + " characters",
             "up to " + clock(kLongestCount) + " either way",
             "1 to " + QByteArray::number(kMostTalks) + " talks",
         })
        QVERIFY2(text.contains(said), said.constData());
}

void RemoteTest::qrCodeKeepsQuietZone()
{
    const QImage code =
        RemoteWindow::qrCode(QStringLiteral("http://192.168.100.200:8760/control?t=0123456789abcdefghijkl"));
    QVERIFY(!code.isNull());
    QCOMPARE(code.width(), code.height());
    const int modules = code.width() - 8;
    QCOMPARE((modules - 17) % 4, 0); // a QR symbol is 21, 25, 29 ... modules wide
    auto dark = [&code](int x, int y) { return qGray(code.pixel(x, y)) < 128; };
    for (int i = 0; i < code.width(); ++i) {
        for (int band = 0; band < 4; ++band) {
            QVERIFY(!dark(i, band) && !dark(i, code.height() - 1 - band));
            QVERIFY(!dark(band, i) && !dark(code.width() - 1 - band, i));
        }
    }
    // The finder patterns sit right inside the quiet zone, dark side out: a dark ring, a light
    // ring, a dark centre.
    for (const QPoint corner : {QPoint(4, 4), QPoint(4 + modules - 7, 4), QPoint(4, 4 + modules - 7)}) {
        QVERIFY(dark(corner.x(), corner.y()) && dark(corner.x() + 6, corner.y() + 6));
        QVERIFY(!dark(corner.x() + 1, corner.y() + 1) && !dark(corner.x() + 5, corner.y() + 5));
        QVERIFY(dark(corner.x() + 3, corner.y() + 3));
    }
}

QTEST_MAIN(RemoteTest)
#include "tst_remote.moc"
