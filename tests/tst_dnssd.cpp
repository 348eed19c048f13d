// Rooms announced and found by DNS-SD: what an announcement must say to be believed and the bounds
// on what a browser follows, without a daemon; then an announcement, the browsers of its event and
// of another, and podiumwatch-remote's own, against a private Avahi daemon on a private system bus
// that sees the loopback interface only (skipped where that cannot be had: not root, no
// avahi-daemon, or a daemon that does not come up).

#include "overview/overviewmodel.h"
#include "overview/overviewprocess.h"
#include "remote/channel.h"
#include "rooms/dnssd.h"
#include "rooms/eventtokens.h"

#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

constexpr int kPatienceMs = 20000;
const QString kServer = QStringLiteral(PODIUMWATCH_BUILD_DIR "/podiumwatch-remote");
const QString kEvent = QStringLiteral("0123abcd");
const QByteArray kNoBus = "unix:path=/nonexistent/podiumwatch-test-bus";

using Txt = QList<QByteArray>;

Txt ours(const QByteArray &room = "A会場", const QByteArray &version = "1",
         const QByteArray &event = "0123abcd")
{
    return {"room=" + room, "v=" + version, "event=" + event};
}

// A daemon started here is ended with this process, however the process ends.
void endWithTheTest(QProcess &process)
{
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

QString findProgram(const QString &name)
{
    const QString found = QStandardPaths::findExecutable(name);
    return found.isEmpty() ? QStandardPaths::findExecutable(name, {"/usr/sbin", "/sbin", "/usr/bin"}) : found;
}

// A system bus and an Avahi daemon of the test's own.
class Daemons {
public:
    ~Daemons() { stop(); }

    // Up, or why not.
    bool ensure()
    {
        if (!tried_) {
            tried_ = true;
            up_ = start();
        }
        return up_;
    }
    QString whyNot() const { return why_; }

    void stop()
    {
        for (QProcess *process : {&avahi_, &bus_}) {
            if (process->state() == QProcess::NotRunning)
                continue;
            process->terminate();
            if (!process->waitForFinished(5000)) {
                process->kill();
                process->waitForFinished(5000);
            }
        }
    }

private:
    bool start()
    {
        if (::geteuid() != 0)
            return refuse("avahi-daemon is run here without dropping root, and this is not root");
        const QString busDaemon = findProgram("dbus-daemon");
        const QString avahiDaemon = findProgram("avahi-daemon");
        if (busDaemon.isEmpty() || avahiDaemon.isEmpty())
            return refuse("dbus-daemon or avahi-daemon is not installed");
        if (!dir_.isValid())
            return refuse("no temporary folder");

        const QString busConfig = dir_.filePath("bus.conf");
        write(busConfig, QStringLiteral("<busconfig><type>system</type><listen>unix:path=%1</listen>"
                                        "<auth>EXTERNAL</auth><policy context=\"default\">"
                                        "<allow user=\"*\"/><allow own=\"*\"/>"
                                        "<allow send_destination=\"*\"/><allow receive_sender=\"*\"/>"
                                        "</policy></busconfig>\n")
                             .arg(dir_.filePath("bus")));
        endWithTheTest(bus_);
        bus_.start(busDaemon, {"--config-file=" + busConfig, "--print-address", "--nofork"});
        QElapsedTimer waited;
        waited.start();
        while (!bus_.canReadLine() && bus_.state() != QProcess::NotRunning && waited.elapsed() < kPatienceMs)
            bus_.waitForReadyRead(200);
        const QByteArray address = bus_.readLine().trimmed();
        if (address.isEmpty())
            return refuse("the private system bus did not come up: " + bus_.readAllStandardError());
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", address);

        // The loopback only: no packet of the test's reaches another machine.
        const QString avahiConfig = dir_.filePath("avahi.conf");
        write(avahiConfig, QStringLiteral("[server]\nhost-name=podiumwatch-test\nuse-ipv4=yes\nuse-ipv6=no\n"
                                          "allow-interfaces=lo\nenable-dbus=yes\n"
                                          "[wide-area]\nenable-wide-area=no\n"
                                          "[publish]\npublish-workstation=no\npublish-hinfo=no\n"
                                          "[reflector]\nenable-reflector=no\n"));
        endWithTheTest(avahi_);
        avahi_.setProcessChannelMode(QProcess::MergedChannels);
        avahi_.start(avahiDaemon, {"--no-drop-root", "--no-chroot", "--no-rlimits", "-f", avahiConfig});
        QByteArray said;
        waited.restart();
        while (!said.contains("Server startup complete") && avahi_.state() != QProcess::NotRunning &&
               waited.elapsed() < kPatienceMs) {
            avahi_.waitForReadyRead(200);
            said += avahi_.readAll();
        }
        if (!said.contains("Server startup complete"))
            return refuse("avahi-daemon did not come up (given 20 s): " + said.right(300));
        return true;
    }

    bool refuse(const QString &why)
    {
        why_ = why;
        stop();
        return false;
    }
    static void write(const QString &path, const QString &text)
    {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(text.toUtf8());
    }

    QTemporaryDir dir_;
    QProcess bus_, avahi_;
    bool tried_ = false, up_ = false;
    QString why_;
};

// podiumwatch-remote as the program runs it for a room of an event.
struct Remote {
    QProcess process;
    channel::Reader reader{channel::kLargestToProgram};
    std::optional<channel::Listening> listening;
    QByteArray errors;

    Remote(const QString &room, const QString &eventId)
    {
        QObject::connect(&process, &QProcess::readyReadStandardOutput, [this] {
            reader.append(process.readAllStandardOutput());
            while (const std::optional<channel::Message> message = reader.next())
                if (const auto said = channel::decodeListening(message->body);
                    message->type == channel::Type::Listening && said)
                    listening = *said;
        });
        QObject::connect(&process, &QProcess::readyReadStandardError,
                         [this] { errors += process.readAllStandardError(); });
        process.start(kServer, {});
        channel::Configure configure{QStringLiteral("127.0.0.1"), 0, QStringLiteral("view"),
                                     QStringLiteral("control")};
        configure.room = room;
        configure.eventId = eventId;
        process.write(channel::message(channel::Type::Configure, channel::encode(configure)));
    }
    ~Remote() { end(); }
    // As when the program goes: its standard input closes.
    void end()
    {
        process.closeWriteChannel();
        if (!process.waitForFinished(kPatienceMs))
            process.kill();
    }
};

#define REQUIRE_DAEMONS()                                                                                    \
    do {                                                                                                     \
        if (!daemons_.ensure())                                                                              \
            QSKIP(qPrintable(daemons_.whyNot()));                                                            \
    } while (false)

} // namespace

