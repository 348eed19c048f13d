#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <utility>

// HTTP/1.1 as the remote server speaks it, without sockets: reading one request's head from the
// front of a connection's bytes, and writing an answer. Strict about framing: a request whose
// length could be read two ways is refused rather than guessed at, so that no request can hide
// inside another one.

using HttpHeaders = QList<std::pair<QByteArray, QByteArray>>; // names in lower case

struct HttpRequest {
    QByteArray method;
    QByteArray target; // as sent: the path and the query
    bool http10 = false;
    HttpHeaders headers; // values without the blanks around them
    QByteArray body;

    QByteArray header(QByteArrayView name) const; // the first value; empty when there is none
    qsizetype count(QByteArrayView name) const;
    // Whether a comma-separated header names this token, in any case ("Connection: keep-alive, Upgrade").
    bool lists(QByteArrayView name, QByteArrayView token) const;
    // Whether the client wants the connection kept after the answer.
    bool keepsAlive() const;
};

struct HttpLimits {
    qsizetype maxHead = 16 * 1024; // request line and headers, blank line included
    qsizetype maxBody = 4 * 1024;
};

// What the bytes at the front of a connection hold.
struct HeadReading {
    enum class Kind {
        Incomplete, // not a whole head yet
        Request,    // a head that can be served once its body has come
        Refused,    // answered with `status` and the connection closed
    };
    Kind kind = Kind::Incomplete;
    int status = 0;      // Refused: 400, 413 or 431
    QByteArray reason;   // Refused: said in the answer's body
    HttpRequest request; // Request: all but the body
    qsizetype headLength = 0;
    qsizetype bodyLength = 0;
};

// Worth calling again as more bytes come, before the blank line: a line that ends in a bare LF
// is refused as soon as it is there.
HeadReading readHead(QByteArrayView bytes, const HttpLimits &limits);

// An LF without its CR ends a line for some readers and not for others. Looked for in all that
// has come of a head, not only in a whole head: a client that ends its lines with bare LFs never
// sends the blank line we wait for, and would otherwise hear nothing until it had sent 16 KiB or
// its connection timed out. From `from` on, the byte before it looked at too.
bool hasBareLineFeed(QByteArrayView bytes, qsizetype from = 0);

struct HttpAnswer {
    int status = 200;
    HttpHeaders headers;
    QByteArray body;
    bool close = false; // the connection ends once this is written
};

// The status line, the headers, a Content-Length (not for 101 and 204), "Connection: close" when
// closing, and the body.
QByteArray serialize(const HttpAnswer &answer);
