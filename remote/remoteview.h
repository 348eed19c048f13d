#pragma once

#include "desk/deskcues.h"
#include "engine/result.h"
#include "remote/remoteprocess.h"
#include "remote/statejson.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <optional>

class Platform;
class QMenu;
class SessionParts;
class Viewer;

// The remote view wired to the main window: what the screens show goes to the server at every
// change, and what the control page asks for runs the window's own handlers, whose outcome is the
// answer the page gets. Started from the command line or from the window's context menu (right
// click). Until it is asked for there is no server process and no socket.
class RemoteView : public QObject {
    Q_OBJECT
public:
    // `options`: where to listen, from the command line (port 8760 on every interface when not
    // given); `serverPath`: the server's executable.
    RemoteView(Viewer &viewer, SessionParts &session, Platform &platform, const RemoteSettings &options = {},
               const QString &serverPath = RemoteProcess::defaultServerPath());
    ~RemoteView() override;

    // Whether the options can be listened with: the reason when the address is none.
    static Result<> check(const RemoteSettings &options);

    // Starts the server (new addresses every time): started() or failed() follows. Both return at once.
    void start();
    void stop();
    bool isRunning() const { return server_.isListening(); }
    // Running with its pages (it may run for the desk's OSC and cues alone).
    bool servesPages() const { return isRunning() && server_.port() != 0; }
    const RemoteProcess &server() const { return server_; }

    // A control page's command, carried out by the window's own handlers; 204 only when it was done.
    CommandVerdict carryOut(const RemoteCommand &command);

signals:
    // The pages are served (only when the options ask for them).
    void started(const QString &viewUrl, const QString &controlUrl);
    // OSC commands are listened for on this port (only when the options ask for them).
    void oscStarted(const QString &host, quint16 port);
    void failed(const QString &reason);

private:
    void startedOrFailed(const QString &failure);
    void gaveUp();
    void publishSoon();
    void publishNow();
    void addToMenu(QMenu *menu);
    void showAddresses();

    Viewer &viewer_;
    SessionParts &session_;
    Platform &platform_;
    RemoteSettings options_;
    RemoteProcess server_;
    DeskCues cues_;
    QPointer<QWidget> window_;
    QTimer clock_;
    std::optional<RemoteState> published_;
    bool publishPending_ = false;
    bool showAddressesWhenStarted_ = false;
};
