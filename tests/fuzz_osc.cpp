// libFuzzer target: a datagram on the desk's OSC port, from anyone who can reach it. It is read
// with and without the token required (the first input byte chooses); what is read as a command
// is one the program takes as it stands: a command of the table, its argument within its range,
// and the token given wherever it is required. Build with the fuzz preset, then run for example
//   build/fuzz/tests/fuzz_osc -max_len=4100 tests/fuzz-seeds-osc
// (past the longest datagram read, so that the limit itself is fuzzed).

#include "remote/osc.h"
#include "support/fuzzcheck.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

const QByteArray kToken = "s3cret-Token";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const bool tokenRequired = (data[0] & 1) != 0;
    const QByteArrayView datagram(reinterpret_cast<const char *>(data + 1), static_cast<qsizetype>(size - 1));
    const auto read = osc::readCommand(datagram, kToken, tokenRequired);
    if (!read)
        return 0;
    check(datagram.size() <= osc::kLargestDatagram, "a datagram over the limit was read");
    check(!tokenRequired || datagram.contains(kToken), "a command without the token where it is required");
    const CommandArgument &argument = commandEntry(read->kind).argument;
    if (argument.kind == CommandArgument::Kind::Number)
        check(argument.admits(read->number), "a number out of its range");
    if (argument.kind == CommandArgument::Kind::Text)
        check(read->text.toUcs4().size() <= argument.most, "a message over its length");
    else
        check(read->text.isEmpty(), "a text on a command that takes none");
    return 0;
}
