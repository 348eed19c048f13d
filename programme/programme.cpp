#include "programme/programme.h"

#include "engine/colortable.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <vector>

namespace {

template <typename T> T pick(const std::optional<T> &own, const std::optional<T> &fallback, const T &startUp)
{
    return own ? *own : fallback ? *fallback : startUp;
}

// A file the programme names is found from the programme's folder; one from start-up is kept.
QString pickFile(const std::optional<QString> &own, const std::optional<QString> &fallback,
                 const QString &startUp, const QString &folder)
{
    const std::optional<QString> &named = own ? own : fallback;
    return named ? QDir::cleanPath(QDir(folder).absoluteFilePath(*named)) : startUp;
}

// The switch for colours, the two colours and the sound file, which a bell and the alert share.
template <typename Entry, typename Prepared>
void prepareLook(const Entry &own, const Entry &fallback, const Prepared &startUp, const QString &folder,
                 Prepared &look)
{
    look.colours = pick(own.colours, fallback.colours, startUp.colours);
    look.background = pick(own.background, fallback.background, startUp.background);
    look.text = pick(own.text, fallback.text, startUp.text);
    look.file = pickFile(own.file, fallback.file, startUp.file, folder);
}

// Neither a bell that is off nor one not given carries fields of its own, so a field comes from the
// talk's bell, else the defaults' same bell, else start-up.
PreparedBell prepareBell(const BellEntry &own, const BellEntry &fallback, const PreparedBell &startUp,
                         const QString &folder)
{
    using State = BellEntry::State;
    PreparedBell bell;
    const State state = own.state != State::NotGiven ? own.state : fallback.state;
    bell.on = state == State::NotGiven ? startUp.on : state == State::On;
    bell.at = own.state == State::On        ? static_cast<qint16>(own.at)
              : fallback.state == State::On ? static_cast<qint16>(fallback.at)
                                            : startUp.at;
    bell.sound = pick(own.sound, fallback.sound, startUp.sound);
    prepareLook(own, fallback, startUp, folder, bell);
    return bell;
}

PreparedAlert prepareAlert(const AlertEntry &own, const AlertEntry &fallback, const PreparedAlert &startUp,
                           const QString &folder)
{
    PreparedAlert alert;
    alert.word = pick(own.word, fallback.word, startUp.word);
    alert.bell = pick(own.bell, fallback.bell, startUp.bell);
    prepareLook(own, fallback, startUp, folder, alert);
    return alert;
}

template <typename Prepared, typename Entry> void keepLook(const Prepared &look, Entry &entry)
{
    entry.colours = look.colours;
    entry.background = look.background;
    entry.text = look.text;
    entry.file = look.file;
}

// A value quoted in a message is cut short: a whole line of a damaged file helps nobody.
QString quoted(QStringView text)
{
    constexpr qsizetype kShown = 24;
    return text.size() <= kShown ? text.toString() : text.left(kShown).toString() + QStringLiteral("…");
}

QString outOfRange(const QString &place, const QString &field, QStringView text, const QString &least,
                   const QString &most)
{
    return QStringLiteral("%1の「%2」\"%3\" は %4〜%5 の範囲にありません。")
        .arg(place, field, quoted(text), least, most);
}

// A text field of at most `most` characters.
Result<> notLongerThan(const QString &text, const QString &place, const QString &field, int most)
{
    const int count = characterCount(text);
    if (count > most)
        return Result<>::failure(fieldcheck::tooLong(place, field, count, most));
    return {};
}

// Whether a time passed, without the seconds it read.
Result<> valueless(const Result<int> &checked)
{
    return checked ? Result<>() : Result<>::failure(checked.error());
}

} // namespace

