#pragma once

#include <QByteArray>
#include <QLatin1StringView>
#include <QString>
#include <array>
#include <optional>

// What a control page asks the program to do, and what the program made of it. Header-only: the
// program and the server's process both speak it.
struct RemoteCommand {
    enum class Kind { Start, Pause, Restart, Reset, Previous, Next, Message, Adjust };
    Kind kind = Kind::Start;
    QString text;    // Message: what to show the speaker, empty to clear
    int seconds = 0; // Adjust: 60 or -60
};

// Every command once, by the name its path and the channel give it.
inline constexpr std::array<std::pair<QLatin1StringView, RemoteCommand::Kind>, 8> kRemoteCommands{{
    {QLatin1StringView("start"), RemoteCommand::Kind::Start},
    {QLatin1StringView("pause"), RemoteCommand::Kind::Pause},
    {QLatin1StringView("restart"), RemoteCommand::Kind::Restart},
    {QLatin1StringView("reset"), RemoteCommand::Kind::Reset},
    {QLatin1StringView("previous"), RemoteCommand::Kind::Previous},
    {QLatin1StringView("next"), RemoteCommand::Kind::Next},
    {QLatin1StringView("message"), RemoteCommand::Kind::Message},
    {QLatin1StringView("adjust"), RemoteCommand::Kind::Adjust},
}};

inline QLatin1StringView remoteCommandName(RemoteCommand::Kind kind)
{
    return kRemoteCommands[static_cast<std::size_t>(kind)].first;
}

template <typename Text> std::optional<RemoteCommand::Kind> remoteCommandNamed(const Text &name)
{
    for (const auto &[known, kind] : kRemoteCommands) {
        if (known == name)
            return kind;
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
