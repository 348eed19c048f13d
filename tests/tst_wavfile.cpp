// Reading sound files: the encodings that play, and every kind of file that must fall back to the
// default bell instead.

#include "platform/wavfile.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

QByteArray le16(int v)
{
    QByteArray b(2, '\0');
    qToLittleEndian(static_cast<quint16>(v), b.data());
    return b;
}

QByteArray le32(quint32 v)
{
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray chunk(const char *id, const QByteArray &body)
{
    QByteArray c = QByteArray(id, 4) + le32(static_cast<quint32>(body.size())) + body;
    if (body.size() % 2)
        c += '\0';
    return c;
}

QByteArray fmt(int format, int channels, int rate, int bits)
{
    const int align = channels * bits / 8;
    return chunk("fmt ", le16(format) + le16(channels) + le32(static_cast<quint32>(rate)) +
                             le32(static_cast<quint32>(rate * align)) + le16(align) + le16(bits));
}

QByteArray riff(const QByteArray &chunks)
{
    return "RIFF" + le32(static_cast<quint32>(4 + chunks.size())) + "WAVE" + chunks;
}

qint16 sampleAt(const PcmSound &sound, int i)
{
    return qFromLittleEndian<qint16>(sound.samples.constData() + i * 2);
}

} // namespace

class WavFileTest : public QObject {
    Q_OBJECT

private slots:
    void encodings_data();
    void encodings();
    void refused_data();
    void refused();
    void truncatedDataPlaysWhatIsThere();
    void tailOfSilence();
    void filesThatAreNotSounds();
    void readingTakesWhatTheFileHolds();
};

void WavFileTest::encodings_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("first");  // first sample, converted
    QTest::addColumn<int>("second"); // second sample, converted
    QTest::newRow("8-bit unsigned") << riff(fmt(1, 1, 8000, 8) + chunk("data", QByteArray("\x00\xff", 2)))
                                    << 1 << -32768 << 32512;
    QTest::newRow("16-bit") << riff(fmt(1, 2, 44100, 16) + chunk("data", le16(1234) + le16(0x8000))) << 2
                            << 1234 << -32768;
    QTest::newRow("24-bit keeps the top bits")
        << riff(fmt(1, 1, 48000, 24) + chunk("data", QByteArray("\x11\x34\x12\x00\x00\x80", 6))) << 1
        << 0x1234 << -32768;
    QTest::newRow("32-bit") << riff(fmt(1, 1, 48000, 32) + chunk("data", le32(0x7fff0000) + le32(0x80000000)))
                            << 1 << 32767 << -32768;
    QByteArray floats(8, '\0');
    qToLittleEndian(0.5f, floats.data());
    qToLittleEndian(-2.0f, floats.data() + 4);
    QTest::newRow("float, clipped") << riff(fmt(3, 1, 44100, 32) + chunk("data", floats)) << 1 << 16384
                                    << -32767;
    QByteArray extensible = le16(0xFFFE) + le16(1) + le32(44100) + le32(88200) + le16(2) + le16(16) +
                            le16(22) + le16(16) + le32(4) + le16(1) + QByteArray(14, '\x01');
    QTest::newRow("extensible PCM") << riff(chunk("fmt ", extensible) + chunk("data", le16(7) + le16(-7)))
                                    << 1 << 7 << -7;
    QTest::newRow("other chunks first, odd-sized")
        << riff(chunk("LIST", QByteArray("abc")) + fmt(1, 1, 22050, 16) + chunk("data", le16(5) + le16(6)))
        << 1 << 5 << 6;
}

void WavFileTest::encodings()
{
    QFETCH(QByteArray, file);
    QFETCH(int, channels);
    QFETCH(int, first);
    QFETCH(int, second);
    const std::optional<PcmSound> sound = decodeWav(file);
    QVERIFY(sound);
    QCOMPARE(sound->channels, channels);
    QCOMPARE(sound->samples.size(), 4);
    QCOMPARE(int{sampleAt(*sound, 0)}, first);
    QCOMPARE(int{sampleAt(*sound, 1)}, second);
}

void WavFileTest::refused_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("text") << QByteArray("this is not a sound file at all, only text\n");
    QTest::newRow("RIFF but not WAVE") << QByteArray("RIFF\x04\x00\x00\x00AVI ", 12);
    QTest::newRow("header cut short") << riff(fmt(1, 1, 44100, 16)).left(30);
    QTest::newRow("no data chunk") << riff(fmt(1, 1, 44100, 16));
    QTest::newRow("data before format") << riff(chunk("data", le16(1)) + fmt(1, 1, 44100, 16));
    QTest::newRow("no samples") << riff(fmt(1, 1, 44100, 16) + chunk("data", QByteArray()));
    QTest::newRow("ADPCM") << riff(fmt(2, 1, 44100, 4) + chunk("data", QByteArray(64, '\x10')));
    QTest::newRow("no channels") << riff(fmt(1, 0, 44100, 16) + chunk("data", le16(1)));
    QTest::newRow("12-bit") << riff(fmt(1, 1, 44100, 12) + chunk("data", le16(1)));
    QTest::newRow("absurd rate") << riff(fmt(1, 1, 5, 16) + chunk("data", le16(1)));
}

