// The overview of an event's rooms: what it keeps of what rooms send, how it orders them, and the
// whole of it against three real rooms on the loopback and against rooms that are not what they
// claim to be.

#include "overview/overviewmodel.h"
#include "overview/overviewprocess.h"
#include "overview/roomfeed.h"
#include "remote/websocketframes.h"
#include "rooms/eventtokens.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {

const QByteArray kKey = "conference-2026";

// A room: the real program, on the loopback, in an event.
struct Room {
    QString name;
    std::unique_ptr<QProcess> process;
    QUrl base;
    QString controlUrl;
};

bool startRoom(Room &room, const QString &folder, quint16 port = 0)
{
    room.process = std::make_unique<QProcess>();
    room.process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", folder + "/" + room.name);
    room.process->setProcessEnvironment(environment);
    room.process->start(QStringLiteral(PODIUMWATCH_PROGRAM),
                        {QStringLiteral("--remote=%1").arg(port), "--remote-bind=127.0.0.1", "--room",
                         room.name, "--event", QString::fromUtf8(kKey), "--programme",
                         folder + "/talk.json"});
    QByteArray printed;
    QElapsedTimer waited;
    waited.start();
    while (!printed.contains("remote control:") && waited.elapsed() < 30000 &&
           room.process->state() != QProcess::NotRunning) {
        room.process->waitForReadyRead(500);
        printed += room.process->readAllStandardOutput();
    }
    const qsizetype at = printed.indexOf("remote control: ");
    if (at < 0)
        return false;
    room.controlUrl = QString::fromUtf8(printed.mid(at + 16).split('\n').constFirst().trimmed());
    const QUrl control(room.controlUrl);
    room.base = QUrl(QStringLiteral("http://127.0.0.1:%1").arg(control.port()));
    return true;
}

// Waits for a reply as long as a loaded machine may need; what it says is for the caller to check.
void waitFor(QNetworkReply *reply)
{
    QElapsedTimer waited;
    waited.start();
    while (!reply->isFinished() && waited.elapsed() < 10000)
        QTest::qWait(20);
}

// The room's own state, as its pages see it (with its own view token: none of the overview's).
QJsonObject stateOf(QNetworkAccessManager &network, const Room &room, const QString &command = {})
{
    QUrl url(room.controlUrl);
    if (!command.isEmpty()) {
        url.setPath("/control/" + command);
        QNetworkRequest request(url);
        request.setHeader(QNetworkRequest::ContentTypeHeader, "text/plain");
        std::unique_ptr<QNetworkReply> reply(network.post(request, QByteArray()));
        waitFor(reply.get());
    }
    url.setPath("/state");
    std::unique_ptr<QNetworkReply> reply(network.get(QNetworkRequest(url)));
    waitFor(reply.get());
    return QJsonDocument::fromJson(reply->readAll()).object();
}

// A room that is not one: it answers whatever it was told to, and counts who asked.
class FakeRoom : public QTcpServer {
public:
    std::function<QByteArray(const QByteArray &request)> answer;
    int asked = 0;
    int feeds = 0;        // feeds asked for
    int feedsCut = 0;     // connections that were upgraded to a feed, and then closed by the overview
    bool endless = false; // a feed goes on sending one frame for as long as it is read
    qint64 sent = 0;

    FakeRoom()
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    const QByteArray request = socket->peek(8192);
                    if (!request.contains("\r\n\r\n") || socket->property("feed").toBool())
                        return;
                    socket->readAll();
                    ++asked;
                    socket->setProperty("feed", request.contains("GET /ws"));
                    feeds += request.contains("GET /ws") ? 1 : 0;
                    socket->write(answer(request));
                    if (endless && socket->property("feed").toBool())
                        connect(socket, &QTcpSocket::bytesWritten, socket, [this, socket](qint64 written) {
                            sent += written;
                            if (sent < 256 * 1024 * 1024 && socket->bytesToWrite() == 0)
                                socket->write(QByteArray(1024 * 1024, 'x'));
                        });
                });
                connect(socket, &QTcpSocket::disconnected, socket, [this, socket] {
                    feedsCut += socket->property("feed").toBool() ? 1 : 0;
                    socket->deleteLater();
                });
            }
        });
    }
    // Its connections go with it, and say nothing on the way: what they would say is about a room
    // that is no more.
    ~FakeRoom() override
    {
        for (QTcpSocket *socket : findChildren<QTcpSocket *>())
            socket->disconnect();
    }
    QString address() const { return QStringLiteral("http://127.0.0.1:%1").arg(serverPort()); }
};

