// podiumwatch-overview: the overview's network side, in a process of its own, as a room's server
// is. It follows every room (a WebSocket client of each room's view feed), finds the event's rooms
// on the network, passes the organisers' actions on to the rooms and, when asked, serves the
// overview's own page; every byte from the network is read here and never in the window. It speaks
// overviewchannel.h on its standard input and output, and ends when its standard input closes.

#include "overview/overviewchannel.h"
#include "overview/roomfollower.h"
#include "remote/channel.h"
#include "remote/helpermain.h"
#include "remote/remoteserver.h"
#include "remote/router.h"
#include "rooms/dnssd.h"
#include "rooms/eventtokens.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <map>

namespace {

// The overview's page is told of changes at most this often: fifty rooms each pushing once a
// second would otherwise send every viewer fifty overviews a second.
constexpr int kPublishMs = 100;

class Host : public QObject {
public:
    Host()
    {
        out_.open(1, QIODevice::WriteOnly | QIODevice::Unbuffered);
        publish_.setSingleShot(true);
        connect(&publish_, &QTimer::timeout, this, &Host::publish);
        connect(&server_, &RemoteServer::started, this, [this] {
            say(channel::Type::Listening,
                channel::encode(channel::Listening{server_.host(), server_.port(), 0}));
        });
        connect(&server_, &RemoteServer::failed, this, [this](const QString &reason) {
            say(channel::Type::Failed, channel::encodeFailure(reason));
        });
        connect(&server_, &RemoteServer::commandRequested, this,
                [this](const RemoteCommand &command, quint64 id) {
                    act(command, [this, id](const CommandVerdict &verdict) { server_.settle(id, verdict); });
                });
    }

    bool take(const channel::Message &message)
    {
        switch (message.type) {
        case channel::Type::Configure: {
            const auto configure = overviewchannel::decodeConfigure(message.body);
            if (!configure || configured_)
                return false;
            configured_ = true;
            setUp(*configure);
            return true;
        }
        case channel::Type::Command: {
            const auto action = overviewchannel::decodeAction(message.body);
            if (!action)
                return false;
            act(action->command, [this, id = action->id](const CommandVerdict &verdict) {
                say(channel::Type::Verdict, channel::encode(channel::Verdict{id, verdict}));
            });
            return true;
        }
        default:
            return false;
        }
    }

private:
    void setUp(const overviewchannel::Configure &configure)
    {
        key_ = configure.key;
        for (const QString &text : configure.addresses) {
            const Result<roomfeed::RoomAddress> address = roomfeed::roomAddress(text);
            if (!address) {
                std::fprintf(stderr, "podiumwatch-overview: %s\n", qPrintable(address.error()));
                continue;
            }
            followAt(address->base.toString(), *address, {});
        }
        if (configure.browse && !key_.isEmpty())
            browse();
        if (configure.http) {
            RemoteSettings settings;
            settings.overview = true;
            settings.bind = configure.bind;
            settings.port = configure.port;
            settings.viewToken = configure.viewToken;
            settings.controlToken = configure.controlToken;
            server_.publish(overviewJson());
            server_.start(settings);
        }
    }

