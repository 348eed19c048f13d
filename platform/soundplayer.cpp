#include "platform/soundplayer.h"

#include <QAudioSink>
#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>
#include <utility>

namespace {

// Enough for every sound a talk needs many times over, small beside the program itself.
constexpr qsizetype kCacheBytes = 96 * 1024 * 1024;

} // namespace

SoundPlayer::SoundPlayer(QObject *parent) : QObject(parent)
{
    pool_.setMaxThreadCount(1);
}

void SoundPlayer::openOutput()
{
    if (devices_)
        return;
    devices_ = new QMediaDevices(this);
    output_ = QMediaDevices::defaultAudioOutput();
    connect(devices_, &QMediaDevices::audioOutputsChanged, this,
            [this] { output_ = QMediaDevices::defaultAudioOutput(); });
    for (const QString &name : std::exchange(readAhead_, {}))
        preload(name);
}

SoundPlayer::~SoundPlayer()
{
    stop();
    pool_.clear();
    pool_.waitForDone();
}

void SoundPlayer::play(const QString &name)
{
    // Only the latest request counts: of two bells due in the same tick, only the last is heard.
    ++generation_;
    requested_ = name;
    if (!serving_) {
        serving_ = true;
        QMetaObject::invokeMethod(this, &SoundPlayer::serve, Qt::QueuedConnection);
    }
}

void SoundPlayer::serve()
{
    openOutput();
    serving_ = false;
    const quint64 generation = generation_;
    const QString name = requested_;
    stop();

    const QFileInfo info(name);
    if (name.isEmpty() || !info.isFile() || info.size() > kLargestSoundFile) {
        start(defaultBell());
        return;
    }
    const QString key = cacheKey(info);
    if (const Sound cached = cache_.value(key)) {
        start(cached);
        return;
    }
    const QString path = info.absoluteFilePath();
    pool_.start([this, path, key, generation] {
        std::optional<PcmSound> pcm = readWavFile(path, kTailMs);
        Sound sound = pcm ? std::make_shared<const PcmSound>(std::move(*pcm)) : nullptr;
        QMetaObject::invokeMethod(
            this, [this, key, generation, sound] { decoded(key, generation, sound); }, Qt::QueuedConnection);
    });
}

void SoundPlayer::preload(const QString &name)
{
    if (!devices_) {
        readAhead_.append(name);
        return;
    }
    const QFileInfo info(name);
    if (name.isEmpty() || !info.isFile() || info.size() > kLargestSoundFile ||
        cache_.contains(cacheKey(info)))
        return;
    const QString path = info.absoluteFilePath();
    const QString key = cacheKey(info);
    pool_.start([this, path, key, name] {
        std::optional<PcmSound> pcm = readWavFile(path, kTailMs);
        if (!pcm)
            return;
        auto sound = std::make_shared<const PcmSound>(std::move(*pcm));
        QMetaObject::invokeMethod(
            this,
            [this, key, sound, name] {
                remember(key, sound);
                emit readAhead(name);
            },
            Qt::QueuedConnection);
    });
}

QString SoundPlayer::cacheKey(const QFileInfo &info)
{
    // The same path may hold a new file since it was last read.
    return info.absoluteFilePath() + QLatin1Char('|') + QString::number(info.size()) + QLatin1Char('|') +
           QString::number(info.lastModified().toMSecsSinceEpoch());
}

void SoundPlayer::decoded(const QString &key, quint64 generation, const Sound &sound)
{
    if (sound)
        remember(key, sound);
    if (generation != generation_)
        return; // a later request has taken over
    start(sound ? sound : defaultBell());
}

void SoundPlayer::remember(const QString &key, const Sound &sound)
{
    if (cachedBytes_ + sound->samples.size() > kCacheBytes) {
        cache_.clear();
        cachedBytes_ = 0;
    }
    cache_.insert(key, sound);
    cachedBytes_ += sound->samples.size();
}

SoundPlayer::Sound SoundPlayer::defaultBell()
{
    if (!defaultBell_) {
        QFile file(QStringLiteral(":/podiumwatch/default_bell.wav"));
        if (file.open(QIODevice::ReadOnly)) {
            if (std::optional<PcmSound> pcm = decodeWav(file.readAll(), kTailMs))
                defaultBell_ = std::make_shared<const PcmSound>(std::move(*pcm));
        }
    }
    return defaultBell_;
}

void SoundPlayer::stop()
{
    if (sink_) {
        sink_->disconnect(this);
        sink_->stop();
        sink_->deleteLater();
    }
    if (buffer_)
        buffer_->deleteLater();
    playing_.reset();
}

void SoundPlayer::start(const Sound &sound)
{
    if (!sound || output_.isNull())
        return;
    QAudioFormat format;
    format.setSampleRate(sound->sampleRate);
    format.setChannelCount(sound->channels);
    format.setSampleFormat(QAudioFormat::Int16);

    playing_ = sound;
    auto *buffer = new QBuffer(this);
    buffer->setData(sound->samples); // shares the bytes, no copy
    buffer->open(QIODevice::ReadOnly);
    auto *sink = new QAudioSink(output_, format, this);
    connect(sink, &QAudioSink::stateChanged, this, [this, sink](QAudio::State state) {
        // Played to the end (or failed): give the output back until the next sound.
        if (sink == sink_ && (state == QAudio::IdleState || state == QAudio::StoppedState) &&
            (state == QAudio::StoppedState || sink->error() != QAudio::NoError || buffer_->atEnd()))
            stop();
    });
    sink_ = sink;
    buffer_ = buffer;
    sink->start(buffer);
    emit started(sound->samples.size());
}
