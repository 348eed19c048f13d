#pragma once

#include "remote/remoteservice.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <memory>

class Platform;
class QMenu;
class Viewer;

// The remote view wired to the main window: what the big display shows goes to the server at every
// change, and what the control page asks for runs the window's own handlers. Started from the
// command line or from the window's context menu (right click). Until it is first asked for, its
// library is not even loaded; while it is off there is no socket and no thread.
class RemoteView : public QObject {
    Q_OBJECT
public:
    // `options`: where to listen, from the command line (port 8760 on every interface when not
    // given); `libraryFolder`: where its library lies (the program's folder when empty).
    RemoteView(Viewer &viewer, Platform &platform, const RemoteOptions &options = {},
               const QString &libraryFolder = {});
    ~RemoteView() override;

    // Loads the library and checks the options; false and a reason for one it cannot take.
    bool configure(QString *error);
    // Starts the server (new addresses every time): started() or failed() follows. Both return at once.
    void start();
    void stop();
    bool isRunning() const { return service_ && service_->isListening(); }
    const RemoteService *service() const { return service_.get(); }

signals:
    void started(const QString &viewUrl, const QString &controlUrl);
    void failed(const QString &reason);

private:
    void startedOrFailed(const QString &failure);
    void publishSoon();
    void publishNow();
    void command(const RemoteCommand &command);
    void addToMenu(QMenu *menu);
    void showAddresses();

    Viewer &viewer_;
    Platform &platform_;
    RemoteOptions options_;
    QString libraryFolder_;
    std::unique_ptr<RemoteService> service_;
    QPointer<QWidget> window_;
    QTimer clock_;
    bool publishPending_ = false;
    bool showAddressesWhenStarted_ = false;
};
