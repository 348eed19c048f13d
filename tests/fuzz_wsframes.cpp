// libFuzzer target: what a WebSocket client sends, read frame by frame as the broadcaster reads it
// until a frame is not whole or is refused. Every frame read takes some bytes and no more than are
// there, carries at most 125 bytes (a control frame) or 1024 (a text) unmasked with its own mask,
// and reads the same when more bytes follow it; the pong that answers a ping is a frame of its own.
// A text is read as a control socket's command: taken within the table's ranges, or refused with
// a reply that is JSON. Build with the fuzz preset, then run for example
//   build/fuzz/tests/fuzz_wsframes -max_len=1024 tests/fuzz-seeds-wsframes

#include "remote/router.h"
#include "remote/websocketframes.h"
#include "support/fuzzcheck.h"

#include <QJsonDocument>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void checkFrame(const ClientFrame &frame, QByteArrayView unread)
{
    const bool text = frame.kind == ClientFrame::Kind::Text;
    check(frame.size > 0 && frame.size <= unread.size(), "a frame takes some of what is there");
    check(frame.payload.size() <= (text ? MaxClientText : 125), "a frame's payload");
    const qsizetype header = frame.size - 4 - frame.payload.size();
    check(header == 2 || (text && header == 4 && frame.payload.size() >= 126),
          "two bytes, or four for a long text");
    for (qsizetype i = 0; i < frame.payload.size(); ++i) {
        check((frame.payload[i] ^ unread[header + i % 4]) == unread[header + 4 + i],
              "unmasked with its own mask");
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
    if (text) {
        const Result<SocketCommand, SocketRefusal> read = socketCommand(frame.payload);
        if (read) {
            const CommandArgument &argument = commandEntry(read->command.kind).argument;
            if (argument.kind == CommandArgument::Kind::Number)
                check(read->command.number >= argument.least && read->command.number <= argument.most,
                      "a number within the table's range");
            check(read->command.text.toUcs4().size() <= 80, "a message of at most 80 characters");
        } else {
            check(read.error().verdict.status == 400, "a command that cannot be read is a 400");
            check(QJsonDocument::fromJson(socketReply(read.error().id, read.error().verdict)).isObject(),
                  "the reply is JSON");
        }
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
            // Refused on the first four bytes at most (two but for a long text's length): nothing
            // the client says is held for long.
            const QByteArray head = unread.first(std::min<qsizetype>(unread.size(), 4));
            check(frame.size == 0 && readClientFrame(head).kind == ClientFrame::Kind::Refused,
                  "refused after four bytes at most");
            break;
        }
        checkFrame(frame, unread);
        unread.remove(0, frame.size);
    }
    return 0;
}
