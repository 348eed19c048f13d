#include "remote/router.h"

#include "engine/result.h"

#include "messages/messagelimits.h"
#include "remote/secret.h"
#include "remote/websocketframes.h"
#include "rooms/eventtokens.h"
#include "rooms/roomname.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLatin1StringView>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QUrlQuery>
#include <algorithm>
#include <array>
#include <cmath>

namespace {

enum class Access { None, View, Control };

Access accessOf(const QByteArray &token, const RouterState &state)
{
    // Every comparison always runs, so the time does not tell which token came close. An event's
    // token that is not set matches nothing, not even an empty one.
    const auto event = [&token](const QByteArray &secret) {
        return sameSecret(token, secret) && !secret.isEmpty();
    };
    const bool control = sameSecret(token, state.controlToken) | event(state.eventControlToken);
    const bool view = sameSecret(token, state.viewToken) | event(state.eventViewToken);
    return control ? Access::Control : view ? Access::View : Access::None;
}

// A request refused for what it says: the status, and the answer's body.
struct Refusal {
    int status;
    QByteArray body;
};
using Argued = Result<RemoteCommand, Refusal>;

// The command with its argument from the request, or the refusal it earns.
Argued commandOf(RemoteCommand::Kind kind, const HttpRequest &request, const QUrlQuery &query)
{
    RemoteCommand command;
    command.kind = kind;
    if (kind == RemoteCommand::Kind::Message) {
        if (request.body.size() > kLongestMessageBytes)
            return Argued::failure(
                {413, "413 a message is at most " + QByteArray::number(kLongestMessageBytes) + " bytes\n"});
        // Stateless: a sequence cut off at the end of the body is an error like one in the middle
        // (a decoder that kept state would wait for the rest and drop it).
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        command.text = utf8.decode(request.body);
        if (utf8.hasError())
            return Argued::failure({400, "400 a message is UTF-8\n"});
        if (const CommandArgument &argument = commandEntry(kind).argument;
            command.text.toUcs4().size() > argument.most)
            return Argued::failure({400, "400 " + argument.textRefusal() + '\n'});
    } else if (const CommandArgument &argument = commandEntry(kind).argument;
               argument.kind == CommandArgument::Kind::Number) {
        // A whole number as people write one: digits, a minus sign before them, nothing else.
        const QString given = query.queryItemValue(argument.key, QUrl::FullyDecoded);
        static const QRegularExpression whole(QStringLiteral("^-?[0-9]{1,9}$"));
        const int value = given.toInt();
        if (!whole.match(given).hasMatch() || !argument.admits(value))
            return Argued::failure({400, "400 " + argument.numberRefusal() + '\n'});
        command.number = value;
    }
    return command;
}

// An overview's paths are a room's under /overview, so that neither server can be taken for the
// other by a page or a tool that knows only one of them.
QByteArray baseOf(const RouterState &state)
{
    return state.overview ? "/overview" : "";
}

std::optional<RemoteCommand::Kind> commandAt(QByteArrayView path, const RouterState &state)
{
    const QByteArray prefix = baseOf(state) + "/control/";
    if (!path.startsWith(prefix))
        return std::nullopt;
    return remoteCommandNamed(QLatin1StringView(path.sliced(prefix.size())));
}

// The method a path is answered for, or none for a path that is not a route of this server. /room
// is answered before any token is looked at, or, outside an event, not at all.
std::optional<QByteArray> methodFor(QByteArrayView path, const RouterState &state)
{
    for (const RouteName &known : state.overview ? overviewRoutes() : routes()) {
        if (known.path == path && path != "/room")
            return known.method;
    }
    return std::nullopt;
}

// Long enough that no answer can have been gathered before the question, and plain enough to sit
// in a URL and a log line as it is.
bool isChallenge(const QString &challenge)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_-]{16,64}$"));
    return plain.match(challenge).hasMatch();
}

constexpr QByteArrayView RoomNameRefusal = "room is the name of a room";

constexpr std::array<RemoteCommand::Kind, 3> OverviewCommands{
    RemoteCommand::Kind::Message, RemoteCommand::Kind::MessageSaved, RemoteCommand::Kind::Adjust};

