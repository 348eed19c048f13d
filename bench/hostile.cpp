// Responsiveness with hostile files: sound paths that are truncated, empty, text, a folder, a pipe,
// a 1 GB sparse file, a 60 MB one and a path with spaces and Japanese characters, played through
// the real player; and start-up from a data folder with a truncated JPEG and a PNG named .jpg.
// A 2 ms timer on the main thread records the longest time the event loop was kept waiting.
//   bench_hostile        (QT_QPA_PLATFORM=offscreen; with or without a sound server)

#include "forms/viewer.h"
#include "platform/qtplatform.h"
#include "platform/wavfile.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>
#include <cstdio>
#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

QByteArray wavHeader(quint32 dataBytes)
{
    return ::wavHeader(44100, 1, dataBytes);
}

QString write(const QDir &folder, const QString &name, const QByteArray &bytes, qint64 size = -1)
{
    QFile file(folder.filePath(name));
    if (file.open(QIODevice::WriteOnly)) {
        file.write(bytes);
        if (size > 0)
            file.resize(size); // sparse: no disk used
    }
    return file.fileName();
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir temporary;
    const QDir folder(temporary.path());

    const QStringList sounds = {
        write(folder, "truncated.wav", wavHeader(88200) + QByteArray(1000, '\x10')),
        write(folder, "empty.wav", QByteArray()),
        write(folder, "text.wav", "this is a note, not a sound\n"),
        [&] {
            folder.mkdir("folder.wav");
            return folder.filePath("folder.wav");
        }(),
#ifdef Q_OS_UNIX
        [&] {
            const QString fifo = folder.filePath("pipe.wav");
            mkfifo(QFile::encodeName(fifo).constData(), 0600);
            return fifo;
        }(),
#endif
        write(folder, "huge.wav", wavHeader(0xFFFFFF00u), qint64{1} << 30),
        write(folder, "big.wav", wavHeader(60u << 20), (60 << 20) + 44),
        write(folder, "ベル の 音.wav", wavHeader(88200) + QByteArray(88200, '\x20')),
    };

    // A data folder with a truncated JPEG and a PNG under a JPEG's name.
    folder.mkpath("DATA/BackData");
    QImage picture(64, 64, QImage::Format_RGB32);
    picture.fill(Qt::darkGreen);
    picture.save(folder.filePath("DATA/BackData/Start.jpg"), "JPG");
    QFile whole(folder.filePath("DATA/BackData/Start.jpg"));
    whole.open(QIODevice::ReadOnly);
    write(folder, "DATA/BackData/Stop.jpg", whole.readAll().left(200));
    picture.save(folder.filePath("DATA/BackData/Pause.jpg"), "PNG");

    struct HostilePlatform : QtPlatform {
        HostilePlatform()
            : QtPlatform(systemClocks(), QStringLiteral(PODIUMWATCH_BUILD_DIR "/podiumwatch-sound"))
        {
        }
        QString folder;
        QString programFolder() const override { return QDir::toNativeSeparators(folder); }
    } platform;
    platform.folder = folder.path();

    qint64 longest = 0;
    QElapsedTimer sinceLast;
    QTimer watchdog;
    watchdog.setTimerType(Qt::PreciseTimer);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        longest = std::max(longest, sinceLast.elapsed());
        sinceLast.restart();
    });
    sinceLast.start();
    watchdog.start(2);

    Viewer viewer(platform);
    viewer.Form_Load();
    viewer.show();
    auto *path = viewer.findChild<QLineEdit *>(QStringLiteral("Txt_Bell1_Files"));
    auto *preview = viewer.findChild<QAbstractButton *>(QStringLiteral("Cmd_PlaySound1"));
    int index = 0;
    QTimer player;
    QObject::connect(&player, &QTimer::timeout, [&] {
        if (index == sounds.size()) {
            app.quit();
            return;
        }
        path->setText(sounds[index++]);
        preview->click();
    });
    longest = 0; // building the window is not the event loop waiting
    player.start(700);
    QApplication::exec();
    std::printf("start-up with a truncated JPEG and a PNG named .jpg: done\n");
    std::printf("longest wait of the event loop while playing %lld hostile sounds: %lld ms\n",
                static_cast<long long>(sounds.size()), static_cast<long long>(longest));
    return 0;
}
