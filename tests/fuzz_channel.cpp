// libFuzzer target: what one side of the channel between the program and its remote server reads
// from the other, a process that may have been taken over. The bytes come in pieces (the first
// input byte chooses their size) and are cut into messages as each side cuts them; every message
// is decoded as each kind. The reader never holds more than one message's worth, and what decodes
// encodes to something that decodes the same. Build with the fuzz preset, then run for example
//   build/fuzz/tests/fuzz_channel -max_len=9000 tests/fuzz-seeds-channel

#include "remote/channel.h"
#include "support/fuzzcheck.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void decodeEveryWay(const QByteArray &body)
{
    using namespace channel;
    if (const auto c = decodeConfigure(body)) {
        const auto again = decodeConfigure(encode(*c));
        check(again && again->bind == c->bind && again->port == c->port && again->viewToken == c->viewToken &&
                  again->controlToken == c->controlToken,
              "a configuration reads the same again");
    }
    if (const auto l = decodeListening(body)) {
        const auto again = decodeListening(encode(*l));
        check(again && again->host == l->host && again->port == l->port && l->port > 0, "listening");
    }
    if (const auto c = decodeCommand(body)) {
        const auto again = decodeCommand(encode(*c));
        check(again && again->id == c->id && again->command.kind == c->command.kind &&
                  again->command.text == c->command.text && again->command.number == c->command.number,
              "a command reads the same again");
    }
    if (const auto v = decodeVerdict(body)) {
        check(v->verdict.status >= 200 && v->verdict.status <= 599, "a verdict's status");
        const auto again = decodeVerdict(encode(*v));
        check(again && again->id == v->id && again->verdict.status == v->verdict.status, "a verdict");
    }
    if (const auto f = decodeFailure(body)) {
        const auto again = decodeFailure(encodeFailure(*f));
        check(again && *again == *f, "a failure reads the same again");
    }
    if (const auto a = decodeAlive(body)) {
        const auto again = decodeAlive(encodeAlive(*a));
        check(*a >= 0 && again && *again == *a, "alive");
    }
    // A refusal says what is wrong.
    check(decodeCommand(body) || !decodeCommand(body).error().isEmpty(), "a refusal names its reason");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArrayView bytes(reinterpret_cast<const char *>(data) + 1, static_cast<qsizetype>(size - 1));
    const qsizetype piece = 1 + data[0] % 64;
    for (const qsizetype largest : {channel::kLargestToProgram, qsizetype{64}}) {
        channel::Reader reader(largest);
        for (qsizetype at = 0; at < bytes.size() && !reader.failed(); at += piece) {
            const qsizetype room = reader.room();
            check(room >= 0 && room <= largest + 5, "room for one message at most");
            reader.append(
                bytes.sliced(at, std::min({piece, bytes.size() - at, std::max<qsizetype>(room, 1)})));
            while (const std::optional<channel::Message> message = reader.next()) {
                check(message->body.size() <= largest, "no message past the largest");
                decodeEveryWay(message->body);
            }
        }
    }
    return 0;
}