QByteArray httpAnswer(const QByteArray &body)
{
    return "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

// The room's answer to a challenge, right or not.
QByteArray roomAnswer(const QByteArray &request, const QString &room, bool right)
{
    const QByteArray target = request.split(' ').value(1);
    const QByteArray challenge = target.mid(target.indexOf("n=") + 2);
    const QString proof =
        right ? roomProof(eventTokens(kKey, room).view.toLatin1(), challenge) : QString(32, QLatin1Char('0'));
    return httpAnswer(
        QJsonDocument(QJsonObject{{"room", room}, {"event", eventId(kKey)}, {"version", 1}, {"proof", proof}})
            .toJson(QJsonDocument::Compact));
}

QByteArray webSocketUpgrade(const QByteArray &request)
{
    const qsizetype at = request.toLower().indexOf("sec-websocket-key: ");
    const QByteArray key = request.mid(at + 19, request.indexOf("\r\n", at) - at - 19);
    return "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: "
           "Upgrade\r\nSec-WebSocket-Accept: " +
           webSocketAccept(key) + "\r\n\r\n";
}

} // namespace

class OverviewTest : public QObject {
    Q_OBJECT
private slots:
    void aRoomStateKeepsWhatATileShows_data();
    void aRoomStateKeepsWhatATileShows();
    void roomAddresses_data();
    void roomAddresses();
    void lateRoomsFirstOfflineLast();
    void threeRealRooms();
    void roomsThatAreNotRoomsAreNeverShown();
};

void OverviewTest::aRoomStateKeepsWhatATileShows_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("kept"); // the kept state, compact; empty: refused
    QTest::newRow("a room's state")
        << QByteArray(R"({"text":"12:34","background":"#FF0000","foreground":"#ffffff","state":"running",
                          "stateText":"計時中","remaining":754,"talk":{"title":"T","speaker":"S","number":2,"count":5,
                          "affiliation":"x"},"message":"M","messages":["a","b"],"session":{"behindSeconds":180},
                          "clock":"10:00","room":"A"})")
        << R"({"background":"#ff0000","foreground":"#ffffff","message":"M","messages":["a","b"],"remaining":754,"room":"A","session":{"behindSeconds":180},"state":"running","stateText":"計時中","talk":{"count":5,"number":2,"speaker":"S","title":"T"},"text":"12:34"})";
    QTest::newRow("wrong types left out")
        << QByteArray(
               R"({"text":5,"background":"red","remaining":1.5,"talk":[],"messages":"m","session":{"behindSeconds":"9"}})")
        << R"({"messages":[],"session":{}})";
    QTest::newRow("long text cut") << QByteArray(R"({"message":")" + QByteArray(300, 'x') + R"("})")
                                   << R"({"message":")" + QString(200, 'x') + R"(","messages":[]})";
    QTest::newRow("sixteen saved messages kept")
        << QByteArray(R"({"messages":[)" + QByteArray("\"m\",").repeated(17) + R"("m"]})")
        << R"({"messages":[)" + QString("\"m\",").repeated(15) + R"("m"]})";
    QTest::newRow("not an object") << QByteArray("[1,2]") << QString();
    QTest::newRow("not JSON") << QByteArray("{\"text\":") << QString();
    QTest::newRow("larger than a room's")
        << QByteArray(R"({"text":")" + QByteArray(64 * 1024, 'x') + R"("})") << QString();
}

void OverviewTest::aRoomStateKeepsWhatATileShows()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, kept);
    const Result<QJsonObject> state = roomfeed::roomState(json);
    QCOMPARE(bool(state), !kept.isEmpty());
    if (state)
        QCOMPARE(QString::fromUtf8(QJsonDocument(*state).toJson(QJsonDocument::Compact)), kept);
}

void OverviewTest::roomAddresses_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("base"); // empty: refused
    QTest::addColumn<QString>("token");
    QTest::newRow("address") << "http://10.0.0.21:8760"
                             << "http://10.0.0.21:8760"
                             << "";
    QTest::newRow("with slash") << "http://10.0.0.21:8760/"
                                << "http://10.0.0.21:8760"
                                << "";
    QTest::newRow("own view address") << "http://[::1]:8760/?t=abc"
                                      << "http://[::1]:8760"
                                      << "abc";
    QTest::newRow("no port") << "http://10.0.0.21"
                             << ""
                             << "";
    QTest::newRow("https") << "https://10.0.0.21:8760"
                           << ""
                           << "";
    QTest::newRow("a path") << "http://10.0.0.21:8760/control"
                            << ""
                            << "";
    QTest::newRow("user") << "http://u@10.0.0.21:8760"
                          << ""
                          << "";
    QTest::newRow("not a URL") << "10.0.0.21:8760"
                               << ""
                               << "";
}

