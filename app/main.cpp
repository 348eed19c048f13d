#include "app/commandline.h"
#include "app/language.h"
#include "app/overviewstart.h"
#include "forms/inventory.h"
#include "forms/viewer.h"
#include "platform/qtplatform.h"
#include "platform/sessionbus.h"
#include "programme/programmefile.h"
#include "remote/remotetokens.h"
#include "remote/remoteview.h"
#include "rooms/eventtokens.h"
#include "session/sessionparts.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QStyleFactory>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <memory>
#include <stdexcept>

namespace {

// Runs `then` once the window has first been painted, controls included.
class AfterFirstPaint : public QObject {
public:
    AfterFirstPaint(QWidget *window, std::function<void()> then) : QObject(window), then_(std::move(then))
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            // The window's own paint event comes before its controls are painted; the moment
            // wanted is after the whole window has been painted and flushed.
            QTimer::singleShot(0, this, [this] { then_(); });
        }
        return false;
    }

private:
    std::function<void()> then_;
};

} // namespace

int main(int argc, char *argv[])
{
    // Before Qt or the platform plugin can reach for the session bus: one that never answers
    // would otherwise hold up the first window, the clock's start and the exit.
    avoidSilentSessionBus();
    QApplication app(argc, argv);
    // Fusion paints buttons in their palette colours on every desktop, as the design asks.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    // A wrong option is said before any window opens.
    const CommandLine commandLine = parseCommandLine(QCoreApplication::arguments());
    if (!commandLine.error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(commandLine.error));
        return 2;
    }

    useGothicApplicationFont();
    useJapaneseQtTexts();
    if (commandLine.overview)
        return startOverview(commandLine);

    QtPlatform platform;
    std::unique_ptr<Viewer> built;
    try {
        built = std::make_unique<Viewer>(platform);
    } catch (const std::runtime_error &error) {
        // A fault in the window's own make-up: say which, rather than open a window whose buttons
        // may do nothing.
        std::fprintf(stderr, "podiumwatch: %s\n", error.what());
        QMessageBox::critical(nullptr, Viewer::programTitle(), QString::fromUtf8(error.what()));
        return 1;
    }
    Viewer &viewer = *built;
    // The program ends with its main window, whichever other windows are open then.
    QApplication::setQuitOnLastWindowClosed(false);
    QObject::connect(&viewer, &Viewer::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    platform.setDialogParent(&viewer);
    viewer.Form_Load();
    // Made after the window's start-up, whose setup they keep; gone before the window.
    SessionParts session(viewer, platform);

    // Off unless asked for: without --remote or the context menu no server is started and no socket
    // opened. At every start the two addresses go to standard output, for whoever started the
    // program to pass on; a port already taken costs the remote view, never the timer.
    RemoteSettings remoteSettings = commandLine.remote.value_or(RemoteSettings());
    // The desk's OSC and cues live in the remote view's server process; without --remote it serves
    // no page.
    remoteSettings.http = commandLine.remote.has_value();
    remoteSettings.desk = commandLine.desk;
    if (!commandLine.tokensFile.isEmpty()) {
        const Result<RemoteTokens> tokens = remoteTokensFrom(commandLine.tokensFile);
        if (!tokens) {
            std::fprintf(stderr, "podiumwatch: %s\n", qPrintable(tokens.error()));
            return 2;
        }
        remoteSettings.viewToken = tokens->view;
        remoteSettings.controlToken = tokens->control;
    }
    remoteSettings.room = commandLine.room;
    // The programme may name the room; --room says otherwise. Read here, before the server starts:
    // the event's tokens are the room's name's. A programme that does not read is said once the
    // window is up, as always.
    if (remoteSettings.room.isEmpty() && !commandLine.programme.isEmpty()) {
        if (const Result<Programme> programme = readProgrammeFile(commandLine.programme))
            remoteSettings.room = programme->room;
    }
    if (remoteSettings.room.isEmpty() &&
        (!commandLine.eventKey.isEmpty() || !commandLine.eventFile.isEmpty())) {
        std::fprintf(
            stderr,
            "podiumwatch: --event needs the room's name: --room NAME, or \"room\" in the programme\n");
        return 2;
    }
    if (!commandLine.eventKey.isEmpty() || !commandLine.eventFile.isEmpty()) {
        const Result<QByteArray> key = commandLine.eventKey.isEmpty()
                                           ? eventKeyFrom(commandLine.eventFile)
                                           : Result<QByteArray>(commandLine.eventKey.toUtf8());
        if (!key) {
            std::fprintf(stderr, "podiumwatch: %s\n", qPrintable(key.error()));
            return 2;
        }
        const EventTokens tokens = eventTokens(*key, remoteSettings.room);
        remoteSettings.eventViewToken = tokens.view;
        remoteSettings.eventControlToken = tokens.control;
        remoteSettings.eventId = eventId(*key);
    }
    auto *remoteView = new RemoteView(viewer, session, platform, remoteSettings);
    QObject::connect(remoteView, &RemoteView::started, [](const QString &view, const QString &control) {
        const QByteArray lines =
            "remote view: " + view.toUtf8() + "\nremote control: " + control.toUtf8() + '\n';
        std::fputs(lines.constData(), stdout);
        std::fflush(stdout);
    });
    QObject::connect(remoteView, &RemoteView::oscStarted, [](const QString &host, quint16 port) {
        const QString where = host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(host) : host;
        std::fprintf(stdout, "osc: %s:%u\n", qPrintable(where), unsigned{port});
        std::fflush(stdout);
    });
    QObject::connect(remoteView, &RemoteView::failed, [](const QString &reason) {
        std::fprintf(stderr, "podiumwatch: the remote view could not start: %s\n", qPrintable(reason));
    });
    if (commandLine.remote || commandLine.desk.isOn()) {
        if (const Result<> checked = RemoteView::check(remoteSettings); !checked) {
            std::fprintf(stderr, "%s\n", qPrintable(checked.error()));
            return 2;
        }
        remoteView->start();
    }

    // For the start-up benchmark: with PODIUMWATCH_PROBE_FIRST_PAINT set, the program says on
    // standard output when the main window has first been painted.
    const bool probe = qEnvironmentVariableIsSet("PODIUMWATCH_PROBE_FIRST_PAINT");
    new AfterFirstPaint(&viewer, [&platform, probe] {
        if (probe) {
            std::fputs("first-paint\n", stdout);
            std::fflush(stdout);
        }
        // The sound process starts once the window is on the screen: starting it competes with
        // the first paint for the processor, and by the first bell it has long found the server.
        platform.openSoundOutput();
    });

    // A programme named on the command line is opened once the window is up, so that a file it
    // refuses is said over the window; the program then runs without one.
    if (!commandLine.programme.isEmpty()) {
        QTimer::singleShot(0, &viewer,
                           [&session, path = commandLine.programme] { session.programme().open(path); });
    }

    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = viewer.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        viewer.move(frame.topLeft());
    }
    viewer.show();
    return QApplication::exec();
}
