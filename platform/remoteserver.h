#pragma once

#include "platform/remoteservice.h"

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <atomic>

class QThread;
class RemoteWorker;

// The time on any browser of the local network: a view page, a control page, a JSON state and a
// WebSocket that pushes every change. Off until start(); it runs on a thread of its own, so no
// client, however slow or hostile, can hold up the clock tick or the sound on the GUI thread.
// publish() and the commands cross between the threads as queued calls.
class RemoteServer : public QObject {
    Q_OBJECT
public:
    struct Settings {
        quint16 port = 8760; // 0: any free port
        QHostAddress bind = QHostAddress::Any;
        int idleMs = 10000;                 // an HTTP connection with no request for this long is closed
        int maxClients = 256;               // WebSocket clients at once; the next is refused
        qint64 maxPendingBytes = 64 * 1024; // a WebSocket client this far behind is dropped
    };

    explicit RemoteServer(QObject *parent = nullptr);
    ~RemoteServer() override;

    // Listens with fresh tokens and prints the two addresses on standard output. A server already
    // running is stopped first, which revokes the old addresses.
    bool start(const Settings &settings, QString *error = nullptr);
    void stop();

    bool isListening() const { return port_ != 0; }
    quint16 port() const { return port_; }
    QString viewUrl() const;    // http://HOST:PORT/?t=VIEWTOKEN
    QString controlUrl() const; // http://HOST:PORT/control?t=CONTROLTOKEN
    QString viewToken() const { return viewToken_; }
    QString controlToken() const { return controlToken_; }
    // WebSocket clients connected now (read from any thread).
    int clientCount() const { return clients_.load(); }

    // At every change of a shown value; a snapshot a viewer could not tell from the last one is
    // not sent again.
    void publish(const RemoteSnapshot &snapshot);
    static QByteArray toJson(const RemoteSnapshot &snapshot);

    // The address the URLs name: the bind address, or for every interface the machine's first
    // running non-loopback IPv4 address (127.0.0.1 when there is none). IPv6 in brackets.
    static QString urlHost(const QHostAddress &bind);

signals:
    void commandRequested(const QString &command); // "start", "pause", "restart", "reset"

private:
    QThread *thread_ = nullptr;
    RemoteWorker *worker_ = nullptr;
    quint16 port_ = 0;
    QString host_;
    QString viewToken_;
    QString controlToken_;
    std::atomic<int> clients_{0};
};
