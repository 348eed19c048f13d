#include "programme/programmefile.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <algorithm>

namespace {

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

} // namespace

QByteArray programmeJson(const Programme &programme)
{
    JsonObjectText top;
    top.add(u"format", QString(kProgrammeFormat)).add(u"version", kProgrammeVersion);
    if (!programme.title.isEmpty())
        top.add(u"title", programme.title);
    if (!programme.room.isEmpty())
        top.add(u"room", programme.room);
    if (programme.start)
        top.add(u"start", hoursMinutes(*programme.start));
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
