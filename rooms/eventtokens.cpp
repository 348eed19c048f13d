#include "rooms/eventtokens.h"

#include <QCryptographicHash>
#include <QFile>
#include <QMessageAuthenticationCode>

namespace {

QString derived(QByteArrayView key, const char *kind, const QString &room)
{
    const QByteArray message = QByteArray(kind) + '\n' + room.toUtf8();
    const QByteArray mac =
        QMessageAuthenticationCode::hash(message, key.toByteArray(), QCryptographicHash::Sha256);
    return QString::fromLatin1(mac.toHex().left(32));
}

} // namespace

EventTokens eventTokens(QByteArrayView key, const QString &room)
{
    return {derived(key, "view", room), derived(key, "control", room)};
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
