#include "remote/remoteworker.h"

#include "remote/broadcaster.h"
#include "remote/connectionguard.h"
#include "remote/websocketframes.h"

#include <QCryptographicHash>
#include <QFile>
#include <QHostAddress>
#include <QNetworkInterface>
#include <QSysInfo>
#include <vector>

namespace {

// A request for a host this machine does not know by that name may come after its addresses
// changed (a new lease on the hall's Wi-Fi); they are looked up again, but not more often than this.
constexpr qint64 HostsFreshMs = 5000;
// Viewers keep this many connections' worth of room among all connections.
constexpr int HttpHeadroom = 32;

QByteArray inlineHash(const QByteArray &page, QByteArrayView open, QByteArrayView close)
{
    const qsizetype start = page.indexOf(open);
    const qsizetype end = start < 0 ? -1 : page.indexOf(close, start + open.size());
    if (end < 0)
        return {};
    const QByteArray content = page.mid(start + open.size(), end - start - open.size());
    return "'sha256-" + QCryptographicHash::hash(content, QCryptographicHash::Sha256).toBase64() + '\'';
}

QByteArray hostForm(const QHostAddress &address)
{
    QHostAddress plain(address);
    plain.setScopeId({});
    const QByteArray text = plain.toString().toLatin1().toLower();
    return plain.protocol() == QAbstractSocket::IPv6Protocol ? '[' + text + ']' : text;
}

// The names a browser on the local network may use for this machine.
QSet<QByteArray> machineHosts()
{
    QSet<QByteArray> hosts;
    const QList<QHostAddress> addresses = QNetworkInterface::allAddresses();
    for (const QHostAddress &address : addresses)
        hosts << hostForm(address);
    QByteArray name = QSysInfo::machineHostName().toLatin1().toLower();
    if (name.endsWith(".local"))
        name.chop(6);
    if (!name.isEmpty())
        hosts << name << name + ".local";
    return hosts;
}

QHostAddress bindAddress(const QString &bind)
{
    return bind.isEmpty() ? QHostAddress(QHostAddress::Any) : QHostAddress(bind);
}

} // namespace

QString remoteUrlHost(const QString &bind)
{
    const QHostAddress address = bindAddress(bind);
    if (address == QHostAddress(QHostAddress::Any) || address == QHostAddress(QHostAddress::AnyIPv4) ||
        address == QHostAddress(QHostAddress::AnyIPv6)) {
        const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
        for (const QNetworkInterface &interface : interfaces) {
            const auto flags = interface.flags();
            if (!flags.testFlag(QNetworkInterface::IsUp) || !flags.testFlag(QNetworkInterface::IsRunning) ||
                flags.testFlag(QNetworkInterface::IsLoopBack))
                continue;
            const QList<QNetworkAddressEntry> entries = interface.addressEntries();
            for (const QNetworkAddressEntry &entry : entries) {
                const QHostAddress ip = entry.ip();
                if (ip.protocol() == QAbstractSocket::IPv4Protocol && !ip.isLoopback())
                    return ip.toString();
            }
        }
        return QStringLiteral("127.0.0.1");
    }
    return QString::fromLatin1(hostForm(address));
}

RemoteWorker::RemoteWorker(const RemoteSettings &settings, const QByteArray &state, QObject *parent)
    : QObject(parent), settings_(settings)
{
    state_.viewToken = settings.viewToken.toLatin1();
    state_.controlToken = settings.controlToken.toLatin1();
    state_.eventViewToken = settings.eventViewToken.toLatin1();
    state_.eventControlToken = settings.eventControlToken.toLatin1();
    state_.room = settings.room;
    state_.eventId = settings.eventId.toLatin1();
    state_.overview = settings.overview;
    state_.json = state;
    // An overview's server serves the page of every room instead of a room's own.
    QFile file(settings.overview ? QStringLiteral(":/podiumwatch/remote/overview.html")
                                 : QStringLiteral(":/podiumwatch/remote/view.html"));
    if (file.open(QIODevice::ReadOnly))
        state_.page = file.readAll();
    state_.scriptHash = inlineHash(state_.page, "<script>", "</script>");
    state_.styleHash = inlineHash(state_.page, "<style>", "</style>");
    expiry_.setInterval(std::clamp(settings_.verdictMs / 4, 10, 250));
    connect(&expiry_, &QTimer::timeout, this, &RemoteWorker::expireAwaited);
}

RemoteWorker::~RemoteWorker() = default;

