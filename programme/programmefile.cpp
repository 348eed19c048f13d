#include "programme/programmefile.h"

#include "programme/csv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QStringDecoder>
#include <cmath>
#include <initializer_list>
#include <type_traits>

namespace {

const QString kTopPlace = QStringLiteral("プログラム");
const QString kDefaultsPlace = QStringLiteral("既定値");

QString fieldMissing(const QString &place, const QString &field)
{
    return QStringLiteral("%1に「%2」がありません。").arg(place, field);
}

QString wrongKind(const QString &place, const QString &field, const QString &kind)
{
    return QStringLiteral("%1の「%2」は%3で書いてください。").arg(place, field, kind);
}

QString tooMany(const QString &what, int count, int most)
{
    return QStringLiteral("%1は %2 件までです（%3 件あります）。")
        .arg(what, QString::number(most), QString::number(count));
}

QString tooLarge()
{
    return QStringLiteral("ファイルが大きすぎます（発表プログラムは 1 MiB までです）。");
}

QString noTalks()
{
    return QStringLiteral("発表が 1 件もありません。");
}

const QString kAsString = QStringLiteral("文字列");
const QString kAsTime = QStringLiteral("\"12:00\" のような文字列");
const QString kAsBool = QStringLiteral(" true か false ");
const QString kAsObject = QStringLiteral(" { } の形");
const QString kAsList = QStringLiteral(" [ ] のリスト");
const QString kAsBell = QStringLiteral("\"1:00\" のような文字列か { } の形、または null ");

const QString kAlertLabel = QStringLiteral("超過時の設定");

QJsonObject unknownFields(QJsonObject object, std::initializer_list<const char *> known)
{
    for (const char *key : known)
        object.remove(QLatin1StringView(key));
    return object;
}

// Reads the JSON form into a Programme, stopping at the first field it refuses. Its many small steps
// chain as bools with the reason kept in the reader, Qt's way: a Result from each would have to be
// unwrapped at every step.
class JsonReader {
public:
    const QString &errorString() const { return error_; }

    bool read(const QJsonObject &top, Programme &programme)
    {
        if (top.value(u"format") != QJsonValue(kProgrammeFormat)) {
            return fail(QStringLiteral(
                            "発表プログラムのファイルではありません（\"format\" が \"%1\" ではありません）。")
                            .arg(kProgrammeFormat));
        }
        if (!readVersion(top.value(u"version")))
            return false;
        QJsonValue talks;
        if (!typed(top, u"talks", QJsonValue::Array, kTopPlace, QStringLiteral("発表"), kAsList, talks))
            return false;
        const QJsonArray talkList = talks.toArray();
        if (talkList.isEmpty())
            return fail(noTalks());
        if (talkList.size() > kMostTalks)
            return fail(tooMany(QStringLiteral("発表"), static_cast<int>(talkList.size()), kMostTalks));

        std::optional<QString> title;
        if (!string(top, u"title", kTopPlace, QStringLiteral("表題"), title))
            return false;
        programme.title = title.value_or(QString());
        const int titleLength = characterCount(programme.title);
        if (titleLength > kLongestTitle)
            return fail(fieldcheck::tooLong(kTopPlace, QStringLiteral("表題"), titleLength, kLongestTitle));
        if (!time(top, u"start", kTopPlace, QStringLiteral("開始予定"), 0, 23 * 60 + 59, programme.start) ||
            !time(top, u"changeover", kTopPlace, QStringLiteral("発表間の切り替え"), 0, kLongestCount,
                  programme.changeover)) {
            return false;
        }

        QJsonValue defaults;
        if (!typed(top, u"defaults", QJsonValue::Object, kTopPlace, kDefaultsPlace, kAsObject, defaults))
            return false;
        if (!defaults.isUndefined()) {
            const QJsonObject object = defaults.toObject();
            if (!bells(object, kDefaultsPlace, programme.defaultBells) ||
                !alert(object, kDefaultsPlace, programme.defaultAlert)) {
                return false;
            }
            programme.unknownDefaults = unknownFields(object, {"bells", "alert"});
        }

        for (qsizetype i = 0; i < talkList.size(); ++i) {
            const QString place = fieldcheck::talkPlace(static_cast<int>(i) + 1);
            if (!talkList.at(i).isObject())
                return fail(QStringLiteral("%1は { } の形で書いてください。").arg(place));
            ProgrammeTalk talk;
            if (!readTalk(talkList.at(i).toObject(), place, talk))
                return false;
            programme.talks << talk;
        }

        if (!messages(top, programme.messages))
            return false;
        programme.unknown = unknownFields(
            top, {"format", "version", "title", "start", "changeover", "defaults", "talks", "messages"});
        return true;
    }

private:
    bool fail(const QString &message)
    {
        error_ = message;
        return false;
    }

