// The remote server's HTTP and WebSocket framing, without sockets: what a head says, where it ends,
// where the next request starts, which frames a client may send, and what the router answers a
// request: tokens, paths, methods, host and origin, and the commands with their arguments; a room's
// answer to an overview's challenge, and an overview's own paths.

#include "remote/http.h"
#include "remote/router.h"
#include "remote/websocketframes.h"

#include <QCryptographicHash>
#include <QFile>
#include <QMessageAuthenticationCode>
#include <QTest>
#include <QUrlQuery>

namespace {

constexpr int Incomplete = -1; // in a `status` column: wants more bytes
constexpr int Request = 0;     // in a `status` column: a request to serve

int statusOf(const HeadReading &reading)
{
    switch (reading.kind) {
    case HeadReading::Kind::Incomplete:
        return Incomplete;
    case HeadReading::Kind::Request:
        return Request;
    case HeadReading::Kind::Refused:
        return reading.status;
    }
    return -2;
}

QByteArray post(const QByteArray &headers, const QByteArray &body = {})
{
    return "POST /control/pause?t=x HTTP/1.1\r\n" + headers + "\r\n" + body;
}

// A whole head of exactly `size` bytes, its blank line included.
QByteArray headOfSize(qsizetype size)
{
    const QByteArray start = "GET / HTTP/1.1\r\nHost: a\r\nX-Pad: ", end = "\r\n\r\n";
    return start + QByteArray(size - start.size() - end.size(), 'a') + end;
}

QByteArray masked(char first, const QByteArray &payload)
{
    const QByteArray mask = "\x12\x34\x56\x78";
    QByteArray bytes(1, first);
    if (payload.size() < 126) {
        bytes += static_cast<char>(0x80 | payload.size());
    } else {
        bytes += '\xFE';
        bytes += static_cast<char>(payload.size() >> 8);
        bytes += static_cast<char>(payload.size() & 0xFF);
    }
    bytes += mask;
    for (qsizetype i = 0; i < payload.size(); ++i)
        bytes += static_cast<char>(payload[i] ^ mask[i % 4]);
    return bytes;
}

constexpr QByteArrayView ViewToken = "VVVVVVVVVVVVVVVVVVVVVV", ControlToken = "CCCCCCCCCCCCCCCCCCCCCC";
// An event's tokens for this room (ROOMV and ROOMC in a target).
constexpr QByteArrayView RoomView = "48ddefab6b2f243175df4d2f22291093",
                         RoomControl = "69c2474e99a583f9eeaf1fdc1b258492";

RouterState routerState()
{
    RouterState state;
    state.viewToken = ViewToken.toByteArray();
    state.controlToken = ControlToken.toByteArray();
    state.eventViewToken = RoomView.toByteArray();
    state.eventControlToken = RoomControl.toByteArray();
    state.room = QStringLiteral("A会場");
    state.eventId = "b8f86c97";
    state.port = 8760;
    state.hosts = {"192.168.1.23", "podium", "podium.local"};
    state.ownHost = "192.168.1.23:8760";
    state.page = "<html><style>b{}</style><script>go()</script></html>";
    state.scriptHash = "'sha256-script'";
    state.styleHash = "'sha256-style'";
    state.json = R"({"text":"5:00"})";
    state.clients = 1;
    state.maxClients = 2;
    return state;
}

// A request as a client sends it: VIEW and CONTROL in the target stand for the tokens, and a
// Host of the printed addresses' is added unless the headers name one.
HttpRequest request(const QByteArray &method, QByteArray target, const QByteArray &headers = {},
                    const QByteArray &body = {})
{
    target.replace("ROOMV", RoomView.toByteArray()).replace("ROOMC", RoomControl.toByteArray());
    target.replace("VIEW", ViewToken.toByteArray()).replace("CONTROL", ControlToken.toByteArray());
    const QByteArray host = headers.contains("Host:") ? QByteArray() : "Host: 192.168.1.23:8760\r\n";
    const QByteArray head = method + ' ' + target + " HTTP/1.1\r\n" + host + headers +
                            "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n";
    HttpRequest read = readHead(head, HttpLimits()).request;
    read.body = body;
    return read;
}

const QByteArray Upgrade = "Upgrade: websocket\r\nConnection: Upgrade\r\n"
                           "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n";

} // namespace

class HttpTest : public QObject {
    Q_OBJECT

private slots:
    void socketCommands_data();
    void socketCommands();
    void apiDescriptionMatchesTheRoutes();
    void head_data();
    void head();
    void pipelined_data();
    void pipelined();
    void keepsAlive_data();
    void keepsAlive();
    void serialized_data();
    void serialized();
    void clientFrame_data();
    void clientFrame();
    void routed_data();
    void routed();
    void roomsAndOverviews_data();
    void roomsAndOverviews();
    void overviewSocketCommands_data();
    void overviewSocketCommands();
    void noEventNoEventToken();
    void commands_data();
    void commands();
    void everyAnswerGuardsThePage();
};

