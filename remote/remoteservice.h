#pragma once

#include <QColor>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QWidget;

// A talk of the programme, as the control page names it.
struct RemoteTalk {
    int number = 0, count = 0; // not sent for the next talk
    QString title, speaker;
    friend bool operator==(const RemoteTalk &, const RemoteTalk &) = default;
};

// The session at a glance: times of day as "HH:MM", empty when unknown.
struct RemoteSession {
    QString plannedEnd, projectedEnd;
    std::optional<qint64> behindSeconds;
    friend bool operator==(const RemoteSession &, const RemoteSession &) = default;
};

// One state of the big display, as the remote pages show it, with the programme's talk.
struct RemoteSnapshot {
    QString text;
    QColor background, foreground;
    QString state;                        // "setup", "running" or "paused"
    std::optional<int> remaining;         // signed seconds; nullopt before any total was applied
    qint64 at = 0;                        // ms since the epoch when a shown value last changed
    std::optional<RemoteTalk> talk, next; // nullopt without a programme; no next at the last talk
    std::optional<RemoteSession> session;
    QString message;      // to the speaker; empty: none
    QStringList messages; // the saved ones, for the control page
    QString clock;        // the time of day, "HH:MM:SS"

    // Whether a viewer would see a difference (the moment of the change aside).
    bool showsSameAs(const RemoteSnapshot &other) const
    {
        return text == other.text && background == other.background && foreground == other.foreground &&
               state == other.state && remaining == other.remaining && talk == other.talk &&
               next == other.next && session == other.session && message == other.message &&
               messages == other.messages && clock == other.clock;
    }
};

// What a control page asks the program to do.
struct RemoteCommand {
    enum class Kind { Start, Pause, Restart, Reset, Previous, Next, Message, Adjust };
    Kind kind = Kind::Start;
    QString text;    // Message: what to show the speaker, empty to clear
    int seconds = 0; // Adjust: 60 or -60
};

// Where the remote view listens, as the command line says.
struct RemoteOptions {
    quint16 port = 8760; // 0: any free port
    QString bind;        // an IPv4 or IPv6 address; empty: every interface
};

// The remote view as the program sees it. It lives in a library of its own (podiumwatch-remote),
// loaded only when the remote view is first asked for: a program started without it maps neither
// the network stack nor the server.
class RemoteService {
public:
    virtual ~RemoteService() = default;

    // Takes where to listen; false and a reason for an address it cannot read.
    virtual bool configure(const RemoteOptions &options, QString *error) = 0;
    // Starts listening with fresh addresses (the old ones are revoked) and returns at once; the
    // handler given to onStarted says how it went. Stopping returns at once too.
    virtual void start() = 0;
    virtual void stop() = 0;
    virtual bool isListening() const = 0;
    virtual QString viewUrl() const = 0;
    virtual QString controlUrl() const = 0;
    // At every change of a shown value.
    virtual void publish(const RemoteSnapshot &snapshot) = 0;
    // Each on the caller's thread: how a start went (an empty reason: listening), and what a
    // control page asks for.
    virtual void onStarted(std::function<void(const QString &failure)> handler) = 0;
    virtual void onCommand(std::function<void(const RemoteCommand &command)> handler) = 0;
    // A window with the two addresses and their QR codes; `onStop` runs when its stop button is
    // pressed. The caller owns it.
    virtual QWidget *createAddressWindow(std::function<void()> onStop) = 0;
};

// Loads the remote view's library from `folder` (the program's own by default); nullptr and a
// reason when it cannot.
std::unique_ptr<RemoteService> loadRemoteService(QString *error, const QString &folder = {});
