#pragma once

#include "remote/connection.h"
#include "remote/remotecommand.h"
#include "remote/remotelimits.h"
#include "remote/router.h"

#include <QJsonValue>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <optional>
#include <unordered_map>

// The host the printed addresses name: the bind address, or for every interface the machine's
// first running non-loopback IPv4 address (127.0.0.1 when there is none). IPv6 in brackets.
QString remoteUrlHost(const QString &bind);

class Broadcaster;
class ConnectionGuard;

// The remote server itself: the listening socket and its connections, the viewers, and what the
// router needs to know. It lives on one thread (the server's) and does all its work there.
//
// One rule for a connection's lifetime: every call that may close a connection says whether it is
// still open, and nothing uses a connection after it said no. A client can reset its connection in
// the middle of any write, and the connection is then gone before the write returns.
class RemoteWorker : public QObject {
    Q_OBJECT
public:
    // `settings` carries the tokens to accept (both set); `state` is served until the first publish().
    RemoteWorker(const RemoteSettings &settings, const QByteArray &state, QObject *parent = nullptr);
    ~RemoteWorker() override;

    // Listens as the settings say: listened() follows at once.
    void listen();
    // The state as the pages get it, sent to every viewer.
    void publish(const QByteArray &json);
    // The window's answer to the command of that id; one that is no longer awaited is dropped.
    void settle(quint64 id, const CommandVerdict &verdict);

    int viewerCount() const;

signals:
    void listened(quint16 port, const QString &host, const QString &failure);
    // Answered once settle() is called with the same id, or 503 after the settings' verdict time.
    void commandRequested(const RemoteCommand &command, quint64 id);
    void viewersChanged(int count);

private:
    struct Awaited {
        QPointer<Connection> connection;
        HttpAnswer accepted; // what a 204 is
        qint64 since = 0;
        std::optional<QJsonValue> socketId; // sent on a control socket: the reply's id
    };

    void serve(Connection *connection, const HttpRequest &request);
    void refuseFraming(Connection *connection, int status, const QByteArray &reason);
    void commandFromSocket(Connection *connection, const QByteArray &text);
    // Why a command cannot be passed on now (too many waiting, too many this second), or nullptr.
    const char *tooBusy(qint64 now);
    void await(const RemoteCommand &command, Awaited awaited);
    void expireAwaited();

    RemoteSettings settings_;
    RouterState state_;
    qint64 hostsAt_ = 0;
    ConnectionGuard *guard_ = nullptr;
    Broadcaster *broadcaster_ = nullptr;
    std::unordered_map<quint64, Awaited> awaited_;
    quint64 nextId_ = 0;
    PerSecond commandsThisSecond_;
    QTimer expiry_{this}; // a child, so that it moves to the server's thread with the worker
};
