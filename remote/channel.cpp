#include "remote/channel.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QtEndian>
#include <array>
#include <limits>

namespace channel {

namespace {

constexpr qsizetype kPrefix = 4;

bool known(char type)
{
    switch (static_cast<Type>(type)) {
    case Type::Configure:
    case Type::State:
    case Type::Verdict:
    case Type::Listening:
    case Type::Failed:
    case Type::Command:
    case Type::Alive:
        return true;
    }
    return false;
}

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// The body as an object, or nullopt for anything else.
std::optional<QJsonObject> objectOf(QByteArrayView body)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

// A whole number within [low, high], or nullopt. JSON numbers are doubles: ids stay below 2^53.
std::optional<qint64> whole(const QJsonValue &value, qint64 low, qint64 high)
{
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (!(number >= static_cast<double>(low) && number <= static_cast<double>(high)) ||
        number != static_cast<double>(static_cast<qint64>(number)))
        return std::nullopt;
    return static_cast<qint64>(number);
}

constexpr qint64 kLargestId = (qint64{1} << 53) - 1;

std::optional<QString> text(const QJsonObject &object, QLatin1StringView key)
{
    const QJsonValue value = object.value(key);
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

} // namespace

QString newToken()
{
    std::array<quint32, 4> bits{};
    QRandomGenerator::system()->fillRange(bits.data(), static_cast<qsizetype>(bits.size()));
    const QByteArray raw(reinterpret_cast<const char *>(bits.data()), sizeof bits);
    return QString::fromLatin1(raw.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

QByteArray message(Type type, QByteArrayView body)
{
    QByteArray bytes(kPrefix, Qt::Uninitialized);
    qToBigEndian(static_cast<quint32>(body.size() + 1), bytes.data());
    bytes += static_cast<char>(type);
    bytes += body;
    return bytes;
}

std::optional<Message> Reader::next()
{
    if (failed_ || buffer_.size() < kPrefix)
        return std::nullopt;
    const auto length = static_cast<qsizetype>(qFromBigEndian<quint32>(buffer_.constData()));
    if (length < 1 || length > largest_ + 1 || (buffer_.size() > kPrefix && !known(buffer_[kPrefix]))) {
        failed_ = true;
        buffer_.clear();
        return std::nullopt;
    }
    if (buffer_.size() < kPrefix + length)
        return std::nullopt;
    Message read{static_cast<Type>(buffer_[kPrefix]), buffer_.mid(kPrefix + 1, length - 1)};
    buffer_.remove(0, kPrefix + length);
    return read;
}

qsizetype Reader::room() const
{
    return failed_ ? 0 : std::max<qsizetype>(0, kPrefix + 1 + largest_ - buffer_.size());
}

QByteArray encode(const Configure &configure)
{
    return compact({{QStringLiteral("bind"), configure.bind},
                    {QStringLiteral("port"), configure.port},
                    {QStringLiteral("view"), configure.viewToken},
                    {QStringLiteral("control"), configure.controlToken}});
}

QByteArray encode(const Listening &listening)
{
    return compact({{QStringLiteral("host"), listening.host}, {QStringLiteral("port"), listening.port}});
}

QByteArray encode(const Command &command)
{
    return compact({{QStringLiteral("id"), static_cast<qint64>(command.id)},
                    {QStringLiteral("command"), remoteCommandName(command.command.kind)},
                    {QStringLiteral("text"), command.command.text},
                    {QStringLiteral("seconds"), command.command.seconds}});
}

QByteArray encode(const Verdict &verdict)
{
    return compact({{QStringLiteral("id"), static_cast<qint64>(verdict.id)},
                    {QStringLiteral("status"), verdict.verdict.status},
                    {QStringLiteral("reason"), QString::fromUtf8(verdict.verdict.reason)}});
}

QByteArray encodeFailure(const QString &reason)
{
    return compact({{QStringLiteral("reason"), reason}});
}

QByteArray encodeAlive(int viewers)
{
    return compact({{QStringLiteral("viewers"), viewers}});
}

std::optional<Configure> decodeConfigure(QByteArrayView body)
{
    const auto object = objectOf(body);
    if (!object)
        return std::nullopt;
    const auto bind = text(*object, QLatin1StringView("bind"));
    const auto port = whole(object->value(QLatin1StringView("port")), 0, 65535);
    const auto view = text(*object, QLatin1StringView("view"));
    const auto control = text(*object, QLatin1StringView("control"));
    if (!bind || !port || !view || !control || view->isEmpty() || control->isEmpty())
        return std::nullopt;
    return Configure{*bind, static_cast<quint16>(*port), *view, *control};
}

std::optional<Listening> decodeListening(QByteArrayView body)
{
    const auto object = objectOf(body);
    if (!object)
        return std::nullopt;
    const auto host = text(*object, QLatin1StringView("host"));
    const auto port = whole(object->value(QLatin1StringView("port")), 1, 65535);
    if (!host || !port || host->isEmpty())
        return std::nullopt;
    return Listening{*host, static_cast<quint16>(*port)};
}

std::optional<Command> decodeCommand(QByteArrayView body)
{
    const auto object = objectOf(body);
    if (!object)
        return std::nullopt;
    const auto id = whole(object->value(QLatin1StringView("id")), 0, kLargestId);
    const auto name = text(*object, QLatin1StringView("command"));
    const auto words = text(*object, QLatin1StringView("text"));
    const auto seconds = whole(object->value(QLatin1StringView("seconds")), std::numeric_limits<int>::min(),
                               std::numeric_limits<int>::max());
    const auto kind = name ? remoteCommandNamed(*name) : std::nullopt;
    if (!id || !kind || !words || !seconds)
        return std::nullopt;
    return Command{static_cast<quint64>(*id), RemoteCommand{*kind, *words, static_cast<int>(*seconds)}};
}

std::optional<Verdict> decodeVerdict(QByteArrayView body)
{
    const auto object = objectOf(body);
    if (!object)
        return std::nullopt;
    const auto id = whole(object->value(QLatin1StringView("id")), 0, kLargestId);
    const auto status = whole(object->value(QLatin1StringView("status")), 200, 599);
    const auto reason = text(*object, QLatin1StringView("reason"));
    if (!id || !status || !reason)
        return std::nullopt;
    return Verdict{static_cast<quint64>(*id), CommandVerdict{static_cast<int>(*status), reason->toUtf8()}};
}

std::optional<QString> decodeFailure(QByteArrayView body)
{
    const auto object = objectOf(body);
    return object ? text(*object, QLatin1StringView("reason")) : std::nullopt;
}

std::optional<int> decodeAlive(QByteArrayView body)
{
    const auto object = objectOf(body);
    const auto viewers =
        object ? whole(object->value(QLatin1StringView("viewers")), 0, 1 << 20) : std::nullopt;
    return viewers ? std::optional<int>(static_cast<int>(*viewers)) : std::nullopt;
}

} // namespace channel
