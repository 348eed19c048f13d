#pragma once

#include "engine/countlimits.h"
#include "engine/result.h"
#include "messages/messagelimits.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

// A programme: the talks of a session, prepared ahead and loaded one after another into the main
// window. These are the values as the file gives them; prepareTalk() turns one talk into what the
// window is set to.

inline constexpr int kMostTalks = 200;
inline constexpr int kLongestTitle = 200;   // characters, of a talk's title and of the programme's
inline constexpr int kLongestSpeaker = 100; // characters, of a speaker's name and of the affiliation
inline constexpr int kMostMessages = 20;
inline constexpr int kBells = 3;

// One bell of a talk or of the defaults. A field left out (nullopt) comes from the defaults, then
// from the window's state at start-up.
struct BellEntry {
    enum class State { NotGiven, Off, On };
    State state = State::NotGiven;
    int at = 0; // remaining seconds at which it rings; only when On
    std::optional<bool> sound;
    std::optional<bool> colours;
    std::optional<QString> background; // colour names as the colour lists show them
    std::optional<QString> text;
    std::optional<QString> file; // as written: a relative path is relative to the programme's folder
    QJsonObject unknown;         // fields of a later version, written back on saving
    friend bool operator==(const BellEntry &, const BellEntry &) = default;
};

// The over-time alert, field by field as for a bell.
struct AlertEntry {
    std::optional<bool> colours;
    std::optional<bool> word;
    std::optional<bool> bell;
    std::optional<QString> background;
    std::optional<QString> text;
    std::optional<QString> file;
    QJsonObject unknown;
    bool isEmpty() const { return *this == AlertEntry{}; }
    friend bool operator==(const AlertEntry &, const AlertEntry &) = default;
};

using Bells = std::array<BellEntry, kBells>;

struct ProgrammeTalk {
    QString title;
    QString speaker;
    QString affiliation; // the speaker's (所属)
    int seconds = 0;
    Bells bells; // all three not given: the defaults' bells
    AlertEntry alert;
    QJsonObject unknown;
    friend bool operator==(const ProgrammeTalk &, const ProgrammeTalk &) = default;
};

struct Programme {
    QString title;
    QString room;                  // the room the programme is for (A会場); empty: not said
    std::optional<int> start;      // planned start of the session, minutes after midnight
    std::optional<int> changeover; // planned seconds between two talks
    Bells defaultBells;
    AlertEntry defaultAlert;
    QJsonObject unknownDefaults;
    QList<ProgrammeTalk> talks;
    QStringList messages; // the saved messages to the speaker
    QJsonObject unknown;
    QString folder; // the programme file's folder, where relative sound files are found
    friend bool operator==(const Programme &, const Programme &) = default;
};

// What the main window is set to for a talk: every value complete, file paths absolute.
struct PreparedBell {
    bool on = false;
    qint16 at = 0;
    bool sound = false;
    bool colours = false;
    QString background, text, file;
    friend bool operator==(const PreparedBell &, const PreparedBell &) = default;
};
struct PreparedAlert {
    bool colours = false;
    bool word = false;
    bool bell = false;
    QString background, text, file;
    friend bool operator==(const PreparedAlert &, const PreparedAlert &) = default;
};
struct PreparedTalk {
    qint16 seconds = 0;
    std::array<PreparedBell, kBells> bells;
    PreparedAlert alert;
    friend bool operator==(const PreparedTalk &, const PreparedTalk &) = default;
};

// The talk at `index` (0-based) resolved field by field: the talk's own value, else the defaults',
// else `startUp` (the window as it is at start-up; its `seconds` is not used). The result depends
// on that talk alone, never on the talk prepared before it.
PreparedTalk prepareTalk(const Programme &programme, int index, const PreparedTalk &startUp);

// The sound files the talk at `index` names, itself or through the defaults, that are not there.
QStringList missingSoundFiles(const Programme &programme, int index);

// The window's set-up kept as a talk: each bell that is on and the alert with all their fields, so
// that it comes back the same whatever the defaults say; of a bell that is off the file keeps only
// that it is off. Out of range values are the caller's to refuse (fieldcheck::talk).
ProgrammeTalk talkFromSetup(const PreparedTalk &setup, const QString &title, const QString &speaker);

// "M:SS" (minutes without leading zeros, a minus sign before a negative time).
QString minutesSeconds(int seconds);
// A time of day in minutes after midnight as "H:MM" (13:00, 9:05).
QString hoursMinutes(int minutes);
// "M:SS" or "M" (seconds two digits 00 to 59), "H:MM:SS" as a spreadsheet writes a duration, or
// "12分30秒", "15分", "45秒"; full-width digits and colons as the plain ones. nullopt for any other
// text. Blanks around are allowed.
std::optional<int> parseMinutesSeconds(QStringView text);

// "発表者（所属）", either alone, or empty.
QString speakerWithAffiliation(const QString &speaker, const QString &affiliation);

// Characters as a reader counts them: a character outside the Basic Multilingual Plane is one.
int characterCount(QStringView text);

// The checks a talk's fields pass, in a file and in the table alike. Each refuses with one Japanese
// sentence naming `place` and the field; a time's check gives the seconds it read.
namespace fieldcheck {
// "3番目の発表", or with the line of a CSV file "3番目の発表（5行目）".
QString talkPlace(int number, int line = 0);
QString bellLabel(int bell); // 0-based: "予鈴1"

Result<int> talkTime(QStringView text, const QString &place);
Result<int> bellTime(QStringView text, const QString &place, int bell);
Result<> title(const QString &text, const QString &place);
Result<> speaker(const QString &text, const QString &place);
Result<> affiliation(const QString &text, const QString &place);
Result<> colour(const QString &name, const QString &place, const QString &field);
Result<> message(const QString &text, int number);

// The programme's own fields, as a CSV's session line and the programme window give them: text, a
// blank one leaving the field out. "プログラム", or with the line of a CSV file "プログラム（1行目）".
QString programmePlace(int line = 0);
Result<> programmeTitle(const QString &text, const QString &place);
// "H:MM" or "HH:MM", 0:00 to 23:59, in minutes after midnight.
Result<std::optional<int>> plannedStart(QStringView text, const QString &place);
// Seconds, typed as a talk's time is.
Result<std::optional<int>> changeover(QStringView text, const QString &place);

// Every field of a talk made elsewhere (the window's set-up) against the same limits; the first
// refusal in the order of the table's columns.
Result<> talk(const ProgrammeTalk &talk, const QString &place);

// The names of a bell's parts and of the alert's, as the window's captions have them.
struct PartLabels {
    QString sound, colours, word, background, text, file;
};
PartLabels bellParts(int bell);
PartLabels alertParts();

// The seconds of a time, refused when it cannot be read or lies outside `least`..`most`.
Result<int> time(QStringView text, const QString &place, const QString &field, int least, int most);
// The wording of two refusals, for the file's reader to give where it checks a field itself.
QString unreadable(const QString &place, const QString &field, QStringView text);
QString tooLong(const QString &place, const QString &field, int count, int most);
} // namespace fieldcheck