void HttpTest::head_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("status");
    QTest::addColumn<qsizetype>("bodyLength");

    const QByteArray host = "Host: a\r\n";
    QTest::newRow("plain") << post(host) << Request << qsizetype(0);
    QTest::newRow("with a body") << post(host + "Content-Length: 5\r\n", "xxxxx") << Request << qsizetype(5);
    QTest::newRow("body not here yet") << post(host + "Content-Length: 5\r\n") << Request << qsizetype(5);
    QTest::newRow("HTTP/1.0 without Host") << QByteArray("GET / HTTP/1.0\r\n\r\n") << Request << qsizetype(0);
    QTest::newRow("HTTP/1.0 with two Hosts")
        << QByteArray("GET / HTTP/1.0\r\n" + host + host + "\r\n") << 400 << qsizetype(0);
    QTest::newRow("unfinished") << QByteArray("GET / HTTP/1.1\r\n" + host) << Incomplete << qsizetype(0);
    QTest::newRow("a CR waiting for its LF") << QByteArray("GET / HTTP/1.1\r") << Incomplete << qsizetype(0);

    QTest::newRow("Content-Length twice, agreeing")
        << post(host + "Content-Length: 1\r\nContent-Length: 1\r\n", "x") << 400 << qsizetype(0);
    QTest::newRow("Content-Length twice, disagreeing")
        << post(host + "Content-Length: 1\r\nContent-Length: 5\r\n", "xxxxx") << 400 << qsizetype(0);
    QTest::newRow("Content-Length as a list")
        << post(host + "Content-Length: 1, 1\r\n", "x") << 400 << qsizetype(0);
    QTest::newRow("negative Content-Length") << post(host + "Content-Length: -1\r\n") << 400 << qsizetype(0);
    QTest::newRow("Content-Length and chunked")
        << post(host + "Content-Length: 5\r\nTransfer-Encoding: chunked\r\n", "0\r\n\r\n") << 400
        << qsizetype(0);
    QTest::newRow("chunked alone") << post(host + "Transfer-Encoding: chunked\r\n", "0\r\n\r\n") << 400
                                   << qsizetype(0);
    QTest::newRow("blank before the colon") << post(host + "Content-Length : 0\r\n") << 400 << qsizetype(0);
    QTest::newRow("folded header") << post(host + "X-A: a\r\n b\r\n") << 400 << qsizetype(0);
    QTest::newRow("a target that is not ASCII")
        << QByteArray("GET /\xE6\x99\x82 HTTP/1.1\r\n" + host + "\r\n") << 400 << qsizetype(0);
    QTest::newRow("no Host") << post({}) << 400 << qsizetype(0);
    QTest::newRow("two Hosts") << post(host + host) << 400 << qsizetype(0);

    // A bare LF is refused wherever it is in the head, whole or not; past the head it is not ours.
    QTest::newRow("bare LF inside") << post(host + "X-A: a\nContent-Length: 3\r\n") << 400 << qsizetype(0);
    QTest::newRow("bare LFs to end the head")
        << QByteArray("GET / HTTP/1.1\nHost: a\n\n") << 400 << qsizetype(0);
    QTest::newRow("CRLF, then a bare LF")
        << QByteArray("GET / HTTP/1.1\r\nHost: a\r\n\n") << 400 << qsizetype(0);
    QTest::newRow("a bare LF first") << QByteArray("\nGET") << 400 << qsizetype(0);
    QTest::newRow("bare LF in the body")
        << post(host + "Content-Length: 3\r\n", "a\nb") << Request << qsizetype(3);
    QTest::newRow("bare LF in the next head")
        << QByteArray(post(host) + "GET / HTTP/1.1\nHost: a\n\n") << Request << qsizetype(0);

    QTest::newRow("body of 4 KiB") << post(host + "Content-Length: 4096\r\n") << Request << qsizetype(4096);
    QTest::newRow("body of 4 KiB and a byte")
        << post(host + "Content-Length: 4097\r\n") << 413 << qsizetype(0);
    QTest::newRow("head of 16 KiB") << headOfSize(16 * 1024) << Request << qsizetype(0);
    QTest::newRow("head of 16 KiB and a byte") << headOfSize(16 * 1024 + 1) << 431 << qsizetype(0);
    QTest::newRow("unfinished head past 16 KiB")
        << headOfSize(16 * 1024 + 5).chopped(4) << 431 << qsizetype(0);
}

void HttpTest::head()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, status);
    QFETCH(qsizetype, bodyLength);

    const HeadReading reading = readHead(bytes, HttpLimits());
    QCOMPARE(statusOf(reading), status);
    if (status == 400)
        QVERIFY(!reading.reason.isEmpty());
    if (status == Request) {
        QCOMPARE(reading.headLength, bytes.indexOf("\r\n\r\n") + 4);
        QCOMPARE(reading.bodyLength, bodyLength);
    }
}

void HttpTest::pipelined_data()
{
    QTest::addColumn<QByteArrayList>("requests"); // each with its body; their targets differ

    const QByteArray get = "GET /%1 HTTP/1.1\r\nHost: a\r\n\r\n";
    QTest::newRow("two GETs") << QByteArrayList{QByteArray(get).replace("%1", "1"),
                                                QByteArray(get).replace("%1", "2")};
    QTest::newRow("a body, then a GET") << QByteArrayList{
        "POST /1 HTTP/1.1\r\nHost: a\r\nContent-Length: 5\r\n\r\nxxxxx", QByteArray(get).replace("%1", "2")};
    QTest::newRow("a body that looks like a head") << QByteArrayList{
        "POST /1 HTTP/1.1\r\nHost: a\r\nContent-Length: 28\r\n\r\nGET /x HTTP/1.1\r\nHost: a\r\n\r\n",
        QByteArray(get).replace("%1", "2")};
    QTest::newRow("a body with bare LFs, then HTTP/1.0")
        << QByteArrayList{"POST /1 HTTP/1.1\r\nHost: a\r\nContent-Length: 4\r\n\r\n\n\n\n\n",
                          "GET /2 HTTP/1.0\r\n\r\n", QByteArray(get).replace("%1", "3")};
}

// Read as a connection reads: every piece of a request as it arrives, then the next request from
// where this one ended.
void HttpTest::pipelined()
{
    QFETCH(QByteArrayList, requests);
    const QByteArray all = requests.join();
    qsizetype start = 0;
    for (const QByteArray &request : requests) {
        const QByteArray target = request.split(' ').at(1);
        const qsizetype headLength = request.indexOf("\r\n\r\n") + 4;
        for (qsizetype arrived = 0; arrived <= all.size() - start; ++arrived) {
            const HeadReading reading = readHead(QByteArrayView(all).sliced(start, arrived), HttpLimits());
            if (arrived < headLength) {
                QVERIFY2(reading.kind == HeadReading::Kind::Incomplete, qPrintable(target));
                continue;
            }
            QVERIFY2(reading.kind == HeadReading::Kind::Request, qPrintable(target));
            QCOMPARE(reading.request.target, target);
            QCOMPARE(reading.headLength, headLength);
            QCOMPARE(reading.headLength + reading.bodyLength, request.size());
        }
        start += request.size();
    }
    QCOMPARE(start, all.size());
}

