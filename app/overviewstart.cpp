#include "app/overviewstart.h"

#include "overview/overviewprocess.h"
#include "overview/overviewwindow.h"
#include "overview/roomfeed.h"
#include "platform/helperprocess.h"
#include "rooms/eventtokens.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <cstdio>

namespace {

void fail(const QString &why)
{
    std::fprintf(stderr, "podiumwatch: %s\n", qPrintable(why));
}

} // namespace

int startOverview(const CommandLine &commandLine)
{
    overviewchannel::Configure configure;
    if (!commandLine.eventKey.isEmpty() || !commandLine.eventFile.isEmpty()) {
        const Result<QByteArray> key = commandLine.eventKey.isEmpty()
                                           ? eventKeyFrom(commandLine.eventFile)
                                           : Result<QByteArray>(commandLine.eventKey.toUtf8());
        if (!key) {
            fail(key.error());
            return 2;
        }
        configure.key = *key;
        configure.browse = true;
    }
    // Every address is checked here, so that a mistyped one is said before any window opens.
    QList<roomfeed::RoomAddress> addresses;
    for (const QString &text : commandLine.rooms) {
        const Result<roomfeed::RoomAddress> address = roomfeed::roomAddress(text);
        if (!address) {
            fail(address.error());
            return 2;
        }
        addresses.append(*address);
    }
    if (!commandLine.roomsFile.isEmpty()) {
        QFile file(commandLine.roomsFile);
        if (!file.open(QIODevice::ReadOnly) || file.size() > 64 * 1024) {
            fail(QStringLiteral("could not read the rooms' addresses in %1").arg(commandLine.roomsFile));
            return 2;
        }
        const auto listed = roomfeed::roomAddresses(file.readAll());
        if (!listed) {
            fail(QStringLiteral("%1: %2").arg(commandLine.roomsFile, listed.error()));
            return 2;
        }
        addresses += *listed;
    }
    if (addresses.size() > roomfeed::kMostRooms) {
        fail(QStringLiteral("an overview follows at most %1 rooms").arg(roomfeed::kMostRooms));
        return 2;
    }
    for (const roomfeed::RoomAddress &address : addresses) {
        QUrl url = address.base;
        if (!address.token.isEmpty())
            url.setQuery(QStringLiteral("t=") + address.token);
        configure.addresses.append(url.toString());
    }
    if (!configure.browse && std::any_of(addresses.cbegin(), addresses.cend(),
                                         [](const roomfeed::RoomAddress &a) { return a.token.isEmpty(); })) {
        fail(QStringLiteral("a room given without its token needs the event's key: --event KEY"));
        return 2;
    }
    if (commandLine.remote) {
        const RemoteSettings settings = channel::withTokens(*commandLine.remote);
        configure.http = true;
        configure.bind = settings.bind;
        configure.port = settings.port;
        configure.viewToken = settings.viewToken;
        configure.controlToken = settings.controlToken;
    }

    OverviewModel model;
    OverviewProcess process(helperBesideProgram(QStringLiteral("podiumwatch-overview")));
    OverviewWindow window(model, [&process](const RemoteCommand &command, auto answered) {
        process.act(command, std::move(answered));
    });
    QObject::connect(&process, &OverviewProcess::roomChanged, &model, &OverviewModel::apply);
    bool printed = false;
    QObject::connect(&process, &OverviewProcess::listening, &window,
                     [&window, &configure, &printed](const QString &host, quint16 port) {
                         const QString view = channel::remoteUrl(host, port, QLatin1StringView("overview"),
                                                                 configure.viewToken);
                         const QString control = channel::remoteUrl(
                             host, port, QLatin1StringView("overview/control"), configure.controlToken);
                         window.showAddresses(view, control);
                         if (printed)
                             return;
                         printed = true;
                         const QByteArray lines =
                             "overview: " + view.toUtf8() + "\noverview control: " + control.toUtf8() + '\n';
                         std::fputs(lines.constData(), stdout);
                         std::fflush(stdout);
                     });
    QObject::connect(&process, &OverviewProcess::failed, &window,
                     [](const QString &reason) { fail(QStringLiteral("the overview: ") + reason); });
    process.start(configure);
    window.show();
    return QApplication::exec();
}
