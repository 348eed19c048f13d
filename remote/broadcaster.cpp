#include "remote/broadcaster.h"

#include "remote/connection.h"
#include "remote/websocketframes.h"

#include <QPointer>
#include <algorithm>
#include <utility>

Broadcaster::Broadcaster(const Limits &limits, QObject *parent) : QObject(parent), limits_(limits)
{
    clock_.start();
}

Broadcaster::Client *Broadcaster::find(Connection *connection)
{
    const auto it = std::find_if(clients_.begin(), clients_.end(),
                                 [connection](const Client &c) { return c.connection == connection; });
    return it == clients_.end() ? nullptr : &*it;
}

void Broadcaster::admit(Connection *connection, const QByteArray &state, bool controls)
{
    if (!connection->isOpen())
        return;
    clients_.push_back({connection, {}, {}, controls});
    connect(connection, &Connection::bytesArrived, this, &Broadcaster::read);
    connect(connection, &Connection::gone, this, &Broadcaster::forget);
    connection->becomeWebSocket();
    emit countChanged(count());
    connection->send(textFrame(state));
}

void Broadcaster::publish(const QByteArray &state)
{
    const QByteArray frame = textFrame(state);
    const std::vector<Client> clients = clients_; // a send may drop one
    for (const Client &client : clients)
        client.connection->send(frame);
}

void Broadcaster::read(Connection *connection)
{
    Client *client = find(connection);
    if (!client)
        return;
    // A send below may close the connection and so take it out of the list: what it has sent is
    // worked on here, and the list is not looked at again until the end.
    QByteArray unread = std::exchange(client->unread, {}) + connection->takeUnread();
    PerSecond pings = client->pings;
    const bool controls = client->controls;
    const QPointer<Connection> alive(connection);
    for (;;) {
        const ClientFrame frame = readClientFrame(unread);
        if (frame.kind == ClientFrame::Kind::Incomplete)
            break;
        unread.remove(0, frame.size);
        switch (frame.kind) {
        case ClientFrame::Kind::Ping:
            if (!pings.admit(clock_.elapsed(), limits_.pingsPerSecond)) {
                refuse(connection);
                return;
            }
            if (!connection->send(pongFrame(frame.payload)))
                return;
            break;
        case ClientFrame::Kind::Pong:
            break;
        case ClientFrame::Kind::Text:
            if (!controls) {
                refuse(connection);
                return;
            }
            // Answered now (refused) or later; either may close the connection.
            emit commandSent(connection, frame.payload);
            if (!alive || !connection->isOpen())
                return;
            break;
        case ClientFrame::Kind::Close:
            forget(connection);
            connection->finish(closeFrame(CloseNormal, {}));
            return;
        default:
            refuse(connection);
            return;
        }
    }
    if (Client *still = find(connection))
        *still = {connection, unread, pings, controls};
}

void Broadcaster::refuse(Connection *connection)
{
    forget(connection);
    connection->finish(closeFrame(ClosePolicyViolation, "policy violation"));
}

void Broadcaster::forget(Connection *connection)
{
    const auto before = clients_.size();
    clients_.erase(std::remove_if(clients_.begin(), clients_.end(),
                                  [connection](const Client &c) { return c.connection == connection; }),
                   clients_.end());
    if (clients_.size() != before) {
        disconnect(connection, nullptr, this, nullptr);
        emit countChanged(count());
    }
}
