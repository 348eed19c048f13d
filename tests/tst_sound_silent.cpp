// With no sound server at all, playing is silent and harmless: no hang, no crash, no error; and the
// player says that nothing can be heard.

#include "platform/qtplatform.h"
#include "platform/soundplayer.h"

#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class SilentSoundTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void playingWithoutAServer();
    void readingAheadWaitsForTheOutput();
    void theWindowIsTold();

private:
    QTemporaryDir nowhere_;
};

void SilentSoundTest::initTestCase()
{
    // Point the sound library at a server that does not exist, before anything looks for one.
    qputenv("PULSE_SERVER", ("unix:" + nowhere_.path() + "/no-such-socket").toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", nowhere_.path().toLocal8Bit());
}

void SilentSoundTest::playingWithoutAServer()
{
    int started = 0;
    {
        SoundPlayer player(QStringLiteral(PODIUMWATCH_BUILD_DIR "/podiumwatch-sound"));
        connect(&player, &SoundPlayer::started, this, [&] { ++started; });
        for (const QString &name : {QStringLiteral(PODIUMWATCH_BUILD_DIR "/DATA/Sound/QOR_Sound01.wav"),
                                    QString(), QStringLiteral("/no/such/file.wav")}) {
            player.play(name);
            player.preload(name);
        }
        // The event loop keeps running while the requests are served.
        bool ticked = false;
        QTimer::singleShot(300, this, [&] { ticked = true; });
        QTRY_VERIFY(ticked);
        QTRY_VERIFY_WITH_TIMEOUT(!player.available(), 30000);
    }
    QCOMPARE(started, 0);
}

void SilentSoundTest::readingAheadWaitsForTheOutput()
{
    // Reading needs no sound server; it only waits until the output is opened.
    SoundPlayer player(QStringLiteral(PODIUMWATCH_BUILD_DIR "/podiumwatch-sound"));
    QStringList read;
    connect(&player, &SoundPlayer::readAhead, this, [&](const QString &name) { read << name; });
    const QString chime = QStringLiteral(PODIUMWATCH_BUILD_DIR "/DATA/Sound/QOR_Sound02.wav");
    player.preload(chime);
    player.preload(QStringLiteral("/no/such/file.wav"));
    QTest::qWait(200);
    QVERIFY(read.isEmpty());
    player.openOutput();
    QTRY_COMPARE(read, QStringList{chime});
    player.openOutput();   // a second time changes nothing
    player.preload(chime); // already read
    QTest::qWait(100);
    QCOMPARE(read, QStringList{chime});
}

void SilentSoundTest::theWindowIsTold()
{
    QtPlatform platform(QtPlatform::systemClocks(), QStringLiteral(PODIUMWATCH_BUILD_DIR "/podiumwatch-sound"));
    QList<bool> told;
    platform.watchSoundOutput([&](bool available) { told << available; });
    // Nothing is known before the sound process has had its chance: no warning at every start.
    QCOMPARE(told, QList<bool>{true});
    platform.openSoundOutput();
    QTRY_COMPARE_WITH_TIMEOUT(told, (QList<bool>{true, false}), 30000);
}

QTEST_MAIN(SilentSoundTest)
#include "tst_sound_silent.moc"
