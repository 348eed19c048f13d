#pragma once

#include "overview/roomfeed.h"
#include "remote/complaint.h"
#include "remote/remotecommand.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWebSocket>
#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

// One room as the overview follows it: a WebSocket client of the room's own view feed, no polling.
// A room of the event is first asked who it is (GET /room with a fresh challenge); only a room
// that answers for this event with the proof that it holds the event's view token is followed and
// shown, so a stranger's announcement or a mistyped address never puts a tile up. Everything the
// room sends is bounded and read as hostile. A room that stops answering is offline within
// kOfflineMs, and is asked again, with back-off, until it answers.
class RoomFollower : public QObject {
    Q_OBJECT
public:
    // `key`: the event's key (empty when the address carries the room's own view token).
    // `announcedRoom`: the name the room announced on the network; it must answer with the same.
    RoomFollower(roomfeed::RoomAddress address, QByteArray key, QString announcedRoom,
                 QNetworkAccessManager *network, QObject *parent = nullptr);

    void start();

    // The room's name once it has proved it; empty until then (the tile is not shown).
    QString room() const { return room_; }
    bool isOnline() const { return online_; }
    QJsonObject state() const { return state_; }

    // Sends a command to the room's control API with the event's control token; `answered` gets
    // the room's verdict, or 503 when it did not answer in time.
    void send(const RemoteCommand &command, std::function<void(const CommandVerdict &)> answered);

    static constexpr int kOfflineMs = 2000;       // nothing heard for this long: offline
    static constexpr int kPingMs = 1000;          // asked whether it is there, when it is quiet
    static constexpr int kAnswerMs = 3000;        // a challenge, a handshake or a command
    static constexpr int kFirstRetryMs = 250;     // then doubling,
    static constexpr int kLastRetryMs = 2000;     // to this: a restarted room is followed within seconds
    static constexpr int kRefusedRetryMs = 30000; // a room that does not prove itself is asked rarely
    static constexpr int kMessagesPerSecond = 20; // a room pushes about one; more is a flood

signals:
    void changed();
    // The room answered, and is not a room of this event (or not the one it announced).
    void refused();

private:
    void ask();
    void answered(QNetworkReply *reply, const QString &challenge);
    void follow();
    void received(const QString &text);
    void check();
    void lost(const QString &why, int retryMs = 0);
    void heard();

    roomfeed::RoomAddress address_;
    QByteArray key_;
    QString announced_;
    QNetworkAccessManager *network_;
    QString room_;
    QString viewToken_, controlToken_;
    QJsonObject state_;
    Complaint trouble_; // why the room is not followed, said once a minute at most
    bool online_ = false;
    QWebSocket socket_;
    QPointer<QNetworkReply> asking_;
    QTimer retry_, watch_, deadline_;
    QElapsedTimer heard_, pinged_, second_;
    int retryMs_ = kFirstRetryMs;
    int thisSecond_ = 0;
};
