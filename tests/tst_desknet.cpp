// The production desk's network side of podiumwatch-remote: OSC commands read and bounded, cues and
// the state feed sent, a dead target holding up no other. Everything listens and sends on the
// loopback only.

#include "remote/channel.h"
#include "remote/deskout.h"
#include "remote/osc.h"
#include "remote/oscin.h"
#include "support.h"

#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>
#include <algorithm>
#include <cstring>
#include <lo/lo.h>

namespace {

const QString kServer = QStringLiteral(PODIUMWATCH_BUILD_DIR "/podiumwatch-remote");
const QByteArray kToken = "s3cret-Token";

// An OSC message of any argument types, as a desk would send it.
QByteArray datagram(const char *address, const QVariantList &arguments = {})
{
    lo_message message = lo_message_new();
    for (const QVariant &argument : arguments) {
        switch (argument.typeId()) {
        case QMetaType::Int:
            lo_message_add_int32(message, argument.toInt());
            break;
        case QMetaType::LongLong:
            lo_message_add_int64(message, argument.toLongLong());
            break;
        case QMetaType::Float:
            lo_message_add_float(message, argument.toFloat());
            break;
        case QMetaType::Double:
            lo_message_add_double(message, argument.toDouble());
            break;
        default: // bytes as they are: a string need not be UTF-8
            lo_message_add_string(message, argument.toByteArray().constData());
        }
    }
    size_t size = 0;
    void *bytes = lo_message_serialise(message, address, nullptr, &size);
    const QByteArray serialised(static_cast<const char *>(bytes), static_cast<qsizetype>(size));
    free(bytes);
    lo_message_free(message);
    return serialised;
}

// "ADDRESS i:1 s:text", or what went wrong.
QString described(const Result<RemoteCommand, osc::Loss> &read)
{
    if (!read)
        return osc::lossName(read.error());
    QString line = remoteCommandName(read->kind);
    const CommandArgument::Kind kind = commandEntry(read->kind).argument.kind;
    if (kind != CommandArgument::Kind::None)
        line += QStringLiteral(" %1").arg(
            kind == CommandArgument::Kind::Text ? read->text : QString::number(read->number));
    return line;
}

QString described(QByteArray bytes)
{
    lo_message message = lo_message_deserialise(bytes.data(), static_cast<size_t>(bytes.size()), nullptr);
    if (!message)
        return QStringLiteral("not OSC");
    QString line = QString::fromUtf8(bytes.constData());
    const char *types = lo_message_get_types(message);
    lo_arg **values = lo_message_get_argv(message);
    for (int i = 0; i < lo_message_get_argc(message); ++i) {
        // Copied: liblo's arguments need not be aligned as its union says.
        qint32 number = 0;
        std::memcpy(&number, values[i], sizeof number);
        line += types[i] == 'i'
                    ? QStringLiteral(" i:%1").arg(number)
                    : QStringLiteral(" %1:%2").arg(QString(QChar::fromLatin1(types[i])),
                                                   QString::fromUtf8(reinterpret_cast<char *>(values[i])));
    }
    lo_message_free(message);
    return line;
}

// A desk listening for OSC.
struct OscListener {
    QUdpSocket socket;
    QStringList heard;
    OscListener()
    {
        socket.bind(QHostAddress::LocalHost);
        QObject::connect(&socket, &QUdpSocket::readyRead, [this] {
            while (socket.hasPendingDatagrams())
                heard << described(socket.receiveDatagram().data());
        });
    }
    QString target() const { return QStringLiteral("127.0.0.1:%1").arg(socket.localPort()); }
    QStringList heardUnder(const QString &prefix) const
    {
        return heard.filter(QRegularExpression(QStringLiteral("^") + prefix));
    }
};

// An HTTP target: answers every request 204 at once, or holds them until released.
struct HttpListener {
    QTcpServer server;
    QList<QByteArray> bodies;
    bool answering = true;
    QList<QPointer<QTcpSocket>> held;
    QHash<QTcpSocket *, QByteArray> buffers;

