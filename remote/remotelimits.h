#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <optional>

// What the remote server allows any one client, and where it listens unless told otherwise. The
// README states these figures to operators; a test holds them against this header.
namespace remotelimits {

inline constexpr quint16 kPort = 8760;
inline constexpr int kIdleMs = 10000;      // an HTTP connection with no request for this long is closed
inline constexpr int kLifetimeMs = 120000; // and none but a WebSocket viewer lives longer
inline constexpr int kViewers = 256;       // WebSocket viewers at once; the next is refused
inline constexpr qint64 kPendingBytes = 64 * 1024; // a client this far behind in reading is dropped
inline constexpr int kConnections = 1024;          // at once, fewer where the open-file limit is lower
inline constexpr int kPingsPerSecond = 5;          // from a viewer, beyond which it is closed
inline constexpr qsizetype kHeadBytes = 16 * 1024; // a request's line and headers, blank line included
inline constexpr qsizetype kBodyBytes = 4 * 1024;  // a request's body
inline constexpr int kVerdictMs = 1000;            // for the window to answer a command, or 503
inline constexpr int kCommandsInFlight = 16;       // waiting for the window at once; more get 503
inline constexpr int kCommandsPerSecond = 250;     // passed on to the window; more get 503
inline constexpr quint16 kOscPort = 8762;
inline constexpr int kOscCommandsPerSecond = 50; // OSC commands passed on to the window; more are dropped
inline constexpr int kCueTargets = 16;           // --osc-send and --cue-url together

} // namespace remotelimits

// How many of something came within the current second, and whether one more is allowed: the
// pings of a viewer, the commands passed on to the window, the messages of the server's process.
class PerSecond {
public:
    // Counts one at `nowMs` (a steady clock's milliseconds); false when that makes more than `most`
    // since the first of the second it began.
    bool admit(qint64 nowMs, int most)
    {
        if (!windowStart_ || nowMs - *windowStart_ >= 1000) {
            windowStart_ = nowMs;
            count_ = 0;
        }
        return ++count_ <= most;
    }

private:
    std::optional<qint64> windowStart_;
    int count_ = 0;
};

// The production desk's side: OSC commands in, and cues and the state feed out. Off when all of it
// is empty.
struct DeskSettings {
    std::optional<quint16> oscPort; // nullopt: no OSC in; 0: any free port
    QString oscBind;                // empty: 127.0.0.1; beyond loopback each message carries the token
    QStringList oscSend;            // HOST:PORT, for cues and the state feed
    QStringList cueUrls;            // http:// URLs a cue is POSTed to as JSON
    bool isOn() const { return oscPort || !oscSend.isEmpty() || !cueUrls.isEmpty(); }
    friend bool operator==(const DeskSettings &, const DeskSettings &) = default;
};

// Where and how the server listens.
struct RemoteSettings {
    quint16 port = remotelimits::kPort; // 0: any free port
    QString bind;                       // an IPv4 or IPv6 address; empty: every interface
    QString viewToken, controlToken;    // empty: new ones at every start
    // An event's tokens for this room, accepted besides its own; empty: none.
    QString eventViewToken, eventControlToken;
    QString room;    // the room's name on the pages; empty: none
    QString eventId; // the event's announced id (see rooms/eventtokens.h); empty: not in an event
    // The server of an overview of rooms rather than of a room: its pages and paths are /overview…
    bool overview = false;
    int idleMs = remotelimits::kIdleMs;
    int lifetimeMs = remotelimits::kLifetimeMs;
    int maxClients = remotelimits::kViewers;
    qint64 maxPendingBytes = remotelimits::kPendingBytes;
    int maxConnections = remotelimits::kConnections;
    int pingsPerSecond = remotelimits::kPingsPerSecond;
    int verdictMs = remotelimits::kVerdictMs;
    int commandsPerSecond = remotelimits::kCommandsPerSecond;
    bool http = true; // the pages, their JSON and WebSocket; off when only the desk is asked for
    DeskSettings desk;
};
