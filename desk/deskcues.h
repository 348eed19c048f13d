#pragma once

#include "engine/runstate.h"

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <optional>
#include <utility>
#include <vector>

class Platform;
class SessionParts;
class Viewer;

// The moments of a talk the production desk hears of (its lights, sound and video follow them):
// a start, a pause, a resume, each bell, zero, each half minute of over-time, a reset or restart,
// another talk, a message shown or cleared. Each is one small JSON object, e.g.
// {"event":"bell","bell":2,"talk":3,"remaining":60,"at":"2026-12-08T14:03:27+09:00"}, made here
// from the window's and the session's signals and sent on by whoever listens; nothing here waits
// for the network. It also adds to what the screens show the last bell this run has passed.
class DeskCues : public QObject {
    Q_OBJECT
public:
    DeskCues(Viewer &viewer, SessionParts &session, Platform &platform, QObject *parent = nullptr);

signals:
    void cue(const QByteArray &json);

private:
    enum class Moment { Bell, Zero, OverTime };
    bool firstTime(Moment moment, int number);
    void runStateChanged(RunState from, RunState to, bool restarting);
    void talkMayHaveChanged();
    void send(const char *event, const QJsonObject &extra);

    Viewer &viewer_;
    SessionParts &session_;
    Platform &platform_;
    int bell_ = 0;
    int talk_ = 0;
    std::optional<int> second_;                          // the remaining second of the moments below
    std::vector<std::pair<Moment, int>> seenThisSecond_; // and the bells among them by number
};
