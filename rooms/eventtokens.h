#pragma once

#include "engine/result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The tokens every room of an event accepts besides its own, derived from the event's key and the
// room's name, so that an overview that knows the key can follow and message every room without
// twenty addresses typed in. Other tools compute them the same way: the first 32 lower-case hex
// digits of HMAC-SHA256 with the key's UTF-8 bytes as the key and "view\n" (or "control\n")
// followed by the room name's UTF-8 bytes as the message. The key itself never leaves the machine.
struct EventTokens {
    QString view, control;
};

EventTokens eventTokens(QByteArrayView key, const QString &room);

// What rooms announce on the network to say which event they belong to: 8 lower-case hex digits of
// HMAC-SHA256 under the key of "event\n". It lets an overview pass over other events' rooms without
// asking them anything; it is no secret and proves nothing.
QString eventId(QByteArrayView key);

// A room's answer to an overview's challenge: the first 32 lower-case hex digits of HMAC-SHA256
// under the room's event view token of "room\n" followed by the challenge. Only a room that holds
// that token (that is, a room of the event) can give it, so an announcement or an address alone
// never puts a stranger's tile among the rooms.
QString roomProof(QByteArrayView eventViewToken, QByteArrayView challenge);

// The key kept in a file, so that it is not in the process list: its first line, without the line
// break. A file that is empty, or longer than a key would be, is refused.
Result<QByteArray> eventKeyFrom(const QString &path);