void HttpTest::keepsAlive_data()
{
    QTest::addColumn<QByteArray>("version");
    QTest::addColumn<QByteArray>("headers");
    QTest::addColumn<bool>("keepsAlive");
    QTest::addColumn<bool>("upgrade"); // lists("connection", "upgrade")

    QTest::newRow("1.1") << QByteArray("1.1") << QByteArray() << true << false;
    QTest::newRow("1.1, close") << QByteArray("1.1") << QByteArray("Connection: close\r\n") << false << false;
    QTest::newRow("1.1, close listed in any case")
        << QByteArray("1.1") << QByteArray("Connection: Upgrade ,\tCLOSE\r\n") << false << true;
    QTest::newRow("1.1, close in a second header")
        << QByteArray("1.1") << QByteArray("Connection: upgrade\r\nConnection: close\r\n") << false << true;
    QTest::newRow("1.1, a longer token")
        << QByteArray("1.1") << QByteArray("Connection: closed, upgrades\r\n") << true << false;
    QTest::newRow("1.1, in another header")
        << QByteArray("1.1") << QByteArray("X-Connection: close, upgrade\r\n") << true << false;
    QTest::newRow("1.0") << QByteArray("1.0") << QByteArray() << false << false;
    QTest::newRow("1.0, keep-alive") << QByteArray("1.0") << QByteArray("Connection: Keep-Alive\r\n") << true
                                     << false;
    QTest::newRow("1.0, keep-alive and close")
        << QByteArray("1.0") << QByteArray("Connection: keep-alive, close\r\n") << false << false;
}

void HttpTest::keepsAlive()
{
    QFETCH(QByteArray, version);
    QFETCH(QByteArray, headers);
    QFETCH(bool, keepsAlive);
    QFETCH(bool, upgrade);

    const HeadReading reading =
        readHead("GET / HTTP/" + version + "\r\nHost: a\r\n" + headers + "\r\n", HttpLimits());
    QCOMPARE(statusOf(reading), Request);
    QCOMPARE(reading.request.keepsAlive(), keepsAlive);
    QCOMPARE(reading.request.lists("connection", "upgrade"), upgrade);
}

void HttpTest::serialized_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("header"); // "Name: value", or none
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("close");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("200") << 200 << QByteArray("Content-Type: text/plain") << QByteArray("hi") << false
                         << QByteArray(
                                "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 2\r\n\r\nhi");
    QTest::newRow("200, empty") << 200 << QByteArray() << QByteArray() << false
                                << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
    QTest::newRow("204") << 204 << QByteArray() << QByteArray() << false
                         << QByteArray("HTTP/1.1 204 No Content\r\n\r\n");
    QTest::newRow("101") << 101 << QByteArray("Upgrade: websocket") << QByteArray() << false
                         << QByteArray("HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\n\r\n");
    QTest::newRow("431, closing")
        << 431 << QByteArray() << QByteArray("431\n") << true
        << QByteArray("HTTP/1.1 431 Request Header Fields Too Large\r\nContent-Length: 4\r\nConnection: "
                      "close\r\n\r\n431\n");
}

void HttpTest::serialized()
{
    QFETCH(int, status);
    QFETCH(QByteArray, header);
    QFETCH(QByteArray, body);
    QFETCH(bool, close);
    QFETCH(QByteArray, bytes);

    HttpAnswer answer;
    answer.status = status;
    if (const qsizetype colon = header.indexOf(": "); colon > 0)
        answer.headers.append({header.first(colon), header.sliced(colon + 2)});
    answer.body = body;
    answer.close = close;
    QCOMPARE(serialize(answer), bytes);
}

void HttpTest::clientFrame_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("kind"); // ClientFrame::Kind
    QTest::addColumn<qsizetype>("size");
    QTest::addColumn<QByteArray>("payload");

    constexpr auto ping = int(ClientFrame::Kind::Ping), refused = int(ClientFrame::Kind::Refused),
                   incomplete = int(ClientFrame::Kind::Incomplete);
    const QByteArray long125(125, 'p');
    QTest::newRow("ping") << masked('\x89', "hello") << ping << qsizetype(11) << QByteArray("hello");
    QTest::newRow("ping, empty") << masked('\x89', "") << ping << qsizetype(6) << QByteArray();
    QTest::newRow("pong") << masked('\x8A', "abc") << int(ClientFrame::Kind::Pong) << qsizetype(9)
                          << QByteArray("abc");
    QTest::newRow("close") << masked('\x88', "\x03\xE8"
                                             "bye")
                           << int(ClientFrame::Kind::Close) << qsizetype(11)
                           << QByteArray("\x03\xE8"
                                         "bye");
    QTest::newRow("ping of 125 bytes") << masked('\x89', long125) << ping << qsizetype(131) << long125;
    QTest::newRow("ping of 126 bytes") << QByteArray("\x89\xFE\x00\x7E"
                                                     "abcd",
                                                     8) +
                                              QByteArray(126, 'p')
                                       << refused << qsizetype(0) << QByteArray();
    QTest::newRow("ping with a 64-bit length")
        << QByteArray("\x89\xFF", 2) << refused << qsizetype(0) << QByteArray();
    QTest::newRow("unmasked") << QByteArray("\x89\x05hello") << refused << qsizetype(0) << QByteArray();
    // A command on a control socket: a text, whole, of at most 1024 bytes.
    constexpr auto text = int(ClientFrame::Kind::Text);
    const QByteArray command = R"({"command":"start","id":1})";
    QTest::newRow("text") << masked('\x81', command) << text << qsizetype(6 + command.size()) << command;
    const QByteArray longest(1024, 't');
    QTest::newRow("text of 1024 bytes") << masked('\x81', longest) << text << qsizetype(8 + 1024) << longest;
    QTest::newRow("text of 1025 bytes")
        << masked('\x81', longest + 't') << refused << qsizetype(0) << QByteArray();
    QTest::newRow("text with a 64-bit length")
        << QByteArray("\x81\xFF", 2) << refused << qsizetype(0) << QByteArray();
    QTest::newRow("a short text's length in 16 bits")
        << QByteArray("\x81\xFE\x00\x05\x00\x00\x00\x00hello", 13) << refused << qsizetype(0) << QByteArray();
    QTest::newRow("text in pieces") << masked('\x01', "a") << refused << qsizetype(0) << QByteArray();
    QTest::newRow("text's length not whole")
        << QByteArray("\x81\xFE\x04", 3) << incomplete << qsizetype(0) << QByteArray();
    QTest::newRow("binary") << QByteArray("\x82\x85") << refused << qsizetype(0) << QByteArray();
    QTest::newRow("continuation") << QByteArray("\x80\x85") << refused << qsizetype(0) << QByteArray();
    QTest::newRow("reserved control opcode") << masked('\x8B', "") << refused << qsizetype(0) << QByteArray();
    QTest::newRow("not final") << masked('\x09', "a") << refused << qsizetype(0) << QByteArray();
    QTest::newRow("RSV1") << masked('\xC9', "a") << refused << qsizetype(0) << QByteArray();
    QTest::newRow("RSV2") << masked('\xA9', "a") << refused << qsizetype(0) << QByteArray();
    QTest::newRow("RSV3") << masked('\x99', "a") << refused << qsizetype(0) << QByteArray();
    QTest::newRow("nothing") << QByteArray() << incomplete << qsizetype(0) << QByteArray();
    QTest::newRow("one byte") << QByteArray("\x89") << incomplete << qsizetype(0) << QByteArray();
    QTest::newRow("mask not whole") << masked('\x89', "").first(5) << incomplete << qsizetype(0)
                                    << QByteArray();
    QTest::newRow("payload not whole")
        << masked('\x89', "hello").chopped(1) << incomplete << qsizetype(0) << QByteArray();
    QTest::newRow("two frames") << masked('\x89', "a") + masked('\x8A', "bc") << ping << qsizetype(7)
                                << QByteArray("a");
}