class DnssdTest : public QObject {
    Q_OBJECT

private slots:
    void announcementChecks_data()
    {
        QTest::addColumn<QByteArray>("service");
        QTest::addColumn<Txt>("txt");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("room"); // empty: refused
        QTest::addColumn<int>("version");

        const QByteArray forty = QString(40, u'会').toUtf8();
        QTest::newRow("ours") << QByteArray("A会場") << ours() << 4242 << "A会場" << 1;
        QTest::newRow("keys in any case, others passed over")
            << QByteArray("x") << Txt{"ROOM=x", "flag", "=odd", "path=/", "V=2", "Event=0123abcd"} << 1 << "x"
            << 2;
        QTest::newRow("40 characters") << QByteArray("x") << ours(forty) << 1 << QString(40, u'会') << 1;
        QTest::newRow("41 characters") << QByteArray("x") << ours(forty + "a") << 1 << "" << 0;
        QTest::newRow("empty room") << QByteArray("x") << ours("") << 1 << "" << 0;
        QTest::newRow("room without a value")
            << QByteArray("x") << Txt{"room", "v=1", "event=0123abcd"} << 1 << "" << 0;
        QTest::newRow("room twice") << QByteArray("x") << (ours() << "Room=B") << 1 << "" << 0;
        QTest::newRow("no room") << QByteArray("x") << Txt{"v=1", "event=0123abcd"} << 1 << "" << 0;
        QTest::newRow("line break") << QByteArray("x") << ours("a\nb") << 1 << "" << 0;
        QTest::newRow("line separator") << QByteArray("x") << ours("a\u2028b") << 1 << "" << 0;
        QTest::newRow("not UTF-8") << QByteArray("x") << ours("a\xff") << 1 << "" << 0;
        QTest::newRow("an encoded surrogate") << QByteArray("x") << ours("\xed\xa0\x80") << 1 << "" << 0;
        QTest::newRow("event in capitals") << QByteArray("x") << ours("a", "1", "0123ABCD") << 1 << "" << 0;
        QTest::newRow("event of 7 digits") << QByteArray("x") << ours("a", "1", "0123abc") << 1 << "" << 0;
        QTest::newRow("event of 9 digits") << QByteArray("x") << ours("a", "1", "0123abcde") << 1 << "" << 0;
        QTest::newRow("event not hex") << QByteArray("x") << ours("a", "1", "0123abcg") << 1 << "" << 0;
        QTest::newRow("no event") << QByteArray("x") << Txt{"room=a", "v=1"} << 1 << "" << 0;
        QTest::newRow("version 9999") << QByteArray("x") << ours("a", "9999") << 1 << "a" << 9999;
        for (const char *version : {"0", "01", "+1", "1.0", "10000", ""})
            QTest::addRow("version '%s'", version) << QByteArray("x") << ours("a", version) << 1 << "" << 0;
        QTest::newRow("no version") << QByteArray("x") << Txt{"room=a", "event=0123abcd"} << 1 << "" << 0;
        QTest::newRow("port 0") << QByteArray("x") << ours() << 0 << "" << 0;
        QTest::newRow("service not UTF-8") << QByteArray("\xc3") << ours() << 1 << "" << 0;
        QTest::newRow("32 strings") << QByteArray("x") << (ours() + Txt(29, "k=v")) << 1 << "A会場" << 1;
        QTest::newRow("33 strings") << QByteArray("x") << (ours() + Txt(30, "k=v")) << 1 << "" << 0;
        const qsizetype used = ours("a").join().size(); // the filler brings the record to its limit
        QTest::newRow("2048 bytes") << QByteArray("x")
                                    << (ours("a") << QByteArray(dnssd::kMostTxtBytes - used, 'k')) << 1 << "a"
                                    << 1;
        QTest::newRow("2049 bytes") << QByteArray("x")
                                    << (ours("a") << QByteArray(dnssd::kMostTxtBytes - used + 1, 'k')) << 1
                                    << "" << 0;
    }
    void announcementChecks()
    {
        QFETCH(QByteArray, service);
        QFETCH(Txt, txt);
        QFETCH(int, port);
        QFETCH(QString, room);
        QFETCH(int, version);
        const auto read =
            dnssd::checkedAnnouncement(service, txt, QStringLiteral("192.0.2.1"), static_cast<quint16>(port));
        QCOMPARE(read.has_value(), !room.isEmpty());
        if (!read)
            return;
        QCOMPARE(read->service, QString::fromUtf8(service));
        QCOMPARE(read->room, room);
        QCOMPARE(read->version, version);
        QCOMPARE(read->eventId, kEvent);
        QCOMPARE(int{read->port}, port);
    }

