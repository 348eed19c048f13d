#pragma once

#include "remote/remoteserver.h"
#include "remote/router.h"

#include <QObject>
#include <atomic>
#include <memory>

class Broadcaster;
class Connection;
class ConnectionGuard;

// Everything that runs on the server's thread: the listening socket and its connections, the
// viewers and what the router needs to know.
class RemoteWorker : public QObject {
    Q_OBJECT
public:
    RemoteWorker(const RemoteServer::Settings &settings, const QString &viewToken,
                 const QString &controlToken, std::shared_ptr<std::atomic<int>> clients);

    void listen();
    void publish(const RemoteSnapshot &snapshot);

signals:
    void listened(quint16 port, const QString &host, const QString &failure);
    void commandRequested(const RemoteCommand &command);

private:
    void serve(Connection *connection, const HttpRequest &request);
    void refuseFraming(Connection *connection, int status, const QByteArray &reason);

    RemoteServer::Settings settings_;
    std::shared_ptr<std::atomic<int>> clients_;
    RouterState state_;
    qint64 hostsAt_ = 0;
    RemoteSnapshot last_;
    ConnectionGuard *guard_ = nullptr;
    Broadcaster *broadcaster_ = nullptr;
};
