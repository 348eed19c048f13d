#pragma once

#include "engine/result.h"
#include "remote/remotecommand.h"
#include "remote/remotelimits.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

// What the program and its remote server's process (podiumwatch-remote) say to each other over
// the process's standard input and output. A message is a four-byte big-endian length, a byte
// that says what it is, and its body; every body but the state is a small JSON object. Each side
// reads the other's bytes as it would a stranger's: a message that is too long, or that does not
// read as what it says it is, ends the conversation (and the program starts a new server).
//
// To the server:
//   Configure  {"bind", "port", "view", "control",     where to listen, with which tokens (and an
//               "eventView", "eventControl",           event's for this room); first
//               "http", "osc", "oscBind",              whether the pages are served, the desk's
//               "oscSend", "cueUrls"}                  OSC port and where its cues go
//   State      the state as the pages get it (JSON)    at every change a viewer could see
//   Verdict    {"id", "status", "reason"}              the window's answer to a command
//   Cue        {"event", "talk", "remaining", "at"…}   a moment the desk hears of, sent on as it is
// From the server:
//   Listening  {"host", "port", "osc"}                 or
//   Failed     {"reason"}                              once, after Configure
//   Command    {"id", "command", "text", "seconds"}    a control page's request, to be answered
//   Alive      {"viewers"}                             twice a second, from the server's own thread
namespace channel {

enum class Type : char {
    Configure = 'C',
    State = 'S',
    Verdict = 'V',
    Listening = 'L',
    Failed = 'F',
    Command = 'K',
    Alive = 'A',
    Cue = 'Q',
};

// The largest message either side takes: the state with the longest titles and every saved
// message fits several times over in the first; a command with the longest message in the second.
inline constexpr qsizetype kLargestToServer = 64 * 1024;
inline constexpr qsizetype kLargestToProgram = 4 * 1024;

QByteArray message(Type type, QByteArrayView body);

// 128 random bits from the system's generator, as URL-safe base64: a token of the remote view.
QString newToken();
// The settings with a new token for each one they do not give.
RemoteSettings withTokens(RemoteSettings settings);
// An address the program prints and shows as a QR code: http://HOST:PORT/PATH?t=TOKEN.
QString remoteUrl(const QString &host, quint16 port, QLatin1StringView path, const QString &token);

struct Message {
    Type type;
    QByteArray body;
};

// Cuts a stream into messages. It holds at most one message's worth of bytes: a length beyond the
// largest, an empty message or a type it does not know puts it in the failed state for good.
class Reader {
public:
    explicit Reader(qsizetype largest) : largest_(largest) {}

    void append(QByteArrayView bytes) { buffer_ += bytes; }
    // The next whole message, or nullopt when none has come yet or the stream has failed.
    std::optional<Message> next();
    bool failed() const { return failed_; }
    // How many bytes it would take now without holding more than a message.
    qsizetype room() const;

private:
    qsizetype largest_;
    QByteArray buffer_;
    bool failed_ = false;
};

struct Configure {
    QString bind; // empty: every interface
    quint16 port = 0;
    QString viewToken, controlToken;
    QString eventViewToken{}, eventControlToken{}; // empty: none
    bool http = true;                              // false: no page is served, only the desk's OSC and cues
    DeskSettings desk{};
    QString room{}, eventId{}; // the room's name and its event's id, announced and told to overviews
};
struct Listening {
    QString host;        // empty when no page is served
    quint16 port = 0;    // 0 when no page is served
    quint16 oscPort = 0; // 0 when OSC does not listen
};
struct Command {
    quint64 id = 0;
    RemoteCommand command;
};
struct Verdict {
    quint64 id = 0;
    CommandVerdict verdict;
};

QByteArray encode(const Configure &configure);
QByteArray encode(const Listening &listening);
QByteArray encode(const Command &command);
QByteArray encode(const Verdict &verdict);
QByteArray encodeFailure(const QString &reason);
QByteArray encodeAlive(int viewers);

// Each refuses a body that is not what its type says, and says what is wrong with it.
Result<Configure> decodeConfigure(QByteArrayView body);
Result<Listening> decodeListening(QByteArrayView body);
Result<Command> decodeCommand(QByteArrayView body);
Result<Verdict> decodeVerdict(QByteArrayView body);
Result<QString> decodeFailure(QByteArrayView body);
Result<int> decodeAlive(QByteArrayView body);
// A cue is any JSON object with a text "event"; the server sends it on as it is.
Result<QByteArray> decodeCue(QByteArrayView body);

// For a helper's process: reads the program's messages from standard input until it ends or
// says what no message is, and hands each to `receiver`'s thread, in order. A message `take`
// refuses ends the process with code 2, after `refusal` on standard error. Runs on a thread of its
// own (a pipe cannot be watched by the event loop everywhere) and returns when the input is over.
void readStandardInput(qsizetype largest, QObject *receiver, std::function<bool(const Message &)> take,
                       const char *refusal);

} // namespace channel
