// The remote server on the loopback: what it answers, to whom, what it pushes, and whom it drops.
// Clients here may block: the server runs on a thread of its own.

#include "app/commandline.h"
#include "forms/remotewindow.h"
#include "platform/remoteserver.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>
#include <QWebSocket>
#include <memory>

namespace {

constexpr int Patience = 30000;

struct Response {
    int status = -1;
    QMap<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
};

// One request on a connection of its own, read until its declared length has come.
Response exchange(quint16 port, const QByteArray &method, const QByteArray &target,
                  const QByteArray &body = {}, const QByteArray &headers = {})
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    Response response;
    if (!socket.waitForConnected(Patience))
        return response;
    socket.write(method + ' ' + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
                 "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n" + headers + "\r\n" + body);
    QByteArray data;
    const QDeadlineTimer deadline(Patience);
    while (!deadline.hasExpired()) {
        if (const qsizetype end = data.indexOf("\r\n\r\n"); end >= 0) {
            const QList<QByteArray> lines = data.left(end).split('\n');
            response.status = lines.first().split(' ').value(1).toInt();
            for (qsizetype i = 1; i < lines.size(); ++i) {
                const qsizetype colon = lines[i].indexOf(':');
                response.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                        lines[i].mid(colon + 1).trimmed());
            }
            const qsizetype length = response.headers.value("content-length").toLongLong();
            if (data.size() >= end + 4 + length) {
                response.body = data.mid(end + 4, length);
                return response;
            }
        }
        if (!socket.waitForReadyRead(100) && socket.state() != QAbstractSocket::ConnectedState)
            break;
        data += socket.readAll();
    }
    response.status = -1;
    return response;
}

const QByteArray Upgrade = "Upgrade: websocket\r\nConnection: Upgrade\r\n"
                           "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n";

RemoteSnapshot snapshot(const QString &text, std::optional<int> remaining = 299)
{
    RemoteSnapshot s;
    s.text = text;
    s.background = QColor(0x12, 0x34, 0x56);
    s.foreground = QColor(0xAB, 0xCD, 0xEF);
    s.state = QStringLiteral("running");
    s.remaining = remaining;
    s.at = 1700000000123;
    return s;
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

} // namespace

class RemoteTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void json();
    void addresses();
    void answers_data();
    void answers();
    void headersAndPolicy();
    void commands_data();
    void commands();
    void pushAtConnectAndOnChange();
    void webSocketRefusals_data();
    void webSocketRefusals();
    void clientLimit();
    void slowReaderDropped();
    void idleConnectionsClosed();
    void hugeBodyCutUnread();
    void tokensNewAtEveryStart();
    void commandLine_data();
    void commandLine();
    void qrCodeKeepsQuietZone();

private:
    void start(RemoteServer::Settings settings = {});
    QByteArray target(const QByteArray &path, const QString &token) const
    {
        return path + "?t=" + token.toLatin1();
    }
    QString wsUrl(const QString &token) const
    {
        return QStringLiteral("ws://127.0.0.1:%1/ws?t=%2").arg(server->port()).arg(token);
    }

    std::unique_ptr<RemoteServer> server;
};

void RemoteTest::init()
{
    server = std::make_unique<RemoteServer>();
}

void RemoteTest::cleanup()
{
    server.reset();
}

void RemoteTest::start(RemoteServer::Settings settings)
{
    settings.bind = QHostAddress(QHostAddress::LocalHost);
    settings.port = 0;
    QString error;
    QVERIFY2(server->start(settings, &error), qPrintable(error));
    QVERIFY(server->isListening());
}

void RemoteTest::json()
{
    RemoteSnapshot s = snapshot(QStringLiteral("超過"), -31);
    s.background = QColor(QStringLiteral("#FFAA00"));
    QJsonObject o = QJsonDocument::fromJson(RemoteServer::toJson(s)).object();
    QCOMPARE(o.value("text").toString(), QStringLiteral("超過"));
    QCOMPARE(o.value("background").toString(), QStringLiteral("#ffaa00"));
    QCOMPARE(o.value("foreground").toString(), QStringLiteral("#abcdef"));
    QCOMPARE(o.value("state").toString(), QStringLiteral("running"));
    QCOMPARE(o.value("remaining").toInt(), -31);
    QCOMPARE(o.value("at").toInteger(), 1700000000123);

    s.remaining.reset();
    o = QJsonDocument::fromJson(RemoteServer::toJson(s)).object();
    QVERIFY(o.contains("remaining"));
    QVERIFY(o.value("remaining").isNull());
}

void RemoteTest::addresses()
{
    start();
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(server->port());
    QCOMPARE(server->viewUrl(), base + "/?t=" + server->viewToken());
    QCOMPARE(server->controlUrl(), base + "/control?t=" + server->controlToken());
    QCOMPARE(RemoteServer::urlHost(QHostAddress(QStringLiteral("::1"))), QStringLiteral("[::1]"));
    const QHostAddress any(RemoteServer::urlHost(QHostAddress::Any));
    QVERIFY(!any.isNull() && any.protocol() == QAbstractSocket::IPv4Protocol);
}

