#include "remote/remoteprocess.h"

#include "platform/helperprocess.h"

#include <QProcess>
#include <cstdio>

namespace {

// A server's first start may be slow (a cold disk, a sanitizer build); once it listens, it answers
// twice a second.
constexpr int kStartMs = 15000;
// Failures are counted over this long.
constexpr qint64 kFailureWindowMs = 60000;
// After a second failure in a row the next start waits this long, so that a server that cannot
// start never spins.
constexpr int kRetryMs = 500;
// What the server may say in a second: twice alive, and the commands it lets through, from the
// pages and sockets and from the desk's OSC.
constexpr int kMessagesPerSecond =
    remotelimits::kCommandsPerSecond + remotelimits::kOscCommandsPerSecond + 10;
// What the server may leave unread before it is taken for stuck.
constexpr qint64 kUnreadBytes = 1024 * 1024;
// Commands waiting for the window, beyond which the oldest is forgotten (the server answers it 503).
constexpr std::size_t kAskedAtOnce = 64;

} // namespace

QString RemoteProcess::defaultServerPath()
{
    return helperBesideProgram(QStringLiteral("podiumwatch-remote"));
}

RemoteProcess::RemoteProcess(QString serverPath, QObject *parent)
    : QObject(parent), serverPath_(std::move(serverPath))
{
    clock_.start();
    silence_.setSingleShot(true);
    retry_.setSingleShot(true);
    connect(&silence_, &QTimer::timeout, this, [this] { lost(QStringLiteral("stopped answering")); });
    connect(&retry_, &QTimer::timeout, this, &RemoteProcess::launch);
}

RemoteProcess::~RemoteProcess()
{
    silence_.stop();
    retry_.stop();
    // The server and any ended but not yet gone. Killed, they go at once.
    endHelpers(this);
}

void RemoteProcess::start(const RemoteSettings &settings)
{
    stop();
    settings_ = channel::withTokens(settings);
    failures_.clear();
    launch();
}

void RemoteProcess::stop()
{
    retry_.stop();
    discard();
    listened_ = false;
    port_ = 0;
    oscPort_ = 0;
    host_.clear();
    settings_.viewToken.clear();
    settings_.controlToken.clear();
}

QString RemoteProcess::viewUrl() const
{
    return port_ != 0 ? channel::remoteUrl(host_, port_, QLatin1StringView(), settings_.viewToken)
                      : QString();
}

QString RemoteProcess::controlUrl() const
{
    return port_ != 0 ? channel::remoteUrl(host_, port_, QLatin1StringView("control"), settings_.controlToken)
                      : QString();
}

qint64 RemoteProcess::serverProcessId() const
{
    return process_ ? process_->processId() : 0;
}

void RemoteProcess::launch()
{
    discard();
    ++launch_;
    reader_ = channel::Reader(channel::kLargestToProgram);
    auto *process = new QProcess(this);
    process->setProgram(serverPath_);
    // Its complaints belong with the program's own.
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(process, &QProcess::readyReadStandardOutput, this, &RemoteProcess::readServer);
    connect(process, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        lost(status == QProcess::CrashExit ? QStringLiteral("crashed")
                                           : QStringLiteral("ended (exit code %1)").arg(code));
    });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            lost(QStringLiteral("could not be started (%1)").arg(process->errorString()));
    });
    process_ = process;
    silence_.start(kStartMs);
    process->start();
    // Written ahead: the process reads them once it runs. Once the addresses are out, a new server
    // takes the port the first one got.
    send(channel::Type::State, json_);
    channel::Configure configure{settings_.bind,           listened_ ? port_ : settings_.port,
                                 settings_.viewToken,      settings_.controlToken,
                                 settings_.eventViewToken, settings_.eventControlToken,
                                 settings_.http,           settings_.desk,
                                 settings_.room,           settings_.eventId};
    if (listened_ && configure.desk.oscPort)
        configure.desk.oscPort = oscPort_;
    send(channel::Type::Configure, channel::encode(configure));
}

void RemoteProcess::discard()
{
    silence_.stop();
    asked_.clear();
    viewers_ = 0;
    discardHelper(std::exchange(process_, nullptr), this);
}

