#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <deque>
#include <optional>
#include <utility>

// Rooms announce themselves on the local network by DNS-SD, through the system's Avahi daemon, so
// that an overview finds every room of its event without addresses typed in. An announcement
// says only which room, which event and which protocol: never a key or a token. Whatever a
// browser reads was sent by anyone on the network, so it is checked before it is believed, and
// every list kept of what was heard is bounded.
//
// Avahi runs on a thread of its own (its threaded poll); the objects below never call Avahi from
// their own thread, and what Avahi says reaches them queued, on their thread.

inline constexpr char kRoomServiceType[] = "_podiumwatch._tcp";
inline constexpr int kRoomProtocolVersion = 1;

// What one announcement says, as read from the network: hostile until checked.
struct RoomAnnounced {
    QString service{}; // the DNS-SD instance name (unique key)
    QString room{};    // TXT "room", UTF-8, 1..40 characters, one line
    QString eventId{}; // TXT "event", 8 lower-case hex digits
    int version = 0;   // TXT "v", protocol version (this program announces 1)
    QString host{};    // the resolved address as text (IPv6 without brackets)
    quint16 port = 0;
};

namespace dnssd {

// What a TXT record may hold before it is not read at all: ours is three short strings, and a later
// version may add a few more.
inline constexpr qsizetype kMostTxtStrings = 32;
inline constexpr qsizetype kMostTxtBytes = 2048;
inline constexpr int kHighestVersion = 9999;

// The announcement if the TXT strings (each "key=value", as on the wire) say a room of some event
// in a form this program takes: "room", "event" and "v" each exactly once (keys compared without
// case, as DNS-SD does), the room 1..40 characters of valid UTF-8 on one line, the event 8
// lower-case hex digits, the version a decimal 1..9999. Other keys are passed over. nullopt for
// anything else, for a port of 0, and for a service name that is empty or not UTF-8.
std::optional<RoomAnnounced> checkedAnnouncement(QByteArrayView service, const QList<QByteArray> &txt,
                                                 const QString &host, quint16 port);

// The room's name if it may be announced and read back (the rule above), else nullopt.
std::optional<QString> checkedRoom(QByteArrayView utf8);
bool isEventId(QByteArrayView text);

// A room's instance name: its name, cut at a character to fit a DNS label (63 bytes).
QByteArray instanceName(const QString &room);

// Which services a browser follows, with every bound, apart from Avahi so that the bounds are
// tested without a daemon. A service is seen on one or more interfaces; it waits to be resolved,
// is resolved (a few at a time), and is reported if its announcement reads and is of this event,
// while there is room for it. What falls outside a bound is dropped and counted, never queued.
class RoomBook {
public:
    struct Limits {
        int resolving = 8; // resolvers running at once
        int waiting = 256; // services waiting for a resolver
        int rooms = 64;    // rooms reported at a time
    };
    struct Counts {
        quint64 overflowed = 0; // seen while too many waited
        quint64 refused = 0;    // an announcement or a name that does not read
        quint64 otherEvent = 0; // well-formed, of another event
        quint64 overRooms = 0;  // of this event, with every room's place taken
        quint64 unresolved = 0; // the resolver gave up
        quint64 released = 0;   // reported, and not taken by the follower
    };
    // An interface and a protocol, as Avahi numbers them.
    struct Place {
        int interface = 0;
        int protocol = 0;
        bool operator==(const Place &) const = default;
    };
    enum class Gone {
        Nothing,       // still seen elsewhere, or not followed
        Lost,          // a reported room has gone everywhere
        StopResolving, // gone everywhere while its resolver runs: stop it
    };
    // A service is followed on this many interfaces at most.
    static constexpr qsizetype kMostPlaces = 16;

    RoomBook(QString eventId, Limits limits);

    void seen(const QString &service, Place where);
    Gone gone(const QString &service, Place where);
    // The next service to resolve and where, if fewer resolve than the limit and one waits.
    std::optional<std::pair<QString, Place>> nextToResolve();
    // A resolver's answer (nullopt: it did not read): the room to report, if any.
    std::optional<RoomAnnounced> resolved(const QString &service, std::optional<RoomAnnounced> room);
    void unresolved(const QString &service);
    // A reported room its follower would not take (it could not prove it is of the event): its
    // place goes to the next, and it is not reported again while it stays announced. At most
    // kMostReleased are remembered, the oldest forgotten first, so that a flood of announcements
    // that claim the event's id costs a bounded list and never the real rooms' places.
    void release(const QString &service);
    static constexpr qsizetype kMostReleased = 1024;
    // A name that does not read as a service name.
    void refuse() { ++counts_.refused; }

    const Counts &counts() const { return counts_; }
    int waiting() const { return static_cast<int>(queue_.size()); }
    int resolving() const { return resolving_; }
    int rooms() const { return rooms_; }

private:
    enum class Stage { Waiting, Resolving, Reported, Released };
    struct Entry {
        Stage stage = Stage::Waiting;
        QList<Place> places{};
    };
    void forget(const QString &service);

    QString eventId_;
    Limits limits_;
    QHash<QString, Entry> entries_;
    std::deque<QString> queue_;    // the waiting ones, oldest first
    std::deque<QString> released_; // the released ones, oldest first
    int resolving_ = 0;
    int rooms_ = 0;
    Counts counts_{};
};

class Announcer;
class Browser;

} // namespace dnssd

// A room's announcement, from its server's process. Avahi is first contacted by announce().
class RoomAnnouncement : public QObject {
    Q_OBJECT
public:
    explicit RoomAnnouncement(QObject *parent = nullptr);
    // Withdraws, and waits a moment for the daemon to hear it (the daemon drops a gone client's
    // entries anyway).
    ~RoomAnnouncement() override;

    // Announces `_podiumwatch._tcp` on `port` with TXT room=, v=1, event=; a second call replaces
    // the first. A room or event id that a browser would refuse is not announced: unavailable().
    void announce(const QString &room, const QString &eventId, quint16 port);
    void withdraw();

signals:
    // Registered on the network under this instance name (another when the first was taken).
    void announced(const QString &service);
    // At most once per object: no daemon, the daemon gone, a failure. Nothing is announced after.
    void unavailable(const QString &reason);

private:
    dnssd::Announcer *side_ = nullptr; // from the first announce()
};

// Follows the rooms of one event announced on the local network, from the overview's process.
class RoomBrowser : public QObject {
    Q_OBJECT
public:
    explicit RoomBrowser(QString eventId, int mostRooms = 64, QObject *parent = nullptr);
    ~RoomBrowser() override;

    void start();
    // A room found that its follower would not take: see RoomBook::release().
    void release(const QString &service);
    // What was dropped so far, and why; read without waiting for Avahi.
    dnssd::RoomBook::Counts counts() const;

signals:
    // Only this event's, well-formed, at most mostRooms at a time.
    void found(const RoomAnnounced &room);
    void lost(const QString &service);
    void unavailable(const QString &reason);

private:
    QString eventId_;
    int mostRooms_;
    dnssd::Browser *side_ = nullptr; // from start()
};