    template <typename T> bool check(const Result<T> &checked)
    {
        return checked.ok() || fail(checked.error());
    }

    // The value a check gave, into `out`; false, with the refusal, when it gave none.
    template <typename T, typename Out> bool take(const Result<T> &checked, Out &out)
    {
        if (!check(checked))
            return false;
        out = checked.value();
        return true;
    }

    bool readVersion(const QJsonValue &value)
    {
        const QString field = QStringLiteral("版（version）");
        if (value.isUndefined())
            return fail(fieldMissing(kTopPlace, field));
        if (!value.isDouble())
            return fail(wrongKind(kTopPlace, field, QStringLiteral(" 1 のような数")));
        const double version = value.toDouble();
        if (version < 1 || version != std::floor(version))
            return fail(fieldcheck::unreadable(kTopPlace, field, QString::number(version)));
        if (version > kProgrammeVersion) {
            return fail(
                QStringLiteral(
                    "このファイルは新しい版（%1）の発表プログラムで、この版のポディウォッチでは読めません。")
                    .arg(version));
        }
        return true;
    }

    // An optional field: absent and null both leave it out.
    static bool given(const QJsonObject &object, QStringView key)
    {
        const QJsonValue value = object.value(key);
        return !value.isUndefined() && !value.isNull();
    }

    // The field when it is given and of the type asked for; undefined when it is not given. False,
    // with the refusal, for a field of another type.
    bool typed(const QJsonObject &object, QStringView key, QJsonValue::Type type, const QString &place,
               const QString &field, const QString &kind, QJsonValue &out)
    {
        out = given(object, key) ? object.value(key) : QJsonValue(QJsonValue::Undefined);
        return out.isUndefined() || out.type() == type || fail(wrongKind(place, field, kind));
    }

    // A text or a switch, as `T` says.
    template <typename T>
    bool optional(const QJsonObject &object, QStringView key, const QString &place, const QString &field,
                  std::optional<T> &out, const QString &kind)
    {
        constexpr bool isSwitch = std::is_same_v<T, bool>;
        QJsonValue value;
        if (!typed(object, key, isSwitch ? QJsonValue::Bool : QJsonValue::String, place, field, kind, value))
            return false;
        if (value.isUndefined())
            return true;
        if constexpr (isSwitch)
            out = value.toBool();
        else
            out = value.toString();
        return true;
    }

    bool string(const QJsonObject &object, QStringView key, const QString &place, const QString &field,
                std::optional<QString> &out, const QString &kind = kAsString)
    {
        return optional(object, key, place, field, out, kind);
    }

    bool boolean(const QJsonObject &object, QStringView key, const QString &place, const QString &field,
                 std::optional<bool> &out)
    {
        return optional(object, key, place, field, out, kAsBool);
    }

    bool colour(const QJsonObject &object, QStringView key, const QString &place, const QString &field,
                std::optional<QString> &out)
    {
        if (!string(object, key, place, field, out))
            return false;
        return !out || check(fieldcheck::colour(*out, place, field));
    }

    bool file(const QJsonObject &object, const QString &place, const QString &field,
              std::optional<QString> &out)
    {
        if (!string(object, u"file", place, field, out))
            return false;
        if (out && out->isEmpty())
            out.reset(); // an empty name chooses no file: the one from the defaults or start-up plays
        return true;
    }

    bool time(const QJsonObject &object, QStringView key, const QString &place, const QString &field,
              int least, int most, std::optional<int> &out)
    {
        std::optional<QString> text;
        if (!string(object, key, place, field, text, kAsTime))
            return false;
        if (!text)
            return true;
        return take(fieldcheck::time(*text, place, field, least, most), out);
    }

    // The switch for colours, the two colours and the sound file of a bell or of the alert.
    template <typename Entry>
    bool look(const QJsonObject &object, const QString &place, const fieldcheck::PartLabels &labels,
              Entry &out)
    {
        return boolean(object, u"colours", place, labels.colours, out.colours) &&
               colour(object, u"background", place, labels.background, out.background) &&
               colour(object, u"text", place, labels.text, out.text) &&
               file(object, place, labels.file, out.file);
    }