void RemoteTest::answers_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QString>("token"); // "view", "control", "wrong" or "none"
    QTest::addColumn<int>("bodySize");
    QTest::addColumn<int>("status");

    QTest::newRow("page") << QByteArray("GET") << QByteArray("/") << "view" << 0 << 200;
    QTest::newRow("page, control token") << QByteArray("GET") << QByteArray("/") << "control" << 0 << 200;
    QTest::newRow("state") << QByteArray("GET") << QByteArray("/state") << "view" << 0 << 200;
    QTest::newRow("control page") << QByteArray("GET") << QByteArray("/control") << "control" << 0 << 200;
    QTest::newRow("no token") << QByteArray("GET") << QByteArray("/state") << "none" << 0 << 403;
    QTest::newRow("wrong token") << QByteArray("GET") << QByteArray("/") << "wrong" << 0 << 403;
    QTest::newRow("control page, view token")
        << QByteArray("GET") << QByteArray("/control") << "view" << 0 << 403;
    QTest::newRow("command, view token")
        << QByteArray("POST") << QByteArray("/control/start") << "view" << 0 << 403;
    QTest::newRow("unknown path") << QByteArray("GET") << QByteArray("/index.html") << "control" << 0 << 404;
    QTest::newRow("dot segments") << QByteArray("GET") << QByteArray("/../etc/passwd") << "control" << 0
                                  << 404;
    QTest::newRow("encoded dots") << QByteArray("GET") << QByteArray("/%2e%2e/%2e%2e/etc/passwd") << "control"
                                  << 0 << 404;
    QTest::newRow("trailing slash") << QByteArray("GET") << QByteArray("/state/") << "view" << 0 << 404;
    QTest::newRow("unknown command") << QByteArray("POST") << QByteArray("/control/launch") << "control" << 0
                                     << 404;
    QTest::newRow("state by POST") << QByteArray("POST") << QByteArray("/state") << "view" << 0 << 405;
    QTest::newRow("page by DELETE") << QByteArray("DELETE") << QByteArray("/") << "view" << 0 << 405;
    QTest::newRow("command by GET") << QByteArray("GET") << QByteArray("/control/reset") << "control" << 0
                                    << 405;
    QTest::newRow("4 KiB body") << QByteArray("POST") << QByteArray("/control/pause") << "control" << 4096
                                << 204;
    QTest::newRow("body over 4 KiB") << QByteArray("POST") << QByteArray("/control/pause") << "control"
                                     << 4097 << 413;
}

void RemoteTest::answers()
{
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, path);
    QFETCH(QString, token);
    QFETCH(int, bodySize);
    QFETCH(int, status);
    start();
    const QString given = token == "view"      ? server->viewToken()
                          : token == "control" ? server->controlToken()
                          : token == "wrong"   ? QString(server->viewToken().size(), QLatin1Char('A'))
                                               : QString();
    const QByteArray t = token == "none" ? path : target(path, given);
    const Response response = exchange(server->port(), method, t, QByteArray(bodySize, 'x'));
    QCOMPARE(response.status, status);
    if (status == 405)
        QVERIFY(!response.headers.value("allow").isEmpty());
    if (path == "/state" && status == 200) {
        QCOMPARE(response.headers.value("content-type"), QByteArray("application/json"));
        QVERIFY(QJsonDocument::fromJson(response.body).object().contains("remaining"));
    }
}

void RemoteTest::headersAndPolicy()
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
    for (const char *part :
         {"default-src 'none'", "frame-ancestors 'none'", "base-uri 'none'", "form-action 'none'"})
        QVERIFY2(policy.contains(part), part);
    QVERIFY(policy.contains("connect-src 'self' ws://127.0.0.1:" + QByteArray::number(server->port())));
    QVERIFY(!policy.contains("unsafe-inline"));

    const Response refused = exchange(server->port(), "GET", "/nothing");
    const Response state = exchange(server->port(), "GET", target("/state", server->viewToken()));
    for (const Response &r : {page, refused, state}) {
        QCOMPARE(r.headers.value("cache-control"), QByteArray("no-store"));
        QCOMPARE(r.headers.value("x-content-type-options"), QByteArray("nosniff"));
        QCOMPARE(r.headers.value("content-security-policy"), policy);
    }
}

void RemoteTest::commands_data()
{
    QTest::addColumn<QString>("command");
    for (const char *c : {"start", "pause", "restart", "reset"})
        QTest::newRow(c) << QString::fromLatin1(c);
}

void RemoteTest::commands()
{
    QFETCH(QString, command);
    start();
    QSignalSpy spy(server.get(), &RemoteServer::commandRequested);
    const Response response =
        exchange(server->port(), "POST", target("/control/" + command.toLatin1(), server->controlToken()));
    QCOMPARE(response.status, 204);
    QVERIFY(response.body.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, Patience);
    QCOMPARE(spy.first().first().toString(), command);
}

