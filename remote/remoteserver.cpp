#include "remote/remoteserver.h"
#include "remote/remoteworker.h"

#include "engine/runstate.h"
#include "remote/broadcaster.h"
#include "remote/connectionguard.h"
#include "remote/router.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkInterface>
#include <QRandomGenerator>
#include <QSysInfo>
#include <array>
#include <utility>

namespace {

// A request for a host this machine does not know by that name may come after its addresses
// changed (a new lease on the hall's Wi-Fi); they are looked up again, but not more often than this.
constexpr qint64 HostsFreshMs = 5000;
// Viewers keep this many connections' worth of room among all connections.
constexpr int HttpHeadroom = 32;

QString newToken()
{
    std::array<quint32, 4> bits{};
    QRandomGenerator::system()->fillRange(bits.data(), static_cast<qsizetype>(bits.size()));
    const QByteArray raw(reinterpret_cast<const char *>(bits.data()), sizeof bits);
    return QString::fromLatin1(raw.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

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

} // namespace

RemoteWorker::RemoteWorker(const RemoteServer::Settings &settings, const QString &viewToken,
                           const QString &controlToken, std::shared_ptr<std::atomic<int>> clients)
    : settings_(settings), clients_(std::move(clients))
{
    state_.viewToken = viewToken.toLatin1();
    state_.controlToken = controlToken.toLatin1();
    QFile file(QStringLiteral(":/podiumwatch/remote/view.html"));
    if (file.open(QIODevice::ReadOnly))
        state_.page = file.readAll();
    state_.scriptHash = inlineHash(state_.page, "<script>", "</script>");
    state_.styleHash = inlineHash(state_.page, "<style>", "</style>");
    last_.background = QColor(Qt::black);
    last_.foreground = QColor(Qt::green);
    last_.state = QStringLiteral("setup");
    last_.at = QDateTime::currentMSecsSinceEpoch();
    state_.json = RemoteServer::toJson(last_);
}

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
    if (!guard_->listen(settings_.bind, settings_.port)) {
        const QString failure = guard_->errorString();
        delete guard_;
        guard_ = nullptr;
        emit listened(0, {}, failure);
        return;
    }
    broadcaster_ = new Broadcaster({settings_.pingsPerSecond}, this);
    connect(broadcaster_, &Broadcaster::countChanged, this, [this](int count) { clients_->store(count); });
    connect(guard_, &ConnectionGuard::requestReady, this, &RemoteWorker::serve);
    connect(guard_, &ConnectionGuard::framingRefused, this, &RemoteWorker::refuseFraming);

    state_.port = guard_->serverPort();
    const QString host = RemoteServer::urlHost(settings_.bind);
    state_.ownHost = (host + QLatin1Char(':') + QString::number(state_.port)).toLatin1();
    state_.hosts = machineHosts() << host.toLatin1().toLower();
    hostsAt_ = guard_->now();
    emit listened(state_.port, host, {});
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
    // The command was asked for, whether or not its asker stays to hear the answer.
    if (routed.command)
        emit commandRequested(*routed.command);
    const bool open = connection->answer(serialize(routed.answer), routed.answer.close, guard_->now());
    if (open && routed.upgrade)
        broadcaster_->admit(connection, state_.json);
}

void RemoteWorker::refuseFraming(Connection *connection, int status, const QByteArray &reason)
{
    connection->answer(serialize(::refuseFraming(status, reason, state_).answer), true, guard_->now());
}

void RemoteWorker::publish(const RemoteSnapshot &snapshot)
{
    if (snapshot.showsSameAs(last_))
        return;
    last_ = snapshot;
    state_.json = RemoteServer::toJson(snapshot);
    state_.runState = snapshot.state;
    if (broadcaster_)
        broadcaster_->publish(state_.json);
}

RemoteServer::RemoteServer(QObject *parent) : QObject(parent), anchor_(new QObject)
{
    thread_.setObjectName(QStringLiteral("remote server"));
    anchor_->moveToThread(&thread_);
}

RemoteServer::~RemoteServer()
{
    stop();
    if (thread_.isRunning()) {
        // After every worker that was stopped has been deleted: events to one thread keep their order.
        QMetaObject::invokeMethod(
            anchor_, [] { QThread::currentThread()->quit(); }, Qt::QueuedConnection);
        thread_.wait();
    }
    delete anchor_;
}

void RemoteServer::start(const Settings &settings)
{
    stop();
    viewToken_ = newToken();
    controlToken_ = newToken();
    clients_ = std::make_shared<std::atomic<int>>(0);
    if (!thread_.isRunning())
        thread_.start();

    auto *worker = new RemoteWorker(settings, viewToken_, controlToken_, clients_);
    worker->moveToThread(&thread_);
    const quint64 generation = ++generation_;
    connect(
        worker, &RemoteWorker::listened, this,
        [this, generation](quint16 port, const QString &host, const QString &failure) {
            if (generation != generation_)
                return;
            if (!failure.isEmpty()) {
                stop();
                emit failed(failure);
                return;
            }
            port_ = port;
            host_ = host;
            emit started();
        },
        Qt::QueuedConnection);
    connect(
        worker, &RemoteWorker::commandRequested, this,
        [this, generation](const RemoteCommand &command) {
            if (generation == generation_)
                emit commandRequested(command);
        },
        Qt::QueuedConnection);
    worker_ = worker;
    QMetaObject::invokeMethod(worker, &RemoteWorker::listen, Qt::QueuedConnection);
}

void RemoteServer::stop()
{
    if (!worker_)
        return;
    ++generation_; // whatever the old worker still says is dropped
    RemoteWorker *worker = std::exchange(worker_, nullptr);
    // On its own thread, before anything asked of the server after this; it closes the listening
    // socket and every connection with it.
    QMetaObject::invokeMethod(
        anchor_, [worker] { delete worker; }, Qt::QueuedConnection);
    port_ = 0;
    host_.clear();
    viewToken_.clear();
    controlToken_.clear();
    clients_.reset();
}

QString RemoteServer::viewUrl() const
{
    if (!isListening())
        return {};
    return QStringLiteral("http://%1:%2/?t=%3").arg(host_).arg(port_).arg(viewToken_);
}

QString RemoteServer::controlUrl() const
{
    if (!isListening())
        return {};
    return QStringLiteral("http://%1:%2/control?t=%3").arg(host_).arg(port_).arg(controlToken_);
}

void RemoteServer::publish(const RemoteSnapshot &snapshot)
{
    if (!worker_)
        return;
    RemoteWorker *worker = worker_;
    QMetaObject::invokeMethod(
        worker, [worker, snapshot] { worker->publish(snapshot); }, Qt::QueuedConnection);
}

QByteArray RemoteServer::toJson(const RemoteSnapshot &snapshot)
{
    QJsonObject object;
    object.insert(QStringLiteral("text"), snapshot.text);
    object.insert(QStringLiteral("background"), snapshot.background.name(QColor::HexRgb));
    object.insert(QStringLiteral("foreground"), snapshot.foreground.name(QColor::HexRgb));
    object.insert(QStringLiteral("state"), snapshot.state);
    object.insert(QStringLiteral("stateText"), runStateWordOf(snapshot.state));
    object.insert(QStringLiteral("remaining"),
                  snapshot.remaining ? QJsonValue(*snapshot.remaining) : QJsonValue(QJsonValue::Null));
    object.insert(QStringLiteral("at"), snapshot.at);
    const auto named = [](const std::optional<RemoteTalk> &talk, bool numbered) -> QJsonValue {
        if (!talk)
            return QJsonValue::Null;
        QJsonObject fields{{QStringLiteral("title"), talk->title},
                           {QStringLiteral("speaker"), talk->speaker}};
        if (numbered) {
            fields.insert(QStringLiteral("number"), talk->number);
            fields.insert(QStringLiteral("count"), talk->count);
        }
        return fields;
    };
    object.insert(QStringLiteral("talk"), named(snapshot.talk, true));
    object.insert(QStringLiteral("next"), named(snapshot.next, false));
    const auto orNull = [](const QString &text) { return text.isEmpty() ? QJsonValue() : QJsonValue(text); };
    object.insert(QStringLiteral("message"),
                  snapshot.message.isEmpty() ? QJsonValue() : QJsonValue(snapshot.message));
    object.insert(QStringLiteral("messages"), QJsonArray::fromStringList(snapshot.messages));
    object.insert(QStringLiteral("clock"), snapshot.clock);
    object.insert(QStringLiteral("session"),
                  snapshot.session
                      ? QJsonValue(QJsonObject{
                            {QStringLiteral("plannedEnd"), orNull(snapshot.session->plannedEnd)},
                            {QStringLiteral("projectedEnd"), orNull(snapshot.session->projectedEnd)},
                            {QStringLiteral("behindSeconds"),
                             snapshot.session->behindSeconds ? QJsonValue(*snapshot.session->behindSeconds)
                                                             : QJsonValue()}})
                      : QJsonValue(QJsonValue::Null));
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QString RemoteServer::urlHost(const QHostAddress &bind)
{
    if (bind == QHostAddress(QHostAddress::Any) || bind == QHostAddress(QHostAddress::AnyIPv4) ||
        bind == QHostAddress(QHostAddress::AnyIPv6)) {
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
    return QString::fromLatin1(hostForm(bind));
}
