// Keeping the screen awake while the clock runs: what the main window asks of the platform, and
// what the platform asks of the desktop's screensaver service (a fake one on a private bus).

#include "platform/qtplatform.h"
#include "rig.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QProcess>
#include <QStandardPaths>

namespace {

const QString kFakeConnection = QStringLiteral("fake screensaver");

class FakeScreenSaver : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    QStringList calls;
    uint next = 41;
    bool refuses = false;
    bool answersLate = false; // holds every Inhibit until answerOldest()
    QList<QDBusMessage> held;

    void answerOldest() { QDBusConnection(kFakeConnection).send(held.takeFirst().createReply(++next)); }

public slots:
    uint Inhibit(const QString &application, const QString &reason)
    {
        calls << QStringLiteral("Inhibit %1 (%2)").arg(application, reason);
        if (refuses) {
            sendErrorReply(QDBusError::AccessDenied, QStringLiteral("not now"));
            return 0;
        }
        if (answersLate) {
            setDelayedReply(true);
            held << message();
            return 0;
        }
        return ++next;
    }
    void UnInhibit(uint cookie) { calls << QStringLiteral("UnInhibit %1").arg(cookie); }
};

} // namespace

class DisplayAwakeTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void viewerAsksWhileTheClockRuns();
    void releasedWhenTheProgramEnds();
    void desktopServiceInhibitedAndReleased();
    void desktopAnsweringLate();

private:
    QProcess bus_;
    QString address_;
    FakeScreenSaver saver_;
};

void DisplayAwakeTest::initTestCase()
{
    // A private session bus, set before anything in this process looks for one.
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
        return;
    bus_.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address"});
    if (bus_.waitForStarted(5000) && bus_.waitForReadyRead(5000))
        address_ = QString::fromLocal8Bit(bus_.readLine()).trimmed();
    if (address_.isEmpty())
        return;
    qputenv("DBUS_SESSION_BUS_ADDRESS", address_.toLocal8Bit());
    QDBusConnection fake = QDBusConnection::connectToBus(address_, kFakeConnection);
    QVERIFY(fake.isConnected());
    QVERIFY(fake.registerService(QStringLiteral("org.freedesktop.ScreenSaver")));
    QVERIFY(fake.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), &saver_,
                                QDBusConnection::ExportAllSlots));
}

void DisplayAwakeTest::cleanupTestCase()
{
    bus_.terminate();
    bus_.waitForFinished(3000);
}

void DisplayAwakeTest::init()
{
    saver_.calls.clear();
    saver_.next = 41;
    saver_.refuses = false;
    saver_.answersLate = false;
}

void DisplayAwakeTest::viewerAsksWhileTheClockRuns()
{
    Rig rig;
    rig.button("Cmd_SetTime")->click();
    QVERIFY(rig.platform.awake.isEmpty());
    rig.start();
    rig.start(); // re-anchoring a running clock asks nothing new
    QCOMPARE(rig.platform.awake, QList<bool>{true});
    rig.button("Cmd_Pause")->click();
    QCOMPARE(rig.platform.awake, (QList<bool>{true, false}));
    rig.button("Cmd_Pause")->click();
    rig.start();
    rig.button("Cmd_Reset")->click();
    QCOMPARE(rig.platform.awake, (QList<bool>{true, false, true, false}));
    rig.button("Cmd_Reset_Start")->click();
    rig.button("Cmd_SetTime")->click();
    QCOMPARE(rig.platform.awake, (QList<bool>{true, false, true, false, true, false}));
    // A start refused for a display that is not a time asks nothing.
    rig.label("Lbl_Time")->setText("超過");
    rig.start();
    QCOMPARE(rig.platform.awake.size(), 6);
}

