// podiumwatch-remote: the remote view's server, in a process of its own. It holds the listening
// sockets, every connection and every parser of what clients send (the pages' HTTP and WebSocket,
// the production desk's OSC) and everything sent to the desk, so that a fault in any of them
// ends this process and never the program's clock, bells or projector; the program starts a new
// one with the same addresses. It speaks the protocol of channel.h on its standard input and
// output, and ends when its standard input closes.

#include "remote/channel.h"
#include "remote/deskout.h"
#include "remote/helpermain.h"
#include "remote/oscin.h"
#include "remote/remoteserver.h"
#include "rooms/dnssd.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QTimer>
#include <cstdio>
#include <memory>

namespace {

// How often the server's thread proves to the program that it is not stuck.
constexpr int kAliveMs = 500;

class Host : public QObject {
public:
    Host()
    {
        out_.open(1, QIODevice::WriteOnly | QIODevice::Unbuffered);
        connect(&server_, &RemoteServer::started, this, [this] {
            sayListening();
            announceRoom();
        });
        connect(&server_, &RemoteServer::failed, this, [this](const QString &reason) { fail(reason); });
        connect(&server_, &RemoteServer::commandRequested, this, &Host::pass);
        connect(&oscIn_, &OscIn::commandRequested, this, &Host::pass);
        alive_.setInterval(kAliveMs);
        connect(&alive_, &QTimer::timeout, this, &Host::probe);
    }

    // One message from the program; false for one this process cannot take, which ends it.
    bool take(const channel::Message &message)
    {
        switch (message.type) {
        case channel::Type::Configure: {
            const auto configure = channel::decodeConfigure(message.body);
            if (!configure || configured_)
                return false;
            configured_ = true;
            setUp(*configure);
            return true;
        }
        case channel::Type::State:
            // Sent on to every browser as it stands: it must at least be what it says it is.
            if (!QJsonDocument::fromJson(message.body).isObject())
                return false;
            server_.publish(message.body);
            state_ = message.body;
            desk_.state(message.body);
            return true;
        case channel::Type::Verdict: {
            const auto verdict = channel::decodeVerdict(message.body);
            if (!verdict)
                return false;
            if (OscIn::ownsId(verdict->id))
                oscIn_.settle(verdict->id, verdict->verdict);
            else
                server_.settle(verdict->id, verdict->verdict);
            return true;
        }
        case channel::Type::Cue: {
            const auto cue = channel::decodeCue(message.body);
            if (!cue)
                return false;
            desk_.cue(*cue);
            return true;
        }
        default:
            return false;
        }
    }

private:
    // Listening is said once everything asked for listens: the desk's port at once, the pages
    // when their server has started on its thread.
    void setUp(const channel::Configure &configure)
    {
        const DeskSettings &desk = configure.desk;
        const Result<DeskTargets> targets = deskTargets(desk);
        if (!targets) {
            fail(targets.error());
            return;
        }
        if (desk.oscPort) {
            const Result<quint16> port = oscIn_.listen(desk.oscBind, *desk.oscPort, configure.controlToken);
            if (!port) {
                fail(port.error());
                return;
            }
            oscPort_ = *port;
        }
        if (!targets->isEmpty()) {
            desk_.start(*targets);
            desk_.state(state_);
        }
        http_ = configure.http;
        alive_.start();
        if (!http_) {
            sayListening();
            return;
        }
        RemoteSettings settings;
        settings.bind = configure.bind;
        settings.port = configure.port;
        settings.viewToken = configure.viewToken;
        settings.controlToken = configure.controlToken;
        settings.eventViewToken = configure.eventViewToken;
        settings.eventControlToken = configure.eventControlToken;
        settings.room = configure.room;
        settings.eventId = configure.eventId;
        room_ = configure.room;
        eventId_ = configure.eventId;
        server_.start(settings);
    }

    // A room of an event tells the overviews on the local network where its pages are. Without an
    // event nothing is announced, and Avahi is not contacted at all; without a daemon the pages are
    // served all the same.
    void announceRoom()
    {
        if (room_.isEmpty() || eventId_.isEmpty() || announcement_)
            return;
        announcement_ = std::make_unique<RoomAnnouncement>();
        connect(announcement_.get(), &RoomAnnouncement::unavailable, this, [](const QString &reason) {
            const QByteArray line =
                "podiumwatch-remote: the room is not announced on the network: " + reason.toLocal8Bit() +
                '\n';
            std::fputs(line.constData(), stderr);
        });
        announcement_->announce(room_, eventId_, server_.port());
    }

    void sayListening()
    {
        say(channel::Type::Listening,
            channel::encode(channel::Listening{http_ ? server_.host() : QString(),
                                               http_ ? server_.port() : quint16{0}, oscPort_}));
    }

    void fail(const QString &reason)
    {
        say(channel::Type::Failed, channel::encodeFailure(reason));
        QCoreApplication::exit(1);
    }

    void pass(const RemoteCommand &command, quint64 id)
    {
        say(channel::Type::Command, channel::encode(channel::Command{id, command}));
    }

    // Alive says that every thread of this process has had a turn: the pages' server's, the
    // desk's, and this one, which reads the desk's commands.
    void probe()
    {
        const auto answer = [this] {
            say(channel::Type::Alive, channel::encodeAlive(server_.clientCount()));
        };
        const auto afterServer = [this, answer] {
            if (desk_.isRunning())
                desk_.probe(answer);
            else
                answer();
        };
        if (http_)
            server_.probe(afterServer);
        else
            afterServer();
    }

    void say(channel::Type type, const QByteArray &body) { out_.write(channel::message(type, body)); }

    QFile out_;
    RemoteServer server_;
    OscIn oscIn_;
    DeskOut desk_;
    QTimer alive_;
    QByteArray state_ = "{}";
    quint16 oscPort_ = 0;
    bool http_ = false;
    bool configured_ = false;
    QString room_, eventId_; // set only where the pages are served
    // Last, so that it is withdrawn first as the process ends.
    std::unique_ptr<RoomAnnouncement> announcement_;
};

} // namespace

int main(int argc, char *argv[])
{
    return runChannelHelper<Host>(argc, argv, channel::kLargestToServer,
                                  "podiumwatch-remote: a message from the program it cannot take\n");
}