void RemoteProcess::send(channel::Type type, const QByteArray &body)
{
    if (!process_)
        return;
    process_->write(channel::message(type, body));
    if (process_->bytesToWrite() > kUnreadBytes)
        lost(QStringLiteral("stopped reading"));
}

void RemoteProcess::readServer()
{
    const QPointer<QProcess> process = process_;
    while (process && process == process_ && process->bytesAvailable() > 0) {
        reader_.append(process->read(reader_.room()));
        while (process == process_) {
            const std::optional<channel::Message> message = reader_.next();
            if (!message)
                break;
            if (!messagesThisSecond_.admit(clock_.elapsed(), kMessagesPerSecond)) {
                lost(QStringLiteral("said more than a server says"));
                return;
            }
            if (const Result<> taken = take(*message); !taken) {
                lost(QStringLiteral("said what a server does not say (%1)").arg(taken.error()));
                return;
            }
        }
        if (reader_.failed()) {
            lost(QStringLiteral("said what a server does not say (a message too long or of no kind)"));
            return;
        }
    }
}

Result<> RemoteProcess::take(const channel::Message &message)
{
    switch (message.type) {
    case channel::Type::Listening: {
        const auto listening = channel::decodeListening(message.body);
        if (!listening)
            return Result<>::failure(listening.error());
        silence_.start(kSilenceMs);
        if (listened_)
            return {}; // a new server, at the same addresses
        listened_ = true;
        port_ = listening->port;
        oscPort_ = listening->oscPort;
        host_ = listening->host;
        emit started();
        return {};
    }
    case channel::Type::Failed: {
        const auto reason = channel::decodeFailure(message.body);
        if (!reason)
            return Result<>::failure(reason.error());
        if (!listened_) {
            stop();
            emit failed(*reason);
        } else {
            lost(*reason);
        }
        return {};
    }
    case channel::Type::Command: {
        const auto command = channel::decodeCommand(message.body);
        if (!command)
            return Result<>::failure(command.error());
        silence_.start(kSilenceMs);
        const quint64 id = nextAsked_++;
        asked_.emplace(id, std::pair{launch_, command->id});
        if (asked_.size() > kAskedAtOnce)
            asked_.erase(asked_.begin());
        emit commandRequested(command->command, id);
        return {};
    }
    case channel::Type::Alive: {
        const auto viewers = channel::decodeAlive(message.body);
        if (!viewers)
            return Result<>::failure(viewers.error());
        viewers_ = *viewers;
        silence_.start(kSilenceMs);
        return {};
    }
    default:
        return Result<>::failure(QStringLiteral("a message only the server is sent"));
    }
}

void RemoteProcess::settle(quint64 id, const CommandVerdict &verdict)
{
    const auto found = asked_.find(id);
    if (found == asked_.end())
        return;
    const auto [launch, serverId] = found->second;
    asked_.erase(found);
    if (launch == launch_)
        send(channel::Type::Verdict, channel::encode(channel::Verdict{serverId, verdict}));
}

void RemoteProcess::cue(const QByteArray &json)
{
    send(channel::Type::Cue, json);
}

void RemoteProcess::publish(const QByteArray &json)
{
    json_ = json;
    send(channel::Type::State, json);
}

void RemoteProcess::lost(const QString &why)
{
    if (!process_)
        return;
    discard();
    if (!listened_) {
        // The first start: nothing is out yet, so there is nothing to keep up.
        stop();
        emit failed(QStringLiteral("the remote view's server %1").arg(why));
        return;
    }
    const qint64 now = clock_.elapsed();
    failures_.append(now);
    while (!failures_.isEmpty() && now - failures_.constFirst() > kFailureWindowMs)
        failures_.removeFirst();
    if (failures_.size() >= kFailuresGivenUp) {
        stop();
        std::fprintf(stderr, "podiumwatch: the remote view's server %s, %d times in a minute; it stays off\n",
                     qPrintable(why), kFailuresGivenUp);
        emit gaveUp(why);
        return;
    }
    std::fprintf(stderr, "podiumwatch: the remote view's server %s; starting a new one\n", qPrintable(why));
    if (failures_.size() > 1)
        retry_.start(kRetryMs);
    else
        launch();
}