    HttpListener()
    {
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            QTcpSocket *socket = server.nextPendingConnection();
            QObject::connect(socket, &QTcpSocket::readyRead, [this, socket] { read(socket); });
        });
    }
    QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1/cue").arg(server.serverPort())); }
    void read(QTcpSocket *socket)
    {
        QByteArray &buffer = buffers[socket];
        buffer += socket->readAll();
        for (qsizetype end; (end = buffer.indexOf("\r\n\r\n")) >= 0;) {
            qsizetype length = 0;
            for (const QByteArray &line : buffer.left(end).toLower().split('\n'))
                if (line.startsWith("content-length:"))
                    length = line.mid(15).trimmed().toLongLong();
            if (buffer.size() < end + 4 + length)
                return;
            bodies << buffer.mid(end + 4, length);
            buffer.remove(0, end + 4 + length);
            if (answering)
                socket->write("HTTP/1.1 204 No Content\r\n\r\n");
            else
                held << socket;
        }
    }
    void release()
    {
        answering = true;
        for (const QPointer<QTcpSocket> &socket : std::exchange(held, {}))
            if (socket)
                socket->write("HTTP/1.1 204 No Content\r\n\r\n");
    }
};

// podiumwatch-remote as the program runs it, spoken to over its standard input and output.
struct Remote {
    QProcess process;
    channel::Reader reader{channel::kLargestToProgram};
    QList<channel::Message> said;
    QByteArray errors;

    explicit Remote(const DeskSettings &desk)
    {
        QObject::connect(&process, &QProcess::readyReadStandardOutput, [this] {
            reader.append(process.readAllStandardOutput());
            while (const std::optional<channel::Message> message = reader.next())
                said << *message;
        });
        QObject::connect(&process, &QProcess::readyReadStandardError,
                         [this] { errors += process.readAllStandardError(); });
        process.start(kServer, {});
        channel::Configure configure{QStringLiteral("127.0.0.1"), 0, QStringLiteral("view"),
                                     QString::fromLatin1(kToken)};
        configure.http = false;
        configure.desk = desk;
        send(channel::Type::Configure, channel::encode(configure));
    }
    ~Remote()
    {
        process.closeWriteChannel();
        if (!process.waitForFinished(kPatienceMs))
            process.kill();
    }
    void send(channel::Type type, const QByteArray &body) { process.write(channel::message(type, body)); }
    QList<QByteArray> bodies(channel::Type type) const
    {
        QList<QByteArray> found;
        for (const channel::Message &message : said)
            if (message.type == type)
                found << message.body;
        return found;
    }
};

} // namespace

class DeskNetTest : public QObject {
    Q_OBJECT

private slots:
    void readsCommands_data();
    void readsCommands();
    void checksTargets_data();
    void checksTargets();
    void boundsCommands();
    void desksTalkToTheProcess();
    void saysWhereItListens_data();
    void saysWhereItListens();
    void deadTargetHoldsUpNoOther();
    void fullQueueDropsTheOldest();
};

