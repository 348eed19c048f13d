#include "platform/remoteserver.h"

#include <QAbstractHttpServer>
#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkInterface>
#include <QPointer>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QUrlQuery>
#include <QWebSocket>
#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

namespace {

using Status = QHttpServerResponder::StatusCode;

constexpr qsizetype MaxBody = 4 * 1024;
// Qt's parser keeps a whole request in memory before anyone may look at it. Bodies up to this size
// are let through to be answered 413 properly; a connection announcing or sending more is cut
// before the rest is read. A request head longer than this is cut as well.
constexpr qsizetype MaxBuffered = 64 * 1024;
constexpr qsizetype MaxHead = 16 * 1024;
// A refused WebSocket is given this long to answer the closing handshake.
constexpr int CloseGraceMs = 5000;
// Refusals close with "policy violation" (1008); the reason tells the page which one it was.
const QString TooManyClients = QStringLiteral("too many clients");

enum class Access { None, View, Control };

QString newToken()
{
    std::array<quint32, 4> bits{};
    QRandomGenerator::system()->fillRange(bits.data(), static_cast<qsizetype>(bits.size()));
    const QByteArray raw(reinterpret_cast<const char *>(bits.data()), sizeof bits);
    return QString::fromLatin1(raw.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

// Takes as long for a near miss as for a wild guess: the time depends on the secret's length only.
bool sameSecret(QByteArrayView given, QByteArrayView secret)
{
    unsigned difference = given.size() == secret.size() ? 0U : 1U;
    for (qsizetype i = 0; i < secret.size(); ++i) {
        const char g = i < given.size() ? given[i] : '\0';
        difference |=
            static_cast<unsigned>(static_cast<unsigned char>(g) ^ static_cast<unsigned char>(secret[i]));
    }
    return difference == 0;
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

// A Host header goes into the policy's connect-src; anything but a plain host and port is ignored.
bool plainHost(QByteArrayView host)
{
    if (host.isEmpty() || host.size() > 255)
        return false;
    for (const char c : host) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                        c == '.' || c == '-' || c == ':' || c == '[' || c == ']';
        if (!ok)
            return false;
    }
    return true;
}

// Watches one TCP connection while it speaks HTTP: closes it when no request has come for the
// idle time, and cuts it when a request's head or body would make the parser hold too much.
// It reads the bytes before Qt's parser does (its slot is connected first) and only peeks.
class ConnectionGuard : public QObject {
public:
    ConnectionGuard(QTcpSocket *socket, int idleMs) : QObject(socket), socket_(socket)
    {
        idle_.setSingleShot(true);
        idle_.setInterval(idleMs);
        connect(&idle_, &QTimer::timeout, socket, &QTcpSocket::abort);
        connect(socket, &QTcpSocket::readyRead, this, &ConnectionGuard::inspect);
        // A long answer to a slow reader is not idleness.
        connect(socket, &QTcpSocket::bytesWritten, this, [this] {
            if (!upgraded_)
                idle_.start();
        });
        idle_.start();
    }

    // Qt has read a whole request; the next one starts afresh.
    void requestDone()
    {
        head_.clear();
        headDone_ = false;
        bodySeen_ = 0;
        if (!upgraded_)
            idle_.start();
    }

    // The connection is a WebSocket now; its clients may stay silent for as long as they like.
    // The WebSocket uses the TCP socket but does not own it: it takes it, so the two go together.
    void upgraded(QWebSocket *webSocket)
    {
        upgraded_ = true;
        idle_.stop();
        disconnect(socket_, nullptr, this, nullptr);
        socket_->setParent(webSocket);
    }

private:
    void inspect()
    {
        if (!socket_->isOpen())
            return;
        const QByteArray fresh = socket_->peek(socket_->bytesAvailable());
        if (!headDone_) {
            const qsizetype before = head_.size();
            head_ += fresh.left(MaxHead + 4 - head_.size());
            const qsizetype end = head_.indexOf("\r\n\r\n");
            if (end < 0) {
                if (head_.size() > MaxHead)
                    cut();
                return;
            }
            headDone_ = true;
            if (announcedTooMuch(QByteArrayView(head_).first(end))) {
                cut();
                return;
            }
            bodySeen_ = fresh.size() - (end + 4 - before);
        } else {
            bodySeen_ += fresh.size();
        }
        // Chunked bodies announce no length; count what comes.
        if (bodySeen_ > MaxBuffered + MaxHead)
            cut();
    }

    // Qt's parser, next in line for these bytes, is not to see them.
    void cut()
    {
        disconnect(socket_, &QTcpSocket::readyRead, nullptr, nullptr);
        socket_->abort();
    }

    static bool announcedTooMuch(QByteArrayView head)
    {
        const QList<QByteArray> lines = head.toByteArray().split('\n');
        for (const QByteArray &line : lines) {
            const qsizetype colon = line.indexOf(':');
            if (colon < 0 || line.first(colon).trimmed().toLower() != "content-length")
                continue;
            bool ok = false;
            const qlonglong length = line.sliced(colon + 1).trimmed().toLongLong(&ok);
            if (!ok || length > MaxBuffered)
                return true;
        }
        return false;
    }

    QTcpSocket *socket_;
    QTimer idle_;
    QByteArray head_;
    bool headDone_ = false;
    bool upgraded_ = false;
    qsizetype bodySeen_ = 0;
};

// The listening socket, owned so that every connection is seen before Qt's HTTP server takes it.
class GuardedTcpServer : public QTcpServer {
public:
    GuardedTcpServer(int idleMs, QObject *parent) : QTcpServer(parent), idleMs_(idleMs) {}

    ConnectionGuard *guardOf(const QHostAddress &peer, quint16 port) const
    {
        const auto it = guards_.constFind(key(peer, port));
        return it == guards_.cend() ? nullptr : it.value().data();
    }

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *socket = new QTcpSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        auto *guard = new ConnectionGuard(socket, idleMs_);
        const QString k = key(socket->peerAddress(), socket->peerPort());
        guards_.insert(k, guard);
        // A peer may come back from the same port before this guard is gone; keep the new one.
        connect(guard, &QObject::destroyed, this, [this, k] {
            if (const auto it = guards_.find(k); it != guards_.end() && it.value().isNull())
                guards_.erase(it);
        });
        addPendingConnection(socket);
    }

private:
    static QString key(const QHostAddress &peer, quint16 port)
    {
        return peer.toString() + QLatin1Char('/') + QString::number(port);
    }

    int idleMs_;
    QHash<QString, QPointer<ConnectionGuard>> guards_;
};

} // namespace

// Everything that runs on the server's thread: the HTTP server, the WebSocket clients and the
// last snapshot.
class RemoteWorker : public QObject {
    Q_OBJECT
public:
    RemoteWorker(const RemoteServer::Settings &settings, const QString &viewToken,
                 const QString &controlToken, std::atomic<int> *clients);
    ~RemoteWorker() override;

