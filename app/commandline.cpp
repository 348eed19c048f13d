#include "app/commandline.h"

#include "rooms/roomname.h"

#include <algorithm>
#include <array>
#include <optional>

namespace {

const QString RemoteOption = QStringLiteral("--remote");
const QString BindOption = QStringLiteral("--remote-bind");
const QString ProgrammeOption = QStringLiteral("--programme");
const QString OscOption = QStringLiteral("--osc");

// The options that take a value after = or as the next argument, and what the value is.
struct ValueOption {
    const char *name;
    const char *what;
};
constexpr std::array<ValueOption, 9> kValueOptions{{
    {"--programme", "a file: --programme FILE"},
    {"--osc-bind", "an address: --osc-bind ADDRESS"},
    {"--osc-send", "a target: --osc-send HOST:PORT"},
    {"--cue-url", "an address: --cue-url URL"},
    {"--remote-tokens", "a file: --remote-tokens FILE"},
    {"--room", "a name: --room NAME"},
    {"--event", "a key: --event KEY"},
    {"--event-file", "a file: --event-file FILE"},
    {"--overview-file", "a file of rooms' addresses: --overview-file FILE"},
}};

// An IPv6 address may come in the brackets of a URL's host: [::1] is ::1.
QString unbracketed(const QString &address)
{
    if (address.size() > 2 && address.startsWith(QLatin1Char('[')) && address.endsWith(QLatin1Char(']')))
        return address.mid(1, address.size() - 2);
    return address;
}

// A port as the command line gives it: plain digits up to 65535 (toUInt would take a sign and
// surrounding spaces).
std::optional<quint16> portOf(const QString &value)
{
    bool ok = false;
    const uint port = value.toUInt(&ok, 10);
    const bool digits =
        !value.isEmpty() && std::all_of(value.cbegin(), value.cend(), [](QChar c) { return c.isDigit(); });
    if (!ok || !digits || port > 65535)
        return std::nullopt;
    return static_cast<quint16>(port);
}

QString valueOf(const QString &argument, const QString &option)
{
    return argument.mid(option.size() + 1);
}

} // namespace