void DeskNetTest::readsCommands_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<bool>("tokenRequired");
    QTest::addColumn<QString>("read");

    for (const CommandEntry &entry : kRemoteCommands) {
        const QByteArray address = "/podiumwatch/" + QByteArray(entry.name.data(), entry.name.size());
        const CommandArgument &argument = entry.argument;
        QVariantList arguments;
        QString read = entry.name;
        if (argument.kind == CommandArgument::Kind::Number) {
            arguments << argument.most;
            read += QStringLiteral(" %1").arg(argument.most);
        } else if (argument.kind == CommandArgument::Kind::Text) {
            arguments << QStringLiteral("時間です");
            read += QStringLiteral(" 時間です");
        }
        QTest::addRow("%s", address.constData()) << datagram(address.constData(), arguments) << false << read;
    }
    const auto row = [](const char *name, const QByteArray &bytes, const QString &read,
                        bool tokenRequired = false) {
        QTest::newRow(name) << bytes << tokenRequired << read;
    };
    const QString argument = QStringLiteral("bad argument");
    row("adjust least", datagram("/podiumwatch/adjust", {-600}), QStringLiteral("adjust -600"));
    row("adjust above", datagram("/podiumwatch/adjust", {601}), argument);
    row("adjust below", datagram("/podiumwatch/adjust", {-601}), argument);
    row("goto 0", datagram("/podiumwatch/goto", {0}), argument);
    row("float", datagram("/podiumwatch/adjust", {30.0f}), QStringLiteral("adjust 30"));
    row("float fraction", datagram("/podiumwatch/adjust", {30.5f}), argument);
    row("double", datagram("/podiumwatch/adjust", {-60.0}), QStringLiteral("adjust -60"));
    row("double huge", datagram("/podiumwatch/adjust", {1e300}), argument);
    row("int64", datagram("/podiumwatch/goto", {3LL}), QStringLiteral("goto 3"));
    row("int64 huge", datagram("/podiumwatch/goto", {(1LL << 32) + 3}), argument);
    row("number as text", datagram("/podiumwatch/adjust", {QStringLiteral("30")}), argument);
    row("message longest", datagram("/podiumwatch/message", {QString(80, u'あ')}),
        QStringLiteral("message ") + QString(80, u'あ'));
    row("message too long", datagram("/podiumwatch/message", {QString(81, u'あ')}), argument);
    row("message empty", datagram("/podiumwatch/message", {QString()}), QStringLiteral("message "));
    row("message not UTF-8", datagram("/podiumwatch/message", {QByteArray("\xff")}), argument);
    row("message missing", datagram("/podiumwatch/message"), argument);
    row("start with an argument", datagram("/podiumwatch/start", {1}), argument);
    row("unknown", datagram("/podiumwatch/jump"), QStringLiteral("unknown address"));
    row("other prefix", datagram("/podium/start"), QStringLiteral("unknown address"));
    row("bundle",
        "#bundle" + QByteArray(9, '\0') + QByteArray("\0\0\0\x18", 4) + datagram("/podiumwatch/start"),
        QStringLiteral("bundle"));
    row("empty", QByteArray(), QStringLiteral("malformed"));
    row("cut short", datagram("/podiumwatch/adjust", {30}).chopped(2), QStringLiteral("malformed"));
    // An address padded to 4092 bytes and ",": exactly the longest datagram read.
    const QByteArray longest = "/podiumwatch/" + QByteArray(4091 - 13, 'x') + '\0' + QByteArray(",\0\0\0", 4);
    row("4096 bytes", longest, QStringLiteral("unknown address"));
    row("4097 bytes", longest + '\0', QStringLiteral("oversize"));

    const QString start = QStringLiteral("start");
    const QString without = QStringLiteral("without the token");
    row("beyond: no token", datagram("/podiumwatch/start"), without, true);
    row("beyond: wrong token", datagram("/podiumwatch/start", {QByteArray("s3cret-Tokem")}), without, true);
    row("beyond: longer token", datagram("/podiumwatch/start", {kToken + 'x'}), without, true);
    row("beyond: token", datagram("/podiumwatch/start", {kToken}), start, true);
    row("beyond: token, message", datagram("/podiumwatch/message", {kToken, QStringLiteral("時間です")}),
        QStringLiteral("message 時間です"), true);
    row("beyond: token second", datagram("/podiumwatch/adjust", {30, kToken}), without, true);
    row("loopback: token", datagram("/podiumwatch/start", {kToken}), start);
    row("loopback: token, message", datagram("/podiumwatch/message", {kToken, QStringLiteral("x")}),
        QStringLiteral("message x"));
    row("loopback: token, no message", datagram("/podiumwatch/message", {kToken}), argument);
}