    // A DNS label holds 63 bytes: a longer name is cut between characters, never inside one.
    void instanceNameFitsALabel()
    {
        const QString room = u'a' + QString(39, u'会'); // 118 bytes; byte 63 falls inside a character
        const QByteArray name = dnssd::instanceName(room);
        QCOMPARE(name.size(), 61);
        QCOMPARE(dnssd::checkedRoom(name), room.left(21));
        QCOMPARE(dnssd::instanceName(QString(63, u'a')).size(), 63);
    }

    // What a browser follows is bounded at every stage, by the limits it is built with.
    void bookBoundsWaitingAndResolving()
    {
        dnssd::RoomBook book(kEvent, {});
        const dnssd::RoomBook::Place lo{1, 0};
        for (int i = 0; i <= 256; ++i)
            book.seen(QString::number(i), lo);
        QCOMPARE(book.waiting(), 256);
        QCOMPARE(book.counts().overflowed, quint64{1});
        book.seen("0", {2, 0}); // the same service elsewhere takes no place of its own
        QCOMPARE(book.waiting(), 256);
        for (int i = 0; i < 8; ++i)
            QCOMPARE(book.nextToResolve().value().first, QString::number(i));
        QVERIFY(!book.nextToResolve());
        QCOMPARE(book.resolving(), 8);
        book.seen("new", lo); // a place freed in the queue
        QCOMPARE(book.waiting(), 249);
        QCOMPARE(book.gone("0", lo), dnssd::RoomBook::Gone::Nothing); // still seen on interface 2
        QCOMPARE(book.gone("0", {2, 0}), dnssd::RoomBook::Gone::StopResolving);
        book.unresolved("1");
        QCOMPARE(book.counts().unresolved, quint64{1});
        QCOMPARE(book.resolving(), 6);
        QCOMPARE(book.gone("9", lo), dnssd::RoomBook::Gone::Nothing); // waiting: it just leaves
        QCOMPARE(book.waiting(), 248);
        QCOMPARE(book.nextToResolve().value().first, QStringLiteral("8"));
        QCOMPARE(book.nextToResolve().value().first, QStringLiteral("10"));
    }

