#include "desk/deskcues.h"

#include "forms/shownfeed.h"
#include "forms/viewer.h"
#include "platform/platform.h"
#include "session/sessionparts.h"

#include <QJsonDocument>
#include <algorithm>

DeskCues::DeskCues(Viewer &viewer, SessionParts &session, Platform &platform, QObject *parent)
    : QObject(parent), viewer_(viewer), session_(session), platform_(platform),
      talk_(session.programme().talkNumber())
{
    connect(&viewer_, &Viewer::runStateChanged, this, &DeskCues::runStateChanged);
    connect(&viewer_, &Viewer::bellDue, this, [this](int number) {
        if (!firstTime(Moment::Bell, number))
            return;
        bell_ = number;
        // The tick is still writing the display: the screens learn of the bell once it is done.
        QMetaObject::invokeMethod(&viewer_.feed(), &ShownFeed::refresh, Qt::QueuedConnection);
        send("bell", {{QStringLiteral("bell"), number}});
    });
    connect(&viewer_, &Viewer::zeroReached, this, [this] {
        if (firstTime(Moment::Zero, 0))
            send("zero", {});
    });
    connect(&viewer_, &Viewer::overTimeHalfMinute, this, [this] {
        if (firstTime(Moment::OverTime, 0))
            send("overtime", {});
    });
    // Queued: the programme says it changed before the window shows the new talk's time.
    connect(&session_.programme(), &ProgrammeSession::changed, this, &DeskCues::talkMayHaveChanged,
            Qt::QueuedConnection);
    connect(&session_.message(), &SpeakerMessage::changed, this, [this](const QString &text) {
        send("message", {{QStringLiteral("text"), text}});
    });
    viewer_.feed().addPart(this, [this](Shown &shown) { shown.bell = bell_; });
}

bool DeskCues::firstTime(Moment moment, int number)
{
    // Both ticks of a second see its moments (two bells may share it); the desk hears of each once.
    const int second = viewer_.shown().remaining.value_or(0);
    if (second != second_) {
        second_ = second;
        seenThisSecond_.clear();
    }
    const std::pair seen{moment, number};
    if (std::find(seenThisSecond_.cbegin(), seenThisSecond_.cend(), seen) != seenThisSecond_.cend())
        return false;
    seenThisSecond_.push_back(seen);
    return true;
}

void DeskCues::runStateChanged(RunState from, RunState to, bool restarting)
{
    second_.reset();
    if (to == RunState::Running) {
        if (from == RunState::Setup)
            bell_ = 0;
        send(from == RunState::Paused ? "resume" : "start", {});
    } else if (to == RunState::Paused) {
        send("pause", {});
    } else {
        bell_ = 0;
        send(restarting ? "restart" : "reset", {});
    }
}

void DeskCues::talkMayHaveChanged()
{
    const int talk = session_.programme().talkNumber();
    if (talk == std::exchange(talk_, talk))
        return;
    send("talk", {{QStringLiteral("title"), viewer_.feed().compose().talk.value_or(TalkShown{}).title}});
}

void DeskCues::send(const char *event, const QJsonObject &extra)
{
    QJsonObject moment = extra;
    moment.insert(QStringLiteral("event"), QLatin1StringView(event));
    moment.insert(QStringLiteral("talk"), session_.programme().talkNumber());
    moment.insert(QStringLiteral("remaining"), viewer_.shown().remaining.value_or(0));
    // The local time with its offset, as a desk in another time zone would read it rightly.
    const QDateTime now = platform_.now();
    moment.insert(QStringLiteral("at"), now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODate));
    emit cue(QJsonDocument(moment).toJson(QJsonDocument::Compact));
}
