#pragma once

#include <QByteArray>
#include <QLatin1StringView>
#include <QString>
#include <array>
#include <optional>

// What a control page or a desk asks the program to do, and what the program made of it.
// Header-only: the program and the server's process both speak it.
struct RemoteCommand {
    enum class Kind {
        Start,
        Pause,
        Restart,
        Reset,
        Previous,
        Next,
        Message,
        Adjust,
        Goto,
        MessageSaved,
        Projector,
        Mask
    };
    Kind kind = Kind::Start;
    QString text;   // Message: what to show the speaker, empty to clear
    int number = 0; // Adjust: seconds; Goto: the talk (1-based); MessageSaved: the saved one (0-based);
                    // Projector, Mask: 1 on, 0 off
    QString room{}; // sent to an overview: the room it is for; empty for a room's own commands
};

// What a command takes besides its name, under which name (an HTTP query item, a WebSocket field)
// and within which range.
struct CommandArgument {
    enum class Kind { None, Text, Number };
    Kind kind = Kind::None;
    QLatin1StringView key;
    int least = 0, most = 0; // a number's range; a text's most characters

    bool admits(int number) const { return number >= least && number <= most; }
    // What is said of a number that cannot be read or lies outside the range.
    QByteArray numberRefusal() const
    {
        return QByteArray(key.data(), key.size()) + " is a whole number from " + QByteArray::number(least) +
               " to " + QByteArray::number(most);
    }
    QByteArray textRefusal() const
    {
        return "a message is at most " + QByteArray::number(most) + " characters";
    }
};

// One command: its name, its argument, the run states it is accepted in (others are refused with
// `refusal`, before the window is asked) and, in words, what it does. Every transport reads its
// commands from this one table.
struct CommandEntry {
    QLatin1StringView name;
    RemoteCommand::Kind kind;
    CommandArgument argument;
    std::array<bool, 3> acceptedIn; // by RunState: set-up, running, paused
    QLatin1StringView refusal;
};

inline constexpr std::array<bool, 3> kAnyState{true, true, true};
inline constexpr std::array<CommandEntry, 12> kRemoteCommands{{
    {QLatin1StringView("start"), RemoteCommand::Kind::Start, {}, kAnyState, {}},
    {QLatin1StringView("pause"), RemoteCommand::Kind::Pause, {}, kAnyState, {}},
    {QLatin1StringView("restart"), RemoteCommand::Kind::Restart, {}, kAnyState, {}},
    {QLatin1StringView("reset"), RemoteCommand::Kind::Reset, {}, kAnyState, {}},
    {QLatin1StringView("previous"),
     RemoteCommand::Kind::Previous,
     {},
     {true, false, true},
     QLatin1StringView("not while the clock runs")},
    {QLatin1StringView("next"),
     RemoteCommand::Kind::Next,
     {},
     {true, false, true},
     QLatin1StringView("not while the clock runs")},
    {QLatin1StringView("message"),
     RemoteCommand::Kind::Message,
     {CommandArgument::Kind::Text, QLatin1StringView("text"), 0, 80},
     kAnyState,
     {}},
    {QLatin1StringView("adjust"),
     RemoteCommand::Kind::Adjust,
     {CommandArgument::Kind::Number, QLatin1StringView("by"), -600, 600},
     {false, true, true},
     QLatin1StringView("nothing is counting in set-up")},
    {QLatin1StringView("goto"),
     RemoteCommand::Kind::Goto,
     {CommandArgument::Kind::Number, QLatin1StringView("n"), 1, 200},
     {true, false, true},
     QLatin1StringView("not while the clock runs")},
    {QLatin1StringView("message-saved"),
     RemoteCommand::Kind::MessageSaved,
     {CommandArgument::Kind::Number, QLatin1StringView("i"), 0, 19},
     kAnyState,
     {}},
    {QLatin1StringView("projector"),
     RemoteCommand::Kind::Projector,
     {CommandArgument::Kind::Number, QLatin1StringView("on"), 0, 1},
     kAnyState,
     {}},
    {QLatin1StringView("mask"),
     RemoteCommand::Kind::Mask,
     {CommandArgument::Kind::Number, QLatin1StringView("on"), 0, 1},
     kAnyState,
     {}},
}};

constexpr const CommandEntry &commandEntry(RemoteCommand::Kind kind)
{
    return kRemoteCommands[static_cast<std::size_t>(kind)];
}

inline QLatin1StringView remoteCommandName(RemoteCommand::Kind kind)
{
    return commandEntry(kind).name;
}

template <typename Text> std::optional<RemoteCommand::Kind> remoteCommandNamed(const Text &name)
{
    for (const CommandEntry &entry : kRemoteCommands) {
        if (entry.name == name)
            return entry.kind;
    }
    return std::nullopt;
}

// The window's answer: 204 when the command was carried out, 409 with the reason when the clock's
// state does not allow it (a move while a talk runs, a minute in set-up), 503 when the window did
// not answer in time.
struct CommandVerdict {
    int status = 204;
    QByteArray reason;
};
