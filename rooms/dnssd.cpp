#include "rooms/dnssd.h"

#include "rooms/roomname.h"
#include <QChar>
#include <QMetaObject>
#include <QStringDecoder>
#include <algorithm>
#include <avahi-client/client.h>
#include <avahi-client/lookup.h>
#include <avahi-client/publish.h>
#include <avahi-common/address.h>
#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>
#include <avahi-common/strlst.h>
#include <avahi-common/thread-watch.h>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <future>

#include <mutex>
#include <net/if.h>
#include <unistd.h>

namespace dnssd {

namespace {

constexpr qsizetype kLongestLabel = 63; // bytes of a DNS label, an instance name's limit
// Another device that claims every name we try is not followed for ever.
constexpr int kMostRenames = 32;
// How long a going object waits for Avahi's thread to withdraw and let go of the daemon: within
// the second the server's process is given to end once the program has gone.
constexpr std::chrono::milliseconds kFinishBound{1000};

std::optional<QString> strictUtf8(QByteArrayView bytes)
{
    // A byte-order mark is kept as a character, so that what is read is what was sent.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

std::optional<int> version(QByteArrayView text)
{
    if (text.isEmpty() || text.size() > 4 || text.front() == '0')
        return std::nullopt;
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

bool sameKey(QByteArrayView key, QByteArrayView ours)
{
    return key.compare(ours, Qt::CaseInsensitive) == 0;
}

QString avahiError(int error)
{
    return QString::fromUtf8(avahi_strerror(error));
}

} // namespace

std::optional<QString> checkedRoom(QByteArrayView utf8)
{
    std::optional<QString> room = strictUtf8(utf8);
    if (!room || !isRoomName(*room))
        return std::nullopt;
    return room;
}

bool isEventId(QByteArrayView text)
{
    return text.size() == 8 && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

std::optional<RoomAnnounced> checkedAnnouncement(QByteArrayView service, const QList<QByteArray> &txt,
                                                 const QString &host, quint16 port)
{
    if (port == 0 || txt.size() > kMostTxtStrings || service.isEmpty() || service.size() > kLongestLabel)
        return std::nullopt;
    qsizetype bytes = 0;
    for (const QByteArray &string : txt)
        bytes += string.size();
    if (bytes > kMostTxtBytes)
        return std::nullopt;
    const std::optional<QString> name = strictUtf8(service);
    if (!name)
        return std::nullopt;

    std::optional<QByteArrayView> room, event, v;
    for (const QByteArray &string : txt) {
        const qsizetype equals = string.indexOf('=');
        const QByteArrayView key = QByteArrayView(string).first(equals < 0 ? string.size() : equals);
        std::optional<QByteArrayView> *slot = sameKey(key, "room")    ? &room
                                              : sameKey(key, "event") ? &event
                                              : sameKey(key, "v")     ? &v
                                                                      : nullptr;
        if (!slot)
            continue; // another key, perhaps of a later version
        // Twice, or without a value: no telling which the sender meant.
        if (*slot || equals < 0)
            return std::nullopt;
        *slot = QByteArrayView(string).sliced(equals + 1);
    }
    if (!room || !event || !v || !isEventId(*event))
        return std::nullopt;
    std::optional<QString> roomName = checkedRoom(*room);
    const std::optional<int> announcedVersion = version(*v);
    if (!roomName || !announcedVersion || *announcedVersion > kHighestVersion)
        return std::nullopt;
    return RoomAnnounced{*name, *roomName, QString::fromLatin1(*event), *announcedVersion, host, port};
}

QByteArray instanceName(const QString &room)
{
    QByteArray name = room.toUtf8();
    if (name.size() <= kLongestLabel)
        return name;
    qsizetype end = kLongestLabel;
    while (end > 0 && (static_cast<unsigned char>(name.at(end)) & 0xC0) == 0x80)
        --end; // not inside a character
    return name.left(end);
}

// --- RoomBook ---------------------------------------------------------------------------------

RoomBook::RoomBook(QString eventId, Limits limits) : eventId_(std::move(eventId)), limits_(limits)
{
}

void RoomBook::seen(const QString &service, Place where)
{
    const auto it = entries_.find(service);
    if (it == entries_.end()) {
        if (waiting() >= limits_.waiting) {
            ++counts_.overflowed;
            return;
        }
        entries_.insert(service, Entry{Stage::Waiting, {where}});
        queue_.push_back(service);
        return;
    }
    if (!it->places.contains(where) && it->places.size() < kMostPlaces)
        it->places.append(where);
}

RoomBook::Gone RoomBook::gone(const QString &service, Place where)
{
    const auto it = entries_.find(service);
    if (it == entries_.end() || !it->places.removeOne(where) || !it->places.isEmpty())
        return Gone::Nothing;
    const Stage stage = it->stage;
    forget(service);
    switch (stage) {
    case Stage::Waiting:
        return Gone::Nothing;
    case Stage::Resolving:
        return Gone::StopResolving;
    case Stage::Reported:
        return Gone::Lost;
    case Stage::Released:
        return Gone::Nothing;
    }
    return Gone::Nothing;
}

void RoomBook::release(const QString &service)
{
    const auto it = entries_.find(service);
    if (it == entries_.end() || it->stage != Stage::Reported)
        return;
    it->stage = Stage::Released;
    --rooms_;
    ++counts_.released;
    released_.push_back(service);
    if (static_cast<qsizetype>(released_.size()) > kMostReleased)
        forget(released_.front());
}

std::optional<std::pair<QString, RoomBook::Place>> RoomBook::nextToResolve()
{
    if (resolving_ >= limits_.resolving || queue_.empty())
        return std::nullopt;
    QString service = queue_.front();
    queue_.pop_front();
    Entry &entry = entries_[service];
    entry.stage = Stage::Resolving;
    ++resolving_;
    return std::pair{std::move(service), entry.places.front()};
}

std::optional<RoomAnnounced> RoomBook::resolved(const QString &service, std::optional<RoomAnnounced> room)
{
    const auto it = entries_.find(service);
    if (it == entries_.end() || it->stage != Stage::Resolving)
        return std::nullopt;
    if (!room) {
        ++counts_.refused;
    } else if (room->eventId != eventId_) {
        ++counts_.otherEvent;
    } else if (rooms_ >= limits_.rooms) {
        ++counts_.overRooms;
    } else {
        it->stage = Stage::Reported;
        --resolving_;
        ++rooms_;
        return room;
    }
    // Not followed further: should it be seen again elsewhere, it is read again.
    forget(service);
    return std::nullopt;
}

void RoomBook::unresolved(const QString &service)
{
    const auto it = entries_.find(service);
    if (it == entries_.end() || it->stage != Stage::Resolving)
        return;
    ++counts_.unresolved;
    forget(service);
}

void RoomBook::forget(const QString &service)
{
    const auto it = entries_.find(service);
    if (it == entries_.end())
        return;
    switch (it->stage) {
    case Stage::Waiting:
        queue_.erase(std::find(queue_.begin(), queue_.end(), service));
        break;
    case Stage::Resolving:
        --resolving_;
        break;
    case Stage::Reported:
        --rooms_;
        break;
    case Stage::Released:
        released_.erase(std::find(released_.begin(), released_.end(), service));
        break;
    }
    entries_.erase(it);
}

// --- Avahi's thread ---------------------------------------------------------------------------

// One client of the daemon on Avahi's own thread. The owner's thread only hands it tasks, through
// a queue and a pipe that wakes that thread, and never takes Avahi's lock: every call to the
// daemon blocks until it answers (or D-Bus gives up, 25 s later), and a daemon that hangs must not
// hold the owner up. What Avahi says reaches the owner queued, and nothing does once it has gone.
class AvahiSide {
public:
    explicit AvahiSide(QObject *owner) : owner_(owner) {}
    virtual ~AvahiSide()
    {
        if (poll_) {
            avahi_threaded_poll_stop(poll_);
            avahi_threaded_poll_free(poll_);
        }
        for (const int fd : wake_)
            if (fd >= 0)
                ::close(fd);
    }
    AvahiSide(const AvahiSide &) = delete;
    AvahiSide &operator=(const AvahiSide &) = delete;

    // On the owner's thread: runs the task on Avahi's, in order, starting that thread first.
    void post(std::function<void()> task)
    {
        if (!started_)
            running_ = start();
        if (!running_)
            return;
        {
            const std::lock_guard lock(tasksMutex_);
            tasks_.push_back(std::move(task));
        }
        const char byte = 0;
        // A full pipe already holds a wake-up.
        [[maybe_unused]] const auto written = ::write(wake_[1], &byte, 1);
    }

    // On the owner's thread, as it goes: the side lets go of the daemon, and is deleted once it has.
    // Avahi's thread held inside a call to a daemon that does not answer is left to the process's
    // end, with the side it uses.
    static void finish(AvahiSide *side)
    {
        {
            const std::lock_guard lock(side->ownerMutex_);
            side->owner_ = nullptr;
        }
        if (!side->running_) {
            delete side;
            return;
        }
        const auto closed = std::make_shared<std::promise<void>>();
        std::future<void> done = closed->get_future();
        side->post([side, closed] {
            side->close();
            if (side->client_) {
                avahi_client_free(side->client_);
                side->client_ = nullptr;
            }
            closed->set_value();
        });
        if (done.wait_for(kFinishBound) == std::future_status::ready)
            delete side;
    }

protected:
    // The rest is on Avahi's thread.

    // The daemon runs: entries may be registered, browsers started.
    virtual void running(AvahiClient *client) = 0;
    // The host's name is being changed: the entries must be withdrawn until it runs again.
    virtual void renaming() {}
    // Frees what was made with the client, before the client goes.
    virtual void close() = 0;
    virtual void reportUnavailable(const QString &reason) = 0;

    // The client, made on first need; false when the daemon cannot be had.
    bool connect()
    {
        if (failed_)
            return false;
        if (client_)
            return true;
        int error = 0;
        client_ = avahi_client_new(avahi_threaded_poll_get(poll_), AvahiClientFlags(0), clientChanged, this,
                                   &error);
        if (!client_)
            fail(avahiError(error));
        return client_ != nullptr;
    }

    // Once: the owner hears why, and nothing more is asked of the daemon.
    void fail(const QString &reason)
    {
        if (failed_)
            return;
        failed_ = true;
        reportUnavailable(reason);
    }
    bool failed() const { return failed_; }

    // Runs on the owner's thread, unless the owner has gone by then.
    template <typename Owner, typename Call> void toOwner(Call call)
    {
        const std::lock_guard lock(ownerMutex_);
        if (auto *owner = static_cast<Owner *>(owner_))
            QMetaObject::invokeMethod(
                owner, [owner, call = std::move(call)] { call(owner); }, Qt::QueuedConnection);
    }

    AvahiClient *client_ = nullptr;

private:
    bool start()
    {
        started_ = true; // tried once: a thread that cannot start is not tried again
        if (::pipe2(wake_, O_NONBLOCK | O_CLOEXEC) != 0) {
            wake_[0] = wake_[1] = -1;
            fail(QStringLiteral("no pipe to Avahi's thread"));
            return false;
        }
        poll_ = avahi_threaded_poll_new();
        if (!poll_) {
            fail(QStringLiteral("Avahi's event loop could not be made"));
            return false;
        }
        const AvahiPoll *api = avahi_threaded_poll_get(poll_);
        if (!api->watch_new(api, wake_[0], AVAHI_WATCH_IN, woken, this) ||
            avahi_threaded_poll_start(poll_) < 0) {
            avahi_threaded_poll_free(poll_);
            poll_ = nullptr;
            fail(QStringLiteral("Avahi's thread could not be started"));
            return false;
        }
        return true;
    }

    static void woken(AvahiWatch *, int fd, AvahiWatchEvent, void *userdata)
    {
        auto *side = static_cast<AvahiSide *>(userdata);
        // Every wake-up byte before the tasks: a task posted after this is woken for again.
        char bytes[64];
        while (::read(fd, bytes, sizeof bytes) > 0) {
        }
        std::deque<std::function<void()>> tasks;
        {
            const std::lock_guard lock(side->tasksMutex_);
            tasks.swap(side->tasks_);
        }
        for (const auto &task : tasks)
            task();
    }

    static void clientChanged(AvahiClient *client, AvahiClientState state, void *userdata)
    {
        // Called from inside avahi_client_new too, before client_ is set: use the one given.
        auto *side = static_cast<AvahiSide *>(userdata);
        if (side->failed_)
            return;
        switch (state) {
        case AVAHI_CLIENT_S_RUNNING:
            side->running(client);
            break;
        case AVAHI_CLIENT_S_COLLISION:
        case AVAHI_CLIENT_S_REGISTERING:
            side->renaming();
            break;
        case AVAHI_CLIENT_FAILURE:
            side->fail(avahiError(avahi_client_errno(client)));
            break;
        case AVAHI_CLIENT_CONNECTING:
            break;
        }
    }

    std::mutex ownerMutex_;
    QObject *owner_;
    bool started_ = false; // these two the owner's thread's alone
    bool running_ = false;
    AvahiThreadedPoll *poll_ = nullptr;
    int wake_[2] = {-1, -1};
    std::mutex tasksMutex_;
    std::deque<std::function<void()>> tasks_;
    bool failed_ = false; // Avahi's thread's alone
};

// --- Announcing ---------------------------------------------------------------------------------

class Announcer final : public AvahiSide {
public:
    using AvahiSide::AvahiSide;

    void announce(const QString &room, const QString &eventId, quint16 port)
    {
        if (failed())
            return;
        const QByteArray roomBytes = room.toUtf8();
        if (!checkedRoom(roomBytes)) {
            fail(QStringLiteral("the room's name cannot be announced (1 to %1 characters on one line)")
                     .arg(kLongestRoom));
            return;
        }
        if (!isEventId(eventId.toLatin1()) || port == 0) {
            fail(QStringLiteral("no event id or port to announce"));
            return;
        }
        const Wanted next{"room=" + roomBytes, "event=" + eventId.toLatin1(), port};
        if (wanted_ == next)
            return;
        if (!wanted_ || wanted_->room != next.room) {
            name_ = instanceName(room);
            renames_ = 0;
        }
        wanted_ = next;
        const bool made = client_ != nullptr;
        // A new client that finds the daemon running publishes from inside connect().
        if (connect() && made && avahi_client_get_state(client_) == AVAHI_CLIENT_S_RUNNING)
            publish(client_);
    }

    void withdraw()
    {
        wanted_.reset();
        if (group_) {
            avahi_entry_group_free(group_);
            group_ = nullptr;
        }
    }

private:
    struct Wanted {
        QByteArray room, event; // as the TXT strings say them
        quint16 port = 0;
        bool operator==(const Wanted &) const = default;
    };

    void running(AvahiClient *client) override
    {
        if (wanted_)
            publish(client);
    }
    void renaming() override
    {
        if (group_)
            avahi_entry_group_reset(group_);
    }
    void close() override { withdraw(); }
    void reportUnavailable(const QString &reason) override
    {
        toOwner<RoomAnnouncement>([reason](RoomAnnouncement *owner) { emit owner->unavailable(reason); });
    }

    void publish(AvahiClient *client)
    {
        if (failed() || !wanted_)
            return;
        if (!group_) {
            group_ = avahi_entry_group_new(client, groupChanged, this);
            if (!group_) {
                fail(avahiError(avahi_client_errno(client)));
                return;
            }
        } else {
            avahi_entry_group_reset(group_);
        }
        const QByteArray version = "v=" + QByteArray::number(kRoomProtocolVersion);
        int error = 0;
        // Taken by another service of this daemon: the next alternative name.
        do {
            error = avahi_entry_group_add_service(
                group_, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, AvahiPublishFlags(0), name_.constData(),
                kRoomServiceType, nullptr, nullptr, wanted_->port, wanted_->room.constData(),
                version.constData(), wanted_->event.constData(), static_cast<char *>(nullptr));
        } while (error == AVAHI_ERR_COLLISION && rename());
        if (error >= 0)
            error = avahi_entry_group_commit(group_);
        if (error < 0)
            fail(avahiError(error));
    }

    // False (and failed) once too many names were taken.
    bool rename()
    {
        if (++renames_ > kMostRenames) {
            fail(QStringLiteral("every name tried is taken on the network"));
            return false;
        }
        char *next = avahi_alternative_service_name(name_.constData());
        name_ = next;
        avahi_free(next);
        return true;
    }

    static void groupChanged(AvahiEntryGroup *group, AvahiEntryGroupState state, void *userdata)
    {
        auto *self = static_cast<Announcer *>(userdata);
        if (self->failed())
            return;
        switch (state) {
        case AVAHI_ENTRY_GROUP_ESTABLISHED:
            self->toOwner<RoomAnnouncement>([name = QString::fromUtf8(self->name_)](RoomAnnouncement *owner) {
                emit owner->announced(name);
            });
            break;
        case AVAHI_ENTRY_GROUP_COLLISION:
            // Another device on the network holds the name.
            if (self->rename())
                self->publish(avahi_entry_group_get_client(group));
            break;
        case AVAHI_ENTRY_GROUP_FAILURE:
            self->fail(avahiError(avahi_client_errno(avahi_entry_group_get_client(group))));
            break;
        case AVAHI_ENTRY_GROUP_UNCOMMITED:
        case AVAHI_ENTRY_GROUP_REGISTERING:
            break;
        }
    }

    std::optional<Wanted> wanted_;
    AvahiEntryGroup *group_ = nullptr;
    QByteArray name_;
    int renames_ = 0;
};

// --- Browsing -----------------------------------------------------------------------------------

class Browser final : public AvahiSide {
public:
    Browser(RoomBrowser *owner, const QString &eventId, int mostRooms)
        : AvahiSide(owner), book_(eventId, limitsFor(mostRooms))
    {
    }

    void start() { connect(); }

    void release(const QString &service)
    {
        book_.release(service);
        const std::lock_guard lock(countsMutex_);
        counts_ = book_.counts();
    }

    RoomBook::Counts counts() const
    {
        const std::lock_guard lock(countsMutex_);
        return counts_;
    }

private:
    static RoomBook::Limits limitsFor(int mostRooms)
    {
        RoomBook::Limits limits;
        limits.rooms = std::max(mostRooms, 0);
        return limits;
    }

    void running(AvahiClient *client) override
    {
        if (browser_)
            return;
        browser_ = avahi_service_browser_new(client, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, kRoomServiceType,
                                             "local", AvahiLookupFlags(0), browsed, this);
        if (!browser_)
            fail(avahiError(avahi_client_errno(client)));
    }
    void close() override
    {
        for (auto it = resolvers_.cbegin(); it != resolvers_.cend(); ++it)
            avahi_service_resolver_free(it.key());
        resolvers_.clear();
        if (browser_) {
            avahi_service_browser_free(browser_);
            browser_ = nullptr;
        }
    }
    void reportUnavailable(const QString &reason) override
    {
        toOwner<RoomBrowser>([reason](RoomBrowser *owner) { emit owner->unavailable(reason); });
    }

    // As many resolvers as the book allows.
    void resolveMore(AvahiClient *client)
    {
        while (const auto next = book_.nextToResolve()) {
            const auto &[service, place] = *next;
            AvahiServiceResolver *resolver = avahi_service_resolver_new(
                client, place.interface, place.protocol, service.toUtf8().constData(), kRoomServiceType,
                "local", AVAHI_PROTO_UNSPEC, AvahiLookupFlags(0), resolvedOne, this);
            if (resolver)
                resolvers_.insert(resolver, service);
            else
                book_.unresolved(service);
        }
        const std::lock_guard lock(countsMutex_);
        counts_ = book_.counts();
    }

    static void browsed(AvahiServiceBrowser *browser, AvahiIfIndex interface, AvahiProtocol protocol,
                        AvahiBrowserEvent event, const char *name, const char *, const char *,
                        AvahiLookupResultFlags, void *userdata)
    {
        auto *self = static_cast<Browser *>(userdata);
        if (self->failed())
            return;
        AvahiClient *client = avahi_service_browser_get_client(browser);
        if (event == AVAHI_BROWSER_FAILURE) {
            self->fail(avahiError(avahi_client_errno(client)));
            return;
        }
        if (event != AVAHI_BROWSER_NEW && event != AVAHI_BROWSER_REMOVE)
            return;
        const std::optional<QString> service = name ? strictUtf8(name) : std::nullopt;
        const RoomBook::Place place{interface, protocol};
        if (!service || service->isEmpty()) {
            if (event == AVAHI_BROWSER_NEW)
                self->book_.refuse();
        } else if (event == AVAHI_BROWSER_NEW) {
            self->book_.seen(*service, place);
        } else {
            switch (self->book_.gone(*service, place)) {
            case RoomBook::Gone::Lost:
                self->toOwner<RoomBrowser>([lost = *service](RoomBrowser *owner) { emit owner->lost(lost); });
                break;
            case RoomBook::Gone::StopResolving:
                if (AvahiServiceResolver *resolver = self->resolvers_.key(*service)) {
                    self->resolvers_.remove(resolver);
                    avahi_service_resolver_free(resolver);
                }
                break;
            case RoomBook::Gone::Nothing:
                break;
            }
        }
        self->resolveMore(client);
    }

    static void resolvedOne(AvahiServiceResolver *resolver, AvahiIfIndex interface, AvahiProtocol,
                            AvahiResolverEvent event, const char *, const char *, const char *, const char *,
                            const AvahiAddress *address, uint16_t port, AvahiStringList *txt,
                            AvahiLookupResultFlags, void *userdata)
    {
        auto *self = static_cast<Browser *>(userdata);
        const QString service = self->resolvers_.take(resolver);
        AvahiClient *client = avahi_service_resolver_get_client(resolver);
        if (event == AVAHI_RESOLVER_FOUND && address) {
            // Copied only up to just past what the check takes, however long the record.
            QList<QByteArray> strings;
            qsizetype bytes = 0;
            for (AvahiStringList *s = txt; s && strings.size() <= kMostTxtStrings && bytes <= kMostTxtBytes;
                 s = avahi_string_list_get_next(s)) {
                const auto size = static_cast<qsizetype>(avahi_string_list_get_size(s));
                const qsizetype taken = std::min(size, kMostTxtBytes + 1);
                strings.append(
                    QByteArray(reinterpret_cast<const char *>(avahi_string_list_get_text(s)), taken));
                bytes += taken;
            }
            const auto room =
                checkedAnnouncement(service.toUtf8(), strings, addressText(*address, interface), port);
            if (auto found = self->book_.resolved(service, room))
                self->toOwner<RoomBrowser>(
                    [found = *found](RoomBrowser *owner) { emit owner->found(found); });
        } else {
            self->book_.unresolved(service);
        }
        avahi_service_resolver_free(resolver);
        if (!self->failed())
            self->resolveMore(client);
    }

    // A link-local IPv6 address is of no use without its interface.
    static QString addressText(const AvahiAddress &address, AvahiIfIndex interface)
    {
        char text[AVAHI_ADDRESS_STR_MAX] = {};
        avahi_address_snprint(text, sizeof text, &address);
        QString host = QString::fromLatin1(text);
        const uint8_t *bytes = address.data.ipv6.address;
        char name[IF_NAMESIZE] = {};
        if (address.proto == AVAHI_PROTO_INET6 && bytes[0] == 0xfe && (bytes[1] & 0xc0) == 0x80 &&
            interface >= 0 && if_indextoname(static_cast<unsigned>(interface), name))
            host += u'%' + QString::fromLocal8Bit(name);
        return host;
    }

    RoomBook book_;
    AvahiServiceBrowser *browser_ = nullptr;
    QHash<AvahiServiceResolver *, QString> resolvers_;
    mutable std::mutex countsMutex_;
    RoomBook::Counts counts_{};
};

} // namespace dnssd

// --- The owners' side -----------------------------------------------------------------------------

RoomAnnouncement::RoomAnnouncement(QObject *parent) : QObject(parent)
{
}

RoomAnnouncement::~RoomAnnouncement()
{
    if (side_)
        dnssd::AvahiSide::finish(side_);
}

void RoomAnnouncement::announce(const QString &room, const QString &eventId, quint16 port)
{
    if (!side_)
        side_ = new dnssd::Announcer(this);
    side_->post([side = side_, room, eventId, port] { side->announce(room, eventId, port); });
}

void RoomAnnouncement::withdraw()
{
    if (side_)
        side_->post([side = side_] { side->withdraw(); });
}

RoomBrowser::RoomBrowser(QString eventId, int mostRooms, QObject *parent)
    : QObject(parent), eventId_(std::move(eventId)), mostRooms_(mostRooms)
{
}

RoomBrowser::~RoomBrowser()
{
    if (side_)
        dnssd::AvahiSide::finish(side_);
}

void RoomBrowser::start()
{
    if (side_)
        return;
    side_ = new dnssd::Browser(this, eventId_, mostRooms_);
    side_->post([side = side_] { side->start(); });
}

void RoomBrowser::release(const QString &service)
{
    if (side_)
        side_->post([side = side_, service] { side->release(service); });
}

dnssd::RoomBook::Counts RoomBrowser::counts() const
{
    return side_ ? side_->counts() : dnssd::RoomBook::Counts{};
}
