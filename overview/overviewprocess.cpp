#include "overview/overviewprocess.h"

#include "platform/helperprocess.h"

#include <cstdio>

namespace {

constexpr qint64 kFailureWindowMs = 60000;
constexpr int kRetryMs = 1000;
// Actions waiting for a room's answer; beyond this the oldest is answered 503 and forgotten.
constexpr std::size_t kAskedAtOnce = 64;

} // namespace

OverviewProcess::OverviewProcess(QString path, QObject *parent) : QObject(parent), path_(std::move(path))
{
    clock_.start();
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, &OverviewProcess::launch);
}

OverviewProcess::~OverviewProcess()
{
    retry_.stop();
    endHelpers(this);
}

void OverviewProcess::start(const overviewchannel::Configure &configure)
{
    configure_ = configure;
    launch();
}

void OverviewProcess::launch()
{
    discardHelper(process_, this);
    reader_ = channel::Reader(overviewchannel::kLargest);
    auto *process = new QProcess(this);
    process->setProgram(path_);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(process, &QProcess::readyReadStandardOutput, this, &OverviewProcess::read);
    connect(process, &QProcess::finished, this, [this] { lost(QStringLiteral("ended")); });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            lost(QStringLiteral("could not be started (%1)").arg(process->errorString()));
    });
    process_ = process;
    process->start();
    process->write(channel::message(channel::Type::Configure, overviewchannel::encode(configure_)));
}

void OverviewProcess::act(const RemoteCommand &command, std::function<void(const CommandVerdict &)> answered)
{
    if (!process_) {
        answered({503, "the overview's network side is restarting"});
        return;
    }
    if (asked_.size() >= kAskedAtOnce) {
        asked_.begin()->second({503, "too many actions at once"});
        asked_.erase(asked_.begin());
    }
    const quint64 id = ++nextId_;
    asked_.emplace(id, std::move(answered));
    process_->write(channel::message(channel::Type::Command, overviewchannel::encode({id, command})));
}

void OverviewProcess::read()
{
    QProcess *process = process_;
    while (process && process->bytesAvailable() > 0 && !reader_.failed()) {
        reader_.append(process->read(reader_.room()));
        while (const std::optional<channel::Message> message = reader_.next()) {
            if (!take(*message)) {
                lost(QStringLiteral("said what it may not"));
                return;
            }
        }
    }
    if (reader_.failed())
        lost(QStringLiteral("said what it may not"));
}

bool OverviewProcess::take(const channel::Message &message)
{
    switch (message.type) {
    case channel::Type::State: {
        const auto change = overviewchannel::decodeRoomChange(message.body);
        if (!change)
            return false;
        emit roomChanged(*change);
        return true;
    }
    case channel::Type::Verdict: {
        const auto verdict = channel::decodeVerdict(message.body);
        if (!verdict)
            return false;
        if (const auto asked = asked_.find(verdict->id); asked != asked_.end()) {
            const auto answered = std::move(asked->second);
            asked_.erase(asked);
            answered(verdict->verdict);
        }
        return true;
    }
    case channel::Type::Listening: {
        const auto heard = channel::decodeListening(message.body);
        if (!heard)
            return false;
        configure_.port = heard->port; // a process started again keeps the page's address
        emit listening(heard->host, heard->port);
        return true;
    }
    case channel::Type::Failed: {
        const auto reason = channel::decodeFailure(message.body);
        emit failed(reason ? *reason : QStringLiteral("the overview's page could not start"));
        return true;
    }
    default:
        return false;
    }
}

void OverviewProcess::lost(const QString &why)
{
    discardHelper(process_, this);
    process_ = nullptr;
    for (auto &[id, answered] : std::exchange(asked_, {}))
        answered({503, "the overview's network side restarted"});
    const qint64 now = clock_.elapsed();
    failures_.removeIf([now](qint64 at) { return now - at > kFailureWindowMs; });
    failures_.append(now);
    std::fprintf(stderr, "podiumwatch: the overview's network side %s\n", qPrintable(why));
    if (failures_.size() >= kFailuresGivenUp) {
        emit failed(QStringLiteral("the overview's network side failed too often: ") + why);
        return;
    }
    retry_.start(kRetryMs);
}
