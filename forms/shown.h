#pragma once

#include "engine/runstate.h"

#include <QColor>
#include <QDateTime>
#include <QString>
#include <optional>

// What the audience's screens show, as one value: the main window makes it, and the projector
// window and the remote pages show it and nothing else. Header-only, so that everything that shows
// the time shares this one description of it.

// A talk of the programme as the screens name it.
struct TalkShown {
    int number = 0, count = 0; // 1-based, of how many
    QString title, speaker;
    // Initialised, so that a talk given only up to its speaker ({number, count, title, speaker})
    // leaves it empty without a missing-initializer warning.
    QString affiliation{};
    friend bool operator==(const TalkShown &, const TalkShown &) = default;
};

// The session at a glance: when it was planned to end, when it will end at this pace, and how far
// apart the two are.
struct SessionGlance {
    // The planned start (or, without one, the first talk's actual start) plus every talk's time and
    // the changeovers between them; unknown before either exists.
    std::optional<QDateTime> plannedEnd;
    // Now, plus what is left of the current talk (all of it before it starts), plus the talks after
    // it, each with the changeover before it.
    QDateTime projectedEnd;
    std::optional<qint64> behindSeconds; // projected end less planned end: positive is late
    friend bool operator==(const SessionGlance &, const SessionGlance &) = default;
};

struct Shown {
    QString text; // the big display's text
    QColor background, foreground;
    RunState state = RunState::Setup;
    std::optional<int> remaining; // signed seconds; nullopt before a total was first applied
    int bell = 0;                 // the last bell whose second this run has reached; 0: none yet
    QString message;              // to the speaker, under the time on the audience's screens; empty: none
    // What the band under the time shows: the message while there is one, else between talks the
    // talk about to start; empty: no band.
    QString band;
    std::optional<TalkShown> talk, next;  // of the programme; none without one, no next at the last talk
    std::optional<SessionGlance> session; // the session at a glance; none without a programme
    friend bool operator==(const Shown &, const Shown &) = default;
};
