// libFuzzer target: what a WebSocket client sends, read frame by frame as the broadcaster reads it
// until a frame is not whole or is refused. Every frame read takes some bytes and no more than are
// there, carries at most 125 bytes unmasked with its own mask, and reads the same when more bytes
// follow it; the pong that answers a ping is a frame of its own. Build with the fuzz preset, then
// run for example
//   build/fuzz/tests/fuzz_wsframes -max_len=1024 tests/fuzz-seeds-wsframes

#include "remote/websocketframes.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void check(bool holds, const char *what)
{
    if (!holds) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

void checkFrame(const ClientFrame &frame, QByteArrayView unread)
{
    check(frame.size > 0 && frame.size <= unread.size(), "a frame takes some of what is there");
    check(frame.payload.size() <= 125, "a control frame's payload");
    check(frame.size == 6 + frame.payload.size(), "two bytes, the mask, the payload");
    for (qsizetype i = 0; i < frame.payload.size(); ++i) {
        check((frame.payload[i] ^ unread[2 + i % 4]) == unread[6 + i], "unmasked with its own mask");
    }
    // Cut anywhere before its end, the same frame is not whole yet.
    check(readClientFrame(unread.first(frame.size - 1)).kind == ClientFrame::Kind::Incomplete,
          "a frame cut short waits");
    if (frame.kind == ClientFrame::Kind::Ping) {
        const QByteArray pong = pongFrame(frame.payload);
        check(pong.size() == 2 + frame.payload.size() && pong.sliced(2) == frame.payload,
              "a pong carries the ping's payload");
        check(pong[0] == '\x8A' && pong[1] == static_cast<char>(frame.payload.size()), "a pong's header");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray unread(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    for (;;) {
        const ClientFrame frame = readClientFrame(unread);
        if (frame.kind == ClientFrame::Kind::Incomplete) {
            check(frame.size == 0 && frame.payload.isEmpty(), "nothing taken while waiting");
            break;
        }
        if (frame.kind == ClientFrame::Kind::Refused) {
            // Refused on the first two bytes alone: nothing the client says is held for long.
            check(frame.size == 0 && readClientFrame(unread.first(2)).kind == ClientFrame::Kind::Refused,
                  "refused after two bytes");
            break;
        }
        checkFrame(frame, unread);
        unread.remove(0, frame.size);
    }
    return 0;
}