void HttpTest::clientFrame()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, kind);
    QFETCH(qsizetype, size);
    QFETCH(QByteArray, payload);

    const ClientFrame frame = readClientFrame(bytes);
    QCOMPARE(int(frame.kind), kind);
    QCOMPARE(frame.size, size);
    QCOMPARE(frame.payload, payload);
}

void HttpTest::routed_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("headers");
    QTest::addColumn<int>("status");

    const QByteArray get = "GET", post = "POST";
    QTest::newRow("view page") << get << QByteArray("/?t=VIEW") << QByteArray() << 200;
    QTest::newRow("view page, control token") << get << QByteArray("/?t=CONTROL") << QByteArray() << 200;
    QTest::newRow("state") << get << QByteArray("/state?t=VIEW") << QByteArray() << 200;
    QTest::newRow("control page") << get << QByteArray("/control?t=CONTROL") << QByteArray() << 200;
    QTest::newRow("no token") << get << QByteArray("/state") << QByteArray() << 403;
    QTest::newRow("wrong token") << get << QByteArray("/?t=AAAAAAAAAAAAAAAAAAAAAA") << QByteArray() << 403;
    QTest::newRow("token one character longer") << get << QByteArray("/?t=VIEWA") << QByteArray() << 403;
    QTest::newRow("token one character shorter")
        << get << QByteArray("/?t=VVVVVVVVVVVVVVVVVVVVV") << QByteArray() << 403;
    QTest::newRow("control page, view token") << get << QByteArray("/control?t=VIEW") << QByteArray() << 403;
    // An event's tokens for this room, besides its own.
    QTest::newRow("event view token") << get << QByteArray("/state?t=ROOMV") << QByteArray() << 200;
    QTest::newRow("event view token, command")
        << post << QByteArray("/control/start?t=ROOMV") << QByteArray() << 403;
    QTest::newRow("event control token, command")
        << post << QByteArray("/control/start?t=ROOMC") << QByteArray() << 204;
    QTest::newRow("event token one digit short")
        << get << QByteArray("/state?t=48ddefab6b2f243175df4d2f2229109") << QByteArray() << 403;
    QTest::newRow("command, view token")
        << post << QByteArray("/control/start?t=VIEW") << QByteArray() << 403;
    QTest::newRow("unknown path") << get << QByteArray("/index.html?t=CONTROL") << QByteArray() << 404;
    QTest::newRow("dot segments") << get << QByteArray("/../etc/passwd?t=CONTROL") << QByteArray() << 404;
    QTest::newRow("encoded dots") << get << QByteArray("/%2e%2e/%2e%2e/etc/passwd?t=CONTROL") << QByteArray()
                                  << 404;
    QTest::newRow("trailing slash") << get << QByteArray("/state/?t=VIEW") << QByteArray() << 404;
    QTest::newRow("unknown command") << post << QByteArray("/control/launch?t=CONTROL") << QByteArray()
                                     << 404;
    QTest::newRow("state by POST") << post << QByteArray("/state?t=VIEW") << QByteArray() << 405;
    QTest::newRow("page by DELETE") << QByteArray("DELETE") << QByteArray("/?t=VIEW") << QByteArray() << 405;
    QTest::newRow("command by GET") << get << QByteArray("/control/reset?t=CONTROL") << QByteArray() << 405;

    // Host: this machine by a name or an address it has, with the server's port.
    QTest::newRow("own host by name")
        << get << QByteArray("/?t=VIEW") << QByteArray("Host: podium.local:8760\r\n") << 200;
    QTest::newRow("localhost") << get << QByteArray("/?t=VIEW") << QByteArray("Host: localhost:8760\r\n")
                               << 200;
    QTest::newRow("loopback IPv6") << get << QByteArray("/?t=VIEW") << QByteArray("Host: [::1]:8760\r\n")
                                   << 200;
    QTest::newRow("foreign name") << get << QByteArray("/?t=VIEW")
                                  << QByteArray("Host: evil.example:8760\r\n") << 421;
    QTest::newRow("another port") << get << QByteArray("/?t=VIEW") << QByteArray("Host: 127.0.0.1:1\r\n")
                                  << 421;
    QTest::newRow("no port") << get << QByteArray("/?t=VIEW") << QByteArray("Host: 127.0.0.1\r\n") << 421;
    QTest::newRow("unclosed bracket")
        << get << QByteArray("/?t=VIEW") << QByteArray("Host: [::1:8760\r\n") << 421;

    // Origin: only the page's own, or none (a tool).
    const QByteArray command = "/control/pause?t=CONTROL";
    QTest::newRow("POST without Origin") << post << command << QByteArray() << 204;
    QTest::newRow("POST from its own page")
        << post << command << QByteArray("Origin: http://192.168.1.23:8760\r\n") << 204;
    QTest::newRow("POST from another site")
        << post << command << QByteArray("Origin: http://evil.example\r\n") << 403;
    QTest::newRow("POST from a sandbox") << post << command << QByteArray("Origin: null\r\n") << 403;
    QTest::newRow("POST over https origin")
        << post << command << QByteArray("Origin: https://192.168.1.23:8760\r\n") << 403;
    QTest::newRow("POST said cross-site")
        << post << command << QByteArray("Sec-Fetch-Site: cross-site\r\n") << 403;

    // The WebSocket: the view token or the control token, an upgrade, version 13, a key.
    QTest::newRow("WebSocket") << get << QByteArray("/ws?t=VIEW") << Upgrade << 101;
    QTest::newRow("WebSocket from its own page")
        << get << QByteArray("/ws?t=CONTROL") << QByteArray("Origin: http://192.168.1.23:8760\r\n" + Upgrade)
        << 101;
    QTest::newRow("WebSocket from another site")
        << get << QByteArray("/ws?t=VIEW") << QByteArray("Origin: http://evil.example\r\n" + Upgrade) << 403;
    QTest::newRow("WebSocket, no token") << get << QByteArray("/ws") << Upgrade << 403;
    QTest::newRow("WebSocket on the page's path") << get << QByteArray("/?t=VIEW") << Upgrade << 404;
    QTest::newRow("WebSocket on the state's path") << get << QByteArray("/state?t=VIEW") << Upgrade << 404;
    QTest::newRow("WebSocket without an upgrade") << get << QByteArray("/ws?t=VIEW") << QByteArray() << 426;
    QTest::newRow("WebSocket version 8")
        << get << QByteArray("/ws?t=VIEW") << QByteArray(Upgrade).replace("Version: 13", "Version: 8") << 426;
    QTest::newRow("WebSocket key too short")
        << get << QByteArray("/ws?t=VIEW") << QByteArray(Upgrade).replace("dGhlIHNhbXBsZSBub25jZQ==", "dGhl")
        << 400;
}

