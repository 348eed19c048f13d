#include "remote/connectionguard.h"

#include <QTcpSocket>
#include <algorithm>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

void closeDescriptor(qintptr descriptor)
{
#ifdef Q_OS_WIN
    ::closesocket(static_cast<SOCKET>(descriptor));
#else
    ::close(static_cast<int>(descriptor));
#endif
}

} // namespace

ConnectionGuard::ConnectionGuard(const Limits &limits, QObject *parent) : QTcpServer(parent), limits_(limits)
{
    clock_.start();
    // Often enough that the idle time and the lifetime are kept to within a fraction of a second.
    sweep_.setInterval(std::clamp(limits_.idleMs / 4, 50, 1000));
    connect(&sweep_, &QTimer::timeout, this, &ConnectionGuard::sweep);
    sweep_.start();
    // Out of descriptors after all (another part of the program took them): Qt stops accepting
    // for good. Try again a moment later rather than never.
    connect(this, &QTcpServer::acceptError, this,
            [this] { QTimer::singleShot(100, this, &QTcpServer::resumeAccepting); });
    setMaxPendingConnections(AcceptBatch);
}

int ConnectionGuard::connectionCap(int wanted)
{
    int cap = wanted;
#ifndef Q_OS_WIN
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        const auto open = static_cast<qint64>(limit.rlim_cur) - ReservedDescriptors;
        cap = static_cast<int>(std::min<qint64>(cap, open));
    }
#endif
    return std::max(cap, 1);
}

void ConnectionGuard::incomingConnection(qintptr descriptor)
{
    auto *socket = new QTcpSocket;
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        closeDescriptor(descriptor);
        return;
    }
    // Qt accepts for as long as connections keep coming, unless this many wait to be taken: a storm
    // of them is taken a batch at a time, and between batches the connections already taken are
    // read, so that one that came with a request is served before a later crowd pushes it out.
    addPendingConnection(socket);
    if (!adoptionQueued_) {
        adoptionQueued_ = true;
        QMetaObject::invokeMethod(this, &ConnectionGuard::adoptPending, Qt::QueuedConnection);
    }
}

void ConnectionGuard::adoptPending()
{
    adoptionQueued_ = false;
    while (QTcpSocket *socket = nextPendingConnection())
        adopt(socket);
}

void ConnectionGuard::adopt(QTcpSocket *socket)
{
    if (connectionCount() >= limits_.maxConnections)
        shedOne();
    if (connectionCount() >= limits_.maxConnections) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    auto *connection = new Connection(socket, now(), limits_.connection, this);
    connections_.push_back(connection);
    connect(connection, &Connection::requestReady, this, &ConnectionGuard::requestReady);
    connect(connection, &Connection::framingRefused, this, &ConnectionGuard::framingRefused);
    connect(connection, &Connection::gone, this, &ConnectionGuard::forget);
}

void ConnectionGuard::shedOne()
{
    // Viewers that were let in stay; of the rest, the one that waited longest since it was last
    // served goes. A client holding hundreds of silent connections loses its own oldest first.
    Connection *oldest = nullptr;
    for (Connection *connection : connections_) {
        if (!connection->isWebSocket() && (!oldest || connection->lastServed() < oldest->lastServed()))
            oldest = connection;
    }
    if (oldest)
        oldest->drop();
}

void ConnectionGuard::sweep()
{
    const qint64 at = now();
    const std::vector<Connection *> connections = connections_; // drop() forgets
    for (Connection *connection : connections) {
        if (connection->isWebSocket())
            continue;
        if (at - connection->lastServed() > limits_.idleMs ||
            at - connection->openedAt() > limits_.lifetimeMs)
            connection->drop();
    }
}

void ConnectionGuard::forget(Connection *connection)
{
    connections_.erase(std::remove(connections_.begin(), connections_.end(), connection), connections_.end());
}

void ConnectionGuard::dropAll()
{
    const std::vector<Connection *> connections = connections_;
    for (Connection *connection : connections)
        connection->drop();
}