void OverviewTest::roomAddresses()
{
    QFETCH(QString, text);
    QFETCH(QString, base);
    QFETCH(QString, token);
    const auto address = roomfeed::roomAddress(text);
    QCOMPARE(bool(address), !base.isEmpty());
    if (address) {
        QCOMPARE(address->base.toString(), base);
        QCOMPARE(address->token, token);
    }
    // A file of them: comments and blanks left out; one bad line refuses the file, saying which.
    const QByteArray file = "# rooms\n\n" + text.toUtf8() + "\n";
    const auto listed = roomfeed::roomAddresses(file);
    QCOMPARE(bool(listed), !base.isEmpty());
    if (!listed)
        QVERIFY(listed.error().contains(text));
    QVERIFY(!roomfeed::roomAddresses(QByteArray("http://h:1\n").repeated(roomfeed::kMostRooms + 1)));
    QVERIFY(roomfeed::roomAddresses(QByteArray("http://h:1\n").repeated(roomfeed::kMostRooms)));
}

void OverviewTest::lateRoomsFirstOfflineLast()
{
    OverviewModel model;
    const auto room = [](const char *name, bool online, QJsonObject state) {
        return overviewchannel::RoomChange{name, QString::fromUtf8(name), online, false, state};
    };
    model.apply(room("C", true, {{"session", QJsonObject{{"behindSeconds", 120}}}}));
    model.apply(room("A", true, {{"remaining", -30}}));   // over-time, no programme
    model.apply(room("D", false, {{"remaining", -900}})); // offline, however late it was
    model.apply(room("B", true, {{"session", QJsonObject{{"behindSeconds", -60}}}}));
    model.apply(room("E", true, {{"remaining", 100}}));
    const auto names = [&model] {
        QStringList listed;
        for (const auto &shown : model.rooms())
            listed << shown.room;
        return listed;
    };
    QCOMPARE(names(), QStringList({"A", "B", "C", "D", "E"}));
    model.setOrder(OverviewModel::Order::Lateness);
    QCOMPARE(names(), QStringList({"C", "A", "E", "B", "D"}));
    QCOMPARE(model.offlineCount(), 1);
    model.apply({"C", {}, false, true, {}});
    QCOMPARE(names(), QStringList({"A", "E", "B", "D"}));
}

void OverviewTest::threeRealRooms()
{
    QTemporaryDir folder;
    QFile talk(folder.filePath("talk.json"));
    QVERIFY(talk.open(QIODevice::WriteOnly));
    talk.write(R"({"format": "podiumwatch-programme", "version": 1,
                   "talks": [{"title": "基調講演", "speaker": "山田", "time": "0:03"}, {"title": "二", "time": "5:00"}]})");
    talk.close();
    QFile named(folder.filePath("room.json"));
    QVERIFY(named.open(QIODevice::WriteOnly));
    named.write(
        R"({"format": "podiumwatch-programme", "version": 1, "room": "C会場", "talks": [{"time": "5:00"}]})");
    named.close();
    std::array<Room, 3> rooms{Room{"A会場", {}, {}, {}}, Room{"B会場", {}, {}, {}},
                              Room{"C会場", {}, {}, {}}};
    for (Room &room : rooms)
        QVERIFY2(startRoom(room, folder.path()), qPrintable(room.name));

    OverviewModel model;
    OverviewProcess overview(QStringLiteral(PODIUMWATCH_BUILD_DIR "/podiumwatch-overview"));
    connect(&overview, &OverviewProcess::roomChanged, &model, &OverviewModel::apply);
    overviewchannel::Configure configure;
    configure.key = kKey;
    for (const Room &room : rooms)
        configure.addresses << room.base.toString();
    overview.start(configure);
    const auto shown = [&model](const QString &name) {
        for (const auto &room : model.rooms())
            if (room.room == name)
                return room;
        return overviewchannel::RoomChange{};
    };
    QTRY_COMPARE_WITH_TIMEOUT(model.rooms().size(), 3, 20000);
    for (const Room &room : rooms)
        QTRY_VERIFY_WITH_TIMEOUT(shown(room.name).online, 10000);
    QCOMPARE(shown("A会場").state.value("talk").toObject().value("title").toString(), QString("基調講演"));

    // Started in its own room, it runs into over-time: the overview says so in the room's words and colours.
    QNetworkAccessManager network;
    stateOf(network, rooms[0], "start");
    QTRY_COMPARE_WITH_TIMEOUT(shown("A会場").state.value("stateText").toString(), QString("超過中"), 15000);
    const QJsonObject own = stateOf(network, rooms[0]);
    QTRY_COMPARE_WITH_TIMEOUT(shown("A会場").state.value("background").toString(),
                              own.value("background").toString(), 5000);
    QCOMPARE(shown("A会場").state.value("foreground").toString(), own.value("foreground").toString());

    // A message from the overview is on that room's screens, and only there.
    std::optional<CommandVerdict> verdict;
    overview.act({RemoteCommand::Kind::Message, "あと1分です", 0, "B会場"},
                 [&verdict](const CommandVerdict &answered) { verdict = answered; });
    QTRY_VERIFY_WITH_TIMEOUT(verdict.has_value(), 10000);
    QCOMPARE(verdict->status, 204);
    QTRY_COMPARE_WITH_TIMEOUT(shown("B会場").state.value("message").toString(), QString("あと1分です"), 5000);
    QCOMPARE(stateOf(network, rooms[1]).value("message").toString(), QString("あと1分です"));
    QVERIFY(stateOf(network, rooms[2]).value("message").isNull());
    // A minute more, and a command the overview does not pass on.
    verdict.reset();
    overview.act({RemoteCommand::Kind::Adjust, {}, 60, "A会場"},
                 [&verdict](const CommandVerdict &v) { verdict = v; });
    QTRY_VERIFY_WITH_TIMEOUT(verdict.has_value(), 10000);
    QCOMPARE(verdict->status, 204);
    QTRY_VERIFY_WITH_TIMEOUT(shown("A会場").state.value("remaining").toInt() > 0, 5000);
    verdict.reset();
    overview.act({RemoteCommand::Kind::Pause, {}, 0, "A会場"},
                 [&verdict](const CommandVerdict &v) { verdict = v; });
    QTRY_VERIFY_WITH_TIMEOUT(verdict.has_value(), 10000);
    QCOMPARE(verdict->status, 403);

    // A room that goes is offline, and comes back by itself when it is started again.
    const quint16 port = static_cast<quint16>(rooms[2].base.port());
    rooms[2].process->kill();
    rooms[2].process->waitForFinished(10000);
    QTRY_VERIFY_WITH_TIMEOUT(!shown("C会場").online, 10000);
    QVERIFY(shown("B会場").online);
    QVERIFY(startRoom(rooms[2], folder.path(), port));
    QTRY_VERIFY_WITH_TIMEOUT(shown("C会場").online, 15000);
    for (Room &room : rooms) {
        room.process->kill();
        room.process->waitForFinished(10000);
    }
}