CommandLine parseCommandLine(const QStringList &arguments)
{
    CommandLine line;
    auto remote = [&line]() -> RemoteSettings & {
        if (!line.remote)
            line.remote.emplace();
        return *line.remote;
    };
    auto fail = [&line](const QString &message) {
        line.remote.reset();
        line.error = QStringLiteral("podiumwatch: ") + message;
        return line;
    };

    // A file opened with the program from a file manager comes alone.
    if (arguments.size() == 2 && !arguments[1].startsWith(QLatin1Char('-')) &&
        (arguments[1].endsWith(QLatin1String(".json"), Qt::CaseInsensitive) ||
         arguments[1].endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))) {
        line.programme = arguments[1];
        return line;
    }
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        // An option with a value, in either form.
        const ValueOption *valued = nullptr;
        QString given;
        for (const ValueOption &option : kValueOptions) {
            const QString name = QLatin1StringView(option.name);
            if (argument == name) {
                valued = &option;
                if (i + 1 >= arguments.size())
                    return fail(QStringLiteral("%1 needs %2").arg(name, QLatin1StringView(option.what)));
                given = arguments.at(++i);
            } else if (argument.startsWith(name + QLatin1Char('='))) {
                valued = &option;
                given = valueOf(argument, name);
            } else {
                continue;
            }
            if (given.isEmpty())
                return fail(QStringLiteral("%1 needs %2").arg(name, QLatin1StringView(option.what)));
            break;
        }
        if (valued) {
            const QLatin1StringView name(valued->name);
            if (name == ProgrammeOption) {
                line.programme = given;
            } else if (name == QLatin1StringView("--osc-bind")) {
                given = unbracketed(given);
                line.desk.oscBind = given;
                if (!line.desk.oscPort)
                    line.desk.oscPort = remotelimits::kOscPort;
            } else if (name == QLatin1StringView("--osc-send")) {
                line.desk.oscSend << given;
            } else if (name == QLatin1StringView("--cue-url")) {
                line.desk.cueUrls << given;
            } else if (name == QLatin1StringView("--room")) {
                line.room = given;
            } else if (name == QLatin1StringView("--event")) {
                line.eventKey = given;
            } else if (name == QLatin1StringView("--event-file")) {
                line.eventFile = given;
            } else if (name == QLatin1StringView("--overview-file")) {
                line.overview = true;
                line.roomsFile = given;
            } else {
                line.tokensFile = given;
            }
        } else if (argument == QLatin1String("--overview")) {
            line.overview = true;
        } else if (line.overview && argument.startsWith(QLatin1String("http://"))) {
            line.rooms.append(argument);
        } else if (argument == OscOption) {
            line.desk.oscPort = remotelimits::kOscPort;
        } else if (argument.startsWith(OscOption + QLatin1Char('='))) {
            const std::optional<quint16> port = portOf(valueOf(argument, OscOption));
            if (!port)
                return fail(QStringLiteral(
                                "invalid port \"%1\" in %2 (a number from 0 to 65535; 0 picks a free port)")
                                .arg(valueOf(argument, OscOption), argument));
            line.desk.oscPort = *port;
        } else if (argument == RemoteOption) {
            remote().port = RemoteSettings().port;
        } else if (argument.startsWith(RemoteOption + QLatin1Char('='))) {
            const QString value = valueOf(argument, RemoteOption);
            const std::optional<quint16> port = portOf(value);
            if (!port)
                return fail(QStringLiteral(
                                "invalid port \"%1\" in %2 (a number from 0 to 65535; 0 picks a free port)")
                                .arg(value, argument));
            remote().port = *port;
        } else if (argument.startsWith(BindOption + QLatin1Char('='))) {
            const QString value = unbracketed(valueOf(argument, BindOption));
            if (value.isEmpty())
                return fail(QStringLiteral("%1 needs an address: %1=ADDRESS").arg(BindOption));
            remote().bind = value;
        } else if (argument == BindOption) {
            return fail(QStringLiteral("%1 needs an address: %1=ADDRESS").arg(BindOption));
        } else if (argument.startsWith(OscOption) || argument.startsWith(QLatin1String("--cue"))) {
            return fail(QStringLiteral(
                            "unknown option %1 (use --osc, --osc=PORT, --osc-bind, --osc-send or --cue-url)")
                            .arg(argument));
        } else if (argument.startsWith(RemoteOption)) {
            return fail(
                QStringLiteral("unknown option %1 (use --remote, --remote=PORT or --remote-bind=ADDRESS)")
                    .arg(argument));
        }
    }
    // A room joins an event by its name: the tokens are the name's, under the event's key.
    if (!line.eventKey.isEmpty() && !line.eventFile.isEmpty())
        return fail(QStringLiteral("--event and --event-file name the same key: give one"));
    if (line.overview) {
        if (!line.room.isEmpty() || line.desk.isOn() || !line.programme.isEmpty())
            return fail(QStringLiteral(
                "--overview shows the rooms: it takes no --room, --programme or desk options"));
        if (line.eventKey.isEmpty() && line.eventFile.isEmpty() && line.rooms.isEmpty() &&
            line.roomsFile.isEmpty())
            return fail(
                QStringLiteral("--overview needs the event's key (--event KEY) or the rooms' addresses"));
        return line;
    }
    // Or the programme's "room", which start-up reads before the server starts.
    if ((!line.eventKey.isEmpty() || !line.eventFile.isEmpty()) && line.room.isEmpty() &&
        line.programme.isEmpty())
        return fail(QStringLiteral("--event needs the room's name: --room NAME"));
    if (!line.room.isEmpty() && !isRoomName(line.room))
        return fail(
            QStringLiteral("--room takes a name of at most %1 characters on one line").arg(kLongestRoom));
    return line;
}
