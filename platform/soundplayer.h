#pragma once

#include "platform/wavfile.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>
#include <memory>
#include <unordered_map>

class QFileInfo;
class QProcess;

// Plays one WAV file at a time without ever making the caller wait: a new request cuts off the
// sound still playing. Files are read and decoded on a worker thread and kept, so a bell that
// rings again starts at once. Whatever cannot be played (an empty or missing path, a file that is
// not a usable WAV) rings the built-in default bell instead; with no sound output, nothing
// happens at all.
//
// The output itself is a helper process (podiumwatch-sound): the sound library waits on the sound
// server inside its calls, and a stalled server must never hold this thread. A sound the helper
// has not started within kStartLimitMs is dropped rather than played late; the helper is then
// ended and a fresh one started, which also finds a sound server that appeared or came back.
class SoundPlayer : public QObject {
    Q_OBJECT
public:
    // The helper beside the running executable, as built and installed.
    static QString defaultHelperPath();

    explicit SoundPlayer(QString helperPath = defaultHelperPath(), QObject *parent = nullptr);
    ~SoundPlayer() override;

    // Returns at once; the sound starts from the event loop a moment later.
    void play(const QString &name);
    // Reads and decodes a file in the background so that its first play starts without delay;
    // asked before the output is open, it waits for openOutput().
    void preload(const QString &name);
    // Starts the helper and the reading asked for ahead. Meant for the moment the window is first
    // on the screen, so that neither is in the way of the first paint. The first sound opens the
    // output itself if nobody has.
    void openOutput();

    // Whether sounds can be heard: true until the helper has had its chance to say otherwise,
    // false from a failure of the output until the helper reports a device again.
    bool available() const { return available_; }

    // Silence kept after every sound: the output drops the last moment of a stream, and this way
    // the moment it drops is silence of our own rather than the end of the file.
    static constexpr int kTailMs = 250;
    // A sound not started this long after it was handed to the helper is dropped.
    static constexpr int kStartLimitMs = 1500;
    // A helper that has not said whether there is an output by then is taken for stuck.
    static constexpr int kAnswerLimitMs = 3000;

signals:
    // The helper has started a sound of this many bytes of 16-bit samples (for tests and
    // measurements).
    void started(qsizetype bytes);
    // A file asked for ahead has been read and is ready to play (for tests).
    void readAhead(const QString &name);
    void availabilityChanged(bool available);

private:
    using Sound = std::shared_ptr<const PcmSound>;

    static QString cacheKey(const QFileInfo &info);
    void serve();
    void start(const Sound &sound);
    void decoded(const QString &key, quint64 generation, const Sound &sound);
    Sound defaultBell();
    void remember(const QString &key, const Sound &sound);

    void launch();
    void discardHelper();
    void readHelper();
    void helperFailed();
    void setAvailable(bool available);
    void armDeadline();

    QThreadPool pool_;
    bool opened_ = false;
    QStringList readAhead_;
    Sound defaultBell_;
    QHash<QString, Sound> cache_;
    qsizetype cachedBytes_ = 0;
    quint64 generation_ = 0;
    QString requested_;
    bool serving_ = false;

    QString helperPath_;
    QPointer<QProcess> helper_;                 // null: none running
    std::unordered_map<Sound, quint64> loaded_; // what the running helper holds, under which id
    quint64 nextId_ = 0;
    struct Waiting {
        quint64 ticket;
        qint64 sentMs;
    };
    QList<Waiting> waiting_; // sounds handed to the helper and not yet started, oldest first
    quint64 nextTicket_ = 0;
    QElapsedTimer clock_;
    QTimer deadline_;
    QTimer answerLimit_;
    QTimer retry_;
    int failures_ = 0;
    bool available_ = true;
};
