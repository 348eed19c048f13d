#include "remote/osc.h"

#include "remote/secret.h"

#include <QStringDecoder>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <lo/lo.h>
#include <memory>

namespace osc {

namespace {

constexpr QByteArrayView kPrefix = "/podiumwatch/";
using Read = Result<RemoteCommand, Loss>;

struct FreeMessage {
    void operator()(lo_message message) const { lo_message_free(message); }
};
using Message = std::unique_ptr<std::remove_pointer_t<lo_message>, FreeMessage>;

// An argument's value. liblo's arguments lie at 4-byte steps, and an 8-byte one need not be
// aligned as its union says: copied, never read through it.
template <typename T> T valueAt(const lo_arg *argument)
{
    T value;
    std::memcpy(&value, argument, sizeof value);
    return value;
}

const char *textAt(const lo_arg *argument)
{
    return reinterpret_cast<const char *>(argument);
}

// A whole number within the argument's range, whichever of OSC's number types a desk sends it as
// (many send every number as a float).
std::optional<int> wholeNumber(char type, const lo_arg *value, const CommandArgument &argument)
{
    double number = 0;
    switch (type) {
    case LO_INT32: {
        const auto whole = valueAt<qint32>(value);
        return argument.admits(whole) ? std::optional<int>(whole) : std::nullopt;
    }
    case LO_INT64: {
        const auto whole = valueAt<qint64>(value);
        if (whole < argument.least || whole > argument.most)
            return std::nullopt;
        return static_cast<int>(whole);
    }
    case LO_FLOAT:
        number = static_cast<double>(valueAt<float>(value));
        break;
    case LO_DOUBLE:
        number = valueAt<double>(value);
        break;
    default:
        return std::nullopt;
    }
    // Within the range first: a double far beyond an int's must not reach the cast.
    if (!(number >= argument.least && number <= argument.most) || std::trunc(number) != number)
        return std::nullopt;
    return static_cast<int>(number);
}

} // namespace

QString lossName(Loss loss)
{
    static constexpr std::array<const char *, kLosses> names{"oversize",
                                                             "malformed",
                                                             "bundle",
                                                             "unknown address",
                                                             "without the token",
                                                             "bad argument",
                                                             "over the limit a second",
                                                             "over the limit waiting",
                                                             "unanswered",
                                                             "refused"};
    return QString::fromLatin1(names[static_cast<std::size_t>(loss)]);
}

Read readCommand(QByteArrayView datagram, QByteArrayView token, bool tokenRequired)
{
    if (datagram.size() > kLargestDatagram)
        return Read::failure(Loss::Oversize);
    // liblo 0.31 has no public way to take a bundle apart but its server's threads, and a bundle's
    // point, a time to act at or several messages at once, has no use for one press of a desk's
    // button; a desk that bundles everything is told so by the count.
    if (datagram.startsWith("#bundle"))
        return Read::failure(Loss::Bundle);
    // A copy of its own: liblo takes the bytes as writable, and reads them as 32-bit words.
    QByteArray bytes = datagram.toByteArray();
    const Message parsed(
        bytes.isEmpty() ? nullptr
                        : lo_message_deserialise(bytes.data(), static_cast<size_t>(bytes.size()), nullptr));
    if (!parsed)
        return Read::failure(Loss::Malformed);

    // liblo checked that the address ends within the bytes.
    const QByteArrayView address(bytes.constData(), static_cast<qsizetype>(qstrnlen(
                                                        bytes.constData(), static_cast<uint>(bytes.size()))));
    const std::optional<RemoteCommand::Kind> kind =
        address.startsWith(kPrefix) ? remoteCommandNamed(QLatin1StringView(address.sliced(kPrefix.size())))
                                    : std::nullopt;
    if (!kind)
        return Read::failure(Loss::Address);

    const int count = lo_message_get_argc(parsed.get());
    const char *types = lo_message_get_types(parsed.get());
    lo_arg *const *values = lo_message_get_argv(parsed.get());
    int next = 0;
    if (count > 0 && types[0] == LO_STRING && !token.isEmpty() && sameSecret(textAt(values[0]), token))
        next = 1;
    if (tokenRequired && next == 0)
        return Read::failure(Loss::Token);

    RemoteCommand command;
    command.kind = *kind;
    const CommandArgument &argument = commandEntry(*kind).argument;
    const int wanted = argument.kind == CommandArgument::Kind::None ? 0 : 1;
    if (count - next != wanted)
        return Read::failure(Loss::Argument);
    if (argument.kind == CommandArgument::Kind::Number) {
        const std::optional<int> number = wholeNumber(types[next], values[next], argument);
        if (!number)
            return Read::failure(Loss::Argument);
        command.number = *number;
    } else if (argument.kind == CommandArgument::Kind::Text) {
        if (types[next] != LO_STRING)
            return Read::failure(Loss::Argument);
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        command.text = utf8.decode(QByteArrayView(textAt(values[next])));
        if (utf8.hasError() || command.text.toUcs4().size() > argument.most)
            return Read::failure(Loss::Argument);
    }
    return command;
}

QByteArray message(const QByteArray &address, const QList<Argument> &arguments)
{
    const Message built(lo_message_new());
    for (const Argument &argument : arguments) {
        if (const auto *number = std::get_if<qint32>(&argument))
            lo_message_add_int32(built.get(), *number);
        else
            lo_message_add_string(built.get(), std::get<QString>(argument).toUtf8().constData());
    }
    size_t size = 0;
    void *serialised = lo_message_serialise(built.get(), address.constData(), nullptr, &size);
    if (!serialised)
        return {};
    QByteArray bytes(static_cast<const char *>(serialised), static_cast<qsizetype>(size));
    std::free(serialised);
    return bytes;
}

} // namespace osc
