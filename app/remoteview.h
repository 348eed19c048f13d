#pragma once

#include "platform/remoteservice.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <memory>

class Platform;
class Viewer;

// The remote view wired to the main window: what the big display shows goes to the server at every
// change, and what the control page asks for presses the window's own buttons. Started from the
// command line or from the window's context menu (right click). Until it is first asked for, its
// library is not even loaded; while it is off there is no socket and no thread.
class RemoteView : public QObject {
    Q_OBJECT
public:
    // `arguments` may hold the --remote options; `libraryFolder` is where its library lies (the
    // program's folder when empty).
    RemoteView(Viewer &viewer, Platform &platform, const QStringList &arguments = {},
               const QString &libraryFolder = {});
    ~RemoteView() override;

    // Loads the library and reads the options; false and a reason for an option it cannot take.
    bool configure(QString *error);
    // Starts the server (new addresses every time) and sends it what the display shows now.
    bool start(QString *error = nullptr);
    void stop();
    bool isRunning() const { return service_ && service_->isListening(); }
    const RemoteService *service() const { return service_.get(); }

private:
    void publishSoon();
    void publishNow();
    void command(const QString &name);
    void showMenu(const QPoint &at);
    void showAddresses();

    Viewer &viewer_;
    Platform &platform_;
    QStringList arguments_;
    QString libraryFolder_;
    std::unique_ptr<RemoteService> service_;
    QPointer<QWidget> window_;
    bool publishPending_ = false;
};
