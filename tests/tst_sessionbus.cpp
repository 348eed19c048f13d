// The session bus knocked on before start-up, and the real program coming up on a bus that takes
// connections and never answers.

#include "platform/sessionbus.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

Q_DECLARE_METATYPE(SessionBusKnock)

class SessionBusTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void knock_data();
    void knock();
    void onlyASilentBusIsSetAside_data();
    void onlyASilentBusIsSetAside();
    void programComesUpOnASilentBus();

private:
    QTemporaryDir dir_;
    int silent_ = -1; // listens, and never reads or writes: a bus that has stopped
    QByteArray silentAddress_;
    QProcess bus_;
    QByteArray busAddress_;
};

void SessionBusTest::initTestCase()
{
    const QByteArray path = QFile::encodeName(dir_.filePath(QStringLiteral("silent")));
    sockaddr_un where{};
    where.sun_family = AF_UNIX;
    qstrncpy(where.sun_path, path.constData(), sizeof where.sun_path);
    silent_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    QVERIFY(::bind(silent_, reinterpret_cast<const sockaddr *>(&where), sizeof where) == 0);
    QVERIFY(::listen(silent_, 8) == 0);
    silentAddress_ = "unix:path=" + path;

    bus_.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address"});
    if (bus_.waitForStarted(30000) && bus_.waitForReadyRead(30000))
        busAddress_ = bus_.readLine().trimmed();
}

void SessionBusTest::cleanupTestCase()
{
    ::close(silent_);
    bus_.terminate();
    bus_.waitForFinished(30000);
}

void SessionBusTest::knock_data()
{
    QTest::addColumn<QByteArray>("address");
    QTest::addColumn<SessionBusKnock>("expected");
    const QByteArray missing = "unix:path=" + QFile::encodeName(dir_.filePath(QStringLiteral("missing")));
    QTest::newRow("silent") << silentAddress_ << SessionBusKnock::Silent;
    QTest::newRow("nobody listening") << missing << SessionBusKnock::Unreachable;
    QTest::newRow("silent, after one nobody listens on")
        << missing + ";" + silentAddress_ << SessionBusKnock::Silent;
    QTest::newRow("not a unix socket")
        << "tcp:host=127.0.0.1,port=9;" + silentAddress_ << SessionBusKnock::NotChecked;
    QTest::newRow("a real bus") << busAddress_ << SessionBusKnock::Answers;
}

void SessionBusTest::knock()
{
    QFETCH(QByteArray, address);
    QFETCH(SessionBusKnock, expected);
    if (address.isEmpty())
        QSKIP("no dbus-daemon to run a bus");
    // A bus that answers does so at once; the long wait only keeps a busy machine from a wrong verdict.
    QCOMPARE(knockOnSessionBus(address, expected == SessionBusKnock::Silent ? 200 : 30000), expected);
}

void SessionBusTest::onlyASilentBusIsSetAside_data()
{
    QTest::addColumn<QByteArray>("address");
    QTest::addColumn<QByteArray>("usedAfter");
    const QByteArray missing = "unix:path=" + QFile::encodeName(dir_.filePath(QStringLiteral("missing")));
    // The D-Bus library gives up on these at once by itself, or knows them better than the knock.
    QTest::newRow("nobody listening") << missing << missing;
    QTest::newRow("not a unix socket")
        << QByteArray("tcp:host=127.0.0.1,port=9") << QByteArray("tcp:host=127.0.0.1,port=9");
    QTest::newRow("silent") << silentAddress_ << QByteArray("disabled:");
}

void SessionBusTest::onlyASilentBusIsSetAside()
{
    QFETCH(QByteArray, address);
    QFETCH(QByteArray, usedAfter);
    const QByteArray before = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    avoidSilentSessionBus();
    const QByteArray used = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("DBUS_SESSION_BUS_ADDRESS", before);
    QCOMPARE(used, usedAfter);
}

void SessionBusTest::programComesUpOnASilentBus()
{
    // On a real display, Qt's accessibility bridge reaches for the session bus at the first text.
    QProcess display;
    display.start(QStringLiteral("Xvfb"),
                  {"-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"});
    if (!display.waitForStarted(30000))
        QSKIP("Xvfb is not installed");
    QVERIFY(display.waitForReadyRead(30000));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), ":" + QString::fromLatin1(display.readLine().trimmed()));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromLocal8Bit(silentAddress_));
    environment.insert(QStringLiteral("PODIUMWATCH_PROBE_FIRST_PAINT"), QStringLiteral("1"));
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(PODIUMWATCH_BUILD_DIR "/podiumwatch"));

    // Without the knock, the window would wait for the bus for ever.
    QByteArray said;
    QTRY_VERIFY_WITH_TIMEOUT((said += program.readAllStandardOutput()).contains("first-paint"), 30000);
    QVERIFY(program.readAllStandardError().contains("does not answer"));
    program.kill();
    program.waitForFinished(30000);
    display.terminate();
    display.waitForFinished(30000);
}

QTEST_MAIN(SessionBusTest)
#include "tst_sessionbus.moc"