    bool readTalk(const QJsonObject &object, const QString &place, ProgrammeTalk &talk)
    {
        std::optional<QString> title, speaker, affiliation;
        if (!string(object, u"title", place, QStringLiteral("演題"), title) ||
            !string(object, u"speaker", place, QStringLiteral("発表者"), speaker) ||
            !string(object, u"affiliation", place, QStringLiteral("所属"), affiliation)) {
            return false;
        }
        talk.title = title.value_or(QString());
        talk.speaker = speaker.value_or(QString());
        talk.affiliation = affiliation.value_or(QString());
        if (!check(fieldcheck::title(talk.title, place)) ||
            !check(fieldcheck::speaker(talk.speaker, place)) ||
            !check(fieldcheck::affiliation(talk.affiliation, place))) {
            return false;
        }
        std::optional<int> seconds;
        if (!time(object, u"time", place, QStringLiteral("時間"), 1, kLongestCount, seconds))
            return false;
        if (!seconds)
            return fail(fieldMissing(place, QStringLiteral("時間")));
        talk.seconds = *seconds;
        if (!bells(object, place, talk.bells) || !alert(object, place, talk.alert))
            return false;
        talk.unknown = unknownFields(object, {"title", "speaker", "affiliation", "time", "bells", "alert"});
        return true;
    }

    bool bells(const QJsonObject &object, const QString &place, Bells &out)
    {
        QJsonValue value;
        if (!typed(object, u"bells", QJsonValue::Array, place, QStringLiteral("予鈴"), kAsList, value))
            return false;
        if (value.isUndefined())
            return true;
        const QJsonArray list = value.toArray();
        if (list.size() > kBells) {
            return fail(QStringLiteral("%1の「予鈴」は 3 つまでです（%2 個あります）。")
                            .arg(place, QString::number(list.size())));
        }
        // A list shorter than three leaves the bells it does not reach off.
        for (int i = 0; i < kBells; ++i) {
            BellEntry &bell = out[static_cast<std::size_t>(i)];
            bell = BellEntry{};
            bell.state = BellEntry::State::Off;
            if (i >= list.size() || list.at(i).isNull())
                continue;
            const QJsonValue entry = list.at(i);
            bell.state = BellEntry::State::On;
            if (entry.isString()) {
                if (!take(fieldcheck::bellTime(entry.toString(), place, i), bell.at))
                    return false;
            } else if (entry.isObject()) {
                if (!bellObject(entry.toObject(), place, i, bell))
                    return false;
            } else {
                return fail(wrongKind(place, fieldcheck::bellLabel(i), kAsBell));
            }
        }
        return true;
    }

    bool bellObject(const QJsonObject &object, const QString &place, int i, BellEntry &bell)
    {
        const QString label = fieldcheck::bellLabel(i);
        if (!given(object, u"at"))
            return fail(QStringLiteral("%1の「%2」に時間（\"at\"）がありません。").arg(place, label));
        const QJsonValue at = object.value(u"at");
        if (!at.isString())
            return fail(wrongKind(place, label, kAsTime));
        if (!take(fieldcheck::bellTime(at.toString(), place, i), bell.at))
            return false;
        const fieldcheck::PartLabels labels = fieldcheck::bellParts(i);
        if (!boolean(object, u"sound", place, labels.sound, bell.sound) || !look(object, place, labels, bell))
            return false;
        bell.unknown = unknownFields(object, {"at", "sound", "colours", "background", "text", "file"});
        return true;
    }

    bool alert(const QJsonObject &object, const QString &place, AlertEntry &out)
    {
        QJsonValue value;
        if (!typed(object, u"alert", QJsonValue::Object, place, kAlertLabel, kAsObject, value))
            return false;
        if (value.isUndefined())
            return true;
        const QJsonObject alert = value.toObject();
        const fieldcheck::PartLabels labels = fieldcheck::alertParts();
        if (!boolean(alert, u"word", place, labels.word, out.word) ||
            !boolean(alert, u"bell", place, labels.sound, out.bell) || !look(alert, place, labels, out)) {
            return false;
        }
        out.unknown = unknownFields(alert, {"colours", "word", "bell", "background", "text", "file"});
        return true;
    }

