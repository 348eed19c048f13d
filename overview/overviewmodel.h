#pragma once

#include "overview/overviewchannel.h"

#include <QList>
#include <QObject>
#include <map>

// The rooms as the overview window shows them: the last word of each, and in which order.
class OverviewModel : public QObject {
    Q_OBJECT
public:
    enum class Order { Name, Lateness };

    void apply(const overviewchannel::RoomChange &change);
    void setOrder(Order order);
    Order order() const { return order_; }

    // Ordered: by room name; or latest first, offline rooms last, ties by name.
    QList<overviewchannel::RoomChange> rooms() const;
    int offlineCount() const;

signals:
    void changed();

private:
    std::map<QString, overviewchannel::RoomChange> rooms_;
    Order order_ = Order::Name;
};