PreparedTalk prepareTalk(const Programme &programme, int index, const PreparedTalk &startUp)
{
    const ProgrammeTalk &talk = programme.talks.at(index);
    PreparedTalk prepared;
    prepared.seconds = static_cast<qint16>(talk.seconds);
    for (int bell = 0; bell < kBells; ++bell) {
        const auto b = static_cast<std::size_t>(bell);
        prepared.bells[b] =
            prepareBell(talk.bells[b], programme.defaultBells[b], startUp.bells[b], programme.folder);
    }
    prepared.alert = prepareAlert(talk.alert, programme.defaultAlert, startUp.alert, programme.folder);
    return prepared;
}

QStringList missingSoundFiles(const Programme &programme, int index)
{
    // Against a start-up without files, every file left is one the programme names.
    const PreparedTalk named = prepareTalk(programme, index, PreparedTalk{});
    QStringList missing;
    const auto check = [&](const QString &file) {
        if (!file.isEmpty() && !missing.contains(file) && !QFileInfo(file).isFile())
            missing << file;
    };
    for (const PreparedBell &bell : named.bells)
        check(bell.file);
    check(named.alert.file);
    return missing;
}

ProgrammeTalk talkFromSetup(const PreparedTalk &setup, const QString &title, const QString &speaker)
{
    ProgrammeTalk talk;
    talk.title = title;
    talk.speaker = speaker;
    talk.seconds = setup.seconds;
    for (std::size_t b = 0; b < talk.bells.size(); ++b) {
        const PreparedBell &from = setup.bells[b];
        BellEntry &bell = talk.bells[b];
        // A bell that is off is written as off: the file has no way to keep its other settings.
        bell.state = from.on ? BellEntry::State::On : BellEntry::State::Off;
        if (!from.on)
            continue;
        bell.at = from.at;
        bell.sound = from.sound;
        keepLook(from, bell);
    }
    talk.alert.word = setup.alert.word;
    talk.alert.bell = setup.alert.bell;
    keepLook(setup.alert, talk.alert);
    return talk;
}

QString minutesSeconds(int seconds)
{
    const int whole = std::abs(seconds);
    return QStringLiteral("%1%2:%3")
        .arg(seconds < 0 ? QStringLiteral("-") : QString())
        .arg(whole / 60)
        .arg(whole % 60, 2, 10, QLatin1Char('0'));
}

