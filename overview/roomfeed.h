#pragma once

#include "engine/result.h"

#include <QByteArrayView>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

// What the overview reads from rooms, every byte of it from the network and so hostile until read
// here: a room's answer to the overview's challenge, the states its feed pushes, and the addresses
// an organiser lists. Pure functions, so that the fuzzer and the tests reach them without sockets.

namespace roomfeed {

// The largest state a room's feed may push (a room's own state with the longest titles and every
// saved message fits with room to spare), and the largest answer to a challenge.
inline constexpr qsizetype kLargestState = 64 * 1024;
inline constexpr qsizetype kLargestAnswer = 1024;
// What is kept of a room's texts: a tile shows less, and 64 rooms of it stay small.
inline constexpr qsizetype kLongestText = 200;
inline constexpr qsizetype kSavedMessages = 16;
// The rooms one overview follows.
inline constexpr int kMostRooms = 64;

// A room's answer to GET /room?n=CHALLENGE.
struct RoomAnswer {
    QString room;
    QString eventId;
    int version = 0;
    QString proof;
};
Result<RoomAnswer> roomAnswer(QByteArrayView json);

// One state pushed by a room, kept as the fields an overview shows, each of the type it must be:
// text, background, foreground (#rrggbb), state, stateText, remaining, bell, talk {title, speaker,
// number, count}, message, messages, session {plannedEnd, projectedEnd, behindSeconds}. Anything
// else, or of another type, is left out; a state that is not a JSON object is refused.
Result<QJsonObject> roomState(QByteArrayView json);

// How late a room is, for ordering tiles: behind plan if it says, else how far into over-time.
qint64 lateness(const QJsonObject &state);

// A room's address as an organiser gives it: http://HOST:PORT, optionally with the room's own view
// token (?t=…) when it is not of the event. Anything else is refused with what is wrong.
struct RoomAddress {
    QUrl base;     // http://HOST:PORT
    QString token; // empty: the event's tokens, learnt from the room's name
};
Result<RoomAddress> roomAddress(const QString &text);
// A file of addresses: one per line, blank lines and lines starting with # left out.
Result<QList<RoomAddress>> roomAddresses(QByteArrayView file);

} // namespace roomfeed
