#pragma once

#include "platform/helperprocess.h"
#include "platform/openfiles.h"
#include "remote/channel.h"

#include <QCoreApplication>
#include <thread>

// The whole of main() for a helper process that speaks the channel (the remote server's, the
// overview's): its Host takes each of the program's messages on the main thread, and the process
// ends once the program has gone or said what no message is. Its connections draw on everything
// the system allows it.
template <typename Host> int runChannelHelper(int argc, char *argv[], qsizetype largest, const char *refusal)
{
    useBinaryStandardStreams();
    raiseOpenFileLimit();
    QCoreApplication app(argc, argv);
    Host host;
    std::thread([&host, largest, refusal] {
        channel::readStandardInput(
            largest, &host, [&host](const channel::Message &message) { return host.take(message); }, refusal);
        leaveAfterTheProgram();
    }).detach();
    return QCoreApplication::exec();
}