void RemoteWorker::listen()
{
    ConnectionGuard::Limits limits;
    limits.maxConnections = ConnectionGuard::connectionCap(settings_.maxConnections);
    limits.idleMs = settings_.idleMs;
    limits.lifetimeMs = settings_.lifetimeMs;
    limits.connection.maxPendingBytes = settings_.maxPendingBytes;
    guard_ = new ConnectionGuard(limits, this);
    // However few descriptors there are, plain requests keep some room beside the viewers.
    state_.maxClients = std::min(settings_.maxClients, std::max(0, limits.maxConnections - HttpHeadroom));
    // A hall's phones may all connect at once when the address goes up on the screen; with the
    // system's usual backlog some would wait a second for their connection to be retried.
    guard_->setListenBacklogSize(std::max(50, state_.maxClients));
    const QHostAddress bind = bindAddress(settings_.bind);
    if (bind.isNull() || !guard_->listen(bind, settings_.port)) {
        const QString failure = bind.isNull() ? QStringLiteral("invalid address \"%1\"").arg(settings_.bind)
                                              : guard_->errorString();
        delete guard_;
        guard_ = nullptr;
        emit listened(0, {}, failure);
        return;
    }
    broadcaster_ = new Broadcaster({settings_.pingsPerSecond}, this);
    connect(broadcaster_, &Broadcaster::countChanged, this, &RemoteWorker::viewersChanged);
    connect(broadcaster_, &Broadcaster::commandSent, this, &RemoteWorker::commandFromSocket);
    connect(guard_, &ConnectionGuard::requestReady, this, &RemoteWorker::serve);
    connect(guard_, &ConnectionGuard::framingRefused, this, &RemoteWorker::refuseFraming);

    state_.port = guard_->serverPort();
    const QString host = remoteUrlHost(settings_.bind);
    state_.ownHost = (host + QLatin1Char(':') + QString::number(state_.port)).toLatin1();
    state_.hosts = machineHosts() << host.toLatin1().toLower();
    hostsAt_ = guard_->now();
    emit listened(state_.port, host, {});
}

int RemoteWorker::viewerCount() const
{
    return broadcaster_ ? broadcaster_->count() : 0;
}

void RemoteWorker::serve(Connection *connection, const HttpRequest &request)
{
    state_.clients = broadcaster_->count();
    Routed routed = route(request, state_);
    if (routed.answer.status == 421 && guard_->now() - hostsAt_ > HostsFreshMs) {
        state_.hosts = machineHosts() << state_.ownHost.left(state_.ownHost.lastIndexOf(':')).toLower();
        hostsAt_ = guard_->now();
        routed = route(request, state_);
    }
    if (routed.command) {
        // Answered once the window has said whether it was done; the connection reads nothing
        // more meanwhile. A window that stops answering costs each asker a second, and no more
        // than a few are kept waiting at once; however fast the window answers, no more than a
        // chair could press are passed on to it, so that no client keeps the window busy.
        const qint64 now = guard_->now();
        if (const char *busy = tooBusy(now)) {
            connection->answer(serialize(commandAnswer(routed.answer, {503, busy})), true, now);
            return;
        }
        await(*routed.command, Awaited{connection, routed.answer, now, std::nullopt});
        return;
    }
    const bool open = connection->answer(serialize(routed.answer), routed.answer.close, guard_->now());
    if (open && routed.upgrade)
        broadcaster_->admit(connection, state_.json, routed.controls);
}

const char *RemoteWorker::tooBusy(qint64 now)
{
    return awaited_.size() >= static_cast<std::size_t>(remotelimits::kCommandsInFlight)
               ? "too many commands at once"
           : !commandsThisSecond_.admit(now, settings_.commandsPerSecond) ? "too many commands in a second"
                                                                          : nullptr;
}

void RemoteWorker::await(const RemoteCommand &command, Awaited awaited)
{
    const quint64 id = nextId_++;
    awaited_.emplace(id, std::move(awaited));
    if (!expiry_.isActive())
        expiry_.start();
    emit commandRequested(command, id);
}

void RemoteWorker::commandFromSocket(Connection *connection, const QByteArray &text)
{
    // The same limits as a command over HTTP; a refusal is answered at once, on the socket.
    const Result<SocketCommand, SocketRefusal> read = socketCommand(text, state_.overview);
    const qint64 now = guard_->now();
    if (!read) {
        connection->send(textFrame(socketReply(read.error().id, read.error().verdict)));
        return;
    }
    if (const char *busy = tooBusy(now)) {
        connection->send(textFrame(socketReply(read->id, {503, busy})));
        return;
    }
    await(read->command, Awaited{connection, {}, now, read->id});
}

void RemoteWorker::refuseFraming(Connection *connection, int status, const QByteArray &reason)
{
    connection->answer(serialize(::refuseFraming(status, reason, state_).answer), true, guard_->now());
}

void RemoteWorker::settle(quint64 id, const CommandVerdict &verdict)
{
    const auto found = awaited_.find(id);
    if (found == awaited_.end())
        return; // answered 503 already
    const Awaited awaited = std::move(found->second);
    awaited_.erase(found);
    if (awaited_.empty())
        expiry_.stop();
    // The asker may have gone meanwhile; then there is no one to tell.
    if (Connection *connection = awaited.connection; connection && connection->isOpen() && awaited.socketId) {
        connection->send(textFrame(socketReply(*awaited.socketId, verdict)));
    } else if (connection && connection->isOpen()) {
        const HttpAnswer answer = commandAnswer(awaited.accepted, verdict);
        connection->answer(serialize(answer), answer.close, guard_->now());
    }
}

void RemoteWorker::expireAwaited()
{
    const qint64 limit = guard_->now() - settings_.verdictMs;
    std::vector<quint64> late;
    for (const auto &[id, awaited] : awaited_) {
        if (awaited.since <= limit)
            late.push_back(id);
    }
    for (const quint64 id : late)
        settle(id, {503, "the timer did not answer in time"});
}

void RemoteWorker::publish(const QByteArray &json)
{
    state_.json = json;
    if (broadcaster_)
        broadcaster_->publish(json);
}
