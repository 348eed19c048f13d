#pragma once

#include "platform/remoteserver.h"

#include <QObject>
#include <QPointer>
#include <memory>

class Platform;
class RemoteWindow;
class Viewer;

// The remote view wired to the main window: what the big display shows goes to the server at every
// change, and what the control page asks for presses the window's own buttons. Started from the
// command line or from the window's context menu (right click). While it is off there is no
// server object at all: no socket, no thread.
class RemoteView : public QObject {
    Q_OBJECT
public:
    RemoteView(Viewer &viewer, Platform &platform, const RemoteServer::Settings &settings);
    ~RemoteView() override;

    // Starts the server (new addresses every time) and sends it what the display shows now.
    bool start(QString *error = nullptr);
    void stop();
    bool isRunning() const { return server_ != nullptr; }
    const RemoteServer *server() const { return server_.get(); }

private:
    void publishSoon();
    void publishNow();
    void command(const QString &name);
    void showMenu(const QPoint &at);
    void showAddresses();

    Viewer &viewer_;
    Platform &platform_;
    RemoteServer::Settings settings_;
    std::unique_ptr<RemoteServer> server_;
    QPointer<RemoteWindow> window_;
    bool publishPending_ = false;
};