void RemoteTest::pushAtConnectAndOnChange()
{
    start();
    server->publish(snapshot(QStringLiteral("4:59")));
    Listener client;
    client.socket.open(QUrl(wsUrl(server->viewToken())));
    QTRY_COMPARE_WITH_TIMEOUT(client.messages.size(), 1, Patience);
    QCOMPARE(client.lastText(), QStringLiteral("4:59"));

    RemoteSnapshot same = snapshot(QStringLiteral("4:59"));
    same.at += 400; // nothing a viewer sees has changed
    server->publish(same);
    RemoteSnapshot next = snapshot(QStringLiteral("4:58"), 298);
    next.foreground = QColor(Qt::red);
    server->publish(next);
    QTRY_COMPARE_WITH_TIMEOUT(client.messages.size(), 2, Patience);
    QCOMPARE(client.messages.last().toUtf8(), RemoteServer::toJson(next));

    const Response state = exchange(server->port(), "GET", target("/state", server->viewToken()));
    QCOMPARE(state.body, RemoteServer::toJson(next));
}

void RemoteTest::webSocketRefusals_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QString>("token");
    QTest::addColumn<int>("status");
    QTest::newRow("no token") << QByteArray("/ws") << "" << 403;
    QTest::newRow("wrong token") << QByteArray("/ws") << "AAAAAAAAAAAAAAAAAAAAAA" << 403;
    QTest::newRow("page path") << QByteArray("/") << "view" << 404;
    QTest::newRow("state path") << QByteArray("/state") << "view" << 404;
}

void RemoteTest::webSocketRefusals()
{
    QFETCH(QByteArray, path);
    QFETCH(QString, token);
    QFETCH(int, status);
    start();
    server->publish(snapshot(QStringLiteral("1:00")));
    const QString given = token == "view" ? server->viewToken() : token;
    QCOMPARE(exchange(server->port(), "GET", target(path, given), {}, Upgrade).status, status);

    Listener client;
    QSignalSpy closed(&client.socket, &QWebSocket::disconnected);
    client.socket.open(QUrl(QStringLiteral("ws://127.0.0.1:%1%2?t=%3").arg(server->port()).arg(path, given)));
    QTRY_COMPARE_WITH_TIMEOUT(closed.count(), 1, Patience);
    QVERIFY(client.messages.isEmpty());
    QCOMPARE(server->clientCount(), 0);
}

void RemoteTest::clientLimit()
{
    RemoteServer::Settings settings;
    settings.maxClients = 2;
    start(settings);
    Listener a, b, c;
    a.socket.open(QUrl(wsUrl(server->viewToken())));
    b.socket.open(QUrl(wsUrl(server->controlToken())));
    QTRY_VERIFY_WITH_TIMEOUT(a.messages.size() == 1 && b.messages.size() == 1, Patience);
    QCOMPARE(server->clientCount(), 2);

    QCOMPARE(exchange(server->port(), "GET", target("/ws", server->viewToken()), {}, Upgrade).status, 503);
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
    RemoteServer::Settings settings;
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
    stalled.write("GET " + target("/ws", server->viewToken()) + " HTTP/1.1\r\nHost: x\r\n" + Upgrade +
                  "\r\n");
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
    RemoteServer::Settings settings;
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
    answered.write("GET " + target("/state", server->viewToken()) + " HTTP/1.1\r\nHost: x\r\n\r\n");
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

void RemoteTest::hugeBodyCutUnread()
{
    RemoteServer::Settings settings;
    settings.idleMs = 10 * Patience; // so that only the cut can end the connection in time
    start(settings);
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server->port());
    QVERIFY(client.waitForConnected(Patience));
    client.write("POST " + target("/control/start", server->controlToken()) +
                 " HTTP/1.1\r\nHost: x\r\nContent-Length: 2000000000\r\n\r\n" + QByteArray(1000, 'x'));
    QTRY_COMPARE_WITH_TIMEOUT(client.state(), QAbstractSocket::UnconnectedState, Patience);
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
    QTest::newRow("host name") << QStringList{"--remote-bind=localhost"} << false << 0 << ""
                               << "invalid address";
    QTest::newRow("bind without value") << QStringList{"--remote-bind"} << false << 0 << ""
                                        << "needs an address";
    QTest::newRow("misspelt") << QStringList{"--remote-port=80"} << false << 0 << ""
                              << "unknown option";
}

void RemoteTest::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, on);
    QFETCH(int, port);
    QFETCH(QString, bind);
    QFETCH(QString, error);
    const RemoteOptions options = parseRemoteOptions(QStringList{"podiumwatch"} + arguments);
    QCOMPARE(options.settings.has_value(), on);
    if (error.isEmpty())
        QVERIFY2(options.error.isEmpty(), qPrintable(options.error));
    else
        QVERIFY2(options.error.contains(error), qPrintable(options.error));
    if (on) {
        QCOMPARE(options.settings->port, port);
        QCOMPARE(options.settings->bind,
                 bind.isEmpty() ? QHostAddress(QHostAddress::Any) : QHostAddress(bind));
    }
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
