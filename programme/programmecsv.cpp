#include "programme/programmefile.h"

#include "programme/csv.h"
#include "programme/programmefileparts.h"

#include <QStringDecoder>
#include <array>
#include <optional>

// The refusals every reader of the file shares.
using namespace programmefile;

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

// The keys of the optional line before the header, which gives the session's own fields in pairs
// ("セッション,午後の部,開始,13:00,転換,2:00"). None is a column's name, so a file without that line
// reads as it always did.
enum SessionKey { SessionTitle, SessionStart, SessionChangeover, SessionKeyCount };
constexpr std::array<std::pair<const char *, const char16_t *>, SessionKeyCount> kSessionKeys{{
    {"session", u"セッション"},
    {"start", u"開始"},
    {"changeover", u"転換"},
}};

template <std::size_t N>
std::optional<int> nameOf(const std::array<std::pair<const char *, const char16_t *>, N> &names,
                          const QString &cell)
{
    const QString name = cell.trimmed();
    for (std::size_t i = 0; i < N; ++i) {
        const auto &[english, japanese] = names[i];
        if (name.compare(QLatin1StringView(english), Qt::CaseInsensitive) == 0 ||
            name == QStringView(japanese))
            return static_cast<int>(i);
    }
    return std::nullopt;
}

std::optional<int> columnOf(const QString &heading)
{
    return nameOf(kColumnNames, heading);
}

bool isSessionLine(const CsvRecord &record)
{
    return nameOf(kSessionKeys, record.cells.value(0)).has_value();
}

// The session line's fields into `programme`, under the checks the programme window applies; a key
// with an empty value is as if it were not there.
Result<> readSessionLine(const CsvRecord &record, Programme &programme)
{
    const QString place = fieldcheck::programmePlace(record.line);
    std::array<qsizetype, SessionKeyCount> given;
    given.fill(-1);
    for (qsizetype i = 0; i < record.cells.size(); i += 2) {
        const QString &keyCell = record.cells.at(i);
        const QString value = record.cells.value(i + 1);
        const std::optional<int> key = nameOf(kSessionKeys, keyCell);
        if (!key && (!keyCell.trimmed().isEmpty() || !value.trimmed().isEmpty())) {
            QStringList keys;
            for (const auto &[english, japanese] : kSessionKeys)
                keys << QStringLiteral("%1／%2").arg(QLatin1StringView(english), QStringView(japanese));
            constexpr qsizetype kShown = 24; // a whole damaged line helps nobody
            const QString shown = keyCell.size() > kShown ? keyCell.left(kShown) + u'…' : keyCell;
            return Result<>::failure(
                QStringLiteral(
                    "%1の %2 列目 \"%3\" はセッション行の項目ではありません（書けるのは %4 です）。")
                    .arg(place, QString::number(i + 1), shown, keys.join(QStringLiteral("、"))));
        }
        if (!key || value.trimmed().isEmpty())
            continue;
        qsizetype &at = given[static_cast<std::size_t>(*key)];
        if (at >= 0) {
            return Result<>::failure(
                QStringLiteral("%1に「%2」が二つあります（%3 列目と %4 列目）。")
                    .arg(place, QStringView(kSessionKeys[static_cast<std::size_t>(*key)].second))
                    .arg(at + 1)
                    .arg(i + 1));
        }
        at = i;
        switch (*key) {
        case SessionTitle:
            if (const Result<> checked = fieldcheck::programmeTitle(value, place); !checked)
                return checked;
            programme.title = value;
            break;
        case SessionStart: {
            const Result<std::optional<int>> start = fieldcheck::plannedStart(value, place);
            if (!start)
                return Result<>::failure(start.error());
            programme.start = *start;
            break;
        }
        default: {
            const Result<std::optional<int>> changeover = fieldcheck::changeover(value, place);
            if (!changeover)
                return Result<>::failure(changeover.error());
            programme.changeover = *changeover;
            break;
        }
        }
    }
    return {};
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
    // The session line, the header and the talks allowed are kept; beyond them the records are only
    // counted.
    const CsvText csv = parseCsv(*text, kMostTalks + 2);
    if (csv.unclosedQuoteLine > 0)
        return refused(
            QStringLiteral("%1行目で始まる引用符（\"）が閉じていません。").arg(csv.unclosedQuoteLine));

    Programme programme;
    programme.folder = folder;
    const qsizetype header = !csv.records.isEmpty() && isSessionLine(csv.records.first()) ? 1 : 0;
    if (header > 0) {
        if (const Result<> read = readSessionLine(csv.records.first(), programme); !read)
            return refused(read.error());
    }

    std::array<qsizetype, ColumnCount> columns;
    columns.fill(-1);
    const QStringList headings = csv.records.value(header).cells;
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
    const qsizetype count = csv.count - header - 1;
    if (count == 0)
        return refused(noTalks());
    if (count > kMostTalks)
        return refused(tooMany(QStringLiteral("発表"), static_cast<int>(count), kMostTalks));
    const QList<CsvRecord> talks = csv.records.mid(header + 1);

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