void DeskNetTest::readsCommands()
{
    QFETCH(QByteArray, datagram);
    QFETCH(bool, tokenRequired);
    QFETCH(QString, read);
    QCOMPARE(described(osc::readCommand(datagram, kToken, tokenRequired)), read);
}

void DeskNetTest::checksTargets_data()
{
    QTest::addColumn<QStringList>("osc");
    QTest::addColumn<QStringList>("urls");
    QTest::addColumn<QString>("refusal"); // empty: taken

    const auto row = [](const char *name, const QString &osc, const QString &url, bool taken) {
        QTest::newRow(name) << QStringList(osc) << QStringList(url)
                            << (taken ? QString() : u'"' + (osc.isEmpty() ? url : osc) + u'"');
    };
    row("IPv4", "127.0.0.1:9000", "http://127.0.0.1:8080/cue", true);
    row("IPv6", "[::1]:65535", "http://[::1]/", true);
    row("name", "desk.local:1", "http://desk.local/cue?x=1", true);
    row("no port", "127.0.0.1", "", false);
    row("port 0", "127.0.0.1:0", "", false);
    row("port 65536", "127.0.0.1:65536", "", false);
    row("IPv6 bare", "::1:9000", "", false);
    row("name in brackets", "[desk]:9000", "", false);
    row("name with a blank", "de sk:9000", "", false);
    row("no host", ":9000", "", false);
    row("ftp", "", "ftp://127.0.0.1/cue", false);
    row("no URL host", "", "http:///cue", false);
    row("not a URL", "", "127.0.0.1:8080", false);
    const auto many = [](int count, const QString &target) { return QStringList(count, target); };
    QTest::newRow("16 targets") << many(8, "127.0.0.1:9000") << many(8, "http://127.0.0.1/") << QString();
    QTest::newRow("17 targets") << many(9, "127.0.0.1:9000") << many(8, "http://127.0.0.1/")
                                << QStringLiteral("more than 16");
}

void DeskNetTest::checksTargets()
{
    QFETCH(QStringList, osc);
    QFETCH(QStringList, urls);
    QFETCH(QString, refusal);
    osc.removeAll(QString());
    urls.removeAll(QString());
    const Result<DeskTargets> targets = deskTargets({{}, {}, osc, urls});
    QCOMPARE(targets.ok(), refusal.isEmpty());
    QVERIFY2(targets.error().contains(refusal), qPrintable(targets.error()));
}

