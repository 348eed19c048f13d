#pragma once

#include "engine/result.h"
#include "remote/remotecommand.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <variant>

// OSC as the production desk speaks it, without sockets: what a datagram asks for, and the bytes
// of what is sent back. liblo reads and writes the messages; its server threads are not used.
namespace osc {

// A datagram longer than this is not read: every command fits many times over.
inline constexpr qsizetype kLargestDatagram = 4096;

// Why a datagram or the command it carried came to nothing. The first six are what a datagram
// alone tells; the others come from the limits and from the program's answer.
enum class Loss {
    Oversize,  // longer than kLargestDatagram
    Malformed, // not an OSC message
    Bundle,    // an OSC bundle (see osc.cpp)
    Address,   // not /podiumwatch/NAME of a command
    Token,     // the control token missing or wrong where it is required
    Argument,  // the command's argument missing, of another type, out of range, or more of them
    Second,    // more commands than the program takes in a second
    Waiting,   // more commands waiting for the program's answer than it keeps
    Late,      // the program did not answer within its time
    Refused,   // the program refused it (the answer was not 2xx)
};
inline constexpr int kLosses = static_cast<int>(Loss::Refused) + 1;
QString lossName(Loss loss);

// The command a datagram carries, as /podiumwatch/NAME with NAME a command of kRemoteCommands,
// or why it is dropped. `token` is the control token: where `tokenRequired` it must be the first
// argument, a string; elsewhere a first string argument equal to it is taken as it and not as the
// command's own. Then comes the command's argument, if it has one, and nothing else: a number as
// an int32, an int64, or a float or double holding a whole number, within the command's range; a
// message as a UTF-8 string of at most its number of characters, empty to clear.
Result<RemoteCommand, Loss> readCommand(QByteArrayView datagram, QByteArrayView token, bool tokenRequired);

// An OSC message with int32 and string arguments, in the order given.
using Argument = std::variant<qint32, QString>;
QByteArray message(const QByteArray &address, const QList<Argument> &arguments);

} // namespace osc
