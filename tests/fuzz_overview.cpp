// libFuzzer target: what the overview reads from rooms, from anyone who can answer on a room's
// address or announce one: a room's answer to a challenge, the states its feed pushes, a file of
// addresses, and what the overview's network side says to its window. The first input byte
// chooses the reader. What is read must be within the bounds the tiles rely on. Build with the
// fuzz preset, then run for example
//   build/fuzz/tests/fuzz_overview -max_len=70000 tests/fuzz-seeds-overview

#include "overview/overviewchannel.h"
#include "overview/roomfeed.h"
#include "support/fuzzcheck.h"

#include <QJsonArray>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void checkText(const QJsonObject &object, const char *key)
{
    const QJsonValue value = object.value(QLatin1StringView(key));
    check(value.isUndefined() || (value.isString() && value.toString().size() <= roomfeed::kLongestText),
          "a text of a room's state beyond its bound");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const QByteArrayView bytes(reinterpret_cast<const char *>(data + 1), static_cast<qsizetype>(size - 1));
    switch (data[0] % 5) {
    case 0:
        if (const auto state = roomfeed::roomState(bytes)) {
            for (const char *key : {"text", "state", "stateText", "message", "room"})
                checkText(*state, key);
            check(state->value(QLatin1StringView("messages")).toArray().size() <= roomfeed::kSavedMessages,
                  "more saved messages than kept");
            roomfeed::lateness(*state);
        }
        break;
    case 1:
        if (const auto answer = roomfeed::roomAnswer(bytes))
            check(!answer->room.isEmpty() && answer->room.toUcs4().size() <= 40 && answer->proof.size() == 32,
                  "an answer out of its bounds");
        break;
    case 2:
        if (const auto addresses = roomfeed::roomAddresses(bytes))
            check(addresses->size() <= roomfeed::kMostRooms, "more rooms than followed");
        break;
    case 3:
        if (const auto change = overviewchannel::decodeRoomChange(bytes))
            check(change->gone || !change->room.isEmpty(), "a room without a name");
        break;
    default:
        overviewchannel::decodeAction(bytes);
        overviewchannel::decodeConfigure(bytes);
        break;
    }
    return 0;
}
