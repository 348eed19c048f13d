#include "remote/statejson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QJsonValue orNull(const QString &text)
{
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

template <typename T, typename Convert> QJsonValue orNull(const std::optional<T> &value, Convert convert)
{
    return value ? QJsonValue(convert(*value)) : QJsonValue();
}

QJsonValue talkJson(const std::optional<TalkShown> &talk, bool numbered)
{
    if (!talk)
        return QJsonValue::Null;
    QJsonObject fields{{QStringLiteral("title"), talk->title},
                       {QStringLiteral("speaker"), talk->speaker},
                       {QStringLiteral("affiliation"), talk->affiliation}};
    if (numbered) {
        fields.insert(QStringLiteral("number"), talk->number);
        fields.insert(QStringLiteral("count"), talk->count);
    }
    return fields;
}

QString clockOf(const QDateTime &moment)
{
    return moment.toString(QStringLiteral("HH:mm"));
}

} // namespace

QByteArray stateJson(const RemoteState &state, qint64 at)
{
    const Shown &shown = state.shown;
    QJsonObject object{
        {QStringLiteral("text"), shown.text},
        {QStringLiteral("background"), shown.background.name(QColor::HexRgb)},
        {QStringLiteral("foreground"), shown.foreground.name(QColor::HexRgb)},
        {QStringLiteral("state"), runStateKey(shown.state)},
        // In over-time the pages say so in words as well as in colours; `state` stays what existing
        // clients know.
        {QStringLiteral("stateText"),
         shown.state == RunState::Running && shown.remaining && *shown.remaining < 0
             ? QStringLiteral("超過中")
             : runStateWord(shown.state)},
        {QStringLiteral("remaining"), orNull(shown.remaining, [](int seconds) { return seconds; })},
        {QStringLiteral("bell"), shown.bell},
        {QStringLiteral("at"), at},
        {QStringLiteral("talk"), talkJson(shown.talk, true)},
        {QStringLiteral("next"), talkJson(shown.next, false)},
        {QStringLiteral("message"), orNull(shown.message)},
        {QStringLiteral("band"), orNull(shown.band)},
        {QStringLiteral("messages"), QJsonArray::fromStringList(state.messages)},
        {QStringLiteral("clock"), state.clock},
        {QStringLiteral("projector"), state.projector},
        {QStringLiteral("masked"), state.masked},
        {QStringLiteral("room"), orNull(state.room)},
    };
    QJsonValue session;
    if (const std::optional<SessionGlance> &glance = shown.session) {
        session = QJsonObject{
            {QStringLiteral("plannedEnd"), orNull(glance->plannedEnd, clockOf)},
            {QStringLiteral("projectedEnd"), clockOf(glance->projectedEnd)},
            {QStringLiteral("behindSeconds"), orNull(glance->behindSeconds, [](qint64 s) { return s; })},
        };
    }
    object.insert(QStringLiteral("session"), session);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}
