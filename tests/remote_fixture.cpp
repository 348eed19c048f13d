// A remote server on the loopback with a clock of its own, for the browser test and the benchmark:
// prints the two address lines, publishes the snapshot given on its command line, then a new one
// every 500 ms as the program's tick would. A time such as "546:07" counts down; any other text
// ("超過") stays and only its remaining seconds move on.
//   remote_fixture [--text T] [--background #rrggbb] [--foreground #rrggbb] [--state S] [--port N]
//                  [--seconds N]   (runs until killed, or for N seconds)
//                  [--max-clients N]   (0: every WebSocket is refused, as when the hall is full)
//                  [--message T]   (a message to the speaker under the time)

#include "remote/remoteserver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QTimer>
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
    const QCommandLineOption state(QStringLiteral("state"), QStringLiteral("setup, running or paused"),
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
    parser.addOptions({text, background, foreground, state, port, seconds, maxClients, message});
    parser.addHelpOption();
    parser.process(app);

    RemoteSnapshot snapshot;
    snapshot.text = parser.value(text);
    snapshot.background = QColor(parser.value(background));
    snapshot.foreground = QColor(parser.value(foreground));
    snapshot.state = parser.value(state);
    snapshot.message = parser.value(message);
    const QStringList parts = snapshot.text.split(QLatin1Char(':'));
    bool minutesOk = false, secondsOk = false;
    if (parts.size() == 2) {
        const int m = parts[0].toInt(&minutesOk);
        const int s = parts[1].toInt(&secondsOk);
        snapshot.remaining = m * 60 + s;
    }
    const bool counting = minutesOk && secondsOk;
    if (!counting)
        snapshot.remaining = -1;

    RemoteServer server;
    RemoteServer::Settings settings;
    settings.bind = QHostAddress(QHostAddress::LocalHost);
    settings.port = static_cast<quint16>(parser.value(port).toUInt());
    settings.maxClients = parser.value(maxClients).toInt();
    QObject::connect(&server, &RemoteServer::failed, &app, [](const QString &reason) {
        std::fprintf(stderr, "remote_fixture: %s\n", qPrintable(reason));
        QCoreApplication::exit(1);
    });
    QObject::connect(&server, &RemoteServer::started, &app, [&server, &snapshot] {
        const QByteArray lines = "remote view: " + server.viewUrl().toUtf8() +
                                 "\nremote control: " + server.controlUrl().toUtf8() + '\n';
        std::fputs(lines.constData(), stdout);
        std::fflush(stdout);
        snapshot.at = QDateTime::currentMSecsSinceEpoch();
        server.publish(snapshot);
    });
    server.start(settings);

    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &server, [&] {
        snapshot.remaining = *snapshot.remaining - 1;
        if (counting && *snapshot.remaining >= 0) {
            snapshot.text = QStringLiteral("%1:%2")
                                .arg(*snapshot.remaining / 60)
                                .arg(*snapshot.remaining % 60, 2, 10, QLatin1Char('0'));
        }
        snapshot.at = QDateTime::currentMSecsSinceEpoch();
        server.publish(snapshot);
    });
    tick.start(500);
    if (const int limit = parser.value(seconds).toInt(); limit > 0)
        QTimer::singleShot(limit * 1000, &app, &QCoreApplication::quit);
    return QCoreApplication::exec();
}