bool isLoopbackHost(QByteArrayView host)
{
    if (host == "localhost" || host == "[::1]")
        return true;
    // 127.0.0.0/8 as four decimal numbers.
    const QList<QByteArray> parts = host.toByteArray().split('.');
    return parts.size() == 4 && parts[0] == "127" &&
           std::all_of(parts.cbegin(), parts.cend(), [](const QByteArray &p) {
               bool ok = false;
               return !p.isEmpty() && p.size() <= 3 && p.toUInt(&ok) <= 255 && ok;
           });
}

HttpAnswer answerWith(int status, const QByteArray &type, const QByteArray &body, const QByteArray &host,
                      const RouterState &state)
{
    HttpAnswer answer;
    answer.status = status;
    answer.body = body;
    // The policy admits the page's own script and style by their hashes, and nothing else; the
    // WebSocket only at the host the request came to, once that host is known to be this one.
    const QByteArray policy = "default-src 'none'; script-src " + state.scriptHash + "; style-src " +
                              state.styleHash + "; connect-src 'self' ws://" + host +
                              "; frame-ancestors 'none'; base-uri 'none'; form-action 'none'";
    answer.headers = {{"Cache-Control", "no-store"},
                      {"X-Content-Type-Options", "nosniff"},
                      {"Content-Security-Policy", policy},
                      {"Referrer-Policy", "no-referrer"}};
    if (!type.isEmpty())
        answer.headers.emplaceBack("Content-Type", type);
    return answer;
}

Routed refusal(int status, const QByteArray &body, const QByteArray &host, const RouterState &state)
{
    Routed routed;
    routed.answer = answerWith(status, "text/plain; charset=utf-8", body, host, state);
    // A refused client has nothing more to ask on this connection.
    routed.answer.close = true;
    return routed;
}

// A room's answer to an overview that asks whether it is of the event. It needs no token: it tells
// what the room announces on the network anyway, and a proof that only a holder of the event's view
// token for this room can give, so that an address or an announcement alone never makes a room.
Routed challengeAnswer(const HttpRequest &request, const QUrlQuery &query, bool upgrade,
                       const QByteArray &host, const RouterState &state)
{
    if (upgrade)
        return refusal(404, "404 not found\n", host, state);
    if (request.method != "GET") {
        Routed routed = refusal(405, "405 method not allowed\n", host, state);
        routed.answer.headers.emplaceBack("Allow", "GET");
        return routed;
    }
    const QString challenge = query.queryItemValue(QStringLiteral("n"), QUrl::FullyDecoded);
    if (!isChallenge(challenge))
        return refusal(400, "400 n is 16 to 64 letters, digits, - or _\n", host, state);
    const QJsonObject answer{
        {QStringLiteral("room"), state.room},
        {QStringLiteral("event"), QString::fromLatin1(state.eventId)},
        {QStringLiteral("version"), 1},
        {QStringLiteral("proof"), roomProof(state.eventViewToken, challenge.toLatin1())},
    };
    Routed routed;
    routed.answer = answerWith(200, "application/json", QJsonDocument(answer).toJson(QJsonDocument::Compact),
                               host, state);
    routed.answer.close = !request.keepsAlive();
    return routed;
}

} // namespace

QList<RouteName> routes()
{
    QList<RouteName> all{
        {"GET", "/"}, {"GET", "/control"}, {"GET", "/state"}, {"GET", "/ws"}, {"GET", "/room"}};
    for (const CommandEntry &entry : kRemoteCommands)
        all.append({"POST", "/control/" + QByteArray(entry.name.data(), entry.name.size())});
    return all;
}

QList<RouteName> overviewRoutes()
{
    QList<RouteName> all{{"GET", "/overview"},
                         {"GET", "/overview/control"},
                         {"GET", "/overview/state"},
                         {"GET", "/overview/ws"}};
    for (const CommandEntry &entry : kRemoteCommands) {
        if (overviewTakes(entry.kind))
            all.append({"POST", "/overview/control/" + QByteArray(entry.name.data(), entry.name.size())});
    }
    return all;
}

bool overviewTakes(RemoteCommand::Kind kind)
{
    return std::find(OverviewCommands.cbegin(), OverviewCommands.cend(), kind) != OverviewCommands.cend();
}

