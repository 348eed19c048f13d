#pragma once

#include <QColor>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class QWidget;

// One state of the big display, as the remote pages show it.
struct RemoteSnapshot {
    QString text;
    QColor background, foreground;
    QString state;                // "setup", "running" or "paused"
    std::optional<int> remaining; // signed seconds; nullopt before any total was applied
    qint64 at = 0;                // ms since the epoch when a shown value last changed

    // Whether a viewer would see a difference (the moment of the change aside).
    bool showsSameAs(const RemoteSnapshot &other) const
    {
        return text == other.text && background == other.background && foreground == other.foreground &&
               state == other.state && remaining == other.remaining;
    }
};

// The remote view as the program sees it. It lives in a library of its own (podiumwatch-remote),
// loaded only when the remote view is first asked for: a program started without it maps neither
// Qt's HTTP server and WebSockets nor the network stack they bring.
class RemoteService {
public:
    virtual ~RemoteService() = default;

    // Takes the --remote options of a command line (--remote, --remote=PORT, --remote-bind=ADDRESS);
    // false and a reason for one it cannot read. Without them it starts on port 8760, every interface.
    virtual bool configure(const QStringList &arguments, QString *error) = 0;
    // Listens with fresh addresses (the old ones are revoked) and prints them on standard output.
    virtual bool start(QString *error) = 0;
    virtual void stop() = 0;
    virtual bool isListening() const = 0;
    virtual QString viewUrl() const = 0;
    virtual QString controlUrl() const = 0;
    // At every change of a shown value.
    virtual void publish(const RemoteSnapshot &snapshot) = 0;
    // What a control page asks for: "start", "pause", "restart" or "reset", on the caller's thread.
    virtual void onCommand(std::function<void(const QString &command)> handler) = 0;
    // A window with the two addresses and their QR codes; `onStop` runs when its stop button is
    // pressed. The caller owns it.
    virtual QWidget *createAddressWindow(std::function<void()> onStop) = 0;
};

// Whether a command line asks for the remote view at all.
bool asksForRemoteView(const QStringList &arguments);

// Loads the remote view's library from `folder` (the program's own by default); nullptr and a
// reason when it cannot.
std::unique_ptr<RemoteService> loadRemoteService(QString *error, const QString &folder = {});