    bool messages(const QJsonObject &top, QStringList &out)
    {
        QJsonValue value;
        if (!typed(top, u"messages", QJsonValue::Array, kTopPlace, QStringLiteral("メッセージ"), kAsList,
                   value))
            return false;
        const QJsonArray list = value.toArray();
        if (list.size() > kMostMessages)
            return fail(tooMany(QStringLiteral("メッセージ"), static_cast<int>(list.size()), kMostMessages));
        for (qsizetype i = 0; i < list.size(); ++i) {
            const int number = static_cast<int>(i) + 1;
            if (!list.at(i).isString())
                return fail(QStringLiteral("%1番目のメッセージは文字列で書いてください。").arg(number));
            if (!check(fieldcheck::message(list.at(i).toString(), number)))
                return false;
            out << list.at(i).toString();
        }
        return true;
    }

    QString error_;
};

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

Result<Programme> refused(const QString &message)
{
    return Result<Programme>::failure(message);
}

// The JSON writer: fields in a fixed order, objects of a talk on one line, and Qt's own escaping.
QByteArray jsonValue(const QJsonValue &value)
{
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

class JsonObjectText {
public:
    JsonObjectText &add(QStringView key, const QJsonValue &value) { return addText(key, jsonValue(value)); }
    JsonObjectText &addText(QStringView key, const QByteArray &text)
    {
        fields_ << jsonValue(key.toString()) + ": " + text;
        return *this;
    }
    template <typename T> JsonObjectText &add(QStringView key, const std::optional<T> &value)
    {
        return value ? add(key, QJsonValue(*value)) : *this;
    }
    JsonObjectText &addUnknown(const QJsonObject &unknown)
    {
        for (auto it = unknown.constBegin(); it != unknown.constEnd(); ++it)
            add(it.key(), it.value());
        return *this;
    }
    // The colours and the sound file of a bell or the alert, then the fields of a later version.
    template <typename Entry> JsonObjectText &addLook(const Entry &entry)
    {
        return add(u"background", entry.background)
            .add(u"text", entry.text)
            .add(u"file", entry.file)
            .addUnknown(entry.unknown);
    }
    bool isEmpty() const { return fields_.isEmpty(); }
    qsizetype size() const { return fields_.size(); }
    QByteArray line() const { return "{ " + fields_.join(", ") + " }"; }
    QByteArray block(const QByteArray &indent) const
    {
        return "{\n" + indent + fields_.join(",\n" + indent) + "\n}\n";
    }

private:
    QByteArrayList fields_;
};

QByteArray bellsText(const Bells &bells)
{
    QByteArrayList entries;
    for (const BellEntry &bell : bells) {
        if (bell.state != BellEntry::State::On) {
            // A bell the list does not give is off, as far as the file can say.
            entries << "null";
            continue;
        }
        const QJsonValue at(minutesSeconds(bell.at));
        JsonObjectText object;
        object.add(u"at", at).add(u"sound", bell.sound).add(u"colours", bell.colours).addLook(bell);
        // A bell that gives nothing but its time is written as the time.
        entries << (object.size() == 1 ? jsonValue(at) : object.line());
    }
    return "[" + entries.join(", ") + "]";
}

bool anyGiven(const Bells &bells)
{
    return std::any_of(bells.cbegin(), bells.cend(),
                       [](const BellEntry &bell) { return bell.state != BellEntry::State::NotGiven; });
}

void addBellsAndAlert(JsonObjectText &object, const Bells &bells, const AlertEntry &alert)
{
    if (anyGiven(bells))
        object.addText(u"bells", bellsText(bells));
    if (!alert.isEmpty()) {
        JsonObjectText text;
        text.add(u"colours", alert.colours).add(u"word", alert.word).add(u"bell", alert.bell).addLook(alert);
        object.addText(u"alert", text.line());
    }
}

QString startText(int minutes)
{
    return QStringLiteral("%1:%2").arg(minutes / 60).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

Result<Programme> readProgrammeJson(const QByteArray &bytes, const QString &folder)
{
    if (bytes.size() > kLargestProgrammeFile)
        return refused(tooLarge());
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error == QJsonParseError::IllegalUTF8String)
        return refused(QStringLiteral("文字コードを読めません（JSON は UTF-8 で保存してください）。"));
    if (parseError.error != QJsonParseError::NoError) {
        const qsizetype line = bytes.left(parseError.offset).count('\n') + 1;
        return refused(QStringLiteral("%1行目に JSON の書き方の誤りがあり、読めません。").arg(line));
    }
    if (!document.isObject())
        return refused(
            QStringLiteral("発表プログラムのファイルではありません（全体が { } の形ではありません）。"));
    Programme programme;
    programme.folder = folder;
    JsonReader reader;
    if (!reader.read(document.object(), programme))
        return refused(reader.errorString());
    return programme;
}

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

Result<Programme> readProgrammeFile(const QString &path)
{
    const QFileInfo info(path);
    const QString name = info.fileName();
    if (!info.exists())
        return refused(QStringLiteral("ファイル「%1」が見つかりません。").arg(name));
    // Opening a pipe or a device could wait for ever.
    if (!info.isFile())
        return refused(QStringLiteral("「%1」は普通のファイルではないので読めません。").arg(name));
    if (info.size() > kLargestProgrammeFile)
        return refused(tooLarge());
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refused(QStringLiteral("ファイル「%1」を開けません。").arg(name));
    // One byte more than allowed tells a file that grew since it was looked at.
    const QByteArray bytes = file.read(std::min(info.size(), kLargestProgrammeFile) + 1);
    const QString folder = info.absolutePath();
    const QString suffix = info.suffix().toLower();
    if (suffix == u"json")
        return readProgrammeJson(bytes, folder);
    if (suffix == u"csv")
        return readProgrammeCsv(bytes, folder);
    const QByteArray start = (bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes).trimmed();
    return start.startsWith('{') ? readProgrammeJson(bytes, folder) : readProgrammeCsv(bytes, folder);
}

QByteArray programmeJson(const Programme &programme)
{
    JsonObjectText top;
    top.add(u"format", QString(kProgrammeFormat)).add(u"version", kProgrammeVersion);
    if (!programme.title.isEmpty())
        top.add(u"title", programme.title);
    if (programme.start)
        top.add(u"start", startText(*programme.start));
    if (programme.changeover)
        top.add(u"changeover", minutesSeconds(*programme.changeover));
    JsonObjectText defaults;
    addBellsAndAlert(defaults, programme.defaultBells, programme.defaultAlert);
    defaults.addUnknown(programme.unknownDefaults);
    if (!defaults.isEmpty())
        top.addText(u"defaults", defaults.line());
    QByteArrayList talks;
    for (const ProgrammeTalk &talk : programme.talks) {
        JsonObjectText object;
        object.add(u"title", talk.title).add(u"speaker", talk.speaker);
        // Left out when empty, as most talks of a session are: a file written by the version before
        // it stays as it was when saved again.
        if (!talk.affiliation.isEmpty())
            object.add(u"affiliation", talk.affiliation);
        object.add(u"time", minutesSeconds(talk.seconds));
        addBellsAndAlert(object, talk.bells, talk.alert);
        object.addUnknown(talk.unknown);
        talks << object.line();
    }
    top.addText(u"talks", "[\n    " + talks.join(",\n    ") + "\n  ]");
    if (!programme.messages.isEmpty())
        top.add(u"messages", QJsonArray::fromStringList(programme.messages));
    top.addUnknown(programme.unknown);
    return top.block("  ");
}

Programme programmeSavedAt(const Programme &programme, const QString &path)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (QDir::cleanPath(programme.folder) == folder)
        return programme;
    Programme moved = programme;
    moved.folder = folder;
    const auto anchor = [&](std::optional<QString> &file) {
        if (file && QDir::isRelativePath(*file))
            file = QDir::cleanPath(QDir(programme.folder).absoluteFilePath(*file));
    };
    const auto anchorAll = [&](Bells &bells, AlertEntry &alert) {
        for (BellEntry &bell : bells)
            anchor(bell.file);
        anchor(alert.file);
    };
    anchorAll(moved.defaultBells, moved.defaultAlert);
    for (ProgrammeTalk &talk : moved.talks)
        anchorAll(talk.bells, talk.alert);
    return moved;
}

Result<> saveProgrammeFile(const Programme &programme, const QString &path)
{
    // A file without talks could not be opened again.
    if (programme.talks.isEmpty())
        return Result<>::failure(QStringLiteral("発表が 1 件もないので保存できません。"));
    QSaveFile file(path);
    const QByteArray text = programmeJson(programmeSavedAt(programme, path));
    // Qt 6.4's commit() does not notice a buffered write that fails when it flushes (a full disk),
    // and puts the cut file in place of the old one: flush first and give up on failure.
    if (file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.flush() && file.commit())
        return {};
    return Result<>::failure(QStringLiteral("「%1」に保存できなかったため、元のファイルはそのままです。")
                                 .arg(QFileInfo(path).fileName()));
}
