#include "remote/channel.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QtEndian>
#include <array>
#include <cstdio>
#include <limits>
#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

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
    case Type::Cue:
        return true;
    }
    return false;
}

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

constexpr qint64 kLargestId = (qint64{1} << 53) - 1; // JSON numbers are doubles

// The fields of one message's object. The first that is missing or wrong is what is said about
// the message; the values read after it are not looked at.
class Fields {
public:
    explicit Fields(QByteArrayView body)
    {
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(body.toByteArray(), &error);
        if (error.error != QJsonParseError::NoError || !document.isObject())
            wrong_ = QStringLiteral("not a JSON object");
        object_ = document.object();
    }

    QString text(QLatin1StringView key, bool mayBeEmpty = true)
    {
        const QJsonValue value = object_.value(key);
        if (!value.isString() || (!mayBeEmpty && value.toString().isEmpty()))
            fail(key);
        return value.toString();
    }
    qint64 whole(QLatin1StringView key, qint64 low, qint64 high)
    {
        const QJsonValue value = object_.value(key);
        const double number = value.toDouble();
        if (!value.isDouble() ||
            !(number >= static_cast<double>(low) && number <= static_cast<double>(high)) ||
            number != static_cast<double>(static_cast<qint64>(number))) {
            fail(key);
            return 0;
        }
        return static_cast<qint64>(number);
    }
    bool flag(QLatin1StringView key)
    {
        const QJsonValue value = object_.value(key);
        check(value.isBool(), key);
        return value.toBool();
    }
    // A list of at most `most` texts, none empty.
    QStringList texts(QLatin1StringView key, qsizetype most)
    {
        const QJsonValue value = object_.value(key);
        const QJsonArray array = value.toArray();
        QStringList list;
        for (const QJsonValue &item : array) {
            check(item.isString() && !item.toString().isEmpty(), key);
            list << item.toString();
        }
        check(value.isArray() && array.size() <= most, key);
        return list;
    }
    void check(bool holds, QLatin1StringView key)
    {
        if (!holds)
            fail(key);
    }
    template <typename T> Result<T> made(T value) const
    {
        return wrong_.isEmpty() ? Result<T>(std::move(value)) : Result<T>::failure(wrong_);
    }

private:
    void fail(QLatin1StringView key)
    {
        if (wrong_.isEmpty())
            wrong_ = QStringLiteral("no valid \"%1\"").arg(key);
    }
    QJsonObject object_;
    QString wrong_;
};

} // namespace