void DeskNetTest::boundsCommands()
{
    using osc::Loss;
    qint64 now = 0;
    OscIn in([&now] { return now; });
    QList<quint64> ids;
    bool answering = false; // each command answered 204 as it comes
    connect(&in, &OscIn::commandRequested, this, [&](const RemoteCommand &, quint64 id) {
        ids << id;
        if (answering)
            in.settle(id, {});
    });
    const Result<quint16> port = in.listen(QStringLiteral("127.0.0.1"), 0, QString::fromLatin1(kToken));
    QVERIFY2(port, qPrintable(port.error()));
    QUdpSocket desk;
    const auto handled = [&] {
        qint64 count = ids.size();
        for (int loss = 0; loss < osc::kLosses; ++loss)
            count += in.lost(static_cast<Loss>(loss));
        return count;
    };
    // A few at a time, each lot read before the next, so that the system's buffer keeps them all.
    const auto send = [&](int count, const QByteArray &bytes = datagram("/podiumwatch/start")) {
        for (int sent = 0; sent < count;) {
            const qint64 before = handled();
            const int lot = std::min(32, count - sent);
            for (int i = 0; i < lot; ++i)
                desk.writeDatagram(bytes, QHostAddress::LocalHost, *port);
            sent += lot;
            if (!QTest::qWaitFor([&] { return handled() >= before + lot; }, kPatienceMs))
                return false;
        }
        return true;
    };

    QVERIFY(send(3, "garbage"));
    QCOMPARE(in.lost(Loss::Malformed), qint64{3});
    // So many waiting at once; the next is dropped.
    QVERIFY(send(remotelimits::kCommandsInFlight + 1));
    QCOMPARE(in.lost(Loss::Waiting), qint64{1});
    QCOMPARE(ids.size(), remotelimits::kCommandsInFlight);
    QVERIFY(std::all_of(ids.cbegin(), ids.cend(), OscIn::ownsId));
    for (const quint64 id : ids)
        in.settle(id, {id == ids.first() ? 409 : 204, "not while the clock runs"});
    QCOMPARE(in.lost(Loss::Refused), qint64{1});
    // So many passed on in a second, answered or not.
    answering = true;
    QVERIFY(send(remotelimits::kOscCommandsPerSecond - remotelimits::kCommandsInFlight + 1));
    QCOMPARE(in.lost(Loss::Second), qint64{1});
    QCOMPARE(ids.size(), remotelimits::kOscCommandsPerSecond);
    // A second for the program's answer, and an answer after it is not counted as one.
    answering = false;
    now = 1000;
    QVERIFY(send(2));
    QCOMPARE(ids.size(), remotelimits::kOscCommandsPerSecond + 2);
    now = 1999;
    in.settle(ids.at(ids.size() - 2), {});
    QCOMPARE(in.lost(Loss::Late), qint64{0});
    now = 2000;
    in.settle(ids.last(), {409, "late"});
    QCOMPARE(in.lost(Loss::Late), qint64{1});
    QCOMPARE(in.lost(Loss::Refused), qint64{1});
}

