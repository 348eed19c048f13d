// libFuzzer target: our request framing against llhttp's, in its strict mode with every leniency
// off, on the same bytes and the requests sent behind one another. Where both take a request
// they must agree where its head ends, how long its body is, and that it is not chunked, or a
// proxy in front of the server could see one request where we see another. Where they differ we
// must be the stricter: refusing or waiting for more while llhttp takes a request is fine; taking
// a request that llhttp refuses is a finding. Build with the fuzz preset, then run for example
//   build/fuzz/tests/fuzz_httpdiff -max_len=4096 tests/fuzz-seeds-httphead
// Its inputs are fuzz_httphead's, the first two bytes of which it skips.

#include "remote/http.h"
#include "support/fuzzcheck.h"

#include <llhttp.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// llhttp stopped at the end of each head and each message, so that both are known by position.
struct Strict {
    enum class Step { Head, Message };
    Step step = Step::Head;
    uint64_t contentLength = 0;
    bool chunked = false;

    llhttp_settings_t settings{};
    llhttp_t parser{};

    Strict()
    {
        llhttp_settings_init(&settings);
        settings.on_headers_complete = [](llhttp_t *p) {
            auto *self = static_cast<Strict *>(p->data);
            self->step = Step::Head;
            self->contentLength = p->content_length;
            self->chunked = (p->flags & F_CHUNKED) != 0;
            return static_cast<int>(HPE_PAUSED);
        };
        settings.on_message_complete = [](llhttp_t *p) {
            static_cast<Strict *>(p->data)->step = Step::Message;
            return static_cast<int>(HPE_PAUSED);
        };
        llhttp_init(&parser, HTTP_REQUEST, &settings);
        parser.data = this;
    }

    // Parses from `at` to the end of the bytes; where it paused, or -1 when it did not.
    qsizetype run(QByteArrayView bytes, qsizetype at, llhttp_errno_t &result)
    {
        result = llhttp_execute(&parser, bytes.data() + at, static_cast<size_t>(bytes.size() - at));
        if (result != HPE_PAUSED && result != HPE_PAUSED_UPGRADE)
            return -1;
        const qsizetype paused = llhttp_get_error_pos(&parser) - bytes.data();
        llhttp_resume(&parser);
        return paused;
    }
};

// llhttp refuses a tab after a Content-Length's digits (it takes spaces there), where HTTP allows
// either as the blanks around a value. We take it, and read the same digits: both read the same
// length, and llhttp only turns away a request that it had read as we do. Such a request is
// left there, as llhttp can read no further.
bool blanksAfterLength(QByteArrayView bytes, const llhttp_t &parser, llhttp_errno_t result)
{
    if (result != HPE_INVALID_CONTENT_LENGTH)
        return false;
    const qsizetype at = llhttp_get_error_pos(&parser) - bytes.data();
    const qsizetype lineStart = bytes.first(at).lastIndexOf('\n') + 1;
    const qsizetype lineEnd = bytes.indexOf("\r\n", at);
    constexpr QByteArrayView name = "content-length:";
    if (bytes[at] != '\t' || lineEnd < 0 || at - lineStart < name.size() ||
        bytes.sliced(lineStart, name.size()).compare(name, Qt::CaseInsensitive) != 0)
        return false;
    QByteArrayView value = bytes.sliced(lineStart + name.size(), lineEnd - lineStart - name.size());
    while (!value.isEmpty() && (value.front() == ' ' || value.front() == '\t'))
        value = value.sliced(1);
    while (!value.isEmpty() && (value.back() == ' ' || value.back() == '\t'))
        value.chop(1);
    return !value.isEmpty() &&
           std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// llhttp does not see "keep-alive" in a Connection header when a tab follows it (a space it
// takes), so an HTTP/1.0 request that keeps its connection so is closed after its answer there,
// and kept here. Nothing comes of that: a proxy that read it as llhttp does closes the connection
// and forwards nothing more on it, and a client that sent more sent it as requests of its own.
bool tabInConnection(QByteArrayView head)
{
    constexpr QByteArrayView name = "\r\nconnection:";
    for (qsizetype at = 0; (at = head.indexOf(':', at + 1)) >= 0;) {
        const qsizetype lineStart = head.first(at).lastIndexOf("\r\n");
        if (lineStart >= 0 &&
            head.sliced(lineStart, at + 1 - lineStart).compare(name, Qt::CaseInsensitive) == 0 &&
            head.sliced(at, head.indexOf("\r\n", at) - at).contains('\t'))
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The first two bytes say how fuzz_httphead cuts the input into pieces, here all comes at once.
    if (size < 2)
        return 0;
    const QByteArrayView bytes(reinterpret_cast<const char *>(data) + 2, static_cast<qsizetype>(size - 2));
    Strict strict;
    qsizetype start = 0;
    while (start < bytes.size()) {
        const HeadReading ours = readHead(bytes.sliced(start), HttpLimits());
        if (ours.kind != HeadReading::Kind::Request)
            return 0; // waiting or refusing: never less strict than llhttp
        const HttpRequest &request = ours.request;
        // Methods other than GET and POST (and llhttp knows far fewer than a token allows) are
        // answered 405 and the connection closed, whatever the request says of its length: its
        // body and whatever follows are never read as a request. CONNECT, which llhttp takes to
        // end HTTP on the connection at its head, is one of them.
        if (request.method != "GET" && request.method != "POST")
            return 0;

        llhttp_errno_t result = HPE_OK;
        const qsizetype headEnd = strict.run(bytes, start, result);
        if (headEnd < 0 && blanksAfterLength(bytes, strict.parser, result))
            return 0;
        if (headEnd < 0) {
            std::fprintf(stderr, "llhttp: %s (%s) at %td\n", llhttp_errno_name(result),
                         llhttp_get_error_reason(&strict.parser),
                         llhttp_get_error_pos(&strict.parser) - bytes.data());
        }
        check(headEnd >= 0 && strict.step == Strict::Step::Head, "llhttp takes the head we take");
        check(headEnd == start + ours.headLength, "the head ends where llhttp's does");
        check(!strict.chunked, "not chunked");
        check(strict.contentLength == static_cast<uint64_t>(ours.bodyLength), "the body's length agrees");

        const qsizetype end = start + ours.headLength + ours.bodyLength;
        if (end > bytes.size())
            return 0; // the body is still on its way
        const qsizetype messageEnd = strict.run(bytes, headEnd, result);
        check(messageEnd == end && strict.step == Strict::Step::Message,
              "the message ends where llhttp's does");
        // After an upgrade the connection speaks WebSocket, and after a closing answer nothing.
        // We close where llhttp would not in one case, which is the stricter: an HTTP/1.0 request
        // that lists both keep-alive and close (llhttp looks only for keep-alive there).
        if (strict.parser.upgrade != 0 || !request.keepsAlive())
            return 0;
        if (llhttp_should_keep_alive(&strict.parser) == 0 &&
            tabInConnection(bytes.sliced(start, ours.headLength)))
            return 0;
        check(llhttp_should_keep_alive(&strict.parser) == 1, "a connection we keep, llhttp keeps");
        start = end;
    }
    return 0;
}