void HttpTest::routed()
{
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, headers);
    QFETCH(int, status);
    const Routed routed = route(request(method, target, headers), routerState());
    QCOMPARE(routed.answer.status, status);
    QCOMPARE(routed.upgrade, status == 101);
    QCOMPARE(routed.command.has_value(), status == 204);
    // A refusal ends its connection: nothing that rides behind it is read.
    QCOMPARE(routed.answer.close, status >= 400 && status != 409);
    if (status == 405)
        QVERIFY(std::any_of(routed.answer.headers.cbegin(), routed.answer.headers.cend(),
                            [](const auto &h) { return h.first == "Allow"; }));
    if (status == 101)
        QVERIFY(serialize(routed.answer).contains("Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n"));
}

void HttpTest::roomsAndOverviews_data()
{
    QTest::addColumn<QByteArray>("server"); // "room" (of an event), "lone room" (of none), "overview"
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("headers");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("command"); // passed on: "name number text room"

    const QByteArray get = "GET", post = "POST", room = "room", lone = "lone room", overview = "overview";
    const QByteArray sixteen = "abcdefghijklmnop";
    const auto add = [](const char *name, const QByteArray &server, const QByteArray &method,
                        const QByteArray &target, int status, const QString &command = {},
                        const QByteArray &headers = {}, const QByteArray &body = {}) {
        QTest::newRow(name) << server << method << target << headers << body << status << command;
    };
    // A room's answer to a challenge: no token needed, only in an event, never on an overview.
    add("challenge", room, get, "/room?n=" + sixteen, 200);
    add("challenge of 64", room, get, "/room?n=Az09_-" + QByteArray(58, 'x'), 200);
    add("challenge of 15", room, get, "/room?n=" + sixteen.chopped(1), 400);
    add("challenge of 65", room, get, "/room?n=" + QByteArray(65, 'x'), 400);
    add("challenge with a dot", room, get, "/room?n=" + sixteen + ".", 400);
    add("no challenge", room, get, "/room?t=VIEW", 400);
    add("challenge by POST", room, post, "/room?n=" + sixteen, 405);
    add("challenge as a WebSocket", room, get, "/room?n=" + sixteen, 404, {}, Upgrade);
    add("challenge from a foreign host", room, get, "/room?n=" + sixteen, 421, {},
        "Host: evil.example:8760\r\n");
    add("challenge, no event", lone, get, "/room?t=VIEW&n=" + sixteen, 404);
    add("challenge, overview", overview, get, "/room?t=VIEW&n=" + sixteen, 404);
    // Neither server answers the other's paths.
    for (const char *path : {"/overview?t=CONTROL", "/overview/control?t=CONTROL",
                             "/overview/state?t=CONTROL", "/overview/control/adjust?t=CONTROL&room=A&by=60"})
        add(path, room, QByteArray(path).contains("/control/") ? post : get, path, 404);
    for (const char *path : {"/?t=CONTROL", "/control?t=CONTROL", "/state?t=CONTROL",
                             "/control/start?t=CONTROL", "/control/adjust?t=CONTROL&room=A&by=60"})
        add(path, overview, QByteArray(path).contains("/control/") ? post : get, path, 404);
    add("/ws on an overview", overview, get, "/ws?t=VIEW", 404, {}, Upgrade);
    add("/overview/ws on a room", room, get, "/overview/ws?t=VIEW", 404, {}, Upgrade);
    // An overview's own: the view token reads, the control token also drives.
    add("overview page", overview, get, "/overview?t=VIEW", 200);
    add("overview page, control token", overview, get, "/overview?t=CONTROL", 200);
    add("overview page, no token", overview, get, "/overview", 403);
    add("overview control page", overview, get, "/overview/control?t=CONTROL", 200);
    add("overview control page, view token", overview, get, "/overview/control?t=VIEW", 403);
    add("overview state", overview, get, "/overview/state?t=VIEW", 200);
    add("overview WebSocket", overview, get, "/overview/ws?t=VIEW", 101, {}, Upgrade);
    add("overview WebSocket, control token", overview, get, "/overview/ws?t=CONTROL", 101, {}, Upgrade);
    add("overview WebSocket on the page's path", overview, get, "/overview?t=VIEW", 404, {}, Upgrade);
    const QByteArray adjust = "/overview/control/adjust?t=CONTROL&by=60&room=";
    add("a room's minute", overview, post, adjust + "A%E4%BC%9A%E5%A0%B4", 204, "adjust 60  A会場");
    add("a room's minute, view token", overview, post, QByteArray(adjust).replace("CONTROL", "VIEW") + "A",
        403);
    add("a room's minute from another site", overview, post, adjust + "A", 403, {},
        "Origin: http://evil.example\r\n");
    add("no room", overview, post, "/overview/control/adjust?t=CONTROL&by=60", 400);
    add("an empty room", overview, post, adjust, 400);
    add("a room of 40", overview, post, adjust + QByteArray(40, 'r'), 204, "adjust 60  " + QString(40, u'r'));
    add("a room of 41", overview, post, adjust + QByteArray(41, 'r'), 400);
    add("a room's eleven minutes", overview, post, QByteArray(adjust).replace("60", "601") + "A", 400);
    add("a room's message", overview, post, "/overview/control/message?t=CONTROL&room=B", 204,
        "message 0 時間です B", {}, QString("時間です").toUtf8());
    add("a room's saved message", overview, post, "/overview/control/message-saved?t=CONTROL&room=B&i=19",
        204, "message-saved 19  B");
    add("start a room", overview, post, "/overview/control/start?t=CONTROL&room=B", 404);
    add("take a room to a talk", overview, post, "/overview/control/goto?t=CONTROL&room=B&n=1", 404);
    add("a room's own command ignores room", room, post, "/control/adjust?t=CONTROL&by=60&room=B", 204,
        "adjust 60  ");
}