void DeskNetTest::desksTalkToTheProcess()
{
    OscListener desk;
    HttpListener web;
    DeskSettings settings{0, QStringLiteral("127.0.0.1"), {desk.target()}, {web.url().toString()}};
    Remote remote(settings);
    QTRY_VERIFY_WITH_TIMEOUT(!remote.said.isEmpty(), kPatienceMs);
    const auto listening = channel::decodeListening(remote.said.first().body);
    QVERIFY2(listening, remote.said.first().body.constData());
    QCOMPARE(listening->port, quint16{0});
    QVERIFY(listening->oscPort != 0);

    // A command from the desk reaches the program, under an id of the desk's own.
    QUdpSocket sender;
    sender.writeDatagram(datagram("/podiumwatch/adjust", {30.0}), QHostAddress::LocalHost,
                         listening->oscPort);
    QTRY_COMPARE_WITH_TIMEOUT(remote.bodies(channel::Type::Command).size(), 1, kPatienceMs);
    const auto command = channel::decodeCommand(remote.bodies(channel::Type::Command).first());
    QVERIFY(command && OscIn::ownsId(command->id));
    QCOMPARE(command->command.kind, RemoteCommand::Kind::Adjust);
    QCOMPARE(command->command.number, 30);
    // Its answer is the desk's: a refusal is counted there, and said on a line of its own.
    remote.send(channel::Type::Verdict, channel::encode(channel::Verdict{command->id, {409, "not now"}}));
    QTRY_VERIFY_WITH_TIMEOUT(
        remote.errors.contains("podiumwatch-remote: OSC in: 1 refused (last: 409 not now)\n"), kPatienceMs);

    // Every cue, once and in order, to the desk and to the URL.
    const QList<QByteArray> cues{
        R"({"event":"start","talk":1,"remaining":300,"at":"2026-12-08T14:00:00+09:00"})",
        R"({"event":"bell","bell":1,"talk":1,"remaining":60})",
        R"({"event":"message","text":"時間です","talk":1,"remaining":42})",
        R"({"event":"bell","bell":2,"talk":1,"remaining":0})",
        R"({"event":"overtime","talk":1,"remaining":-1})",
        R"({"event":"reset","talk":1})",
    };
    for (const QByteArray &cue : cues)
        remote.send(channel::Type::Cue, cue);
    const QStringList heard{"/podiumwatch/cue/start i:1 i:300",
                            "/podiumwatch/cue/bell i:1 i:60 i:1",
                            "/podiumwatch/cue/message i:1 i:42 s:時間です",
                            "/podiumwatch/cue/bell i:1 i:0 i:2",
                            "/podiumwatch/cue/overtime i:1 i:-1",
                            "/podiumwatch/cue/reset i:1 i:0"};
    QTRY_COMPARE_WITH_TIMEOUT(web.bodies, cues, kPatienceMs);
    QTRY_COMPARE_WITH_TIMEOUT(desk.heardUnder(QStringLiteral("/podiumwatch/cue/")), heard, kPatienceMs);

    // The feed at a change, then again a second later while the clock runs.
    const QStringList feed{"/podiumwatch/time s:1:05", "/podiumwatch/remaining i:65",
                           "/podiumwatch/phase s:bell1", "/podiumwatch/colours s:#000000 s:#ffff00"};
    remote.send(channel::Type::State, R"({"text":"1:05","remaining":65,"state":"running","bell":1,
                                         "background":"#000000","foreground":"#ffff00"})");
    const QString fed = QStringLiteral("/podiumwatch/(time|remaining|phase|colours) ");
    QTRY_VERIFY_WITH_TIMEOUT(desk.heardUnder(fed).size() >= 2 * feed.size(), kPatienceMs);
    QCOMPARE(desk.heardUnder(fed).first(2 * feed.size()), feed + feed);
    remote.send(channel::Type::State, R"({"text":"-0:03","remaining":-3,"state":"running","bell":3})");
    QTRY_VERIFY_WITH_TIMEOUT(desk.heard.contains(QStringLiteral("/podiumwatch/phase s:overtime")),
                             kPatienceMs);

    // A flood of rubbish (10 000 a second) holds up neither the probe, which goes on through it,
    // nor the next command.
    QElapsedTimer flood;
    flood.start();
    const qsizetype alive = remote.bodies(channel::Type::Alive).size() + 2;
    while (remote.bodies(channel::Type::Alive).size() < alive && flood.elapsed() < kPatienceMs) {
        for (int i = 0; i < 100; ++i)
            sender.writeDatagram("garbage", QHostAddress::LocalHost, listening->oscPort);
        QTest::qWait(10);
    }
    QVERIFY(remote.bodies(channel::Type::Alive).size() >= alive);
    // What the flood left in the system's buffer may drop the first tries.
    for (int tries = 0; tries < kPatienceMs / 200; ++tries) {
        sender.writeDatagram(datagram("/podiumwatch/next"), QHostAddress::LocalHost, listening->oscPort);
        if (QTest::qWaitFor([&] { return remote.bodies(channel::Type::Command).size() > 1; }, 200))
            break;
    }
    const auto next = channel::decodeCommand(remote.bodies(channel::Type::Command).value(1));
    QVERIFY(next && next->command.kind == RemoteCommand::Kind::Next);
    QCOMPARE(remote.process.state(), QProcess::Running);
}

void DeskNetTest::saysWhereItListens_data()
{
    QTest::addColumn<bool>("oscPortTaken");
    QTest::addColumn<QString>("said");
    QTest::newRow("cues alone") << false << QStringLiteral("listening on 0, OSC 0");
    QTest::newRow("OSC port taken") << true << QStringLiteral("failed: OSC port %1 on 127.0.0.1: ");
}

