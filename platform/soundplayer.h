#pragma once

#include "platform/wavfile.h"

#include <QAudioDevice>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QThreadPool>
#include <memory>

class QAudioSink;
class QBuffer;
class QFileInfo;
class QMediaDevices;

// Plays one WAV file at a time without ever making the caller wait: a new request cuts off the
// sound still playing. Files are read and decoded on a worker thread and kept, so a bell that
// rings again starts at once. Whatever cannot be played (an empty or missing path, a file that is
// not a usable WAV) rings the built-in default bell instead; with no sound output, nothing
// happens at all.
class SoundPlayer : public QObject {
    Q_OBJECT
public:
    explicit SoundPlayer(QObject *parent = nullptr);
    ~SoundPlayer() override;

    // Returns at once; the sound starts from the event loop a moment later.
    void play(const QString &name);
    // Reads and decodes a file in the background so that its first play starts without delay;
    // asked before the output is open, it waits for openOutput().
    void preload(const QString &name);
    // Shakes hands with the sound server and starts the reading asked for ahead. Meant for the
    // moment the window is first on the screen: the handshake then holds up neither the first
    // paint nor the first bell. The first sound opens the output itself if nobody has.
    void openOutput();

    // Silence kept after every sound: the output drops the last moment of a stream, and this way
    // the moment it drops is silence of our own rather than the end of the file.
    static constexpr int kTailMs = 250;

signals:
    // The output has been asked to start this many bytes of 16-bit samples (for tests and
    // measurements).
    void started(qsizetype bytes);
    // A file asked for ahead has been read and is ready to play (for tests).
    void readAhead(const QString &name);

private:
    using Sound = std::shared_ptr<const PcmSound>;

    static QString cacheKey(const QFileInfo &info);
    void serve();
    void stop();
    void start(const Sound &sound);
    void decoded(const QString &key, quint64 generation, const Sound &sound);
    Sound defaultBell();
    void remember(const QString &key, const Sound &sound);

    QThreadPool pool_;
    QMediaDevices *devices_ = nullptr; // null: the output is not open yet
    QStringList readAhead_;
    QAudioDevice output_;
    QPointer<QAudioSink> sink_;
    QPointer<QBuffer> buffer_;
    Sound playing_;
    Sound defaultBell_;
    QHash<QString, Sound> cache_;
    qsizetype cachedBytes_ = 0;
    quint64 generation_ = 0;
    QString requested_;
    bool serving_ = false;
};
