#include "remote/connection.h"

#include <QTcpSocket>

Connection::Connection(QTcpSocket *socket, qint64 now, const Limits &limits, QObject *parent)
    : QObject(parent), socket_(socket), limits_(limits), openedAt_(now), lastServed_(now)
{
    socket_->setParent(this);
    // Qt stops reading from the system once this much waits unread, and this connection takes no
    // more than one request's worth: a client that sends more is held back by TCP itself, not by
    // our memory.
    socket_->setReadBufferSize(ReadChunk);
    grace_.setSingleShot(true);
    grace_.setInterval(limits_.closeGraceMs);
    connect(&grace_, &QTimer::timeout, this, &Connection::drop);
    connect(socket_, &QTcpSocket::readyRead, this, &Connection::readNext);
    connect(socket_, &QTcpSocket::bytesWritten, this, &Connection::written);
    connect(socket_, &QTcpSocket::disconnected, this, &Connection::closed);
}

QByteArray Connection::takeUnread()
{
    // One byte more than Qt holds, so that it reads from the system again.
    return std::exchange(unread_, QByteArray()) + socket_->read(ReadChunk + 1);
}

void Connection::readNext()
{
    if (webSocket_) {
        if (!closing_)
            emit bytesArrived(this);
        return;
    }
    if (answering_ || draining_ || closing_ || gone_)
        return;
    // Reading past what Qt holds also makes it look at the socket again: it stops when its buffer
    // is full, and only a read beyond what it holds starts it once more.
    if (const qsizetype room = limits_.http.maxHead + limits_.http.maxBody - unread_.size(); room > 0)
        unread_ += socket_->read(room);
    if (!head_) {
        // A client that sends its head a byte at a time costs a look at each new byte, not at the
        // whole head again: the end of the head may begin in the last three bytes looked at, and a
        // line ended by LF alone (refused at once, not when the head would be complete) right
        // after the last one.
        const qsizetype end = unread_.indexOf("\r\n\r\n", std::max<qsizetype>(0, searched_ - 3));
        const bool bareLineFeed = hasBareLineFeed(unread_, searched_);
        searched_ = unread_.size();
        if (end < 0 && !bareLineFeed && unread_.size() <= limits_.http.maxHead)
            return;
        HeadReading reading = readHead(unread_, limits_.http);
        if (reading.kind == HeadReading::Kind::Incomplete)
            return; // nothing to act on yet
        head_ = std::move(reading);
        if (head_->kind == HeadReading::Kind::Refused) {
            answering_ = true;
            emit framingRefused(this, head_->status, head_->reason);
            return;
        }
    }
    if (unread_.size() < head_->headLength + head_->bodyLength)
        return; // the body is still on its way
    HttpRequest request = std::move(head_->request);
    request.body = unread_.mid(head_->headLength, head_->bodyLength);
    unread_.remove(0, head_->headLength + head_->bodyLength);
    head_.reset();
    searched_ = 0;
    answering_ = true;
    emit requestReady(this, request);
}

bool Connection::answer(const QByteArray &bytes, bool close, qint64 now)
{
    answering_ = false;
    lastServed_ = now;
    if (close) {
        finish(bytes);
        return false;
    }
    if (!send(bytes))
        return false;
    if (socket_->bytesToWrite() > 0)
        draining_ = true;
    else
        // Requests sent ahead wait in the socket; the next is read on the next turn of the event
        // loop, after every other connection had its turn.
        QMetaObject::invokeMethod(this, &Connection::readNext, Qt::QueuedConnection);
    return true;
}

void Connection::becomeWebSocket()
{
    webSocket_ = true;
    if (!unread_.isEmpty() || socket_->bytesAvailable() > 0)
        QMetaObject::invokeMethod(this, &Connection::readNext, Qt::QueuedConnection);
}

bool Connection::send(const QByteArray &bytes)
{
    if (!isOpen())
        return false;
    socket_->write(bytes);
    // Handed to the system at once, so that what stays behind is what the client has not taken.
    socket_->flush();
    return dropIfBehind();
}

bool Connection::dropIfBehind()
{
    if (!isOpen())
        return false;
    if (socket_->bytesToWrite() > limits_.maxPendingBytes) {
        drop();
        return false;
    }
    return true;
}

void Connection::finish(const QByteArray &lastBytes)
{
    if (gone_ || closing_)
        return;
    closing_ = true;
    socket_->write(lastBytes);
    grace_.start();
    socket_->disconnectFromHost(); // after what was written has gone
}

void Connection::drop()
{
    if (gone_)
        return;
    socket_->abort();
    closed();
}

void Connection::written()
{
    if (draining_ && socket_->bytesToWrite() == 0) {
        draining_ = false;
        readNext();
    }
}

void Connection::closed()
{
    if (gone_)
        return;
    gone_ = true;
    grace_.stop();
    emit gone(this);
    deleteLater();
}
