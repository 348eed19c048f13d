#pragma once

#include <QByteArray>
#include <QByteArrayView>

// The WebSocket protocol as far as the remote pages need it: the server sends text and control
// frames, and a client may only answer with control frames (the pages only listen), each at most
// 125 bytes. Anything else a client sends is refused after two bytes, so nothing a client says is
// ever held for long.

// The Sec-WebSocket-Accept value for a handshake's key.
QByteArray webSocketAccept(QByteArrayView key);
// Whether a Sec-WebSocket-Key is what the protocol asks for: 16 bytes in base64.
bool isWebSocketKey(QByteArrayView key);

QByteArray textFrame(QByteArrayView utf8);
QByteArray pongFrame(QByteArrayView payload);
QByteArray closeFrame(quint16 code, QByteArrayView reason);

constexpr quint16 CloseNormal = 1000;
constexpr quint16 ClosePolicyViolation = 1008;

// The longest text a client may send in one frame: a command with an 80-character message, with
// room to spare. Longer texts, and texts in pieces, are refused.
constexpr qsizetype MaxClientText = 1024;

struct ClientFrame {
    enum class Kind { Incomplete, Ping, Pong, Close, Text, Refused };
    Kind kind = Kind::Incomplete;
    QByteArray payload; // unmasked
    qsizetype size = 0; // bytes the frame took
};

// The first frame of what a client sent.
ClientFrame readClientFrame(QByteArrayView bytes);