// A room tells an overview what it announces and proves it is of the event; an overview's server
// answers its own paths, a room's none, and passes on a few commands, each for a room it names.
void HttpTest::roomsAndOverviews()
{
    QFETCH(QByteArray, server);
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, headers);
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    QFETCH(QString, command);

    RouterState state = routerState();
    if (server == "lone room") {
        state.eventViewToken.clear();
        state.eventControlToken.clear();
        state.eventId.clear();
    }
    state.overview = server == "overview";
    const Routed routed = route(request(method, target, headers, body), state);
    QCOMPARE(routed.answer.status, status);
    QCOMPARE(routed.upgrade, status == 101);
    QCOMPARE(routed.controls, status == 101 && target.contains("CONTROL"));
    QCOMPARE(routed.command.has_value(), status == 204);
    if (routed.command) {
        const RemoteCommand &passed = *routed.command;
        QCOMPARE(QString(remoteCommandName(passed.kind)) + u' ' + QString::number(passed.number) + u' ' +
                     passed.text + u' ' + passed.room,
                 command);
    }
    if (status == 200 && target.startsWith("/room")) {
        // The proof as an overview computes it, from the event's view token for this room.
        const QByteArray challenge =
            QUrlQuery(QString::fromLatin1(target.mid(6))).queryItemValue(QStringLiteral("n")).toLatin1();
        const QByteArray proof = QMessageAuthenticationCode::hash(
                                     "room\n" + challenge, RoomView.toByteArray(), QCryptographicHash::Sha256)
                                     .toHex()
                                     .left(32);
        QCOMPARE(routed.answer.body,
                 R"({"event":"b8f86c97","proof":")" + proof + R"(","room":"A会場","version":1})");
        QVERIFY(serialize(routed.answer).contains("Content-Type: application/json\r\n"));
    }
}

void HttpTest::overviewSocketCommands_data()
{
    QTest::addColumn<bool>("overview");
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QByteArray>("read"); // "name number text room" when taken, else the refusal's reply

    const QByteArray noRoom = R"({"reason":"room is the name of a room","reply":1,"status":400})";
    QTest::newRow("a room's minute")
        << true << QString(R"({"command":"adjust","by":60,"room":"A会場","id":1})").toUtf8()
        << QString("adjust 60  A会場").toUtf8();
    QTest::newRow("no room") << true << QByteArray(R"({"command":"adjust","by":60,"id":1})") << noRoom;
    QTest::newRow("a room by number")
        << true << QByteArray(R"({"command":"adjust","by":60,"room":7,"id":1})") << noRoom;
    QTest::newRow("a room of 40") << true
                                  << R"({"command":"message-saved","i":0,"room":")" + QByteArray(40, 'r') +
                                         R"("})"
                                  << "message-saved 0  " + QByteArray(40, 'r');
    QTest::newRow("a room of 41") << true
                                  << R"({"command":"message","text":"","room":")" + QByteArray(41, 'r') +
                                         R"(","id":1})"
                                  << noRoom;
    QTest::newRow("start a room") << true << QByteArray(R"({"command":"start","room":"A","id":1})")
                                  << QByteArray(R"({"reason":"no such command","reply":1,"status":400})");
    QTest::newRow("a room ignores room")
        << false << QByteArray(R"({"command":"adjust","by":60,"room":7})") << QByteArray("adjust 60  ");
}

// On an overview's control socket a command names its room, as over HTTP.
void HttpTest::overviewSocketCommands()
{
    QFETCH(bool, overview);
    QFETCH(QByteArray, json);
    QFETCH(QByteArray, read);
    const Result<SocketCommand, SocketRefusal> got = socketCommand(json, overview);
    if (got) {
        const RemoteCommand &command = got->command;
        QCOMPARE(QByteArray(remoteCommandName(command.kind).data()) + ' ' +
                     QByteArray::number(command.number) + ' ' + command.text.toUtf8() + ' ' +
                     command.room.toUtf8(),
                 read);
    } else {
        QCOMPARE(socketReply(got.error().id, got.error().verdict), read);
    }
}

// A room in no event takes no event token: an empty one is not a match for an empty secret.
void HttpTest::noEventNoEventToken()
{
    RouterState state = routerState();
    state.eventViewToken.clear();
    state.eventControlToken.clear();
    QCOMPARE(route(request("GET", "/state?t="), state).answer.status, 403);
    QCOMPARE(route(request("GET", "/state?t=VIEW"), state).answer.status, 200);
}