    // The event's rooms as they announce themselves; one already followed by its address is not
    // followed twice. Where there is no Avahi daemon, rooms given by address still are.
    void browse()
    {
        browser_ = new RoomBrowser(eventId(key_), roomfeed::kMostRooms, this);
        connect(browser_, &RoomBrowser::found, this, [this](const RoomAnnounced &announced) {
            const bool followed =
                std::any_of(followers_.begin(), followers_.end(), [&announced](const auto &entry) {
                    return entry.second->room() == announced.room;
                });
            if (followed)
                return;
            roomfeed::RoomAddress address;
            address.base.setScheme(QStringLiteral("http"));
            address.base.setHost(announced.host);
            address.base.setPort(announced.port);
            const QString key = QStringLiteral("dnssd:") + announced.service;
            RoomFollower *follower = followAt(key, address, announced.room);
            // One that claims the event and cannot prove it gives its place up at once: a flood of
            // such announcements holds no place a real room needs.
            if (follower)
                connect(follower, &RoomFollower::refused, this, [this, key, service = announced.service] {
                    if (const auto found = followers_.find(key); found != followers_.end()) {
                        found->second->deleteLater();
                        followers_.erase(found);
                    }
                    browser_->release(service);
                });
        });
        connect(browser_, &RoomBrowser::lost, this, [this](const QString &service) {
            const QString key = QStringLiteral("dnssd:") + service;
            const auto found = followers_.find(key);
            if (found == followers_.end())
                return;
            found->second->deleteLater();
            followers_.erase(found);
            say(channel::Type::State,
                overviewchannel::encode(overviewchannel::RoomChange{key, {}, false, true, {}}));
            if (!publish_.isActive())
                publish_.start(kPublishMs);
        });
        connect(browser_, &RoomBrowser::unavailable, this, [](const QString &reason) {
            std::fprintf(
                stderr,
                "podiumwatch-overview: rooms are not found on the network (%s); rooms given by address "
                "are followed\n",
                qPrintable(reason));
        });
        browser_->start();
    }

    // A room, under its own name for it; at most kMostRooms, however many are announced.
    RoomFollower *followAt(const QString &key, const roomfeed::RoomAddress &address, const QString &announced)
    {
        if (followers_.contains(key) || static_cast<int>(followers_.size()) >= roomfeed::kMostRooms)
            return nullptr;
        auto *follower = new RoomFollower(address, key_, announced, &network_, this);
        followers_.emplace(key, follower);
        connect(follower, &RoomFollower::changed, this, [this, key, follower] {
            say(channel::Type::State,
                overviewchannel::encode(overviewchannel::RoomChange{
                    key, follower->room(), follower->isOnline(), false, follower->state()}));
            if (!publish_.isActive())
                publish_.start(kPublishMs);
        });
        follower->start();
        return follower;
    }

    // {"rooms": [...]}: each room's own state, with its name and whether it answers, by name.
    QByteArray overviewJson() const
    {
        std::vector<const RoomFollower *> shown;
        for (const auto &[key, follower] : followers_)
            if (!follower->room().isEmpty())
                shown.push_back(follower);
        std::sort(shown.begin(), shown.end(),
                  [](const RoomFollower *a, const RoomFollower *b) { return a->room() < b->room(); });
        QJsonArray rooms;
        for (const RoomFollower *follower : shown) {
            QJsonObject room = follower->state();
            room.insert(QLatin1StringView("room"), follower->room());
            room.insert(QLatin1StringView("online"), follower->isOnline());
            rooms.append(room);
        }
        return QJsonDocument(QJsonObject{{QStringLiteral("rooms"), rooms}}).toJson(QJsonDocument::Compact);
    }

    void publish()
    {
        if (server_.isListening())
            server_.publish(overviewJson());
    }

    // Only what an organiser may ask of a room: a message, a saved one, a minute more or less.
    void act(const RemoteCommand &command, const std::function<void(const CommandVerdict &)> &answered)
    {
        if (!overviewTakes(command.kind)) {
            answered({403, "an overview sends messages and minutes only"});
            return;
        }
        const auto found = std::find_if(followers_.begin(), followers_.end(), [&command](const auto &entry) {
            return entry.second->room() == command.room;
        });
        if (found == followers_.end()) {
            answered({404, "no such room"});
            return;
        }
        found->second->send(command, answered);
    }

    void say(channel::Type type, const QByteArray &body) { out_.write(channel::message(type, body)); }

    QFile out_;
    QByteArray key_;
    QNetworkAccessManager network_;
    std::map<QString, RoomFollower *> followers_;
    RemoteServer server_;
    RoomBrowser *browser_ = nullptr;
    QTimer publish_;
    bool configured_ = false;
};

} // namespace

int main(int argc, char *argv[])
{
    return runChannelHelper<Host>(argc, argv, overviewchannel::kLargest,
                                  "podiumwatch-overview: a message from the window it cannot take\n");
}