void WavFileTest::refused()
{
    QFETCH(QByteArray, file);
    QVERIFY(!decodeWav(file).has_value());
}

void WavFileTest::truncatedDataPlaysWhatIsThere()
{
    // The data chunk claims 1000 bytes but the file ends after three samples.
    QByteArray file = riff(fmt(1, 1, 44100, 16) + "data" + le32(1000) + le16(1) + le16(2) + le16(3) + "\x09");
    const std::optional<PcmSound> sound = decodeWav(file);
    QVERIFY(sound);
    QCOMPARE(sound->samples.size(), 6);
    QCOMPARE(int{sampleAt(*sound, 2)}, 3);
}

void WavFileTest::tailOfSilence()
{
    const QByteArray file = riff(fmt(1, 2, 8000, 16) + chunk("data", QByteArray(4 * 100, '\x7f')));
    const std::optional<PcmSound> sound = decodeWav(file, 250);
    QVERIFY(sound);
    // 100 frames of sound, then 2000 frames (250 ms at 8 kHz) of silence, two channels each.
    QCOMPARE(sound->samples.size(), (100 + 2000) * 4);
    QVERIFY(sampleAt(*sound, 199) != 0);
    QCOMPARE(int{sampleAt(*sound, 200)}, 0);
    QCOMPARE(int{sampleAt(*sound, 2100 * 2 - 1)}, 0);
}

void WavFileTest::filesThatAreNotSounds()
{
    QTemporaryDir folder;
    QDir(folder.path()).mkdir(QStringLiteral("folder.wav"));
    QVERIFY(!readWavFile(folder.filePath(QStringLiteral("folder.wav"))).has_value());
    QVERIFY(!readWavFile(folder.filePath(QStringLiteral("missing.wav"))).has_value());
    QVERIFY(!readWavFile(QString()).has_value());
    // A sparse file far beyond any bell sound is refused without being read.
    QFile huge(folder.filePath(QStringLiteral("huge.wav")));
    QVERIFY(huge.open(QIODevice::WriteOnly));
    QVERIFY(huge.resize(kLargestSoundFile + 1));
    huge.close();
    QVERIFY(!readWavFile(huge.fileName()).has_value());
    const QString spaced = folder.filePath(QStringLiteral("ベル の 音.wav"));
    QFile good(spaced);
    QVERIFY(good.open(QIODevice::WriteOnly));
    good.write(riff(fmt(1, 1, 44100, 16) + chunk("data", le16(42))));
    good.close();
    QVERIFY(readWavFile(spaced).has_value());
}

void WavFileTest::readingTakesWhatTheFileHolds()
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    QSKIP("the sanitizers need more address space than the limit below leaves");
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
    QSKIP("the sanitizers need more address space than the limit below leaves");
#endif
#endif
#ifdef Q_OS_LINUX
    QTemporaryDir folder;
    QFile bell(folder.filePath(QStringLiteral("bell.wav")));
    QVERIFY(bell.open(QIODevice::WriteOnly));
    bell.write(riff(fmt(1, 1, 8000, 16) + chunk("data", QByteArray(16000, '\x10'))));
    bell.close();
    // A machine short of memory must still ring a 16 kB bell: in a child limited to 24 MB of
    // address space beyond what it has, the file is read and decoded.
    QFile statm(QStringLiteral("/proc/self/statm"));
    QVERIFY(statm.open(QIODevice::ReadOnly));
    const qint64 pages = statm.readAll().split(' ').value(0).toLongLong();
    QVERIFY(pages > 0);
    const pid_t child = fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        const rlim_t limit = static_cast<rlim_t>(pages * sysconf(_SC_PAGESIZE) + 24 * 1024 * 1024);
        const rlimit address{limit, limit};
        if (setrlimit(RLIMIT_AS, &address) != 0)
            _exit(3);
        try {
            _exit(readWavFile(bell.fileName()).has_value() ? 0 : 1);
        } catch (...) {
            _exit(2);
        }
    }
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
#else
    QSKIP("address-space limits are a Linux matter here");
#endif
}

QTEST_APPLESS_MAIN(WavFileTest)
#include "tst_wavfile.moc"
