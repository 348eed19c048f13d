#include "overview/overviewchannel.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace overviewchannel {

namespace {

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<QJsonObject> objectOf(QByteArrayView body)
{
    if (body.size() > kLargest)
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

template <typename T> Result<T> refused(const char *what)
{
    return Result<T>::failure(QStringLiteral("not a %1").arg(QLatin1StringView(what)));
}

} // namespace

QByteArray encode(const Configure &configure)
{
    return compact({{QStringLiteral("key"), QString::fromLatin1(configure.key.toBase64())},
                    {QStringLiteral("addresses"), QJsonArray::fromStringList(configure.addresses)},
                    {QStringLiteral("browse"), configure.browse},
                    {QStringLiteral("http"), configure.http},
                    {QStringLiteral("bind"), configure.bind},
                    {QStringLiteral("port"), configure.port},
                    {QStringLiteral("view"), configure.viewToken},
                    {QStringLiteral("control"), configure.controlToken}});
}

Result<Configure> decodeConfigure(QByteArrayView body)
{
    const auto object = objectOf(body);
    if (!object)
        return refused<Configure>("configuration");
    Configure configure;
    const QJsonValue key = object->value(QLatin1StringView("key"));
    const QJsonArray addresses = object->value(QLatin1StringView("addresses")).toArray();
    const double port = object->value(QLatin1StringView("port")).toDouble(-1);
    if (!key.isString() || addresses.size() > 64 || port < 0 || port > 65535)
        return refused<Configure>("configuration");
    configure.key = QByteArray::fromBase64(key.toString().toLatin1());
    for (const QJsonValue &address : addresses) {
        if (!address.isString())
            return refused<Configure>("configuration");
        configure.addresses.append(address.toString());
    }
    configure.browse = object->value(QLatin1StringView("browse")).toBool();
    configure.http = object->value(QLatin1StringView("http")).toBool();
    configure.bind = object->value(QLatin1StringView("bind")).toString();
    configure.port = static_cast<quint16>(port);
    configure.viewToken = object->value(QLatin1StringView("view")).toString();
    configure.controlToken = object->value(QLatin1StringView("control")).toString();
    if (configure.http && (configure.viewToken.isEmpty() || configure.controlToken.isEmpty()))
        return refused<Configure>("configuration");
    return configure;
}

QByteArray encode(const RoomChange &change)
{
    if (change.gone)
        return compact({{QStringLiteral("key"), change.key}, {QStringLiteral("gone"), true}});
    return compact({{QStringLiteral("key"), change.key},
                    {QStringLiteral("room"), change.room},
                    {QStringLiteral("online"), change.online},
                    {QStringLiteral("state"), change.state}});
}

Result<RoomChange> decodeRoomChange(QByteArrayView body)
{
    const auto object = objectOf(body);
    if (!object || !object->value(QLatin1StringView("key")).isString())
        return refused<RoomChange>("room's change");
    RoomChange change;
    change.key = object->value(QLatin1StringView("key")).toString();
    change.gone = object->value(QLatin1StringView("gone")).toBool();
    change.room = object->value(QLatin1StringView("room")).toString();
    change.online = object->value(QLatin1StringView("online")).toBool();
    change.state = object->value(QLatin1StringView("state")).toObject();
    if (!change.gone && change.room.isEmpty())
        return refused<RoomChange>("room's change");
    return change;
}

QByteArray encode(const Action &action)
{
    return compact({{QStringLiteral("id"), static_cast<qint64>(action.id)},
                    {QStringLiteral("room"), action.command.room},
                    {QStringLiteral("command"), remoteCommandName(action.command.kind)},
                    {QStringLiteral("text"), action.command.text},
                    {QStringLiteral("number"), action.command.number}});
}

Result<Action> decodeAction(QByteArrayView body)
{
    const auto object = objectOf(body);
    if (!object)
        return refused<Action>("room's action");
    const std::optional<RemoteCommand::Kind> kind =
        remoteCommandNamed(object->value(QLatin1StringView("command")).toString());
    const double id = object->value(QLatin1StringView("id")).toDouble(-1);
    const QString room = object->value(QLatin1StringView("room")).toString();
    if (!kind || id < 0 || room.isEmpty())
        return refused<Action>("room's action");
    Action action;
    action.id = static_cast<quint64>(id);
    action.command.kind = *kind;
    action.command.text = object->value(QLatin1StringView("text")).toString();
    action.command.number = object->value(QLatin1StringView("number")).toInt();
    action.command.room = room;
    return action;
}

} // namespace overviewchannel
