// libFuzzer target: the programme readers, JSON and CSV, on any bytes at all. Whatever they accept
// must be within every limit, save, and read back as the same programme; whatever they refuse must
// say why. Build with the fuzz preset, then run for example
//   build/fuzz/tests/fuzz_programme -max_len=4096 -runs=1000000 tests/fuzz-seeds-programme

#include "programme/programmefile.h"
#include "support/fuzzcheck.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

bool inRange(int value, int least, int most)
{
    return value >= least && value <= most;
}

void checkBells(const Bells &bells)
{
    for (const BellEntry &bell : bells) {
        check(bell.state == BellEntry::State::On || bell.at == 0, "a bell that is not on has a time");
        check(inRange(bell.at, 0, kLongestCount), "bell time in range");
        for (const std::optional<QString> &colour : {bell.background, bell.text})
            check(!colour || fieldcheck::colour(*colour, {}, {}).ok(), "bell colour from the lists");
        check(!bell.file || !bell.file->isEmpty(), "an empty file name is no file");
    }
}

void checkAccepted(const Programme &programme)
{
    check(inRange(static_cast<int>(programme.talks.size()), 1, kMostTalks), "1 to 200 talks");
    check(characterCount(programme.title) <= kLongestTitle, "programme title length");
    check(!programme.start || inRange(*programme.start, 0, 23 * 60 + 59), "start within the day");
    check(!programme.changeover || inRange(*programme.changeover, 0, kLongestCount), "changeover in range");
    check(programme.messages.size() <= kMostMessages, "at most 20 messages");
    for (const QString &message : programme.messages)
        check(inRange(characterCount(message), 1, kLongestMessage), "message length");
    checkBells(programme.defaultBells);
    for (qsizetype i = 0; i < programme.talks.size(); ++i) {
        const ProgrammeTalk &talk = programme.talks.at(i);
        check(inRange(talk.seconds, 1, kLongestCount), "talk time in range");
        check(characterCount(talk.title) <= kLongestTitle, "title length");
        check(characterCount(talk.speaker) <= kLongestSpeaker, "speaker length");
        checkBells(talk.bells);
        check(fieldcheck::talk(talk, {}).ok(), "an accepted talk passes the table's checks");
        const PreparedTalk prepared = prepareTalk(programme, static_cast<int>(i), PreparedTalk{});
        check(prepared.seconds == talk.seconds, "prepared time");
    }
}

void checkRead(const Result<Programme> &read, bool exactRoundTrip)
{
    if (!read.ok()) {
        check(read.error().endsWith(u'。'), "a refusal is a sentence");
        return;
    }
    const Programme &programme = *read;
    checkAccepted(programme);
    const QByteArray saved = programmeJson(programme);
    const Result<Programme> again = readProgrammeJson(saved, programme.folder);
    if (!again.ok())
        std::fprintf(stderr, "%s\n%s\n", saved.constData(), qPrintable(again.error()));
    check(again.ok(), "what was accepted and saved reads back");
    if (exactRoundTrip) {
        check(*again == programme, "saved and read back unchanged");
        return;
    }
    // A spreadsheet may leave a bell to start-up beside bells it gives, which JSON writes as off;
    // against a start-up with every bell off, each talk is prepared the same.
    check(programmeJson(*again) == saved, "saving again writes the same");
    for (qsizetype i = 0; i < programme.talks.size(); ++i) {
        const int index = static_cast<int>(i);
        check(prepareTalk(*again, index, PreparedTalk{}) == prepareTalk(programme, index, PreparedTalk{}),
              "a spreadsheet saved as JSON prepares the same");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QString folder = QStringLiteral("/talks");
    checkRead(readProgrammeJson(bytes, folder), true);
    checkRead(readProgrammeCsv(bytes, folder), false);
    return 0;
}
