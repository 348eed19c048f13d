#pragma once

#include "remote/remotelimits.h"

#include <QStringList>
#include <optional>

// What the command line asks for, read once at start-up.
struct CommandLine {
    std::optional<RemoteSettings> remote; // nullopt: the remote view stays off until asked for
    DeskSettings desk;                    // the production desk's OSC and cues; off when empty
    QString tokensFile;                   // keeps the remote view's tokens from one start to the next
    QString room;                         // the room's name on the pages; empty: none
    QString eventKey, eventFile;          // the event the room belongs to, its key or where it is kept
    QString programme;                    // a programme file to open once the window is up; empty: none
    bool overview = false;                // the overview of an event's rooms instead of the timer
    QStringList rooms;                    // with --overview: rooms given by address (http://HOST:PORT)
    QString roomsFile;                    // with --overview: a file of them
    QString error; // not empty: a wrong option, to be shown on stderr before exiting with code 2
};

// Reads --remote (port 8760), --remote=PORT (0: any free port) and --remote-bind=ADDRESS (brackets
// around an IPv6 address allowed; alone it implies --remote) from QCoreApplication::arguments(),
// whose first entry is the program. Whether ADDRESS is an address is for the remote view to say.
// The desk's options: --osc[=PORT] (8762), --osc-bind ADDRESS, --osc-send HOST:PORT and
// --cue-url URL (both repeatable); --remote-tokens FILE; --room NAME, --event KEY, --event-file FILE.
// --overview opens the overview of rooms instead of the timer: the event's rooms, found on the
// network, and those given as http://HOST:PORT after it or in --overview-file FILE. Each
// option with a value takes it after = or as the next argument. --programme FILE (or --programme=FILE) names
// a programme; so does a .json or .csv file given as the only argument, as a file manager's "open with"
// passes it. Anything else on the command line is left to others (Qt's own options).
CommandLine parseCommandLine(const QStringList &arguments);
