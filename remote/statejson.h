#pragma once

#include "forms/shown.h"

#include <QByteArray>
#include <QStringList>

// The state the remote pages get, alike from /state and in every push: what the screens show, and
// beside it what only the control page shows.
struct RemoteState {
    Shown shown;
    QStringList messages;   // the saved messages to the speaker
    QString clock;          // the time of day, "HH:mm:ss"
    bool projector = false; // the projector window is shown
    bool masked = false;    // the main window's settings are hidden from the audience
    QString room;           // the room's name; empty: none
    friend bool operator==(const RemoteState &, const RemoteState &) = default;
};

// As compact JSON; `at` is the moment a shown value last changed, in ms since the epoch.
QByteArray stateJson(const RemoteState &state, qint64 at);
