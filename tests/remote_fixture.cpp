// A remote server on the loopback with a clock of its own, for the browser test and the benchmark:
// prints the two address lines, publishes the snapshot given on its command line, then a new one
// every 500 ms as the program's tick would. A time such as "546:07" counts down; any other text
// ("超過") stays and only its remaining seconds move on.
//   remote_fixture [--text T] [--background #rrggbb] [--foreground #rrggbb] [--state S] [--port N]
//                  [--seconds N]   (runs until killed, or for N seconds)
//                  [--max-clients N]   (0: every WebSocket is refused, as when the hall is full)
//                  [--message T]   (a message to the speaker under the time)

#include "remote/remoteserver.h"
#include "remote/statejson.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QTimer>
#include <algorithm>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption text(QStringLiteral("text"), QStringLiteral("shown text"), QStringLiteral("T"),
                                  QStringLiteral("546:07"));
    const QCommandLineOption background(QStringLiteral("background"), QStringLiteral("colour"),
                                        QStringLiteral("C"), QStringLiteral("#000000"));
    const QCommandLineOption foreground(QStringLiteral("foreground"), QStringLiteral("colour"),
                                        QStringLiteral("C"), QStringLiteral("#00ff00"));
    const QCommandLineOption stateOption(QStringLiteral("state"), QStringLiteral("setup, running or paused"),
                                         QStringLiteral("S"), QStringLiteral("running"));
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("port, 0 for any"),
                                  QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption seconds(QStringLiteral("seconds"), QStringLiteral("stop after N seconds"),
                                     QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption message(QStringLiteral("message"), QStringLiteral("to the speaker"),
                                     QStringLiteral("T"));
    const QCommandLineOption maxClients(QStringLiteral("max-clients"),
                                        QStringLiteral("WebSocket clients at once"), QStringLiteral("N"),
                                        QStringLiteral("256"));
    parser.addOptions({text, background, foreground, stateOption, port, seconds, maxClients, message});
    parser.addHelpOption();
    parser.process(app);

    RemoteState state;
    Shown &shown = state.shown;
    shown.text = parser.value(text);
    shown.background = QColor(parser.value(background));
    shown.foreground = QColor(parser.value(foreground));
    const auto stateNamed =
        std::find_if(kRunStates.cbegin(), kRunStates.cend(), [&](const RunStateWords &words) {
            return parser.value(stateOption) == QLatin1String(words.key);
        });
    shown.state = stateNamed == kRunStates.cend() ? RunState::Running : stateNamed->state;
    shown.message = parser.value(message);
    shown.band = shown.message; // as the program composes it while there is a message
    const QStringList parts = shown.text.split(QLatin1Char(':'));
    bool minutesOk = false, secondsOk = false;
    if (parts.size() == 2) {
        const int m = parts[0].toInt(&minutesOk);
        const int s = parts[1].toInt(&secondsOk);
        shown.remaining = m * 60 + s;
    }
    const bool counting = minutesOk && secondsOk;
    if (!counting)
        shown.remaining = -1;
    // As the program does: a state a viewer could not tell from the last is not sent again.
    std::optional<RemoteState> published;
    const auto publish = [&](RemoteServer &server) {
        if (state == published)
            return;
        published = state;
        server.publish(stateJson(state, QDateTime::currentMSecsSinceEpoch()));
    };

    RemoteServer server;
    RemoteSettings settings;
    settings.bind = QStringLiteral("127.0.0.1");
    settings.port = static_cast<quint16>(parser.value(port).toUInt());
    settings.maxClients = parser.value(maxClients).toInt();
    QObject::connect(&server, &RemoteServer::failed, &app, [](const QString &reason) {
        std::fprintf(stderr, "remote_fixture: %s\n", qPrintable(reason));
        QCoreApplication::exit(1);
    });
    QObject::connect(&server, &RemoteServer::started, &app, [&server] {
        const QByteArray lines = "remote view: " + server.viewUrl().toUtf8() +
                                 "\nremote control: " + server.controlUrl().toUtf8() + '\n';
        std::fputs(lines.constData(), stdout);
        std::fflush(stdout);
    });
    // Nothing here to carry a command out: each is taken as done.
    QObject::connect(&server, &RemoteServer::commandRequested, &server,
                     [&server](const RemoteCommand &, quint64 id) { server.settle(id, {}); });
    publish(server);
    server.start(settings);

    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &server, [&] {
        shown.remaining = *shown.remaining - 1;
        if (counting && *shown.remaining >= 0) {
            shown.text = QStringLiteral("%1:%2")
                             .arg(*shown.remaining / 60)
                             .arg(*shown.remaining % 60, 2, 10, QLatin1Char('0'));
        }
        publish(server);
    });
    tick.start(500);
    if (const int limit = parser.value(seconds).toInt(); limit > 0)
        QTimer::singleShot(limit * 1000, &app, &QCoreApplication::quit);
    return QCoreApplication::exec();
}
