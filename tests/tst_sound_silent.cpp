// With no sound server at all, playing is silent and harmless: no hang, no crash, no error.

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
};

void SilentSoundTest::initTestCase()
{
    // Point the sound library at a server that does not exist, before anything looks for one.
    QTemporaryDir nowhere;
    qputenv("PULSE_SERVER", ("unix:" + nowhere.path() + "/no-such-socket").toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", nowhere.path().toLocal8Bit());
}

void SilentSoundTest::playingWithoutAServer()
{
    int started = 0;
    {
        SoundPlayer player;
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
        QTest::qWait(300);
    }
    QCOMPARE(started, 0);
}

void SilentSoundTest::readingAheadWaitsForTheOutput()
{
    // Reading needs no sound server; it only waits until the output is opened.
    SoundPlayer player;
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

QTEST_MAIN(SilentSoundTest)
#include "tst_sound_silent.moc"