bool namesThisServer(QByteArrayView host, const RouterState &state)
{
    QByteArrayView name = host;
    QByteArrayView port;
    const qsizetype bracket = host.startsWith('[') ? host.indexOf(']') : -1;
    const qsizetype colon = bracket >= 0 ? bracket + 1 : host.lastIndexOf(':');
    if (host.startsWith('[') && bracket < 0)
        return false;
    if (colon >= 0 && colon < host.size()) {
        if (host[colon] != ':')
            return false;
        name = host.first(colon);
        port = host.sliced(colon + 1);
    }
    const bool portOk =
        port.isEmpty() ? state.port == 80 && !host.endsWith(':') : port == QByteArray::number(state.port);
    const QByteArray lower = name.toByteArray().toLower();
    return portOk && !lower.isEmpty() && (isLoopbackHost(lower) || state.hosts.contains(lower));
}

Routed refuseFraming(int status, const QByteArray &reason, const RouterState &state)
{
    return refusal(status, QByteArray::number(status) + ' ' + reason + '\n', state.ownHost, state);
}

Routed route(const HttpRequest &request, const RouterState &state)
{
    const QByteArray hostHeader = request.header("host");
    if (!namesThisServer(hostHeader, state))
        return refusal(421, "421 this server is not that host\n", state.ownHost, state);
    // From here on the request's Host may be written back into a header.
    const QByteArray &host = hostHeader;

    const qsizetype question = request.target.indexOf('?');
    const QByteArray path = question < 0 ? request.target : request.target.first(question);
    const QUrlQuery query(
        QString::fromLatin1(question < 0 ? QByteArray() : request.target.sliced(question + 1)));
    const bool upgrade = request.lists("connection", "upgrade") && !request.header("upgrade").isEmpty();
    if (path == "/room" && !state.overview && !state.eventViewToken.isEmpty())
        return challengeAnswer(request, query, upgrade, host, state);
    const Access access =
        accessOf(query.queryItemValue(QStringLiteral("t"), QUrl::FullyDecoded).toUtf8(), state);
    if (access == Access::None)
        return refusal(403, "403 forbidden\n", host, state);

    const QByteArray base = baseOf(state);
    const std::optional<RemoteCommand::Kind> command = commandAt(path, state);
    const bool isControlPage = path == base + "/control";
    const bool isPage = path == (state.overview ? base : "/") || isControlPage;
    const bool isState = path == base + "/state";
    const bool isSocket = path == base + "/ws";
    const std::optional<QByteArray> method = methodFor(path, state);
    if (!method || (upgrade && !isSocket))
        return refusal(404, "404 not found\n", host, state);
    if ((command || isControlPage) && access != Access::Control)
        return refusal(403, "403 forbidden\n", host, state);
    if (request.method != *method) {
        Routed routed = refusal(405, "405 method not allowed\n", host, state);
        routed.answer.headers.emplaceBack("Allow", *method);
        return routed;
    }
    // A page on another site that learnt an address must not drive the timer through the
    // operator's browser: browsers say where a request comes from, and the pages only ever talk
    // to their own origin. Tools that send no Origin are served as before.
    if (command || isSocket) {
        const QByteArray origin = request.header("origin");
        const bool foreign =
            (request.count("origin") > 0 && origin.compare("http://" + host, Qt::CaseInsensitive) != 0) ||
            request.header("sec-fetch-site").compare("cross-site", Qt::CaseInsensitive) == 0;
        if (foreign)
            return refusal(403, "403 cross-origin request refused\n", host, state);
    }

    Routed routed;
    if (isPage) {
        routed.answer = answerWith(200, "text/html; charset=utf-8", state.page, host, state);
    } else if (isState) {
        routed.answer = answerWith(200, "application/json", state.json, host, state);
    } else if (command) {
        const QString room = query.queryItemValue(QStringLiteral("room"), QUrl::FullyDecoded);
        if (state.overview && !isRoomName(room))
            return refusal(400, "400 " + RoomNameRefusal.toByteArray() + '\n', host, state);
        const auto argued = commandOf(*command, request, query);
        if (!argued)
            return refusal(argued.error().status, argued.error().body, host, state);
        routed.answer = answerWith(204, {}, {}, host, state);
        routed.command = *argued;
        if (state.overview)
            routed.command->room = room;
    } else {
        // Asked for without an upgrade too, so that a page whose WebSocket failed can learn why.
        if (state.clients >= state.maxClients)
            return refusal(503, "503 too many clients\n", host, state);
        if (!upgrade || request.header("upgrade").compare("websocket", Qt::CaseInsensitive) != 0) {
            Routed refused = refusal(426, "426 upgrade required\n", host, state);
            refused.answer.headers.emplaceBack("Upgrade", "websocket");
            return refused;
        }
        if (request.header("sec-websocket-version") != "13") {
            Routed refused = refusal(426, "426 WebSocket version 13 only\n", host, state);
            refused.answer.headers.emplaceBack("Sec-WebSocket-Version", "13");
            return refused;
        }
        const QByteArray key = request.header("sec-websocket-key");
        if (!isWebSocketKey(key))
            return refusal(400, "400 bad WebSocket key\n", host, state);
        routed.answer = answerWith(101, {}, {}, host, state);
        routed.answer.headers.emplaceBack("Upgrade", "websocket");
        routed.answer.headers.emplaceBack("Connection", "Upgrade");
        routed.answer.headers.emplaceBack("Sec-WebSocket-Accept", webSocketAccept(key));
        routed.upgrade = true;
        routed.controls = access == Access::Control;
    }
    routed.answer.close = !request.keepsAlive() && !routed.upgrade;
    return routed;
}