    bool listen(quint16 *port, QString *host, QString *error);
    void shutdown();
    void publish(const RemoteSnapshot &snapshot);

    bool handle(const QHttpServerRequest &request, QTcpSocket *socket, QHttpServerResponder &&responder);
    void refuse(QHttpServerResponder &&responder, const QHttpServerRequest &request);

signals:
    void commandRequested(const QString &command);

private:
    struct Answer {
        Status status = Status::NotFound;
        QByteArray type = "text/plain; charset=utf-8";
        QByteArray body = "404 not found\n";
        QByteArray allow;     // for 405
        QString command;      // to pass on once answered
        bool upgrade = false; // let Qt go on with the WebSocket handshake
    };

    Answer decide(const QHttpServerRequest &request, bool upgrade) const;
    static bool isUpgrade(const QHttpServerRequest &request);
    Access accessOf(const QString &token) const;
    void admit(std::unique_ptr<QWebSocket> socket);
    void close(QWebSocket *socket, const QString &reason);
    void drop(QWebSocket *socket);
    void send(QWebSocket *socket);
    void reply(QHttpServerResponder &responder, const QHttpServerRequest &request, const Answer &answer);

    RemoteServer::Settings settings_;
    QByteArray viewToken_;
    QByteArray controlToken_;
    std::atomic<int> *clientCount_;
    QByteArray page_;
    QByteArray scriptHash_;
    QByteArray styleHash_;
    QByteArray ownHost_;
    QAbstractHttpServer *http_ = nullptr;
    GuardedTcpServer *tcp_ = nullptr;
    std::vector<QWebSocket *> clients_;
    RemoteSnapshot last_;
    QString json_;
    Answer refusal_; // from handleRequest to the missing handler, which Qt calls right after
};

namespace {

class Http : public QAbstractHttpServer {
public:
    explicit Http(RemoteWorker *worker) : QAbstractHttpServer(worker), worker_(worker) {}

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override
    {
        return worker_->handle(request, socket, makeResponder(request, socket));
    }
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override
    {
        worker_->refuse(makeResponder(request, socket), request);
    }

private:
    RemoteWorker *worker_;
};

} // namespace

RemoteWorker::RemoteWorker(const RemoteServer::Settings &settings, const QString &viewToken,
                           const QString &controlToken, std::atomic<int> *clients)
    : settings_(settings), viewToken_(viewToken.toLatin1()), controlToken_(controlToken.toLatin1()),
      clientCount_(clients)
{
    QFile file(QStringLiteral(":/podiumwatch/remote/view.html"));
    if (file.open(QIODevice::ReadOnly))
        page_ = file.readAll();
    // The policy admits the page's own script and style by their hashes, and nothing else.
    scriptHash_ = inlineHash(page_, "<script>", "</script>");
    styleHash_ = inlineHash(page_, "<style>", "</style>");
    last_.background = QColor(Qt::black);
    last_.foreground = QColor(Qt::green);
    last_.state = QStringLiteral("setup");
    last_.at = QDateTime::currentMSecsSinceEpoch();
    json_ = QString::fromUtf8(RemoteServer::toJson(last_));
}

RemoteWorker::~RemoteWorker()
{
    shutdown();
}

bool RemoteWorker::listen(quint16 *port, QString *host, QString *error)
{
    http_ = new Http(this);
    tcp_ = new GuardedTcpServer(settings_.idleMs, http_);
    // A hall's phones may all connect at once when the address goes up on the screen; with the
    // system's usual backlog some would wait a second for their connection to be retried.
    tcp_->setListenBacklogSize(std::max(50, settings_.maxClients));
    if (!tcp_->listen(settings_.bind, settings_.port)) {
        *error = tcp_->errorString();
        delete http_;
        http_ = nullptr;
        tcp_ = nullptr;
        return false;
    }
    http_->bind(tcp_);
    connect(http_, &QAbstractHttpServer::newWebSocketConnection, this, [this] {
        while (http_ && http_->hasPendingWebSocketConnections())
            admit(http_->nextPendingWebSocketConnection());
    });
    *port = tcp_->serverPort();
    *host = RemoteServer::urlHost(settings_.bind);
    ownHost_ = (*host + QLatin1Char(':') + QString::number(*port)).toLatin1();
    return true;
}

void RemoteWorker::shutdown()
{
    // The WebSockets, admitted or refused, are all children; they go first, with the TCP sockets
    // they took over from the listener.
    clients_.clear();
    const QList<QWebSocket *> sockets = findChildren<QWebSocket *>(QString(), Qt::FindDirectChildrenOnly);
    for (QWebSocket *socket : sockets) {
        socket->disconnect(this);
        socket->abort();
        delete socket;
    }
    clientCount_->store(0);
    delete http_;
    http_ = nullptr;
    tcp_ = nullptr;
}

Access RemoteWorker::accessOf(const QString &token) const
{
    const QByteArray given = token.toLatin1();
    // Both comparisons always run, so the time does not tell which token came close.
    const bool control = sameSecret(given, controlToken_);
    const bool view = sameSecret(given, viewToken_);
    return control ? Access::Control : view ? Access::View : Access::None;
}

void RemoteWorker::reply(QHttpServerResponder &responder, const QHttpServerRequest &request,
                         const Answer &answer)
{
    const QByteArray host = request.value("host");
    const QByteArray origin = plainHost(host) ? host : ownHost_;
    const QByteArray policy = "default-src 'none'; script-src " + scriptHash_ + "; style-src " + styleHash_ +
                              "; connect-src 'self' ws://" + origin +
                              "; frame-ancestors 'none'; base-uri 'none'; form-action 'none'";
    responder.writeStatusLine(answer.status);
    responder.writeHeader("Cache-Control", "no-store");
    responder.writeHeader("X-Content-Type-Options", "nosniff");
    responder.writeHeader("Content-Security-Policy", policy);
    responder.writeHeader("Referrer-Policy", "no-referrer");
    if (!answer.allow.isEmpty())
        responder.writeHeader("Allow", answer.allow);
    if (answer.status != Status::NoContent) {
        responder.writeHeader("Content-Type", answer.type);
        responder.writeHeader("Content-Length", QByteArray::number(answer.body.size()));
    }
    responder.writeBody(answer.body);
}

bool RemoteWorker::handle(const QHttpServerRequest &request, QTcpSocket *socket,
                          QHttpServerResponder &&responder)
{
    if (ConnectionGuard *guard = tcp_ ? tcp_->guardOf(socket->peerAddress(), socket->peerPort()) : nullptr)
        guard->requestDone();
    const bool upgrade = isUpgrade(request);
    const Answer answer = decide(request, upgrade);
    if (upgrade) {
        // Qt goes on with the WebSocket handshake when this returns true, and calls the missing
        // handler, which sends the refusal, when it returns false.
        if (answer.upgrade)
            return true;
        refusal_ = answer;
        return false;
    }
    reply(responder, request, answer);
    if (!answer.command.isEmpty())
        emit commandRequested(answer.command);
    return true;
}

void RemoteWorker::refuse(QHttpServerResponder &&responder, const QHttpServerRequest &request)
{
    reply(responder, request, std::exchange(refusal_, Answer{}));
}

bool RemoteWorker::isUpgrade(const QHttpServerRequest &request)
{
    // As Qt's parser decides it: a Connection header naming "upgrade" and an Upgrade header.
    const QList<QByteArray> tokens = request.value("connection").toLower().split(',');
    const bool upgrade = std::any_of(tokens.cbegin(), tokens.cend(),
                                     [](const QByteArray &token) { return token.trimmed() == "upgrade"; });
    return upgrade && !request.value("upgrade").isEmpty();
}

RemoteWorker::Answer RemoteWorker::decide(const QHttpServerRequest &request, bool upgrade) const
{
    auto refusal = [](Status status, const QByteArray &body, const QByteArray &allow = {}) {
        Answer answer;
        answer.status = status;
        answer.body = body;
        answer.allow = allow;
        return answer;
    };
    bool lengthOk = false;
    const qlonglong announced = request.value("content-length").toLongLong(&lengthOk);
    if (request.body().size() > MaxBody || (lengthOk && announced > MaxBody))
        return refusal(Status::PayloadTooLarge, "413 request body too large\n");
    const Access access = accessOf(request.query().queryItemValue(QStringLiteral("t"), QUrl::FullyDecoded));
    if (access == Access::None)
        return refusal(Status::Forbidden, "403 forbidden\n");

    const QString path = request.url().path();
    static const QStringList commands{QStringLiteral("start"), QStringLiteral("pause"),
                                      QStringLiteral("restart"), QStringLiteral("reset")};
    const QString prefix = QStringLiteral("/control/");
    const bool isCommand = path.startsWith(prefix) && commands.contains(path.mid(prefix.size()));
    const bool isPage = path == QLatin1String("/") || path == QLatin1String("/control");
    const bool isState = path == QLatin1String("/state");
    const bool isSocket = path == QLatin1String("/ws");
    if ((!isCommand && !isPage && !isState && !isSocket) || (upgrade && !isSocket))
        return refusal(Status::NotFound, "404 not found\n");
    const Access needed = isCommand || path == QLatin1String("/control") ? Access::Control : Access::View;
    if (needed == Access::Control && access != Access::Control)
        return refusal(Status::Forbidden, "403 forbidden\n");
    using Method = QHttpServerRequest::Method;
    if (request.method() != (isCommand ? Method::Post : Method::Get))
        return refusal(Status::MethodNotAllowed, "405 method not allowed\n", isCommand ? "POST" : "GET");

    Answer answer;
    answer.status = Status::Ok;
    if (isPage) {
        answer.type = "text/html; charset=utf-8";
        answer.body = page_;
    } else if (isState) {
        answer.type = "application/json";
        answer.body = json_.toUtf8();
    } else if (isSocket && !upgrade) {
        return refusal(Status::UpgradeRequired, "426 upgrade required\n");
    } else if (isSocket) {
        if (static_cast<qsizetype>(clients_.size()) >= settings_.maxClients)
            return refusal(Status::ServiceUnavailable, "503 too many clients\n");
        answer.upgrade = true;
    } else {
        answer.status = Status::NoContent;
        answer.command = path.mid(prefix.size());
    }
    return answer;
}

void RemoteWorker::admit(std::unique_ptr<QWebSocket> owned)
{
    if (!owned)
        return;
    QWebSocket *socket = owned.release();
    socket->setParent(this);
    if (ConnectionGuard *guard = tcp_ ? tcp_->guardOf(socket->peerAddress(), socket->peerPort()) : nullptr)
        guard->upgraded(socket);
    // The handshake was only let through for a good token on /ws; checked again here because
    // nothing about the socket may be taken on trust. Closed at once, before it is sent anything.
    const QUrl url = socket->requestUrl();
    if (url.path() != QLatin1String("/ws") ||
        accessOf(QUrlQuery(url).queryItemValue(QStringLiteral("t"), QUrl::FullyDecoded)) == Access::None) {
        close(socket, QStringLiteral("forbidden"));
        return;
    }
    // Two handshakes may have been let through for the last place.
    if (static_cast<qsizetype>(clients_.size()) >= settings_.maxClients) {
        close(socket, TooManyClients);
        return;
    }
    // Clients only listen; anything they say is small and ignored.
    socket->setMaxAllowedIncomingFrameSize(1024);
    socket->setMaxAllowedIncomingMessageSize(1024);
    clients_.push_back(socket);
    clientCount_->store(static_cast<int>(clients_.size()));
    connect(socket, &QWebSocket::disconnected, this, [this, socket] { drop(socket); });
    send(socket);
}

void RemoteWorker::close(QWebSocket *socket, const QString &reason)
{
    connect(socket, &QWebSocket::disconnected, socket, &QObject::deleteLater);
    // A peer that never answers the closing handshake is cut off.
    QTimer::singleShot(CloseGraceMs, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
    socket->close(QWebSocketProtocol::CloseCodePolicyViolated, reason);
}

void RemoteWorker::drop(QWebSocket *socket)
{
    const auto it = std::find(clients_.begin(), clients_.end(), socket);
    if (it == clients_.end())
        return;
    clients_.erase(it);
    clientCount_->store(static_cast<int>(clients_.size()));
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

void RemoteWorker::send(QWebSocket *socket)
{
    socket->sendTextMessage(json_);
    // Handed to the system at once, so that what stays behind is what the client has not taken
    // (a burst of changes within one turn of the event loop would otherwise look like a backlog).
    // A client that stopped reading would have its backlog grow without bound.
    socket->flush();
    if (socket->bytesToWrite() > settings_.maxPendingBytes)
        drop(socket);
}

void RemoteWorker::publish(const RemoteSnapshot &snapshot)
{
    if (snapshot.showsSameAs(last_))
        return;
    last_ = snapshot;
    json_ = QString::fromUtf8(RemoteServer::toJson(snapshot));
    const std::vector<QWebSocket *> clients = clients_; // send() may drop one
    for (QWebSocket *socket : clients)
        send(socket);
}

RemoteServer::RemoteServer(QObject *parent) : QObject(parent)
{
}

RemoteServer::~RemoteServer()
{
    stop();
}

bool RemoteServer::start(const Settings &settings, QString *error)
{
    stop();
    viewToken_ = newToken();
    controlToken_ = newToken();

    thread_ = new QThread;
    thread_->setObjectName(QStringLiteral("remote server"));
    worker_ = new RemoteWorker(settings, viewToken_, controlToken_, &clients_);
    worker_->moveToThread(thread_);
    connect(thread_, &QThread::finished, worker_, &QObject::deleteLater);
    connect(worker_, &RemoteWorker::commandRequested, this, &RemoteServer::commandRequested,
            Qt::QueuedConnection);
    thread_->start();

    bool listening = false;
    quint16 port = 0;
    QString host, failure;
    QMetaObject::invokeMethod(
        worker_, [&] { listening = worker_->listen(&port, &host, &failure); }, Qt::BlockingQueuedConnection);
    if (!listening) {
        stop();
        if (error)
            *error = failure;
        return false;
    }
    port_ = port;
    host_ = host;
    const QByteArray lines =
        "remote view: " + viewUrl().toUtf8() + "\nremote control: " + controlUrl().toUtf8() + '\n';
    std::fputs(lines.constData(), stdout);
    std::fflush(stdout);
    return true;
}

void RemoteServer::stop()
{
    if (!thread_)
        return;
    RemoteWorker *worker = worker_;
    QMetaObject::invokeMethod(
        worker, [worker] { worker->shutdown(); }, Qt::BlockingQueuedConnection);
    thread_->quit();
    thread_->wait();
    delete thread_;
    thread_ = nullptr;
    worker_ = nullptr;
    port_ = 0;
    viewToken_.clear();
    controlToken_.clear();
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
    object.insert(QStringLiteral("remaining"),
                  snapshot.remaining ? QJsonValue(*snapshot.remaining) : QJsonValue(QJsonValue::Null));
    object.insert(QStringLiteral("at"), snapshot.at);
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
    if (bind.protocol() == QAbstractSocket::IPv6Protocol)
        return QLatin1Char('[') + bind.toString() + QLatin1Char(']');
    return bind.toString();
}

#include "remoteserver.moc"