    // Other events' rooms and malformed ones are passed over before they count against the rooms.
    void bookReportsItsEventsRoomsOnly()
    {
        dnssd::RoomBook book(kEvent, {8, 256, 1});
        const dnssd::RoomBook::Place lo{1, 0};
        for (const char *service : {"other", "junk", "A", "B"}) {
            book.seen(service, lo);
            QVERIFY(book.nextToResolve());
        }
        const auto room = [](const char *service, const char *event) {
            return dnssd::checkedAnnouncement(service, ours(service, "1", event), "127.0.0.1", 1);
        };
        QVERIFY(!book.resolved("other", room("other", "89abcdef")));
        QVERIFY(!book.resolved("junk", std::nullopt));
        QCOMPARE(book.resolved("A", room("A", "0123abcd")).value().room, QStringLiteral("A"));
        QVERIFY(!book.resolved("B", room("B", "0123abcd")));
        QCOMPARE(book.counts().otherEvent, quint64{1});
        QCOMPARE(book.counts().refused, quint64{1});
        QCOMPARE(book.counts().overRooms, quint64{1});
        QCOMPARE(book.gone("A", lo), dnssd::RoomBook::Gone::Lost);
        QCOMPARE(book.rooms(), 0);
        QCOMPARE(book.resolving(), 0);

        // A room its follower would not take gives its place up, and is not reported again.
        for (const char *service : {"fake", "C"})
            book.seen(service, lo);
        QVERIFY(book.nextToResolve());
        QVERIFY(book.resolved("fake", room("fake", "0123abcd")));
        book.release("fake");
        book.seen("fake", {2, 0}); // the same, on another interface
        QCOMPARE(book.nextToResolve().value().first, QStringLiteral("C"));
        QVERIFY(book.resolved("C", room("C", "0123abcd")));
        QVERIFY(!book.nextToResolve());
        QCOMPARE(book.gone("fake", lo), dnssd::RoomBook::Gone::Nothing);
        QCOMPARE(book.gone("fake", {2, 0}), dnssd::RoomBook::Gone::Nothing);
        QCOMPARE(book.counts().released, quint64{1});
    }

