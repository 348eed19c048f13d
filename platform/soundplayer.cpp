#include "platform/soundplayer.h"

#include "platform/helperprocess.h"
#include "platform/soundprotocol.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <algorithm>
#include <chrono>
#include <utility>

namespace {

// Enough for every sound a talk needs many times over, small beside the program itself.
constexpr qsizetype kCacheBytes = 96 * 1024 * 1024;

// After a failure the helper is tried again in 2 s, 4 s, 8 s, then every 10 s: soon enough for the
// sign to clear by itself when the server comes back, seldom enough to cost nothing while there is
// none. A request for a sound tries at once.
constexpr int kFirstRetryMs = 2000;
constexpr int kLongestRetryMs = 10000;

using namespace soundprotocol;

} // namespace

QString SoundPlayer::defaultHelperPath()
{
    return helperBesideProgram(QStringLiteral("podiumwatch-sound"));
}

SoundPlayer::SoundPlayer(QString helperPath, QObject *parent)
    : QObject(parent), helperPath_(std::move(helperPath))
{
    pool_.setMaxThreadCount(1);
    clock_.start();
    for (QTimer *timer : {&deadline_, &answerLimit_, &retry_})
        timer->setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, &SoundPlayer::helperFailed);
    connect(&answerLimit_, &QTimer::timeout, this, &SoundPlayer::helperFailed);
    connect(&retry_, &QTimer::timeout, this, [this] {
        if (!helper_)
            launch();
    });
}

SoundPlayer::~SoundPlayer()
{
    for (QTimer *timer : {&deadline_, &answerLimit_, &retry_})
        timer->stop();
    // The helper and any ended but not yet gone. Killed, they go at once.
    endHelpers(this);
    pool_.clear();
    pool_.waitForDone();
}

void SoundPlayer::openOutput()
{
    if (opened_)
        return;
    opened_ = true;
    if (!helper_)
        launch();
    for (const QString &name : std::exchange(readAhead_, {}))
        preload(name);
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
    // The sound playing stops now, not once the new file has been read.
    if (helper_)
        helper_->write(message(kStop));
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
    if (!opened_) {
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
        // The helper holds a copy of every sound it was sent; it lets them go with ours.
        loaded_.clear();
        if (helper_)
            helper_->write(message(kForget));
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

void SoundPlayer::start(const Sound &sound)
{
    if (!sound)
        return;
    // While the output is failing, each sound gets a helper started for it: one started earlier
    // may have looked for the server before it was there, or still be waiting for it.
    if (!available_)
        discardHelper();
    if (!helper_)
        launch();
    if (!helper_)
        return; // it could not even be started
    const auto [loaded, isNew] = loaded_.try_emplace(sound, nextId_);
    const quint64 id = loaded->second;
    if (isNew) {
        ++nextId_;
        helper_->write(message(kLoad, id, sound->sampleRate, sound->channels, sound->samples.size()));
        helper_->write(sound->samples);
    }
    const quint64 ticket = ++nextTicket_;
    helper_->write(message(kPlay, id, ticket));
    waiting_.append({ticket, clock_.elapsed()});
    if (!deadline_.isActive())
        armDeadline();
}

void SoundPlayer::armDeadline()
{
    if (waiting_.isEmpty()) {
        deadline_.stop();
        return;
    }
    // Counted from the oldest sound not yet started: requests coming every second must not keep
    // pushing the limit away from a helper that is stuck.
    deadline_.start(std::chrono::milliseconds(
        std::max<qint64>(0, waiting_.constFirst().sentMs + kStartLimitMs - clock_.elapsed())));
}

void SoundPlayer::launch()
{
    retry_.stop();
    auto *process = new QProcess(this);
    process->setProgram(helperPath_);
    // The sound library's complaints belong with the program's own.
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(process, &QProcess::readyReadStandardOutput, this, &SoundPlayer::readHelper);
    connect(process, &QProcess::finished, this, &SoundPlayer::helperFailed);
    connect(process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            helperFailed();
    });
    helper_ = process;
    answerLimit_.start(kAnswerLimitMs);
    process->start();
}

void SoundPlayer::discardHelper()
{
    waiting_.clear(); // dropped, never played late
    deadline_.stop();
    answerLimit_.stop();
    loaded_.clear();
    // Whatever it is waiting for inside the sound library, it waits no more.
    ::discardHelper(std::exchange(helper_, nullptr), this);
}

void SoundPlayer::helperFailed()
{
    discardHelper();
    setAvailable(false);
    retry_.start(std::min(kFirstRetryMs << failures_, kLongestRetryMs));
    failures_ = std::min(failures_ + 1, 3);
}

void SoundPlayer::readHelper()
{
    QProcess *process = helper_;
    while (process && process == helper_ && process->canReadLine()) {
        const QList<QByteArray> words = process->readLine().trimmed().split(' ');
        const QByteArray &word = words.constFirst();
        if (word == kOutput && words.size() == 2 && words[1] == "1") {
            answerLimit_.stop();
            failures_ = 0;
            setAvailable(true);
        } else if ((word == kStarted && words.size() == 3) || (word == kRefused && words.size() == 2)) {
            const quint64 ticket = words[1].toULongLong();
            while (!waiting_.isEmpty() && waiting_.constFirst().ticket <= ticket)
                waiting_.removeFirst();
            armDeadline();
            if (word == kStarted) {
                setAvailable(true);
                emit started(words[2].toLongLong());
            }
        } else {
            // No output device, a sound the output could not start, or a stream that is not ours.
            helperFailed();
        }
    }
}

void SoundPlayer::setAvailable(bool available)
{
    if (available_ == available)
        return;
    available_ = available;
    emit availabilityChanged(available);
}
