#pragma once

#include "forms/shown.h"
#include "programme/programme.h"

#include <QDateTime>
#include <optional>

// The session at a glance: when it was planned to end, when it will end at this pace, and how far
// apart the two are. Shown in the programme window and sent to the remote pages.

struct SessionProgress {
    int currentTalk = 0;                 // 1-based; 0 without a programme
    std::optional<int> remainingSeconds; // of the current talk once started; negative in over-time
    std::optional<QDateTime> firstStart; // when the session's first talk actually started
    QDateTime now;
};

// nullopt without a programme or with a current talk that is not in it.
std::optional<SessionGlance> sessionGlance(const Programme &programme, const SessionProgress &progress);

// "予定どおり" within a minute either way, else "予定より 4分 遅れ" or "予定より 2分 早い", in whole
// minutes rounded towards zero, so that the words never claim more than has happened.
QString scheduleInWords(qint64 behindSeconds);