    // Without a daemon the room's server serves as it did, and says once why it is not announced.
    void remoteWithoutADaemon()
    {
        const QByteArray bus = qgetenv("DBUS_SYSTEM_BUS_ADDRESS");
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", kNoBus);
        Remote remote(QStringLiteral("A会場"), kEvent);
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", bus);
        QTRY_VERIFY_WITH_TIMEOUT(remote.listening.has_value(), kPatienceMs);
        QTRY_VERIFY_WITH_TIMEOUT(remote.errors.contains("\n"), kPatienceMs);
        QTcpSocket socket;
        socket.connectToHost(QStringLiteral("127.0.0.1"), remote.listening->port);
        QVERIFY(socket.waitForConnected(kPatienceMs));
        socket.write("GET /state?t=view HTTP/1.1\r\nHost: 127.0.0.1:" +
                     QByteArray::number(remote.listening->port) + "\r\n\r\n");
        QTRY_VERIFY_WITH_TIMEOUT(socket.bytesAvailable() > 0, kPatienceMs);
        const QByteArray answer = socket.readAll();
        QVERIFY2(answer.startsWith("HTTP/1.1 200"), answer.constData());
        remote.end();
        QCOMPARE(remote.process.exitCode(), 0);
        QVERIFY2(remote.errors.startsWith("podiumwatch-remote: the room is not announced on the network: "),
                 remote.errors.constData());
        QCOMPARE(remote.errors.count('\n'), 1);
    }

    void foundByItsEventOnlyUntilWithdrawn()
    {
        REQUIRE_DAEMONS();
        RoomBrowser browser(kEvent), other(QStringLiteral("89abcdef"));
        QSignalSpy found(&browser, &RoomBrowser::found), lost(&browser, &RoomBrowser::lost),
            foundByOther(&other, &RoomBrowser::found);
        browser.start();
        other.start();
        RoomAnnouncement announcement;
        QSignalSpy announced(&announcement, &RoomAnnouncement::announced),
            unavailable(&announcement, &RoomAnnouncement::unavailable);
        announcement.announce(QStringLiteral("A会場"), kEvent, 4242);
        QTRY_VERIFY_WITH_TIMEOUT(!found.isEmpty() || !unavailable.isEmpty(), kPatienceMs);
        QVERIFY2(unavailable.isEmpty(), qPrintable(unavailable.value(0).value(0).toString()));
        QCOMPARE(found.size(), 1);
        QCOMPARE(announced.size(), 1);
        const auto room = found.first().first().value<RoomAnnounced>();
        QCOMPARE(room.service, announced.first().first().toString());
        QCOMPARE(room.room, QStringLiteral("A会場"));
        QCOMPARE(room.eventId, kEvent);
        QCOMPARE(room.version, 1);
        QCOMPARE(room.host, QStringLiteral("127.0.0.1"));
        QCOMPARE(room.port, quint16{4242});
        // The other event's browser read it, and passed it over.
        QTRY_VERIFY_WITH_TIMEOUT(other.counts().otherEvent >= 1, kPatienceMs);
        QCOMPARE(foundByOther.size(), 0);

        announcement.withdraw();
        QTRY_COMPARE_WITH_TIMEOUT(lost.size(), 1, kPatienceMs);
        QCOMPARE(lost.first().first().toString(), room.service);
        QCOMPARE(unavailable.size(), 0);
    }

    // Two rooms of one name: the second takes Avahi's next name, and both are found, unless the
    // browser follows one room only; a room whose object goes is withdrawn. (Each test announces
    // rooms of an event of its own: the daemon's cache may still hold another test's for a second.)
    void sameNameTwice()
    {
        REQUIRE_DAEMONS();
        const QString event = QStringLiteral("1111aaaa");
        RoomBrowser browser(event), one(event, 1);
        QSignalSpy found(&browser, &RoomBrowser::found), lost(&browser, &RoomBrowser::lost),
            foundByOne(&one, &RoomBrowser::found);
        browser.start();
        one.start();
        RoomAnnouncement first;
        auto second = std::make_unique<RoomAnnouncement>();
        QSignalSpy announced(second.get(), &RoomAnnouncement::announced);
        first.announce(QStringLiteral("B"), event, 1001);
        QTRY_COMPARE_WITH_TIMEOUT(found.size(), 1, kPatienceMs);
        second->announce(QStringLiteral("B"), event, 1002);
        QTRY_COMPARE_WITH_TIMEOUT(found.size(), 2, kPatienceMs);
        const auto secondRoom = found.at(1).first().value<RoomAnnounced>();
        QCOMPARE(secondRoom.service, QStringLiteral("B #2"));
        QCOMPARE(announced.first().first().toString(), secondRoom.service);
        QCOMPARE(secondRoom.room, QStringLiteral("B"));
        QCOMPARE(secondRoom.port, quint16{1002});
        QTRY_COMPARE_WITH_TIMEOUT(one.counts().overRooms, quint64{1}, kPatienceMs);
        QCOMPARE(foundByOne.size(), 1);

        second.reset();
        QTRY_COMPARE_WITH_TIMEOUT(lost.size(), 1, kPatienceMs);
        QCOMPARE(lost.first().first().toString(), secondRoom.service);
    }

