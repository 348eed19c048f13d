// libFuzzer target: the remote server's request framing read as a connection reads it. The bytes
// arrive in pieces, a request is served once its body is there, and the next head is read from
// where that one ended. Whatever is read must be the same as when everything had come at once; a
// request stays within the limits; and what the router answers to it is a well-formed answer
// whatever the request held. Build with the fuzz preset, then run for example
//   build/fuzz/tests/fuzz_httphead -max_len=20000 tests/fuzz-seeds-httphead
//
// The input's first two bytes say how it arrives: the first how many pieces (its low three bits),
// whether the limits are the server's or tight ones that short inputs can reach the edges of
// (bit 3), and how tight (bits 4 to 7); the second where the cuts are. The rest is what the client
// sends. The differential target skips the same two bytes, so that the two share their seeds.

#include "remote/http.h"
#include "remote/router.h"
#include "support/fuzzcheck.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

const RouterState &routerState(int clients)
{
    static RouterState state = [] {
        RouterState s;
        s.viewToken = "Vw3kQ9x2LpT7sYb1";
        s.controlToken = "Ct8mZr4uNa6eHq0j";
        s.port = 8765;
        s.hosts = {"192.168.1.20", "podium.local", "[fe80::1]"};
        s.ownHost = "192.168.1.20:8765";
        s.page = "<!DOCTYPE html><title>view</title>";
        s.json = R"({"text":"12:00","state":"running"})";
        s.maxClients = 2;
        return s;
    }();
    state.clients = clients;
    return state;
}

bool hasLineBreak(QByteArrayView text)
{
    return text.contains('\r') || text.contains('\n') || text.contains('\0');
}

// Nothing from the request may end a header line early or the head before its end.
void checkAnswer(const HttpAnswer &answer)
{
    check(answer.status >= 100 && answer.status <= 599, "a status");
    for (const auto &[name, value] : answer.headers)
        check(!name.isEmpty() && !hasLineBreak(name) && !hasLineBreak(value), "a header on one line");
    const QByteArray bytes = serialize(answer);
    check(bytes.indexOf("\r\n\r\n") + 4 == bytes.size() - answer.body.size(), "one head, then the body");
}

bool sameReading(const HeadReading &a, const HeadReading &b)
{
    return a.kind == b.kind && a.headLength == b.headLength && a.bodyLength == b.bodyLength &&
           a.request.target == b.request.target && a.request.headers == b.request.headers;
}

void checkRequest(const HeadReading &reading, QByteArrayView arrived, const HttpLimits &limits)
{
    check(reading.headLength > 0, "a head has a length");
    check(reading.headLength <= limits.maxHead, "a head within its limit");
    check(reading.headLength <= arrived.size(), "a head that has arrived");
    check(arrived.first(reading.headLength).endsWith("\r\n\r\n"), "a head ends in a blank line");
    check(reading.bodyLength >= 0 && reading.bodyLength <= limits.maxBody, "a body within its limit");
    check(!reading.request.method.isEmpty() && reading.request.target.startsWith('/'), "a request line");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const unsigned control = data[0];
    const QByteArrayView input(reinterpret_cast<const char *>(data) + 2, static_cast<qsizetype>(size - 2));
    HttpLimits limits;
    if (control & 8) {
        const qsizetype tightness = control >> 4;
        limits.maxHead = 24 + 8 * tightness;
        limits.maxBody = tightness;
    }
    std::vector<qsizetype> cuts{input.size()};
    uint32_t random = data[1] + 1U;
    for (unsigned i = 0; i < (control & 7); ++i) {
        random = random * 1103515245U + 12345U;
        cuts.push_back(static_cast<qsizetype>(random >> 8) % (input.size() + 1));
    }
    std::sort(cuts.begin(), cuts.end());

    qsizetype start = 0; // where the request being read starts
    int served = 0;
    for (const qsizetype arrived : cuts) {
        for (;;) {
            const QByteArrayView unread = input.sliced(start, arrived - start);
            const HeadReading reading = readHead(unread, limits);
            // Had the rest come already, the same would have been read, unless it was waiting.
            const HeadReading whole = readHead(input.sliced(start), limits);
            if (reading.kind != HeadReading::Kind::Incomplete) {
                check(reading.kind != HeadReading::Kind::Request || sameReading(reading, whole),
                      "a request read the same, in pieces or whole");
                check(reading.kind != HeadReading::Kind::Refused || whole.kind == reading.kind,
                      "a refusal in pieces is one whole");
            }
            if (reading.kind == HeadReading::Kind::Refused) {
                check(reading.status == 400 || reading.status == 413 || reading.status == 431,
                      "a refusal's status");
                checkAnswer(refuseFraming(reading.status, reading.reason, routerState(0)).answer);
                return 0;
            }
            if (reading.kind == HeadReading::Kind::Incomplete)
                break;
            checkRequest(reading, unread, limits);
            const qsizetype length = reading.headLength + reading.bodyLength;
            if (length > unread.size())
                break; // the body is still on its way
            HttpRequest request = reading.request;
            request.body = unread.sliced(reading.headLength, reading.bodyLength).toByteArray();
            const Routed routed = route(request, routerState(served++ % 3));
            checkAnswer(routed.answer);
            if (routed.answer.close || routed.upgrade)
                return 0;
            start += length;
            check(start <= arrived, "no more taken than has come");
        }
    }
    return 0;
}