void HttpTest::commands_data()
{
    QTest::addColumn<QByteArray>("target"); // after /control/ and the token
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("command"); // the command passed on, by its name
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("seconds"); // or what other number the command carries

    for (const char *name : {"start", "pause", "restart", "reset", "previous", "next"})
        QTest::newRow(name) << QByteArray(name) << QByteArray() << 204 << name << "" << 0;
    // 80 characters of four bytes each: the most a message can take.
    QString emoji;
    for (int i = 0; i < 80; ++i)
        emoji += QStringLiteral("\U0001F600");
    QTest::newRow("a message") << QByteArray("message") << QString("まとめに入ってください").toUtf8() << 204
                               << "message"
                               << "まとめに入ってください" << 0;
    QTest::newRow("an empty message clears") << QByteArray("message") << QByteArray() << 204 << "message"
                                             << "" << 0;
    QTest::newRow("320 bytes") << QByteArray("message") << emoji.toUtf8() << 204 << "message" << emoji << 0;
    QTest::newRow("321 bytes") << QByteArray("message") << emoji.toUtf8() + 'x' << 413 << ""
                               << "" << 0;
    QTest::newRow("80 characters") << QByteArray("message") << QByteArray(80, 'x') << 204 << "message"
                                   << QString(80, u'x') << 0;
    QTest::newRow("81 characters") << QByteArray("message") << QByteArray(81, 'x') << 400 << ""
                                   << "" << 0;
    QTest::newRow("not UTF-8") << QByteArray("message") << QByteArray("\xff\xfe") << 400 << ""
                               << "" << 0;
    QTest::newRow("a bad byte inside") << QByteArray("message") << QByteArray("ab\xE3\x81z") << 400 << ""
                                       << "" << 0;
    // A decoder that keeps state would wait for the rest of the character and drop what it has.
    for (const char *cut : {"\xE3\x81", "\xF0\x9F\x98", "\xC3"})
        QTest::addRow("cut off at the end: %s", QByteArray(cut).toHex(' ').constData())
            << QByteArray("message") << QByteArray("まとめ") + cut << 400 << ""
            << "" << 0;
    QTest::newRow("a minute more") << QByteArray("adjust&by=60") << QByteArray() << 204 << "adjust"
                                   << "" << 60;
    QTest::newRow("a minute less") << QByteArray("adjust&by=-60") << QByteArray() << 204 << "adjust"
                                   << "" << -60;
    // Any whole number of seconds within ten minutes either way; the page keeps its minute.
    QTest::newRow("half a minute") << QByteArray("adjust&by=30") << QByteArray() << 204 << "adjust"
                                   << "" << 30;
    QTest::newRow("ten minutes more") << QByteArray("adjust&by=600") << QByteArray() << 204 << "adjust"
                                      << "" << 600;
    QTest::newRow("beyond ten minutes") << QByteArray("adjust&by=601") << QByteArray() << 400 << ""
                                        << "" << 0;
    QTest::newRow("ten minutes less") << QByteArray("adjust&by=-600") << QByteArray() << 204 << "adjust"
                                      << "" << -600;
    QTest::newRow("below ten minutes less") << QByteArray("adjust&by=-601") << QByteArray() << 400 << ""
                                            << "" << 0;
    QTest::newRow("not whole") << QByteArray("adjust&by=1.5") << QByteArray() << 400 << ""
                               << "" << 0;
    QTest::newRow("the first talk") << QByteArray("goto&n=1") << QByteArray() << 204 << "goto"
                                    << "" << 1;
    QTest::newRow("the 200th talk") << QByteArray("goto&n=200") << QByteArray() << 204 << "goto"
                                    << "" << 200;
    QTest::newRow("talk 0") << QByteArray("goto&n=0") << QByteArray() << 400 << ""
                            << "" << 0;
    QTest::newRow("talk 201") << QByteArray("goto&n=201") << QByteArray() << 400 << ""
                              << "" << 0;
    QTest::newRow("the 20th saved message")
        << QByteArray("message-saved&i=19") << QByteArray() << 204 << "message-saved"
        << "" << 19;
    QTest::newRow("a 21st saved message") << QByteArray("message-saved&i=20") << QByteArray() << 400 << ""
                                          << "" << 0;
    QTest::newRow("projector on") << QByteArray("projector&on=1") << QByteArray() << 204 << "projector"
                                  << "" << 1;
    QTest::newRow("mask off") << QByteArray("mask&on=0") << QByteArray() << 204 << "mask"
                              << "" << 0;
    QTest::newRow("mask, yes") << QByteArray("mask&on=yes") << QByteArray() << 400 << ""
                               << "" << 0;
    QTest::newRow("no amount") << QByteArray("adjust") << QByteArray() << 400 << ""
                               << "" << 0;
    QTest::newRow("a plus sign spelt out") << QByteArray("adjust&by=%2B60") << QByteArray() << 400 << ""
                                           << "" << 0;
}

// Each command is passed on with what it carries, or refused before the window hears of it.
void HttpTest::commands()
{
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    QFETCH(QString, command);
    QFETCH(QString, text);
    QFETCH(int, seconds);
    const qsizetype amp = target.indexOf('&');
    const QByteArray path = "/control/" + target.left(amp < 0 ? target.size() : amp) + "?t=CONTROL" +
                            (amp < 0 ? QByteArray() : target.mid(amp));
    const Routed routed = route(request("POST", path, {}, body), routerState());
    QCOMPARE(routed.answer.status, status);
    QCOMPARE(routed.command.has_value(), status == 204);
    if (!routed.command)
        return;
    QCOMPARE(remoteCommandName(routed.command->kind), command);
    QCOMPARE(routed.command->text, text);
    QCOMPARE(routed.command->number, seconds);
    // What the window says comes back with the same headers.
    const HttpAnswer refused = commandAnswer(routed.answer, {409, "not while the clock runs"});
    QCOMPARE(refused.status, 409);
    QCOMPARE(refused.body, QByteArray("409 not while the clock runs\n"));
    QCOMPARE(commandAnswer(routed.answer, {503, "late"}).close, true);
}

