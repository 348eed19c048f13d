#pragma once

#include "remote/remotecommand.h"
#include "remote/remotelimits.h"

#include <QObject>
#include <QString>
#include <QThread>
#include <atomic>
#include <functional>
#include <memory>

class RemoteWorker;

// The time on any browser of the local network: a view page, a control page, a JSON state and a
// WebSocket that pushes every change. Off until start(). It runs on a thread of its own, so no
// client, however slow or hostile, can hold up whoever drives it; starting and stopping only hand
// work to that thread and never wait for it.
class RemoteServer : public QObject {
    Q_OBJECT
public:
    explicit RemoteServer(QObject *parent = nullptr);
    ~RemoteServer() override;

    // Listens with the settings' tokens, or fresh ones where they are empty: started() or failed()
    // follows. A server already running is stopped first, which revokes the old addresses.
    void start(const RemoteSettings &settings);
    // Every connection is closed, and commands still waiting for their answer are dropped.
    void stop();

    bool isListening() const { return port_ != 0; }
    quint16 port() const { return port_; }
    QString host() const { return host_; }
    QString viewUrl() const;    // http://HOST:PORT/?t=VIEWTOKEN
    QString controlUrl() const; // http://HOST:PORT/control?t=CONTROLTOKEN
    QString viewToken() const { return viewToken_; }
    QString controlToken() const { return controlToken_; }
    // WebSocket viewers connected now.
    int clientCount() const { return clients_ ? clients_->load() : 0; }

    // The state as the pages get it: served from now on, this start and the next, and pushed to
    // every viewer.
    void publish(const QByteArray &json);
    // The window's answer to a command: the asker gets it, if it is still there and still waits.
    void settle(quint64 id, const CommandVerdict &verdict);
    // Runs `answered` here once the server's thread has had a turn: that thread is not stuck.
    void probe(std::function<void()> answered);

signals:
    void started();
    void failed(const QString &reason);
    // To be answered with settle(); a command not answered within the settings' time is 503.
    void commandRequested(const RemoteCommand &command, quint64 id);

private:
    QThread thread_;
    QObject *anchor_; // lives on the server's thread for as long as it runs
    RemoteWorker *worker_ = nullptr;
    quint64 generation_ = 0; // one per start; what an older start reports is stale
    quint16 port_ = 0;
    QString host_;
    QString viewToken_;
    QString controlToken_;
    QByteArray json_ = "{}";
    std::shared_ptr<std::atomic<int>> clients_;
};
