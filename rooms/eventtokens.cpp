#include "rooms/eventtokens.h"

#include <QCryptographicHash>
#include <QFile>
#include <QMessageAuthenticationCode>

namespace {

QString derived(QByteArrayView key, const char *kind, QByteArrayView what, qsizetype digits = 32)
{
    const QByteArray message = QByteArray(kind) + '\n' + what.toByteArray();
    const QByteArray mac =
        QMessageAuthenticationCode::hash(message, key.toByteArray(), QCryptographicHash::Sha256);
    return QString::fromLatin1(mac.toHex().left(digits));
}

} // namespace

EventTokens eventTokens(QByteArrayView key, const QString &room)
{
    const QByteArray name = room.toUtf8();
    return {derived(key, "view", name), derived(key, "control", name)};
}

QString eventId(QByteArrayView key)
{
    return derived(key, "event", {}, 8);
}

QString roomProof(QByteArrayView eventViewToken, QByteArrayView challenge)
{
    return derived(eventViewToken, "room", challenge);
}

Result<QByteArray> eventKeyFrom(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Result<QByteArray>::failure(
            QStringLiteral("could not read the event's key in %1: %2").arg(path, file.errorString()));
    const QByteArray key = file.read(4097).split('\n').constFirst().trimmed();
    if (key.isEmpty() || file.size() > 4096)
        return Result<QByteArray>::failure(
            QStringLiteral("%1 does not hold an event's key (one line of at most 4096 bytes)").arg(path));
    return key;
}