QString newToken()
{
    std::array<quint32, 4> bits{};
    QRandomGenerator::system()->fillRange(bits.data(), static_cast<qsizetype>(bits.size()));
    const QByteArray raw(reinterpret_cast<const char *>(bits.data()), sizeof bits);
    return QString::fromLatin1(raw.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

RemoteSettings withTokens(RemoteSettings settings)
{
    if (settings.viewToken.isEmpty())
        settings.viewToken = newToken();
    if (settings.controlToken.isEmpty())
        settings.controlToken = newToken();
    return settings;
}

QString remoteUrl(const QString &host, quint16 port, QLatin1StringView path, const QString &token)
{
    return QStringLiteral("http://%1:%2/%3?t=%4").arg(host).arg(port).arg(path, token);
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
    const DeskSettings &desk = configure.desk;
    return compact({{QStringLiteral("bind"), configure.bind},
                    {QStringLiteral("port"), configure.port},
                    {QStringLiteral("view"), configure.viewToken},
                    {QStringLiteral("control"), configure.controlToken},
                    {QStringLiteral("eventView"), configure.eventViewToken},
                    {QStringLiteral("eventControl"), configure.eventControlToken},
                    {QStringLiteral("http"), configure.http},
                    {QStringLiteral("osc"), desk.oscPort ? int{*desk.oscPort} : -1},
                    {QStringLiteral("oscBind"), desk.oscBind},
                    {QStringLiteral("oscSend"), QJsonArray::fromStringList(desk.oscSend)},
                    {QStringLiteral("cueUrls"), QJsonArray::fromStringList(desk.cueUrls)},
                    {QStringLiteral("room"), configure.room},
                    {QStringLiteral("eventId"), configure.eventId}});
}

QByteArray encode(const Listening &listening)
{
    return compact({{QStringLiteral("host"), listening.host},
                    {QStringLiteral("port"), listening.port},
                    {QStringLiteral("osc"), listening.oscPort}});
}

QByteArray encode(const Command &command)
{
    return compact({{QStringLiteral("id"), static_cast<qint64>(command.id)},
                    {QStringLiteral("command"), remoteCommandName(command.command.kind)},
                    {QStringLiteral("text"), command.command.text},
                    {QStringLiteral("number"), command.command.number}});
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

Result<Configure> decodeConfigure(QByteArrayView body)
{
    Fields fields(body);
    Configure configure{fields.text(QLatin1StringView("bind")),
                        static_cast<quint16>(fields.whole(QLatin1StringView("port"), 0, 65535)),
                        fields.text(QLatin1StringView("view"), false),
                        fields.text(QLatin1StringView("control"), false),
                        fields.text(QLatin1StringView("eventView")),
                        fields.text(QLatin1StringView("eventControl")),
                        fields.flag(QLatin1StringView("http")),
                        DeskSettings{},
                        fields.text(QLatin1StringView("room")),
                        fields.text(QLatin1StringView("eventId"))};
    if (const qint64 osc = fields.whole(QLatin1StringView("osc"), -1, 65535); osc >= 0)
        configure.desk.oscPort = static_cast<quint16>(osc);
    configure.desk.oscBind = fields.text(QLatin1StringView("oscBind"));
    configure.desk.oscSend = fields.texts(QLatin1StringView("oscSend"), remotelimits::kCueTargets);
    configure.desk.cueUrls = fields.texts(QLatin1StringView("cueUrls"), remotelimits::kCueTargets);
    return fields.made(configure);
}

Result<Listening> decodeListening(QByteArrayView body)
{
    Fields fields(body);
    Listening listening{fields.text(QLatin1StringView("host")),
                        static_cast<quint16>(fields.whole(QLatin1StringView("port"), 0, 65535)),
                        static_cast<quint16>(fields.whole(QLatin1StringView("osc"), 0, 65535))};
    // It names the host of the pages it serves. With neither pages nor OSC in (cues out alone) it
    // listens on nothing, and says so with zeros.
    fields.check(listening.port == 0 || !listening.host.isEmpty(), QLatin1StringView("host"));
    return fields.made(listening);
}

Result<Command> decodeCommand(QByteArrayView body)
{
    Fields fields(body);
    const auto id = static_cast<quint64>(fields.whole(QLatin1StringView("id"), 0, kLargestId));
    const auto kind = remoteCommandNamed(fields.text(QLatin1StringView("command")));
    fields.check(kind.has_value(), QLatin1StringView("command"));
    const QString words = fields.text(QLatin1StringView("text"));
    const auto number = static_cast<int>(fields.whole(
        QLatin1StringView("number"), std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    return fields.made(Command{id, RemoteCommand{kind.value_or(RemoteCommand::Kind::Start), words, number}});
}

Result<Verdict> decodeVerdict(QByteArrayView body)
{
    Fields fields(body);
    const auto id = static_cast<quint64>(fields.whole(QLatin1StringView("id"), 0, kLargestId));
    const auto status = static_cast<int>(fields.whole(QLatin1StringView("status"), 200, 599));
    const QByteArray reason = fields.text(QLatin1StringView("reason")).toUtf8();
    return fields.made(Verdict{id, CommandVerdict{status, reason}});
}

Result<QString> decodeFailure(QByteArrayView body)
{
    Fields fields(body);
    const QString reason = fields.text(QLatin1StringView("reason"));
    return fields.made(reason);
}

Result<int> decodeAlive(QByteArrayView body)
{
    Fields fields(body);
    const auto viewers = static_cast<int>(fields.whole(QLatin1StringView("viewers"), 0, 1 << 20));
    return fields.made(viewers);
}

Result<QByteArray> decodeCue(QByteArrayView body)
{
    Fields fields(body);
    fields.text(QLatin1StringView("event"), false);
    return fields.made(body.toByteArray());
}

} // namespace channel

namespace channel {

void readStandardInput(qsizetype largest, QObject *receiver, std::function<bool(const Message &)> take,
                       const char *refusal)
{
    Reader reader(largest);
    QByteArray chunk(16 * 1024, Qt::Uninitialized);
    while (!reader.failed()) {
        // What is there now, not a full chunk: a read that waited for more would hold a message.
        const auto wanted = static_cast<unsigned>(std::min<qsizetype>(chunk.size(), reader.room()));
        const auto got = static_cast<qint64>(::read(0, chunk.data(), wanted));
        if (got <= 0)
            return; // the program has gone
        reader.append(QByteArrayView(chunk.constData(), got));
        while (const std::optional<Message> message = reader.next()) {
            QMetaObject::invokeMethod(
                receiver,
                [take, refusal, message = *message] {
                    if (!take(message)) {
                        std::fputs(refusal, stderr);
                        QCoreApplication::exit(2);
                    }
                },
                Qt::QueuedConnection);
        }
    }
}

} // namespace channel