Result<SocketCommand, SocketRefusal> socketCommand(QByteArrayView json, bool overview)
{
    using Read = Result<SocketCommand, SocketRefusal>;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return Read::failure({QJsonValue(), {400, "a command is a JSON object"}});
    const QJsonObject object = document.object();
    QJsonValue id = object.value(QLatin1StringView("id"));
    const bool wholeId = id.isDouble() && id.toDouble() == std::trunc(id.toDouble()) &&
                         std::abs(id.toDouble()) <= 9007199254740991.0;
    if (id.isUndefined())
        id = QJsonValue();
    else if (!wholeId && !(id.isString() && id.toString().size() <= 64))
        return Read::failure(
            {QJsonValue(), {400, "id is a whole number or a string of at most 64 characters"}});
    const auto refuse = [&id](const QByteArray &reason) { return Read::failure({id, {400, reason}}); };
    const std::optional<RemoteCommand::Kind> kind =
        remoteCommandNamed(object.value(QLatin1StringView("command")).toString());
    if (!kind || (overview && !overviewTakes(*kind)))
        return refuse("no such command");
    SocketCommand read{{*kind, {}, 0, {}}, id};
    if (overview) {
        const QJsonValue room = object.value(QLatin1StringView("room"));
        if (!room.isString() || !isRoomName(room.toString()))
            return refuse(RoomNameRefusal.toByteArray());
        read.command.room = room.toString();
    }
    const CommandArgument &argument = commandEntry(*kind).argument;
    const QJsonValue given = object.value(argument.key);
    if (argument.kind == CommandArgument::Kind::Text) {
        if (!given.isUndefined() && !given.isString())
            return refuse("text is a string");
        read.command.text = given.toString();
        if (read.command.text.toUcs4().size() > argument.most)
            return refuse(argument.textRefusal());
    } else if (argument.kind == CommandArgument::Kind::Number) {
        // Compared as a double first: a huge number must not wrap into the range as an int.
        const double value = given.toDouble(std::nan(""));
        if (!given.isDouble() || value != std::trunc(value) || value < argument.least ||
            value > argument.most)
            return refuse(argument.numberRefusal());
        read.command.number = static_cast<int>(value);
    }
    return read;
}

QByteArray socketReply(const QJsonValue &id, const CommandVerdict &verdict)
{
    QJsonObject reply{{QStringLiteral("reply"), id}, {QStringLiteral("status"), verdict.status}};
    if (!verdict.reason.isEmpty())
        reply.insert(QStringLiteral("reason"), QString::fromUtf8(verdict.reason));
    return QJsonDocument(reply).toJson(QJsonDocument::Compact);
}

HttpAnswer commandAnswer(const HttpAnswer &accepted, const CommandVerdict &verdict)
{
    if (verdict.status == 204)
        return accepted;
    HttpAnswer refused = accepted;
    refused.status = verdict.status;
    refused.body = QByteArray::number(verdict.status) + ' ' + verdict.reason + '\n';
    refused.headers.emplaceBack("Content-Type", "text/plain; charset=utf-8");
    // A window that did not answer may be busy for a while yet: the client asks again anew.
    if (verdict.status == 503)
        refused.close = true;
    return refused;
}
