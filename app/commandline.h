#pragma once

#include "platform/remoteserver.h"

#include <QStringList>
#include <optional>

// What the command line asks of the remote server.
struct RemoteOptions {
    std::optional<RemoteServer::Settings> settings; // nullopt: the server stays off
    QString error; // not empty: a wrong option, to be shown on stderr before exiting with code 2
};

// Reads --remote (port 8760), --remote=PORT (0: any free port) and --remote-bind=ADDRESS (an IPv4 or
// IPv6 address, brackets allowed; alone it implies --remote) from QCoreApplication::arguments(),
// whose first entry is the program. Anything else on the command line is left to others.
RemoteOptions parseRemoteOptions(const QStringList &arguments);
