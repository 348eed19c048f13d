#pragma once

#include "remote/channel.h"
#include "remote/remotelimits.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QTimer>
#include <map>

// The remote server as the program holds it: a process of its own (podiumwatch-remote), started
// when the remote view starts. Everything a client can reach lives there; here is only what the
// program says to it and what it answers, read as carefully as what a stranger sends. When the
// process dies or stops answering, a new one is started at once with the same addresses, so the
// viewers' pages find it again by themselves; after repeated failures it gives up and says so.
class RemoteProcess : public QObject {
    Q_OBJECT
public:
    // The server beside the running executable, as built and installed.
    static QString defaultServerPath();

    explicit RemoteProcess(QString serverPath = defaultServerPath(), QObject *parent = nullptr);
    ~RemoteProcess() override;

    // Listens as `settings` say, with fresh tokens where they give none (the old addresses are
    // revoked): started() or failed() follows. Returns at once, as stop() does.
    void start(const RemoteSettings &settings);
    void stop();

    bool isListening() const { return listened_; }
    // Listening, or on its way to it.
    bool isStarted() const { return process_ || isListening(); }
    quint16 port() const { return port_; }       // 0 when no page is served
    quint16 oscPort() const { return oscPort_; } // 0 when OSC does not listen
    QString viewUrl() const;                     // http://HOST:PORT/?t=VIEWTOKEN
    QString controlUrl() const;                  // http://HOST:PORT/control?t=CONTROLTOKEN
    QString viewToken() const { return settings_.viewToken; }
    QString controlToken() const { return settings_.controlToken; }
    int viewerCount() const { return viewers_; }
    // The server's process id while one runs, else 0.
    qint64 serverProcessId() const;

    // The state as the pages get it; kept, and given to every server started later too.
    void publish(const QByteArray &json);
    // A moment the desk hears of (cues out): sent on by the server, never waited for.
    void cue(const QByteArray &json);
    // The window's answer to a command of commandRequested().
    void settle(quint64 id, const CommandVerdict &verdict);

    // A server that stops answering for this long is taken for stuck.
    static constexpr int kSilenceMs = 2500;
    // Failures within a minute after which it is not started again.
    static constexpr int kFailuresGivenUp = 4;

signals:
    void started();
    void failed(const QString &reason);
    void commandRequested(const RemoteCommand &command, quint64 id);
    // It failed too often: the remote view is off; `reason` says what happened last.
    void gaveUp(const QString &reason);

private:
    void launch();
    void discard();
    void readServer();
    Result<> take(const channel::Message &message);
    void lost(const QString &why);
    void send(channel::Type type, const QByteArray &body);

    QString serverPath_;
    RemoteSettings settings_;
    QByteArray json_ = "{}";
    QPointer<QProcess> process_;
    channel::Reader reader_{channel::kLargestToProgram};
    quint64 launch_ = 0;    // one per process started
    bool listened_ = false; // a process of this start has listened: the addresses are out
    quint16 port_ = 0;
    quint16 oscPort_ = 0;
    QString host_;
    int viewers_ = 0;
    QTimer silence_;
    QTimer retry_;
    QList<qint64> failures_; // when, on clock_
    QElapsedTimer clock_;
    // Commands waiting for the window's answer: their id here, and the process and id they came with.
    std::map<quint64, std::pair<quint64, quint64>> asked_;
    quint64 nextAsked_ = 0;
    // More messages in a second than a server sends is a fault.
    PerSecond messagesThisSecond_;
};
