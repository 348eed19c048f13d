#include "remote/websocketframes.h"

#include <QCryptographicHash>

namespace {

constexpr char OpPing = 0x9, OpPong = 0xA, OpClose = 0x8, OpText = 0x1;
constexpr qsizetype MaxControlPayload = 125;

QByteArray frame(char opcode, QByteArrayView payload)
{
    QByteArray bytes;
    bytes.reserve(payload.size() + 10);
    bytes += static_cast<char>(0x80 | opcode); // final fragment
    const auto size = static_cast<quint64>(payload.size());
    if (size < 126) {
        bytes += static_cast<char>(size);
    } else if (size <= 0xFFFF) {
        bytes += static_cast<char>(126);
        for (int shift = 8; shift >= 0; shift -= 8)
            bytes += static_cast<char>((size >> shift) & 0xFF);
    } else {
        bytes += static_cast<char>(127);
        for (int shift = 56; shift >= 0; shift -= 8)
            bytes += static_cast<char>((size >> shift) & 0xFF);
    }
    bytes += payload;
    return bytes;
}

} // namespace

QByteArray webSocketAccept(QByteArrayView key)
{
    const QByteArray joined = key.toByteArray() + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";
    return QCryptographicHash::hash(joined, QCryptographicHash::Sha1).toBase64();
}

bool isWebSocketKey(QByteArrayView key)
{
    const auto decoded =
        QByteArray::fromBase64Encoding(key.toByteArray(), QByteArray::AbortOnBase64DecodingErrors);
    return key.size() == 24 && decoded && decoded.decoded.size() == 16;
}

QByteArray textFrame(QByteArrayView utf8)
{
    return frame(OpText, utf8);
}

QByteArray pongFrame(QByteArrayView payload)
{
    return frame(OpPong, payload.first(std::min(payload.size(), MaxControlPayload)));
}

QByteArray closeFrame(quint16 code, QByteArrayView reason)
{
    QByteArray payload;
    payload += static_cast<char>(code >> 8);
    payload += static_cast<char>(code & 0xFF);
    payload += reason.first(std::min(reason.size(), MaxControlPayload - 2));
    return frame(OpClose, payload);
}

ClientFrame readClientFrame(QByteArrayView bytes)
{
    ClientFrame read;
    if (bytes.size() < 2)
        return read;
    const auto first = static_cast<unsigned char>(bytes[0]);
    const auto second = static_cast<unsigned char>(bytes[1]);
    const bool final = first & 0x80;
    const bool reserved = first & 0x70;
    const char opcode = static_cast<char>(first & 0x0F);
    const bool masked = second & 0x80;
    const qsizetype shortLength = second & 0x7F;
    // A client must mask; control frames come whole and short, and a text whole and no longer
    // than a command needs (its 16-bit length is read only for a text). Binary and continuation
    // frames are refused here, before their length is even read.
    const bool control = opcode == OpPing || opcode == OpPong || opcode == OpClose;
    const bool text = opcode == OpText;
    if (!final || reserved || !masked || !(control || text) || (control && shortLength > MaxControlPayload) ||
        shortLength == 127) {
        read.kind = ClientFrame::Kind::Refused;
        return read;
    }
    qsizetype header = 2;
    qsizetype length = shortLength;
    if (shortLength == 126) {
        if (bytes.size() < 4)
            return read;
        length = (static_cast<unsigned char>(bytes[2]) << 8) | static_cast<unsigned char>(bytes[3]);
        header = 4;
    }
    // A length has one encoding: 126 and up only in the 16-bit form.
    if (length > MaxClientText || (header == 4 && length < 126)) {
        read.kind = ClientFrame::Kind::Refused;
        return read;
    }
    if (bytes.size() < header + 4 + length)
        return read;
    const QByteArrayView mask = bytes.sliced(header, 4);
    read.payload = bytes.sliced(header + 4, length).toByteArray();
    for (qsizetype i = 0; i < length; ++i)
        read.payload[i] = static_cast<char>(read.payload[i] ^ mask[i % 4]);
    read.size = header + 4 + length;
    read.kind = opcode == OpPing   ? ClientFrame::Kind::Ping
                : opcode == OpPong ? ClientFrame::Kind::Pong
                : opcode == OpText ? ClientFrame::Kind::Text
                                   : ClientFrame::Kind::Close;
    return read;
}
