#pragma once

#include "remote/remoteservice.h"

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QThread>
#include <atomic>
#include <memory>

class RemoteWorker;

// The time on any browser of the local network: a view page, a control page, a JSON state and a
// WebSocket that pushes every change. Off until start(). It runs on a thread of its own, so no
// client, however slow or hostile, can hold up the clock tick or the sound on the window's thread;
// starting and stopping only hand work to that thread and never wait for it.
class RemoteServer : public QObject {
    Q_OBJECT
public:
    struct Settings {
        quint16 port = 8760; // 0: any free port
        QHostAddress bind = QHostAddress::Any;
        int idleMs = 10000;                 // an HTTP connection with no request for this long is closed
        int lifetimeMs = 120000;            // and none but a WebSocket viewer lives longer than this
        int maxClients = 256;               // WebSocket viewers at once; the next is refused
        qint64 maxPendingBytes = 64 * 1024; // a client this far behind in reading is dropped
        int maxConnections = 1024;          // at once, fewer where the open-file limit is lower
        int pingsPerSecond = 5;             // from a viewer, beyond which it is closed
    };

    explicit RemoteServer(QObject *parent = nullptr);
    ~RemoteServer() override;

    // Listens with fresh tokens: started() or failed() follows. A server already running is
    // stopped first, which revokes the old addresses.
    void start(const Settings &settings);
    // Every connection is closed, and commands still on their way are dropped.
    void stop();

    bool isListening() const { return port_ != 0; }
    quint16 port() const { return port_; }
    QString viewUrl() const;    // http://HOST:PORT/?t=VIEWTOKEN
    QString controlUrl() const; // http://HOST:PORT/control?t=CONTROLTOKEN
    QString viewToken() const { return viewToken_; }
    QString controlToken() const { return controlToken_; }
    // WebSocket viewers connected now.
    int clientCount() const { return clients_ ? clients_->load() : 0; }

    // At every change of a shown value; a snapshot a viewer could not tell from the last one is
    // not sent again.
    void publish(const RemoteSnapshot &snapshot);
    static QByteArray toJson(const RemoteSnapshot &snapshot);

    // The address the URLs name: the bind address, or for every interface the machine's first
    // running non-loopback IPv4 address (127.0.0.1 when there is none). IPv6 in brackets.
    static QString urlHost(const QHostAddress &bind);

signals:
    void started();
    void failed(const QString &reason);
    void commandRequested(const RemoteCommand &command);

private:
    QThread thread_;
    QObject *anchor_; // lives on the server's thread for as long as it runs
    RemoteWorker *worker_ = nullptr;
    quint64 generation_ = 0; // one per start; what an older start reports is stale
    quint16 port_ = 0;
    QString host_;
    QString viewToken_;
    QString controlToken_;
    std::shared_ptr<std::atomic<int>> clients_;
};
