#include "overview/roomfeed.h"

#include "rooms/roomname.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QUrlQuery>
#include <cmath>

namespace roomfeed {

namespace {

QJsonObject objectOf(QByteArrayView json, qsizetype largest)
{
    if (json.size() > largest)
        return {};
    const QJsonDocument document = QJsonDocument::fromJson(json.toByteArray());
    return document.object();
}

std::optional<QString> textOf(const QJsonValue &value, qsizetype longest = kLongestText)
{
    if (!value.isString())
        return std::nullopt;
    return value.toString().left(longest);
}

// A whole number within what a clock or a count can be; doubles that are not whole are not.
std::optional<qint64> wholeOf(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (!std::isfinite(number) || number != std::trunc(number) || std::abs(number) > 1e9)
        return std::nullopt;
    return static_cast<qint64>(number);
}

bool isColour(const QString &text)
{
    static const QRegularExpression hex(QStringLiteral("^#[0-9a-fA-F]{6}$"));
    return hex.match(text).hasMatch();
}

void copyText(const QJsonObject &from, QJsonObject &to, const QString &key)
{
    if (const auto text = textOf(from.value(key)))
        to.insert(key, *text);
}

void copyWhole(const QJsonObject &from, QJsonObject &to, const QString &key)
{
    if (const auto whole = wholeOf(from.value(key)))
        to.insert(key, *whole);
}

} // namespace

Result<RoomAnswer> roomAnswer(QByteArrayView json)
{
    const QJsonObject object = objectOf(json, kLargestAnswer);
    RoomAnswer answer;
    answer.room = object.value(QLatin1StringView("room")).toString();
    answer.eventId = object.value(QLatin1StringView("event")).toString();
    answer.version = static_cast<int>(wholeOf(object.value(QLatin1StringView("version"))).value_or(0));
    answer.proof = object.value(QLatin1StringView("proof")).toString();
    static const QRegularExpression hex8(QStringLiteral("^[0-9a-f]{8}$"));
    static const QRegularExpression hex32(QStringLiteral("^[0-9a-f]{32}$"));
    if (!isRoomName(answer.room) || !hex8.match(answer.eventId).hasMatch() || answer.version < 1 ||
        !hex32.match(answer.proof).hasMatch())
        return Result<RoomAnswer>::failure(QStringLiteral("not a room's answer"));
    return answer;
}

Result<QJsonObject> roomState(QByteArrayView json)
{
    if (json.size() > kLargestState)
        return Result<QJsonObject>::failure(QStringLiteral("a state larger than a room's"));
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return Result<QJsonObject>::failure(QStringLiteral("not a JSON object"));
    const QJsonObject from = document.object();
    QJsonObject state;
    for (const char *key : {"text", "state", "stateText", "message", "room"})
        copyText(from, state, QLatin1StringView(key));
    for (const char *key : {"remaining", "bell"})
        copyWhole(from, state, QLatin1StringView(key));
    for (const char *key : {"background", "foreground"}) {
        const QString colour = from.value(QLatin1StringView(key)).toString();
        if (isColour(colour))
            state.insert(QLatin1StringView(key), colour.toLower());
    }
    const QJsonObject talk = from.value(QLatin1StringView("talk")).toObject();
    if (!talk.isEmpty()) {
        QJsonObject kept;
        copyText(talk, kept, QStringLiteral("title"));
        copyText(talk, kept, QStringLiteral("speaker"));
        copyWhole(talk, kept, QStringLiteral("number"));
        copyWhole(talk, kept, QStringLiteral("count"));
        state.insert(QLatin1StringView("talk"), kept);
    }
    const QJsonObject session = from.value(QLatin1StringView("session")).toObject();
    if (!session.isEmpty()) {
        QJsonObject kept;
        copyText(session, kept, QStringLiteral("plannedEnd"));
        copyText(session, kept, QStringLiteral("projectedEnd"));
        copyWhole(session, kept, QStringLiteral("behindSeconds"));
        state.insert(QLatin1StringView("session"), kept);
    }
    QJsonArray messages;
    for (const QJsonValue &saved : from.value(QLatin1StringView("messages")).toArray()) {
        if (messages.size() >= kSavedMessages)
            break;
        if (const auto text = textOf(saved))
            messages.append(*text);
    }
    state.insert(QLatin1StringView("messages"), messages);
    return state;
}

qint64 lateness(const QJsonObject &state)
{
    const QJsonValue behind =
        state.value(QLatin1StringView("session")).toObject().value(QLatin1StringView("behindSeconds"));
    if (behind.isDouble())
        return static_cast<qint64>(behind.toDouble());
    const QJsonValue remaining = state.value(QLatin1StringView("remaining"));
    return remaining.isDouble() && remaining.toDouble() < 0 ? static_cast<qint64>(-remaining.toDouble()) : 0;
}

Result<RoomAddress> roomAddress(const QString &text)
{
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    const auto refuse = [&text](const QString &why) {
        return Result<RoomAddress>::failure(QStringLiteral("%1: %2").arg(text.left(80), why));
    };
    if (!url.isValid() || url.scheme() != QLatin1String("http") || url.host().isEmpty())
        return refuse(QStringLiteral("a room's address is http://HOST:PORT"));
    if (url.port() < 1 || !url.userInfo().isEmpty() || url.hasFragment())
        return refuse(QStringLiteral("a room's address is http://HOST:PORT, with its port"));
    const QString path = url.path();
    if (!path.isEmpty() && path != QLatin1String("/"))
        return refuse(QStringLiteral("a room's address has no path but /"));
    RoomAddress address;
    const QUrlQuery query(url);
    address.token = query.queryItemValue(QStringLiteral("t"), QUrl::FullyDecoded);
    if (address.token.size() > 64)
        return refuse(QStringLiteral("not a room's token"));
    address.base.setScheme(QStringLiteral("http"));
    address.base.setHost(url.host());
    address.base.setPort(url.port());
    return address;
}

Result<QList<RoomAddress>> roomAddresses(QByteArrayView file)
{
    QList<RoomAddress> addresses;
    for (const QByteArray &raw : file.toByteArray().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (addresses.size() >= kMostRooms)
            return Result<QList<RoomAddress>>::failure(QStringLiteral("more than %1 rooms").arg(kMostRooms));
        const Result<RoomAddress> address = roomAddress(line);
        if (!address)
            return Result<QList<RoomAddress>>::failure(address.error());
        addresses.append(*address);
    }
    return addresses;
}

} // namespace roomfeed