void DeskNetTest::saysWhereItListens()
{
    QFETCH(bool, oscPortTaken);
    QFETCH(QString, said);
    QUdpSocket taken;
    // Shared, as another program may hold it: a socket that shared it too would bind beside it.
    QVERIFY(taken.bind(QHostAddress::LocalHost, 0, QAbstractSocket::ShareAddress));
    Remote remote(oscPortTaken ? DeskSettings{taken.localPort(), QStringLiteral("127.0.0.1"), {}, {}}
                               : DeskSettings{std::nullopt, {}, {}, {QStringLiteral("http://127.0.0.1:9/")}});
    QTRY_VERIFY_WITH_TIMEOUT(!remote.said.isEmpty(), kPatienceMs);
    const channel::Message &first = remote.said.first();
    const auto listening = channel::decodeListening(first.body);
    const auto failure = channel::decodeFailure(first.body);
    const QString read =
        first.type == channel::Type::Listening && listening
            ? QStringLiteral("listening on %1, OSC %2").arg(listening->port).arg(listening->oscPort)
        : first.type == channel::Type::Failed && failure ? QStringLiteral("failed: ") + *failure
                                                         : QString::fromUtf8(first.body);
    QVERIFY2(read.startsWith(said.arg(taken.localPort())), qPrintable(read));
}

void DeskNetTest::deadTargetHoldsUpNoOther()
{
    OscListener desk;
    HttpListener dead, live;
    dead.answering = false;
    DeskOut out;
    out.start(*deskTargets({{}, {}, {desk.target()}, {dead.url().toString(), live.url().toString()}}));
    QElapsedTimer since;
    since.start();
    out.cue(R"({"event":"start"})");
    QTRY_VERIFY_WITH_TIMEOUT(live.bodies.size() == 1 && desk.heard.size() == 1, kPatienceMs);
    QCOMPARE(out.failed(), qint64{0});
    QTRY_COMPARE_WITH_TIMEOUT(out.failed(), qint64{1}, kPatienceMs);
    QVERIFY2(since.elapsed() >= DeskOut::kRequestMs && since.elapsed() < 3 * DeskOut::kRequestMs,
             qPrintable(QString::number(since.elapsed())));
    // Given up, not tried again: the next cue is the next request.
    out.cue(R"({"event":"pause"})");
    QTRY_COMPARE_WITH_TIMEOUT(live.bodies.size(), 2, kPatienceMs);
    QTRY_COMPARE_WITH_TIMEOUT(
        dead.bodies, QList<QByteArray>({R"({"event":"start"})", R"({"event":"pause"})"}), kPatienceMs);
}

void DeskNetTest::fullQueueDropsTheOldest()
{
    HttpListener slow;
    slow.answering = false;
    DeskOut out;
    out.start(*deskTargets({{}, {}, {}, {slow.url().toString()}}));
    const auto settled = [&out] {
        bool answered = false;
        out.probe([&answered] { answered = true; });
        return QTest::qWaitFor([&answered] { return answered; }, kPatienceMs);
    };
    QList<QByteArray> cues;
    for (int i = 1; i <= 1 + DeskOut::kPending + 1; ++i)
        cues << QByteArray::number(i);
    // One in flight and 256 waiting: all kept.
    for (const QByteArray &cue : cues.first(1 + DeskOut::kPending))
        out.cue(R"({"event":"x","n":)" + cue + '}');
    QVERIFY(settled());
    QCOMPARE(out.dropped(), qint64{0});
    out.cue(R"({"event":"x","n":)" + cues.last() + '}');
    QVERIFY(settled());
    QCOMPARE(out.dropped(), qint64{1});
    // The one in flight goes on; the oldest waiting is gone.
    QTRY_COMPARE_WITH_TIMEOUT(slow.bodies.size(), 1, kPatienceMs);
    slow.release();
    cues.removeAt(1);
    QList<QByteArray> sent;
    for (const QByteArray &cue : cues)
        sent << R"({"event":"x","n":)" + cue + '}';
    QTRY_COMPARE_WITH_TIMEOUT(slow.bodies, sent, kPatienceMs);
}

QTEST_MAIN(DeskNetTest)
#include "tst_desknet.moc"
