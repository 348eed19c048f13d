// libFuzzer target: a room's DNS-SD TXT record, as anyone on the local network may announce it. The
// input is the record as it travels (each string after its length byte); what is read as a room's
// announcement is one the overview may show as it stands: its room read back from exactly one
// "room" string, of a length and on one line, its event id and version in form. Build with the
// fuzz preset, then run for example
//   build/fuzz/tests/fuzz_dnssdtxt -max_len=4096 tests/fuzz-seeds-dnssd
// (past the longest record read, so that the limit itself is fuzzed).

#include "rooms/dnssd.h"
#include "support/fuzzcheck.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    QList<QByteArray> txt;
    qsizetype bytes = 0;
    for (std::size_t at = 0; at < size;) {
        const std::size_t length = std::min<std::size_t>(data[at], size - at - 1);
        txt.append(QByteArray(reinterpret_cast<const char *>(data + at + 1), static_cast<qsizetype>(length)));
        bytes += static_cast<qsizetype>(length);
        at += 1 + length;
    }
    const auto read = dnssd::checkedAnnouncement("room", txt, QStringLiteral("127.0.0.1"), 4242);
    if (!read)
        return 0;
    check(txt.size() <= dnssd::kMostTxtStrings && bytes <= dnssd::kMostTxtBytes, "a record over the limits");
    const QList<uint> characters = read->room.toUcs4();
    check(!characters.isEmpty() && characters.size() <= 40, "a room's name of the wrong length");
    for (const uint c : characters) {
        const QChar::Category category = QChar::category(static_cast<char32_t>(c));
        check(category != QChar::Other_Control && category != QChar::Separator_Line &&
                  category != QChar::Separator_Paragraph,
              "a room's name of more than one line");
    }
    int rooms = 0;
    for (const QByteArray &string : txt) {
        if (string.size() >= 4 && string.first(4).compare("room", Qt::CaseInsensitive) == 0 &&
            (string.size() == 4 || string.at(4) == '=')) {
            ++rooms;
            check(string.size() > 4 && string.sliced(5) == read->room.toUtf8(),
                  "a room's name other than the one sent");
        }
    }
    check(rooms == 1, "a room's name taken from a record that gives none, or several");
    check(dnssd::isEventId(read->eventId.toLatin1()), "an event id out of form");
    check(read->version >= 1 && read->version <= dnssd::kHighestVersion, "a version out of range");
    check(read->port == 4242 && read->service == QLatin1StringView("room"), "the port or name changed");
    // What is shown can be announced again, under a name that fits a label.
    check(dnssd::checkedRoom(read->room.toUtf8()) == read->room, "a room's name that does not read back");
    check(dnssd::checkedRoom(dnssd::instanceName(read->room)).has_value(),
          "an instance name cut inside a character");
    return 0;
}
