#pragma once

#include "engine/result.h"
#include "remote/http.h"
#include "remote/remotecommand.h"

#include <QJsonValue>
#include <QSet>
#include <optional>

// Who may ask what of the remote server, and what each request is answered: tokens, the host and
// the origin a request must come from, the paths and their methods, the headers of every answer.
// Decided from the request and what the server knows now, without sockets.

// What the server knows when it decides.
struct RouterState {
    QByteArray viewToken, controlToken;
    QByteArray eventViewToken, eventControlToken; // an event's for this room, besides its own; empty: none
    QString room;                                 // the room's name; empty: none
    QByteArray eventId;                           // its event's announced id; empty: not in an event
    bool overview = false;                        // an overview's server: its paths are /overview…
    quint16 port = 0;
    QSet<QByteArray> hosts; // this machine's names and addresses, lower case, IPv6 in brackets
    QByteArray ownHost;     // host:port of the printed addresses
    QByteArray page, scriptHash, styleHash;
    QByteArray json; // the state now
    int clients = 0; // WebSocket clients now
    int maxClients = 256;
};

struct Routed {
    HttpAnswer answer;
    // For the window to decide: `answer` is then what its 204 is, and commandAnswer() makes the
    // answer once the window has said.
    std::optional<RemoteCommand> command;
    bool upgrade = false;  // a 101: the connection is a WebSocket client from now on
    bool controls = false; // and, with the control token, one that may send commands
};

// A command sent on a control WebSocket as a JSON text, {"command": "adjust", "by": 30, "id": 7}:
// the arguments under the names the HTTP query gives them ("text" for a message), and an id the
// reply carries back (a whole number or a short string; none is null). An overview's commands also
// name their room, {"command": "adjust", "room": "A会場", "by": 60}, and only its few are taken; a
// room ignores the field.
struct SocketCommand {
    RemoteCommand command;
    QJsonValue id;
};
struct SocketRefusal {
    QJsonValue id;
    CommandVerdict verdict;
};
Result<SocketCommand, SocketRefusal> socketCommand(QByteArrayView json, bool overview = false);
// {"reply": 7, "status": 204}, with "reason" when refused.
QByteArray socketReply(const QJsonValue &id, const CommandVerdict &verdict);

// A path the server answers, with its method; the commands' paths are /control/NAME.
struct RouteName {
    QByteArray method, path;
    friend bool operator==(const RouteName &, const RouteName &) = default;
};
// Every route of a room, each once: what route() answers, and what the published API description
// lists. /room, the answer to an overview's challenge, only while the room is in an event.
QList<RouteName> routes();
// Every route of an overview's server, which answers these and none of a room's.
QList<RouteName> overviewRoutes();
// The commands an overview passes on to its rooms: what a chair in the corridor may need to do to
// a room without walking in. The rest stay with the room's own control page.
bool overviewTakes(RemoteCommand::Kind kind);

Routed route(const HttpRequest &request, const RouterState &state);
// The answer to a command once the window has decided (or has not, in time): the 204 that route()
// made, or the same headers with the refusal's status and reason.
HttpAnswer commandAnswer(const HttpAnswer &accepted, const CommandVerdict &verdict);
// An answer to a request refused for its framing, before anything in it was trusted.
Routed refuseFraming(int status, const QByteArray &reason, const RouterState &state);
// Whether a Host header names this machine (a loopback form, one of its addresses or names) with
// the server's port. Anything else may be a name an attacker's DNS points at this machine.
bool namesThisServer(QByteArrayView host, const RouterState &state);
