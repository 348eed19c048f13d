#include "remote/remotetokens.h"

#include "remote/channel.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace {

// What goes into an address unescaped, of a length no guess comes near.
bool isToken(const QString &token)
{
    return token.size() >= 16 && token.size() <= 64 && std::all_of(token.cbegin(), token.cend(), [](QChar c) {
               return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                      (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                      (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('-') ||
                      c == QLatin1Char('_');
           });
}

} // namespace

Result<RemoteTokens> remoteTokensFrom(const QString &path)
{
    QFile file(path);
    if (!file.exists()) {
        const RemoteTokens made{channel::newToken(), channel::newToken()};
        const QByteArray json = QJsonDocument(QJsonObject{{QStringLiteral("view"), made.view},
                                                          {QStringLiteral("control"), made.control}})
                                    .toJson();
        // Owner-only from its first byte: the control token drives the clock.
        if (!file.open(QIODevice::NewOnly | QIODevice::WriteOnly,
                       QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
            file.write(json) != json.size() || !file.flush())
            return Result<RemoteTokens>::failure(
                QStringLiteral("could not write the tokens to %1: %2").arg(path, file.errorString()));
        return made;
    }
    // A few hundred bytes at most; anything much longer is not this file.
    if (!file.open(QIODevice::ReadOnly) || file.size() > 4096)
        return Result<RemoteTokens>::failure(QStringLiteral("could not read the tokens in %1").arg(path));
    const QJsonObject object = QJsonDocument::fromJson(file.readAll()).object();
    const RemoteTokens read{object.value(QStringLiteral("view")).toString(),
                            object.value(QStringLiteral("control")).toString()};
    if (!isToken(read.view) || !isToken(read.control) || read.view == read.control)
        return Result<RemoteTokens>::failure(
            QStringLiteral(
                "%1 does not hold the remote view's tokens ({\"view\": …, \"control\": …}, each 16 to 64 "
                "letters, digits, - or _, not the same); remove it to make new ones")
                .arg(path));
    return read;
}
