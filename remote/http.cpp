#include "remote/http.h"

#include <algorithm>

namespace {

constexpr qsizetype MaxHeaders = 100;
constexpr qsizetype MaxLengthDigits = 18; // fits in 64 bits, whatever the digits

bool isTokenChar(char c)
{
    static constexpr QByteArrayView others = "!#$%&'*+-.^_`|~";
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || others.contains(c);
}

bool isToken(QByteArrayView text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), isTokenChar);
}

// Visible ASCII and, inside values, blanks; a stray CR or LF would end a line where another
// reader does not.
bool isFieldText(QByteArrayView text, bool blanks)
{
    return std::all_of(text.begin(), text.end(), [blanks](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte > 0x20 && byte != 0x7F) || (blanks && (c == ' ' || c == '\t'));
    });
}

// A URI is visible ASCII; browsers percent-encode anything else. A reader that took other bytes
// would be reading a target that the proxies and parsers in front of it refuse.
bool isTargetText(QByteArrayView text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c > ' ' && c < '\x7F'; });
}

QByteArrayView trimmedBlanks(QByteArrayView text)
{
    while (!text.isEmpty() && (text.front() == ' ' || text.front() == '\t'))
        text = text.sliced(1);
    while (!text.isEmpty() && (text.back() == ' ' || text.back() == '\t'))
        text.chop(1);
    return text;
}

HeadReading refused(int status, const char *reason)
{
    HeadReading reading;
    reading.kind = HeadReading::Kind::Refused;
    reading.status = status;
    reading.reason = reason;
    return reading;
}

const char *reasonPhrase(int status)
{
    switch (status) {
    case 101:
        return "Switching Protocols";
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 409:
        return "Conflict";
    case 413:
        return "Content Too Large";
    case 421:
        return "Misdirected Request";
    case 426:
        return "Upgrade Required";
    case 431:
        return "Request Header Fields Too Large";
    case 503:
        return "Service Unavailable";
    default:
        return "Unknown";
    }
}

} // namespace

bool hasBareLineFeed(QByteArrayView bytes, qsizetype from)
{
    for (qsizetype at = bytes.indexOf('\n', from); at >= 0; at = bytes.indexOf('\n', at + 1)) {
        if (at == 0 || bytes[at - 1] != '\r')
            return true;
    }
    return false;
}

QByteArray HttpRequest::header(QByteArrayView name) const
{
    for (const auto &[key, value] : headers) {
        if (key == name)
            return value;
    }
    return {};
}

qsizetype HttpRequest::count(QByteArrayView name) const
{
    return std::count_if(headers.cbegin(), headers.cend(), [name](const auto &h) { return h.first == name; });
}

bool HttpRequest::lists(QByteArrayView name, QByteArrayView token) const
{
    for (const auto &[key, value] : headers) {
        if (key != name)
            continue;
        for (const QByteArray &item : value.split(',')) {
            if (trimmedBlanks(item).compare(token, Qt::CaseInsensitive) == 0)
                return true;
        }
    }
    return false;
}

bool HttpRequest::keepsAlive() const
{
    if (lists("connection", "close"))
        return false;
    return !http10 || lists("connection", "keep-alive");
}

HeadReading readHead(QByteArrayView bytes, const HttpLimits &limits)
{
    const qsizetype end = bytes.indexOf(QByteArrayView("\r\n\r\n"));
    // What follows the head is its body, or the next request, where a bare LF is none of ours.
    if (hasBareLineFeed(end < 0 ? bytes : bytes.first(end)))
        return refused(400, "a line ends without CR");
    if (end < 0 || end + 4 > limits.maxHead) {
        if (end >= 0 || bytes.size() > limits.maxHead)
            return refused(431, "request head too large");
        return {};
    }

    HeadReading reading;
    HttpRequest &request = reading.request;
    const QList<QByteArray> lines = bytes.first(end).toByteArray().split('\n');
    if (lines.size() - 1 > MaxHeaders)
        return refused(431, "too many header fields");
    // Every line but the last ends in CRLF (bare LFs are refused above), and the last one's CRLF
    // is part of the blank line.
    auto lineAt = [&lines](qsizetype i) {
        const QByteArray &line = lines[i];
        return i + 1 < lines.size() ? QByteArrayView(line).chopped(1) : QByteArrayView(line);
    };

    const QList<QByteArray> parts = lineAt(0).toByteArray().split(' ');
    if (parts.size() != 3 || !isToken(parts[0]) || !parts[1].startsWith('/') || !isTargetText(parts[1]))
        return refused(400, "malformed request line");
    if (parts[2] != "HTTP/1.1" && parts[2] != "HTTP/1.0")
        return refused(400, "unsupported HTTP version");
    request.method = parts[0];
    request.target = parts[1];
    request.http10 = parts[2] == "HTTP/1.0";

    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArrayView line = lineAt(i);
        const qsizetype colon = line.indexOf(':');
        // A name with blanks before its colon, or a line folded onto the one before (it starts
        // with a blank), is read differently by different servers.
        if (colon <= 0 || !isToken(line.first(colon)))
            return refused(400, "malformed header field");
        const QByteArrayView value = trimmedBlanks(line.sliced(colon + 1));
        if (!isFieldText(value, true))
            return refused(400, "control character in a header field");
        request.headers.append({line.first(colon).toByteArray().toLower(), value.toByteArray()});
    }

    if (request.count("transfer-encoding") > 0)
        return refused(400, "Transfer-Encoding is not accepted; send a Content-Length");
    const qsizetype lengths = request.count("content-length");
    if (lengths > 1)
        return refused(400, "more than one Content-Length");
    qint64 length = 0;
    if (lengths == 1) {
        const QByteArray text = request.header("content-length");
        const bool digits =
            !text.isEmpty() && text.size() <= MaxLengthDigits &&
            std::all_of(text.cbegin(), text.cend(), [](char c) { return c >= '0' && c <= '9'; });
        if (!digits)
            return refused(400, "malformed Content-Length");
        length = text.toLongLong();
    }
    if (request.count("host") > 1 || (!request.http10 && request.count("host") == 0))
        return refused(400, "a request names exactly one Host");
    if (length > limits.maxBody) {
        HeadReading tooLarge = refused(413, "request body too large");
        tooLarge.request = request;
        return tooLarge;
    }

    reading.kind = HeadReading::Kind::Request;
    reading.headLength = end + 4;
    reading.bodyLength = static_cast<qsizetype>(length);
    return reading;
}

QByteArray serialize(const HttpAnswer &answer)
{
    QByteArray bytes =
        "HTTP/1.1 " + QByteArray::number(answer.status) + ' ' + reasonPhrase(answer.status) + "\r\n";
    for (const auto &[name, value] : answer.headers)
        bytes += name + ": " + value + "\r\n";
    if (answer.status != 101 && answer.status != 204)
        bytes += "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
    if (answer.close)
        bytes += "Connection: close\r\n";
    bytes += "\r\n";
    bytes += answer.body;
    return bytes;
}
