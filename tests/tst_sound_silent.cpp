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

QTEST_MAIN(SilentSoundTest)
#include "tst_sound_silent.moc"
