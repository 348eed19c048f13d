#pragma once

#include "engine/result.h"
#include "remote/remotecommand.h"

#include <QJsonObject>
#include <QStringList>

// Between the overview's window and its network process (podiumwatch-overview), framed as the
// remote server's channel is (remote/channel.h), with bodies of their own:
// To the network process:
//   Configure  {"key", "addresses", "browse", "http", "bind", "port", "view", "control"}   once
//   Command    {"id", "room", "command", "text", "number"}   a tile's action, to be answered
// From it:
//   State      {"key", "room", "online", "state"} or {"key", "gone": true}   a room changed
//   Verdict    {"id", "status", "reason"}   the room's answer to an action
//   Listening  {"host", "port"}   the overview's own page listens (only when asked for)
//   Failed     {"reason"}
namespace overviewchannel {

// The largest message either side takes: a room's state as kept, many times over.
inline constexpr qsizetype kLargest = 64 * 1024;

struct Configure {
    QByteArray key;        // the event's key; empty: only rooms given by their own view address
    QStringList addresses; // rooms given by address
    bool browse = false;   // find the event's rooms on the network
    bool http = false;     // serve the overview's page
    QString bind{};
    quint16 port = 0;
    QString viewToken{}, controlToken{};
};
QByteArray encode(const Configure &configure);
Result<Configure> decodeConfigure(QByteArrayView body);

struct RoomChange {
    QString key; // the follower's own name for the room: its address
    QString room;
    bool online = false;
    bool gone = false;
    QJsonObject state{};
};
QByteArray encode(const RoomChange &change);
Result<RoomChange> decodeRoomChange(QByteArrayView body);

struct Action {
    quint64 id = 0;
    RemoteCommand command; // its room names the room
};
QByteArray encode(const Action &action);
Result<Action> decodeAction(QByteArrayView body);

} // namespace overviewchannel
