#include "overview/roomfollower.h"

#include "rooms/eventtokens.h"
#include "rooms/roomname.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRandomGenerator>
#include <QUrlQuery>

namespace {

QString challenge()
{
    quint32 words[4];
    QRandomGenerator::system()->fillRange(words);
    const QByteArray bytes(reinterpret_cast<const char *>(words), sizeof words);
    return QString::fromLatin1(
        bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

// Reads a reply only as far as `most` bytes: a room that streams more is cut off.
bool tooLong(QNetworkReply *reply, qsizetype most)
{
    if (reply->bytesAvailable() <= most)
        return false;
    reply->abort();
    return true;
}

} // namespace

RoomFollower::RoomFollower(roomfeed::RoomAddress address, QByteArray key, QString announcedRoom,
                           QNetworkAccessManager *network, QObject *parent)
    : QObject(parent), address_(std::move(address)), key_(std::move(key)),
      announced_(std::move(announcedRoom)), network_(network),
      trouble_(QStringLiteral("the room at ") + address_.base.toString())
{
    socket_.setParent(this);
    socket_.setMaxAllowedIncomingFrameSize(roomfeed::kLargestState);
    socket_.setMaxAllowedIncomingMessageSize(roomfeed::kLargestState);
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, &RoomFollower::ask);
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, [this] { lost(QStringLiteral("the room did not answer")); });
    watch_.setInterval(250);
    connect(&watch_, &QTimer::timeout, this, &RoomFollower::check);
    connect(&socket_, &QWebSocket::connected, this, [this] {
        deadline_.stop();
        heard();
    });
    connect(&socket_, &QWebSocket::textMessageReceived, this, &RoomFollower::received);
    connect(&socket_, &QWebSocket::binaryMessageReceived, this,
            [this] { lost(QStringLiteral("the room sent what a room does not")); });
    connect(&socket_, &QWebSocket::pong, this, [this] { heard(); });
    // A frame or message beyond the bounds, a refused handshake, a reset: the feed is dropped at
    // once, not closed politely with a room that may never answer the close.
    connect(&socket_, qOverload<QAbstractSocket::SocketError>(&QWebSocket::error), this, [this] {
        if (!retry_.isActive())
            lost(socket_.errorString());
    });
    connect(&socket_, &QWebSocket::disconnected, this, [this] {
        if (!retry_.isActive() && !asking_)
            lost(QStringLiteral("the room closed its feed"));
    });
}

void RoomFollower::start()
{
    heard_.start();
    watch_.start();
    ask();
}

void RoomFollower::ask()
{
    if (!address_.token.isEmpty()) {
        viewToken_ = address_.token;
        follow();
        return;
    }
    const QString nonce = challenge();
    QUrl url = address_.base;
    url.setPath(QStringLiteral("/room"));
    url.setQuery(QStringLiteral("n=") + nonce);
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    QNetworkReply *reply = network_->get(request);
    asking_ = reply;
    deadline_.start(kAnswerMs);
    connect(reply, &QNetworkReply::readyRead, this, [reply] { tooLong(reply, roomfeed::kLargestAnswer); });
    connect(reply, &QNetworkReply::finished, this, [this, reply, nonce] { answered(reply, nonce); });
}

void RoomFollower::answered(QNetworkReply *reply, const QString &nonce)
{
    reply->deleteLater();
    deadline_.stop();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError || status != 200) {
        // Not there yet, or not a room of any event: asked again, sooner or later.
        const bool there = status != 0;
        lost(there ? QStringLiteral("the room answered %1").arg(status) : reply->errorString(),
             there ? kRefusedRetryMs : 0);
        return;
    }
    const Result<roomfeed::RoomAnswer> answer =
        roomfeed::roomAnswer(reply->read(roomfeed::kLargestAnswer + 1));
    if (!answer) {
        lost(answer.error(), kRefusedRetryMs);
        return;
    }
    const EventTokens tokens = eventTokens(key_, answer->room);
    const bool ours = answer->eventId == eventId(key_) &&
                      answer->proof == roomProof(tokens.view.toLatin1(), nonce.toLatin1()) &&
                      (announced_.isEmpty() || announced_ == answer->room);
    if (!ours) {
        lost(QStringLiteral("not a room of this event"), kRefusedRetryMs);
        emit refused();
        return;
    }
    room_ = answer->room;
    viewToken_ = tokens.view;
    controlToken_ = tokens.control;
    follow();
}

