#pragma once

#include <QByteArray>

// What knocking on a session bus found.
enum class SessionBusKnock {
    Answers,     // it spoke within the time given
    Silent,      // it took the connection (or left it waiting) and said nothing
    Unreachable, // nobody listens, or it hung up: D-Bus gives up on it at once as well
    NotChecked,  // a kind of address this does not knock on
};

// Connects to the first bus in a D-Bus address list that takes a connection (as the D-Bus library
// does) and waits up to `timeoutMs` for it to answer the opening line of its handshake.
SessionBusKnock knockOnSessionBus(const QByteArray &address, int timeoutMs);

// Qt connects to the session bus without a time limit: the accessibility bridge when the first text
// is shown, the screen keep-awake when the clock first starts. A bus that takes the connection and
// never answers would freeze the program there, and again at exit. Called before the application
// object exists: if the session bus stays silent for two seconds, this process goes on without
// one, and says so on standard error.
void avoidSilentSessionBus();