    // The room's server announces where its pages are once it listens, and is gone with the program.
    void remoteAnnouncesItsPages()
    {
        REQUIRE_DAEMONS();
        const QString event = QStringLiteral("2222bbbb");
        RoomBrowser browser(event);
        QSignalSpy found(&browser, &RoomBrowser::found), lost(&browser, &RoomBrowser::lost);
        browser.start();
        Remote remote(QStringLiteral("C会場"), event);
        QTRY_VERIFY_WITH_TIMEOUT(remote.listening.has_value(), kPatienceMs);
        QTRY_COMPARE_WITH_TIMEOUT(found.size(), 1, kPatienceMs);
        const auto room = found.first().first().value<RoomAnnounced>();
        QCOMPARE(room.room, QStringLiteral("C会場"));
        QCOMPARE(room.port, remote.listening->port);
        remote.end();
        QTRY_COMPARE_WITH_TIMEOUT(lost.size(), 1, kPatienceMs);
        QCOMPARE(remote.errors, QByteArray());
    }

    // An overview that knows only the event's key finds the room, follows it, and lets it go when
    // the room goes.
    void overviewFindsTheEventsRooms()
    {
        REQUIRE_DAEMONS();
        QTemporaryDir folder;
        QProcess room;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), folder.path());
        room.setProcessEnvironment(environment);
        room.start(QStringLiteral(PODIUMWATCH_BUILD_DIR "/podiumwatch"),
                   {"--remote=0", "--remote-bind=127.0.0.1", "--room", "D会場", "--event", "found-key"});
        OverviewModel model;
        OverviewProcess overview(QStringLiteral(PODIUMWATCH_BUILD_DIR "/podiumwatch-overview"));
        QObject::connect(&overview, &OverviewProcess::roomChanged, &model, &OverviewModel::apply);
        overviewchannel::Configure configure;
        configure.key = "found-key";
        configure.browse = true;
        overview.start(configure);
        QTRY_COMPARE_WITH_TIMEOUT(model.rooms().size(), 1, kPatienceMs);
        QCOMPARE(model.rooms().constFirst().room, QStringLiteral("D会場"));
        QTRY_VERIFY_WITH_TIMEOUT(model.rooms().constFirst().online, kPatienceMs);
        room.kill();
        room.waitForFinished(kPatienceMs);
        QTRY_COMPARE_WITH_TIMEOUT(model.rooms().size(), 0, kPatienceMs);
    }

    // After the daemons' tests: libdbus reads the system bus's address once a process, so once the
    // daemons are stopped, the address they left leads nowhere too.
    void withoutADaemon()
    {
        daemons_.stop();
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", kNoBus);
        {
            RoomAnnouncement announcement;
            QSignalSpy unavailable(&announcement, &RoomAnnouncement::unavailable);
            announcement.announce(QStringLiteral("A会場"), kEvent, 4242);
            QTRY_COMPARE_WITH_TIMEOUT(unavailable.size(), 1, kPatienceMs);
            QVERIFY(!unavailable.first().first().toString().isEmpty());
            RoomBrowser browser(kEvent);
            QSignalSpy browserUnavailable(&browser, &RoomBrowser::unavailable);
            browser.start();
            QTRY_COMPARE_WITH_TIMEOUT(browserUnavailable.size(), 1, kPatienceMs);
        }
    }

    void cleanupTestCase() { daemons_.stop(); }

private:
    Daemons daemons_;
};

QTEST_GUILESS_MAIN(DnssdTest)
#include "tst_dnssd.moc"
