#pragma once

#include "remote/http.h"

#include <QObject>
#include <QTimer>
#include <optional>

class QTcpSocket;

// One client's TCP connection: reads its requests one at a time, strictly framed, and writes the
// answers. While an answer has not drained to the system, nothing more is read from the client:
// a client that sends requests and never reads the answers stops itself, and whatever waits to be
// written for it is bounded. After a WebSocket handshake it carries that client's frames instead.
class Connection : public QObject {
    Q_OBJECT
public:
    struct Limits {
        HttpLimits http;
        qint64 maxPendingBytes = 64 * 1024; // written and not yet taken by the client
        int closeGraceMs = 5000;            // for a peer to take its last bytes before it is cut off
    };

    Connection(QTcpSocket *socket, qint64 now, const Limits &limits, QObject *parent);

    bool isWebSocket() const { return webSocket_; }
    // A WebSocket client's bytes: what came with its handshake, then what the socket holds.
    QByteArray takeUnread();
    bool isClosing() const { return closing_; }
    qint64 openedAt() const { return openedAt_; }
    // When the last request was served, or the connection opened.
    qint64 lastServed() const { return lastServed_; }

    // Whether it may still be written to: not closed, and not closing. A client may reset its
    // connection during any write, and the connection is then gone before the write returns, so
    // every call below that writes says whether it is still open; once one has said no, the
    // connection is used no more (it deletes itself later).
    bool isOpen() const { return !gone_ && !closing_; }

    // The answer to the request last reported; the next one is read once it has drained. False:
    // the connection is closed or closing now (a refusal, or the client went during the write).
    bool answer(const QByteArray &bytes, bool close, qint64 now);
    // From now on the bytes that come are a WebSocket client's frames.
    void becomeWebSocket();
    // Writes, and drops the client if that puts it too far behind. False: no longer open.
    bool send(const QByteArray &bytes);
    // Writes these last bytes and closes once they are taken, or cuts the connection after the grace.
    void finish(const QByteArray &lastBytes);
    // Closes at once.
    void drop();

signals:
    void requestReady(Connection *connection, const HttpRequest &request);
    void framingRefused(Connection *connection, int status, const QByteArray &reason);
    // A WebSocket client has sent bytes; they are in the socket.
    void bytesArrived(Connection *connection);
    // Closed; the connection deletes itself later.
    void gone(Connection *connection);

private:
    void readNext();
    // Drops the client if it is too far behind in reading. False: no longer open.
    bool dropIfBehind();
    void written();
    void closed();

    // What Qt reads from the system at a time, and holds at most.
    static constexpr qint64 ReadChunk = 4096;

    QTcpSocket *socket_;
    Limits limits_;
    QByteArray unread_;               // taken from the socket, not yet a whole request
    qsizetype searched_ = 0;          // how far it holds no end of a head
    std::optional<HeadReading> head_; // a head read whose body is still coming
    qint64 openedAt_;
    qint64 lastServed_;
    bool webSocket_ = false;
    bool closing_ = false;
    bool answering_ = false; // a request was handed on and its answer has not been written
    bool draining_ = false;  // the answer has not all been taken by the system
    bool gone_ = false;
    QTimer grace_;
};
