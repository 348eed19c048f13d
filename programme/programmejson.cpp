#include "programme/programmefile.h"

#include "programme/programmefileparts.h"
#include "rooms/roomname.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <cmath>
#include <initializer_list>
#include <type_traits>

// The refusals every reader of the file shares.
using namespace programmefile;

namespace {

const QString kTopPlace = QStringLiteral("プログラム");
const QString kDefaultsPlace = QStringLiteral("既定値");

QString wrongKind(const QString &place, const QString &field, const QString &kind)
{
    return QStringLiteral("%1の「%2」は%3で書いてください。").arg(place, field, kind);
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
        std::optional<QString> room;
        if (!string(top, u"room", kTopPlace, QStringLiteral("会場"), room))
            return false;
        programme.room = room.value_or(QString());
        if (!programme.room.isEmpty() && !isRoomName(programme.room)) {
            const int roomLength = characterCount(programme.room);
            return fail(roomLength > kLongestRoom
                            ? fieldcheck::tooLong(kTopPlace, QStringLiteral("会場"), roomLength, kLongestRoom)
                            : QStringLiteral("プログラムの「会場」は 1 行で書いてください。"));
        }
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
        programme.unknown = unknownFields(top, {"format", "version", "title", "room", "start", "changeover",
                                                "defaults", "talks", "messages"});
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
