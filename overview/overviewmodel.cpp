#include "overview/overviewmodel.h"

#include "overview/roomfeed.h"

#include <algorithm>

void OverviewModel::apply(const overviewchannel::RoomChange &change)
{
    if (change.gone) {
        if (rooms_.erase(change.key) == 0)
            return;
    } else {
        if (!rooms_.contains(change.key) && static_cast<int>(rooms_.size()) >= roomfeed::kMostRooms)
            return;
        rooms_[change.key] = change;
    }
    emit changed();
}

void OverviewModel::setOrder(Order order)
{
    if (order_ == order)
        return;
    order_ = order;
    emit changed();
}

QList<overviewchannel::RoomChange> OverviewModel::rooms() const
{
    QList<overviewchannel::RoomChange> ordered;
    for (const auto &[key, room] : rooms_)
        ordered.append(room);
    const auto byName = [](const overviewchannel::RoomChange &a, const overviewchannel::RoomChange &b) {
        const int named = QString::localeAwareCompare(a.room, b.room);
        return named != 0 ? named < 0 : a.key < b.key;
    };
    if (order_ == Order::Name) {
        std::sort(ordered.begin(), ordered.end(), byName);
        return ordered;
    }
    std::sort(ordered.begin(), ordered.end(), [&byName](const auto &a, const auto &b) {
        if (a.online != b.online)
            return a.online;
        const qint64 lateA = roomfeed::lateness(a.state), lateB = roomfeed::lateness(b.state);
        return lateA != lateB ? lateA > lateB : byName(a, b);
    });
    return ordered;
}

int OverviewModel::offlineCount() const
{
    return static_cast<int>(
        std::count_if(rooms_.begin(), rooms_.end(), [](const auto &entry) { return !entry.second.online; }));
}
