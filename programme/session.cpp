#include "programme/session.h"

#include <algorithm>

std::optional<SessionGlance> sessionGlance(const Programme &programme, const SessionProgress &progress)
{
    const qsizetype current = progress.currentTalk;
    if (current < 1 || current > programme.talks.size())
        return std::nullopt;
    const qint64 changeover = programme.changeover.value_or(0);
    const auto talkSeconds = [&](qsizetype number) { return qint64{programme.talks.at(number - 1).seconds}; };

    qint64 after = 0; // the talks after the current one, each with the changeover before it
    for (qsizetype number = current + 1; number <= programme.talks.size(); ++number)
        after += changeover + talkSeconds(number);
    SessionGlance glance;
    // In over-time nothing is left of the talk: the end moves on with the clock.
    const qint64 left = std::max<qint64>(0, progress.remainingSeconds.value_or(talkSeconds(current)));
    glance.projectedEnd = progress.now.addSecs(left + after);

    std::optional<QDateTime> begin = progress.firstStart;
    if (programme.start)
        begin = QDateTime(progress.now.date(), QTime(*programme.start / 60, *programme.start % 60));
    if (begin) {
        qint64 planned = changeover * (programme.talks.size() - 1);
        for (qsizetype number = 1; number <= programme.talks.size(); ++number)
            planned += talkSeconds(number);
        glance.plannedEnd = begin->addSecs(planned);
        glance.behindSeconds = glance.plannedEnd->secsTo(glance.projectedEnd);
    }
    return glance;
}

QString scheduleInWords(qint64 behindSeconds)
{
    const qint64 minutes = behindSeconds / 60; // towards zero
    if (minutes == 0)
        return QStringLiteral("予定どおり");
    return minutes > 0 ? QStringLiteral("予定より %1分 遅れ").arg(minutes)
                       : QStringLiteral("予定より %1分 早い").arg(-minutes);
}