void OverviewTest::roomsThatAreNotRoomsAreNeverShown()
{
    // One that claims a room of the event without its proof; one with the proof whose feed says
    // rubbish; one whose feed never ends a frame; one that never answers. None is shown, and a well-behaved
    // one beside them is.
    FakeRoom noProof, rubbish, endless, silent, fine;
    silent.answer = [](const QByteArray &) { return QByteArray(); }; // takes the request, and never answers
    noProof.answer = [](const QByteArray &request) {
        return request.startsWith("GET /room") ? roomAnswer(request, "X会場", false)
                                               : webSocketUpgrade(request) + textFrame(R"({"text":"05:00"})");
    };
    rubbish.answer = [](const QByteArray &request) {
        return request.startsWith("GET /room") ? roomAnswer(request, "Y会場", true)
                                               : webSocketUpgrade(request) + textFrame("{\"text\": 1");
    };
    endless.answer = [](const QByteArray &request) {
        if (request.startsWith("GET /room"))
            return roomAnswer(request, "Z会場", true);
        // A frame that says it is 1 GiB long, and goes on.
        return webSocketUpgrade(request) + QByteArray("\x81\x7f\x00\x00\x00\x00\x40\x00\x00\x00", 10) +
               QByteArray(4096, 'x');
    };
    endless.endless = true;
    fine.answer = [](const QByteArray &request) {
        return request.startsWith("GET /room") ? roomAnswer(request, "W会場", true)
                                               : webSocketUpgrade(request) + textFrame(R"({"text":"05:00"})");
    };
    OverviewModel model;
    OverviewProcess overview(QStringLiteral(PODIUMWATCH_BUILD_DIR "/podiumwatch-overview"));
    connect(&overview, &OverviewProcess::roomChanged, &model, &OverviewModel::apply);
    overviewchannel::Configure configure;
    configure.key = kKey;
    configure.addresses = {noProof.address(), rubbish.address(), endless.address(), silent.address(),
                           fine.address()};
    overview.start(configure);
    QTRY_COMPARE_WITH_TIMEOUT(model.rooms().size(), 1, 20000);
    QCOMPARE(model.rooms().constFirst().room, QString("W会場"));
    // Each of the others has been asked, and its feed (where it got one) cut off.
    QTRY_VERIFY_WITH_TIMEOUT(noProof.asked >= 1 && rubbish.asked >= 2 && endless.asked >= 2, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(rubbish.feedsCut >= 1 && endless.feedsCut >= 1, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(silent.asked >= 2, 15000); // given up on, and asked again
    QCOMPARE(model.rooms().size(), 1);
    QCOMPARE(noProof.feeds, 0); // not even followed
    // Cut off when the frame said how long it would be, not once the overview had read its fill.
    QVERIFY2(endless.sent < 16 * 1024 * 1024, qPrintable(QString::number(endless.sent)));
}

QTEST_MAIN(OverviewTest)
#include "tst_overview.moc"
