#pragma once

#include "remote/connection.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTimer>
#include <vector>

// Every TCP connection of the remote server, and the limits that keep any client from hurting the
// program: at most so many connections at once, fewer than the process may open, so that the
// sound process, files and Qt's own pipes always find a descriptor; at the cap the longest idle
// connection that is not a WebSocket viewer makes room for the new one; an HTTP connection lives
// for the idle time after its last served request and never longer than its lifetime.
class ConnectionGuard : public QTcpServer {
    Q_OBJECT
public:
    struct Limits {
        int maxConnections = 1024; // lowered to what the descriptors allow
        int idleMs = 10000;
        int lifetimeMs = 120000;
        Connection::Limits connection;
    };

    ConnectionGuard(const Limits &limits, QObject *parent);

    // The descriptors the process keeps for itself, whatever the clients do.
    static constexpr int ReservedDescriptors = 160;
    // At most `wanted`, and what the process's open-file limit leaves after the reserve.
    static int connectionCap(int wanted);

    int maxConnections() const { return limits_.maxConnections; }
    int connectionCount() const { return static_cast<int>(connections_.size()); }
    qint64 now() const { return clock_.elapsed(); }
    // Ends every connection at once.
    void dropAll();

signals:
    void requestReady(Connection *connection, const HttpRequest &request);
    void framingRefused(Connection *connection, int status, const QByteArray &reason);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    // Connections accepted in one turn of the event loop at most.
    static constexpr int AcceptBatch = 32;

    void adoptPending();
    void adopt(QTcpSocket *socket);
    void shedOne();
    void sweep();
    void forget(Connection *connection);

    Limits limits_;
    QElapsedTimer clock_;
    QTimer sweep_;
    std::vector<Connection *> connections_;
    bool adoptionQueued_ = false;
};