void RoomFollower::follow()
{
    QUrl url = address_.base;
    url.setScheme(QStringLiteral("ws"));
    url.setPath(QStringLiteral("/ws"));
    url.setQuery(QUrlQuery{{QStringLiteral("t"), viewToken_}});
    thisSecond_ = 0;
    second_.start();
    deadline_.start(kAnswerMs);
    socket_.open(url);
}

void RoomFollower::received(const QString &text)
{
    if (second_.elapsed() >= 1000) {
        second_.restart();
        thisSecond_ = 0;
    }
    if (++thisSecond_ > kMessagesPerSecond) {
        lost(QStringLiteral("the room sent more than a room does"), kLastRetryMs);
        return;
    }
    const Result<QJsonObject> state = roomfeed::roomState(text.toUtf8());
    if (!state) {
        // A room's feed says only states: one that says anything else is not followed further.
        lost(state.error(), kLastRetryMs);
        return;
    }
    if (room_.isEmpty()) {
        // Given by its own view address: it is the room its state names, or its address.
        const QString named = state->value(QLatin1StringView("room")).toString();
        room_ = isRoomName(named) ? named : address_.base.authority();
    }
    state_ = *state;
    retryMs_ = kFirstRetryMs;
    heard();
    online_ = true;
    emit changed();
}

void RoomFollower::heard()
{
    heard_.restart();
    pinged_.restart();
}

void RoomFollower::check()
{
    if (online_ && heard_.elapsed() >= kOfflineMs) {
        online_ = false;
        emit changed();
    }
    if (socket_.state() == QAbstractSocket::ConnectedState && pinged_.elapsed() >= kPingMs) {
        pinged_.restart();
        socket_.ping();
    }
    if (socket_.state() != QAbstractSocket::UnconnectedState && !deadline_.isActive() &&
        heard_.elapsed() >= kOfflineMs)
        lost(QStringLiteral("the room stopped answering"));
}

void RoomFollower::lost(const QString &why, int retryMs)
{
    // Said for a room an organiser gave, or one that has proved itself: an announcement of a
    // stranger's is not worth a line.
    if (announced_.isEmpty() || !room_.isEmpty())
        trouble_.add(QStringLiteral("not followed"), why);
    deadline_.stop();
    if (asking_)
        asking_->abort();
    retry_.start(std::max(retryMs, retryMs_));
    retryMs_ = std::min(retryMs_ * 2, kLastRetryMs);
    socket_.abort();
}

void RoomFollower::send(const RemoteCommand &command, std::function<void(const CommandVerdict &)> answered)
{
    if (controlToken_.isEmpty()) {
        answered({403, "this room was given by its view address: the overview may not command it"});
        return;
    }
    QUrl url = address_.base;
    url.setPath(QStringLiteral("/control/") + remoteCommandName(command.kind));
    // A message goes in the body, as the room's control page sends it; a number in the query.
    QByteArray query = "t=" + QUrl::toPercentEncoding(controlToken_);
    const CommandArgument &argument = commandEntry(command.kind).argument;
    const QByteArray key(argument.key.data(), argument.key.size());
    if (argument.kind == CommandArgument::Kind::Number)
        query += '&' + key + '=' + QByteArray::number(command.number);
    url.setQuery(QString::fromLatin1(query), QUrl::StrictMode);
    QNetworkRequest request(url);
    request.setTransferTimeout(kAnswerMs);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("text/plain; charset=utf-8"));
    QNetworkReply *reply = network_->post(
        request, argument.kind == CommandArgument::Kind::Text ? command.text.toUtf8() : QByteArray());
    connect(reply, &QNetworkReply::readyRead, this, [reply] { tooLong(reply, roomfeed::kLargestAnswer); });
    connect(reply, &QNetworkReply::finished, this, [reply, answered = std::move(answered)] {
        reply->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status == 0) {
            answered({503, "the room did not answer"});
            return;
        }
        QByteArray reason = reply->read(roomfeed::kLargestAnswer).trimmed();
        if (const qsizetype space = reason.indexOf(' ');
            reason.startsWith(QByteArray::number(status)) && space > 0)
            reason = reason.sliced(space + 1);
        answered({status, status == 204 ? QByteArray() : reason.left(200)});
    });
}