QString hoursMinutes(int minutes)
{
    return QStringLiteral("%1:%2").arg(minutes / 60).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

std::optional<int> parseMinutesSeconds(QStringView raw)
{
    // What a Japanese office types: full-width digits and colons (１２：３０) are the plain ones.
    const QString normal = raw.toString().normalized(QString::NormalizationForm_KC).trimmed();
    QStringView text(normal);
    const auto digits = [](QStringView part, qsizetype most) {
        return !part.isEmpty() && part.size() <= most &&
               std::all_of(part.begin(), part.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    };
    // "12分30秒", "15分", "45秒".
    if (text.endsWith(u'分') || text.endsWith(u'秒')) {
        const qsizetype minuteMark = text.indexOf(u'分');
        const QStringView minutes = minuteMark < 0 ? QStringView() : text.left(minuteMark);
        const QStringView rest = minuteMark < 0 ? text : text.mid(minuteMark + 1);
        const QStringView seconds = rest.endsWith(u'秒') ? rest.chopped(1) : rest;
        if ((minuteMark >= 0 && !digits(minutes, 5)) || (!rest.isEmpty() && !rest.endsWith(u'秒')) ||
            (rest.endsWith(u'秒') && (!digits(seconds, 2) || seconds.toInt() > 59)))
            return std::nullopt;
        return (minuteMark < 0 ? 0 : minutes.toInt() * 60) + (seconds.isEmpty() ? 0 : seconds.toInt());
    }
    // "M", "M:SS", and "H:MM:SS" as a spreadsheet writes a duration (0:12:30 is twelve minutes thirty).
    const QList<QStringView> parts = text.split(u':');
    const auto twoDigits = [&](QStringView part) {
        return part.size() == 2 && digits(part, 2) && part.toInt() <= 59;
    };
    if (parts.size() > 3 || !std::all_of(parts.begin() + 1, parts.end(), twoDigits))
        return std::nullopt;
    // Five digits of minutes reach far past any time allowed, and cannot overflow; so do three of hours.
    if (parts.size() == 3)
        return digits(parts[0], 3)
                   ? std::optional<int>(parts[0].toInt() * 3600 + parts[1].toInt() * 60 + parts[2].toInt())
                   : std::nullopt;
    if (!digits(parts[0], 5))
        return std::nullopt;
    return parts[0].toInt() * 60 + (parts.size() == 2 ? parts[1].toInt() : 0);
}

int characterCount(QStringView text)
{
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        ++count;
    }
    return static_cast<int>(count);
}

namespace fieldcheck {

QString talkPlace(int number, int line)
{
    return line > 0 ? QStringLiteral("%1番目の発表（%2行目）").arg(number).arg(line)
                    : QStringLiteral("%1番目の発表").arg(number);
}

QString bellLabel(int bell)
{
    return QStringLiteral("予鈴%1").arg(bell + 1);
}

QString unreadable(const QString &place, const QString &field, QStringView text)
{
    return QStringLiteral("%1の「%2」\"%3\" を読めません。").arg(place, field, quoted(text));
}

QString tooLong(const QString &place, const QString &field, int count, int most)
{
    return QStringLiteral("%1の「%2」は %3 文字までです（%4 文字あります）。")
        .arg(place, field, QString::number(most), QString::number(count));
}

Result<int> time(QStringView text, const QString &place, const QString &field, int least, int most)
{
    const std::optional<int> value = parseMinutesSeconds(text);
    if (!value)
        return Result<int>::failure(
            unreadable(place, field, text) +
            QStringLiteral("「12:30」「12」「12分30秒」「0:12:30」のように書いてください。"));
    if (*value < least || *value > most)
        return Result<int>::failure(
            outOfRange(place, field, text, minutesSeconds(least), minutesSeconds(most)));
    return *value;
}

Result<int> talkTime(QStringView text, const QString &place)
{
    return time(text, place, QStringLiteral("時間"), 1, kLongestCount);
}

Result<int> bellTime(QStringView text, const QString &place, int bell)
{
    return time(text, place, bellLabel(bell), 0, kLongestCount);
}

Result<> title(const QString &text, const QString &place)
{
    return notLongerThan(text, place, QStringLiteral("演題"), kLongestTitle);
}

Result<> speaker(const QString &text, const QString &place)
{
    return notLongerThan(text, place, QStringLiteral("発表者"), kLongestSpeaker);
}

Result<> affiliation(const QString &text, const QString &place)
{
    return notLongerThan(text, place, QStringLiteral("所属"), kLongestSpeaker);
}

Result<> colour(const QString &name, const QString &place, const QString &field)
{
    QStringList names;
    for (const NamedColor &entry : kColorTable) {
        if (name == QStringView(entry.name))
            return {};
        names << QString::fromUtf16(entry.name);
    }
    return Result<>::failure(QStringLiteral("%1の「%2」\"%3\" は色の一覧（%4）にありません。")
                                 .arg(place, field, quoted(name), names.join(u' ')));
}

Result<> message(const QString &text, int number)
{
    const int count = characterCount(text);
    if (count == 0)
        return Result<>::failure(QStringLiteral("%1番目のメッセージが空です。").arg(number));
    if (count > kLongestMessage) {
        return Result<>::failure(
            QStringLiteral("%1番目のメッセージは %2 文字までです（%3 文字あります）。")
                .arg(QString::number(number), QString::number(kLongestMessage), QString::number(count)));
    }
    return {};
}

QString programmePlace(int line)
{
    return line > 0 ? QStringLiteral("プログラム（%1行目）").arg(line) : QStringLiteral("プログラム");
}

Result<> programmeTitle(const QString &text, const QString &place)
{
    return notLongerThan(text, place, QStringLiteral("表題"), kLongestTitle);
}

Result<std::optional<int>> plannedStart(QStringView text, const QString &place)
{
    using Start = Result<std::optional<int>>;
    const QString field = QStringLiteral("開始予定");
    // Full-width digits and colon as the plain ones, as for a talk's time.
    const QString normal = text.toString().normalized(QString::NormalizationForm_KC).trimmed();
    if (normal.isEmpty())
        return std::optional<int>();
    const qsizetype colon = std::max<qsizetype>(normal.indexOf(u':'), 0); // refused below when none
    const QStringView hours = QStringView(normal).left(colon);
    const QStringView minutes = QStringView(normal).mid(colon + 1);
    const auto digits = [](QStringView part) {
        return std::all_of(part.begin(), part.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    };
    // A time of day, not a duration: "13" or "13分" would be read as a talk's time is, and wrongly.
    if (colon < 1 || colon > 2 || minutes.size() != 2 || !digits(hours) || !digits(minutes) ||
        minutes.toInt() > 59) {
        return Start::failure(unreadable(place, field, text) +
                              QStringLiteral("「9:30」「13:00」のように書いてください。"));
    }
    if (hours.toInt() > 23)
        return Start::failure(outOfRange(place, field, text, hoursMinutes(0), hoursMinutes(24 * 60 - 1)));
    return std::optional<int>(hours.toInt() * 60 + minutes.toInt());
}

Result<std::optional<int>> changeover(QStringView text, const QString &place)
{
    if (text.trimmed().isEmpty())
        return std::optional<int>();
    const Result<int> seconds = time(text, place, QStringLiteral("発表間の切り替え"), 0, kLongestCount);
    if (!seconds)
        return Result<std::optional<int>>::failure(seconds.error());
    return std::optional<int>(*seconds);
}

Result<> talk(const ProgrammeTalk &talk, const QString &place)
{
    std::vector<Result<>> checks{title(talk.title, place), speaker(talk.speaker, place),
                                 affiliation(talk.affiliation, place),
                                 valueless(talkTime(minutesSeconds(talk.seconds), place))};
    const auto colours = [&](const auto &entry, const PartLabels &labels) {
        if (entry.background)
            checks.push_back(colour(*entry.background, place, labels.background));
        if (entry.text)
            checks.push_back(colour(*entry.text, place, labels.text));
    };
    for (int bell = 0; bell < kBells; ++bell) {
        const BellEntry &entry = talk.bells[static_cast<std::size_t>(bell)];
        if (entry.state == BellEntry::State::On)
            checks.push_back(valueless(bellTime(minutesSeconds(entry.at), place, bell)));
        colours(entry, bellParts(bell));
    }
    colours(talk.alert, alertParts());
    const auto refused = std::find_if(checks.cbegin(), checks.cend(), [](const Result<> &c) { return !c; });
    return refused == checks.cend() ? Result<>() : *refused;
}

PartLabels bellParts(int bell)
{
    const QString name = bellLabel(bell);
    return {name + QStringLiteral("のベルを鳴らす"),
            name + QStringLiteral("の画面色の変化"),
            QString(),
            name + QStringLiteral("の背景"),
            name + QStringLiteral("の文字"),
            name + QStringLiteral("の音源ファイル")};
}

PartLabels alertParts()
{
    return {QStringLiteral("30秒毎の警告ベル"),
            QStringLiteral("超過時色設定"),
            QStringLiteral("30秒毎の『超過』の文字表示"),
            QStringLiteral("超過時の背景"),
            QStringLiteral("超過時の文字"),
            QStringLiteral("警告ベルの音源ファイル")};
}

} // namespace fieldcheck

QString speakerWithAffiliation(const QString &speaker, const QString &affiliation)
{
    return affiliation.isEmpty() ? speaker : speaker + QStringLiteral("（%1）").arg(affiliation);
}