void DisplayAwakeTest::releasedWhenTheProgramEnds()
{
    {
        Rig rig;
        rig.button("Cmd_SetTime")->click();
        rig.start();
        rig.button("Cmd_End")->click();
        QCOMPARE(rig.platform.awake, (QList<bool>{true, false}));
        QCOMPARE(rig.platform.quits, 1);
    }
    {
        Rig rig;
        rig.button("Cmd_SetTime")->click();
        rig.start();
        rig.viewer.show();
        rig.viewer.close();
        QCOMPARE(rig.platform.awake, (QList<bool>{true, false}));
    }
}

void DisplayAwakeTest::desktopServiceInhibitedAndReleased()
{
    if (address_.isEmpty())
        QSKIP("no dbus-daemon to run a private session bus");
    {
        QtPlatform platform;
        platform.keepDisplayAwake(true);
        QTRY_COMPARE_WITH_TIMEOUT(saver_.calls.size(), 1, kPatienceMs);
        QVERIFY(saver_.calls[0].startsWith(QStringLiteral("Inhibit Podium Watch")));
        platform.keepDisplayAwake(false);
        QTRY_COMPARE_WITH_TIMEOUT(
            saver_.calls, (QStringList{saver_.calls[0], QStringLiteral("UnInhibit 42")}), kPatienceMs);

        // Let go again before the desktop has even answered: nothing is left inhibited.
        platform.keepDisplayAwake(true);
        platform.keepDisplayAwake(false);
        QTRY_COMPARE_WITH_TIMEOUT(saver_.calls.size(), 4, kPatienceMs);
        QCOMPARE(saver_.calls[3], QStringLiteral("UnInhibit 43"));

        platform.keepDisplayAwake(true);
        QTRY_COMPARE_WITH_TIMEOUT(saver_.calls.size(), 5, kPatienceMs);
    }
    // The platform going away (the program ending) releases what it held.
    QTRY_COMPARE_WITH_TIMEOUT(saver_.calls.size(), 6, kPatienceMs);
    QCOMPARE(saver_.calls[5], QStringLiteral("UnInhibit 44"));

    // A desktop that refuses is asked again at the clock's next start, not at once and for ever.
    saver_.refuses = true;
    QtPlatform platform;
    platform.keepDisplayAwake(true);
    QTRY_COMPARE_WITH_TIMEOUT(saver_.calls.size(), 7, kPatienceMs);
    QTest::qWait(300); // a loop would have asked again many times by now
    QCOMPARE(saver_.calls.size(), 7);
    platform.keepDisplayAwake(false);
    platform.keepDisplayAwake(true);
    QTRY_COMPARE_WITH_TIMEOUT(saver_.calls.size(), 8, kPatienceMs);
}

void DisplayAwakeTest::desktopAnsweringLate()
{
    if (address_.isEmpty())
        QSKIP("no dbus-daemon to run a private session bus");
    saver_.answersLate = true;
    {
        QtPlatform platform;
        // On, off and on again before the desktop answers: one request, and its lock is kept.
        platform.keepDisplayAwake(true);
        platform.keepDisplayAwake(false);
        platform.keepDisplayAwake(true);
        QTRY_COMPARE_WITH_TIMEOUT(saver_.held.size(), 1, kPatienceMs);
        saver_.answerOldest();
        platform.keepDisplayAwake(false);
        QTRY_COMPARE_WITH_TIMEOUT(saver_.calls.size(), 2, kPatienceMs);
        QCOMPARE(saver_.calls[1], QStringLiteral("UnInhibit 42"));

        platform.keepDisplayAwake(true);
        QTRY_COMPARE_WITH_TIMEOUT(saver_.held.size(), 1, kPatienceMs);
    }
    // Granted only once the platform is gone (the program ending): released all the same.
    saver_.answerOldest();
    QTRY_COMPARE_WITH_TIMEOUT(saver_.calls.size(), 4, kPatienceMs);
    QCOMPARE(saver_.calls[3], QStringLiteral("UnInhibit 43"));
}

QTEST_MAIN(DisplayAwakeTest)
#include "tst_displayawake.moc"
