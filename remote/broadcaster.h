#pragma once

#include "remote/remotelimits.h"

#include <QElapsedTimer>
#include <QObject>
#include <vector>

class Connection;

// The WebSocket viewers: each is sent the state when it joins and at every change. A viewer only
// listens; one that says anything but a pong or a close, or pings more than a few times a second,
// is closed with "policy violation". A client with the control token may also send commands, as
// texts, which are handed on as they come. One that falls too far behind in reading is dropped: the
// backlog is checked at every write, pongs included, and only a write can make it grow, so a
// viewer that stops reading while nothing changes on the display cannot pile up answers either.
class Broadcaster : public QObject {
    Q_OBJECT
public:
    struct Limits {
        int pingsPerSecond = 5;
    };

    Broadcaster(const Limits &limits, QObject *parent);

    int count() const { return static_cast<int>(clients_.size()); }
    // The connection has been answered its handshake; it is sent `state` at once. One that is no
    // longer open is not admitted.
    void admit(Connection *connection, const QByteArray &state, bool controls = false);
    void publish(const QByteArray &state);

signals:
    void countChanged(int count);
    // A text from a client that controls: a command for the window, to be answered on the socket.
    void commandSent(Connection *connection, const QByteArray &text);

private:
    struct Client {
        Connection *connection;
        QByteArray unread;
        PerSecond pings;
        bool controls = false;
    };

    void read(Connection *connection);
    void refuse(Connection *connection);
    void forget(Connection *connection);
    Client *find(Connection *connection);

    Limits limits_;
    QElapsedTimer clock_;
    std::vector<Client> clients_;
};
