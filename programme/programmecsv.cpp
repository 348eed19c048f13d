#include "programme/programmefile.h"

#include "programme/csv.h"
#include "programme/programmefileparts.h"

#include <QStringDecoder>
#include <array>
#include <optional>

using programmefile::fieldMissing;
using programmefile::noTalks;
using programmefile::refused;
using programmefile::tooLarge;
using programmefile::tooMany;

namespace {

// The CSV columns, each named in English or in Japanese.
enum Column { Title, Speaker, Affiliation, Time, Bell1, Bell2, Bell3, ColumnCount };
constexpr std::array<std::pair<const char *, const char16_t *>, ColumnCount> kColumnNames{{
    {"title", u"演題"},
    {"speaker", u"発表者"},
    {"affiliation", u"所属"},
    {"time", u"時間"},
    {"bell1", u"予鈴1"},
    {"bell2", u"予鈴2"},
    {"bell3", u"予鈴3"},
}};

std::optional<int> columnOf(const QString &heading)
{
    const QString name = heading.trimmed();
    for (int column = 0; column < ColumnCount; ++column) {
        const auto &[english, japanese] = kColumnNames[static_cast<std::size_t>(column)];
        if (name.compare(QLatin1StringView(english), Qt::CaseInsensitive) == 0 ||
            name == QStringView(japanese))
            return column;
    }
    return std::nullopt;
}

// UTF-8 when the bytes are UTF-8 (with or without BOM), else Shift_JIS as Windows has it (CP932,
// with its circled digits and full-width tilde); nullopt when neither reads them whole.
std::optional<QString> decodeSpreadsheet(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    QStringDecoder shiftJis("windows-31j");
    if (!shiftJis.isValid())
        return std::nullopt;
    text = shiftJis.decode(bytes);
    if (shiftJis.hasError())
        return std::nullopt;
    return text;
}

} // namespace

Result<Programme> readProgrammeCsv(const QByteArray &bytes, const QString &folder)
{
    if (bytes.size() > kLargestProgrammeFile)
        return refused(tooLarge());
    const std::optional<QString> text = decodeSpreadsheet(bytes);
    if (!text)
        return refused(QStringLiteral("文字コードを読めません（UTF-8 か Shift_JIS で保存してください）。"));
    // The header and the talks allowed are kept; beyond them the records are only counted.
    const CsvText csv = parseCsv(*text, kMostTalks + 1);
    if (csv.unclosedQuoteLine > 0)
        return refused(
            QStringLiteral("%1行目で始まる引用符（\"）が閉じていません。").arg(csv.unclosedQuoteLine));

    std::array<qsizetype, ColumnCount> columns;
    columns.fill(-1);
    const QStringList headings = csv.records.isEmpty() ? QStringList() : csv.records.first().cells;
    for (qsizetype i = 0; i < headings.size(); ++i) {
        const std::optional<int> column = columnOf(headings.at(i));
        if (!column)
            continue;
        qsizetype &at = columns[static_cast<std::size_t>(*column)];
        if (at >= 0) {
            return refused(QStringLiteral("見出し行に「%1」の列が二つあります（%2 列目と %3 列目）。")
                               .arg(QStringView(kColumnNames[static_cast<std::size_t>(*column)].second))
                               .arg(at + 1)
                               .arg(i + 1));
        }
        at = i;
    }
    if (columns[Time] < 0)
        return refused(
            QStringLiteral("JSON でも、見出し行に「時間」（time）の列がある CSV でもありません。"));
    const qsizetype count = csv.count - 1;
    if (count == 0)
        return refused(noTalks());
    if (count > kMostTalks)
        return refused(tooMany(QStringLiteral("発表"), static_cast<int>(count), kMostTalks));
    const QList<CsvRecord> talks = csv.records.mid(1);

    Programme programme;
    programme.folder = folder;
    for (qsizetype i = 0; i < talks.size(); ++i) {
        const CsvRecord &record = talks.at(i);
        const QString place = fieldcheck::talkPlace(static_cast<int>(i) + 1, record.line);
        const auto cell = [&](int column) {
            return record.cells.value(columns[static_cast<std::size_t>(column)]);
        };
        ProgrammeTalk talk;
        talk.title = cell(Title);
        talk.speaker = cell(Speaker);
        talk.affiliation = cell(Affiliation);
        if (const Result<> checked = fieldcheck::title(talk.title, place); !checked)
            return refused(checked.error());
        if (const Result<> checked = fieldcheck::speaker(talk.speaker, place); !checked)
            return refused(checked.error());
        if (const Result<> checked = fieldcheck::affiliation(talk.affiliation, place); !checked)
            return refused(checked.error());
        const QString time = cell(Time);
        if (time.trimmed().isEmpty())
            return refused(fieldMissing(place, QStringLiteral("時間")));
        const Result<int> seconds = fieldcheck::talkTime(time, place);
        if (!seconds)
            return refused(seconds.error());
        talk.seconds = *seconds;
        for (int bell = 0; bell < kBells; ++bell) {
            // A missing column leaves the bell to start-up; an empty cell turns it off.
            BellEntry &entry = talk.bells[static_cast<std::size_t>(bell)];
            if (columns[static_cast<std::size_t>(Bell1 + bell)] < 0)
                continue;
            const QString at = cell(Bell1 + bell);
            entry.state = at.trimmed().isEmpty() ? BellEntry::State::Off : BellEntry::State::On;
            if (entry.state != BellEntry::State::On)
                continue;
            const Result<int> atSeconds = fieldcheck::bellTime(at, place, bell);
            if (!atSeconds)
                return refused(atSeconds.error());
            entry.at = *atSeconds;
        }
        programme.talks << talk;
    }
    return programme;
}
