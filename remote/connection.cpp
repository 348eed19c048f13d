#include "remote/connection.h"

#include <QTcpSocket>

Connection::Connection(QTcpSocket *socket, qint64 now, const Limits &limits, QObject *parent)
    : QObject(parent), socket_(socket), limits_(limits), openedAt_(now), lastServed_(now)
{
    socket_->setParent(this);
    // Qt stops reading from the system once this much waits unread: a client that sends more than
    // one request can hold is held back by TCP itself, not by our memory.
    socket_->setReadBufferSize(limits_.http.maxHead + limits_.http.maxBody);
    grace_.setSingleShot(true);
    grace_.setInterval(limits_.closeGraceMs);
    connect(&grace_, &QTimer::timeout, this, &Connection::drop);
    connect(socket_, &QTcpSocket::readyRead, this, &Connection::readNext);
    connect(socket_, &QTcpSocket::bytesWritten, this, &Connection::written);
    connect(socket_, &QTcpSocket::disconnected, this, &Connection::closed);
}

qint64 Connection::pendingBytes() const
{
    return socket_->bytesToWrite();
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
    // Asking for one byte more than the buffer may hold makes Qt look at the socket again: reading
    // stops when its buffer is full, and only a read past what it holds starts it once more.
    const QByteArray bytes = socket_->peek(socket_->readBufferSize() + 1);
    const HeadReading reading = readHead(bytes, limits_.http);
    switch (reading.kind) {
    case HeadReading::Kind::Incomplete:
        return;
    case HeadReading::Kind::Refused:
        answering_ = true;
        emit framingRefused(this, reading.status, reading.reason);
        return;
    case HeadReading::Kind::Request:
        break;
    }
    if (bytes.size() < reading.headLength + reading.bodyLength)
        return; // the body is still on its way
    socket_->skip(reading.headLength);
    HttpRequest request = reading.request;
    request.body = socket_->read(reading.bodyLength);
    answering_ = true;
    emit requestReady(this, request);
}

void Connection::answer(const QByteArray &bytes, bool close, qint64 now)
{
    answering_ = false;
    lastServed_ = now;
    if (close) {
        finish(bytes);
        return;
    }
    if (!send(bytes))
        return;
    if (socket_->bytesToWrite() > 0)
        draining_ = true;
    else
        // Requests sent ahead wait in the socket; the next is read on the next turn of the event
        // loop, after every other connection had its turn.
        QMetaObject::invokeMethod(this, &Connection::readNext, Qt::QueuedConnection);
}

void Connection::becomeWebSocket()
{
    webSocket_ = true;
    // Frames from a client are a few bytes; nothing larger is ever kept.
    socket_->setReadBufferSize(4096);
    if (socket_->bytesAvailable() > 0)
        QMetaObject::invokeMethod(this, &Connection::readNext, Qt::QueuedConnection);
}

bool Connection::send(const QByteArray &bytes)
{
    if (gone_ || closing_)
        return false;
    socket_->write(bytes);
    // Handed to the system at once, so that what stays behind is what the client has not taken.
    socket_->flush();
    return keepsUp();
}

bool Connection::keepsUp()
{
    if (gone_)
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