// Every answer, refusals included, carries the headers that keep the page to itself, and names
// in its policy only a Host known to be this server.
void HttpTest::everyAnswerGuardsThePage()
{
    const RouterState state = routerState();
    const auto hash = [](const char *content) {
        return "'sha256-" + QCryptographicHash::hash(content, QCryptographicHash::Sha256).toBase64() + "'";
    };
    RouterState hashed = state;
    hashed.scriptHash = hash("go()");
    hashed.styleHash = hash("b{}");
    const QList<Routed> answers{route(request("GET", "/?t=VIEW"), hashed),
                                route(request("GET", "/room?n=abcdefghijklmnop"), hashed),
                                route(request("GET", "/nothing"), hashed),
                                route(request("GET", "/?t=VIEW", "Host: evil.example:8760\r\n"), hashed),
                                refuseFraming(400, "malformed request line", hashed)};
    for (const Routed &routed : answers) {
        const QByteArray bytes = serialize(routed.answer);
        for (const char *header : {"Cache-Control: no-store\r\n", "X-Content-Type-Options: nosniff\r\n",
                                   "Referrer-Policy: no-referrer\r\n"})
            QVERIFY2(bytes.contains(header), header);
        const qsizetype at = bytes.indexOf("Content-Security-Policy: ");
        QVERIFY(at > 0);
        const QByteArray policy = bytes.mid(at, bytes.indexOf("\r\n", at) - at);
        for (const QByteArray &part :
             {QByteArray("default-src 'none'"), "script-src " + hash("go()"), "style-src " + hash("b{}"),
              QByteArray("connect-src 'self' ws://192.168.1.23:8760;"), QByteArray("frame-ancestors 'none'"),
              QByteArray("base-uri 'none'"), QByteArray("form-action 'none'")})
            QVERIFY2(policy.contains(part), policy.constData());
        QVERIFY(!policy.contains("evil") && !policy.contains("unsafe-inline"));
    }
}

// The published description of the HTTP API (docs/openapi.yaml) and the router name the same routes,
// each with its method, and every one described is answered.
void HttpTest::apiDescriptionMatchesTheRoutes()
{
    QFile file(QStringLiteral(PODIUMWATCH_SOURCE_DIR "/docs/openapi.yaml"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QList<RouteName> described;
    bool inPaths = false;
    QByteArray path;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (!line.startsWith(' '))
            inPaths = line == "paths:";
        else if (inPaths && line.startsWith("  /") && line.endsWith(':'))
            path = line.trimmed().chopped(1);
        else if (inPaths && line.startsWith("    ") && line[4] != ' ' && line.endsWith(':'))
            described.append({line.trimmed().chopped(1).toUpper(), path});
    }
    const auto sorted = [](QList<RouteName> names) {
        std::sort(names.begin(), names.end(), [](const RouteName &a, const RouteName &b) {
            return a.path + a.method < b.path + b.method;
        });
        return names;
    };
    const auto text = [](const QList<RouteName> &names) {
        QByteArrayList lines;
        for (const RouteName &name : names)
            lines << name.method + ' ' + name.path;
        return lines.join(", ");
    };
    QCOMPARE(text(sorted(described)), text(sorted(routes() + overviewRoutes())));
    for (const RouteName &name : described) {
        RouterState state = routerState();
        state.overview = overviewRoutes().contains(name);
        const Routed routed = route(request(name.method, name.path + "?t=CONTROL",
                                            name.path.endsWith("/ws") ? Upgrade : QByteArray()),
                                    state);
        QVERIFY2(routed.answer.status != 404 && routed.answer.status != 405, name.path.constData());
    }
}

void HttpTest::socketCommands_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QByteArray>("read"); // "name number text" when taken, else the refusal's reply
    QTest::newRow("half a minute") << QByteArray(R"({"command":"adjust","by":30,"id":7})")
                                   << QByteArray("adjust 30 ");
    QTest::newRow("a message, no id")
        << QByteArray(R"({"command":"message","text":"時間です"})") << QString("message 0 時間です").toUtf8();
    QTest::newRow("80 characters") << R"({"command":"message","text":")" + QByteArray(80, 'x') + R"("})"
                                   << "message 0 " + QByteArray(80, 'x');
    QTest::newRow("81 characters")
        << R"({"command":"message","text":")" + QByteArray(81, 'x') + R"(","id":1})"
        << QByteArray(R"({"reason":"a message is at most 80 characters","reply":1,"status":400})");
    QTest::newRow("not whole")
        << QByteArray(R"({"command":"adjust","by":1.5,"id":2})")
        << QByteArray(R"({"reason":"by is a whole number from -600 to 600","reply":2,"status":400})");
    QTest::newRow("a number as text")
        << QByteArray(R"({"command":"goto","n":"3","id":"a"})")
        << QByteArray(R"({"reason":"n is a whole number from 1 to 200","reply":"a","status":400})");
    QTest::newRow("talk 200") << QByteArray(R"({"command":"goto","n":200})") << QByteArray("goto 200 ");
    QTest::newRow("talk 201")
        << QByteArray(R"({"command":"goto","n":201})")
        << QByteArray(R"({"reason":"n is a whole number from 1 to 200","reply":null,"status":400})");
    QTest::newRow("not JSON") << QByteArray("start")
                              << QByteArray(
                                     R"({"reason":"a command is a JSON object","reply":null,"status":400})");
    QTest::newRow("an id of another kind")
        << QByteArray(R"({"command":"start","id":{"a":1}})")
        << QByteArray(
               R"({"reason":"id is a whole number or a string of at most 64 characters","reply":null,"status":400})");
    QTest::newRow("an id of 65 characters")
        << R"({"command":"start","id":")" + QByteArray(65, 'i') + R"("})"
        << QByteArray(
               R"({"reason":"id is a whole number or a string of at most 64 characters","reply":null,"status":400})");
}

// A command sent on a control socket reads as over HTTP, its refusal answered with its id.
void HttpTest::socketCommands()
{
    QFETCH(QByteArray, json);
    QFETCH(QByteArray, read);
    const Result<SocketCommand, SocketRefusal> got = socketCommand(json);
    if (got) {
        const RemoteCommand &command = got->command;
        QCOMPARE(QByteArray(remoteCommandName(command.kind).data()) + ' ' +
                     QByteArray::number(command.number) + ' ' + command.text.toUtf8(),
                 read);
    } else {
        QCOMPARE(socketReply(got.error().id, got.error().verdict), read);
    }
}

QTEST_APPLESS_MAIN(HttpTest)
#include "tst_http.moc"
