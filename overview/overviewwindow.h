#pragma once

#include "overview/overviewmodel.h"
#include "remote/remotecommand.h"

#include <QFrame>
#include <QMap>
#include <QWidget>
#include <functional>

class QComboBox;
class QGridLayout;
class QLabel;
class QPushButton;
class RoomTile;

// Every room of the event at a glance: a tile per room, ordered by name or by how late each room
// is, with a minute more or less and a message for any of them. It shows what the model holds and
// asks for actions through `act`; it never reaches the network itself.
class OverviewWindow : public QWidget {
    Q_OBJECT
public:
    using Act = std::function<void(const RemoteCommand &, std::function<void(const CommandVerdict &)>)>;

    OverviewWindow(OverviewModel &model, Act act, QWidget *parent = nullptr);

    // The overview's own page, once it listens: shown for whoever walks the corridors with a phone.
    void showAddresses(const QString &view, const QString &control);

private:
    void refresh();
    void relayout(const QStringList &order);
    int columns() const;
    void resizeEvent(QResizeEvent *event) override;

    OverviewModel &model_;
    Act act_;
    QLabel *summary_;
    QLabel *addresses_;
    QLabel *viewCode_, *controlCode_;
    QPushButton *order_;
    QGridLayout *grid_;
    QMap<QString, RoomTile *> tiles_; // by the room's key
    QStringList shownOrder_;
    int shownColumns_ = 0;
};

// One room: its name, talk, time in its own colours, state, plan and message, and the actions.
class RoomTile : public QFrame {
    Q_OBJECT
public:
    RoomTile(OverviewWindow::Act act, QWidget *parent);
    void show(const overviewchannel::RoomChange &room);

    static constexpr int kOutcomeMs = 5000; // what the last action came to stays this long

private:
    void ask(RemoteCommand command, const QString &done);

    OverviewWindow::Act act_;
    QString room_;
    QLabel *name_, *talk_, *title_, *speaker_, *time_, *state_, *plan_, *message_, *outcome_;
    QComboBox *messages_;
    QStringList saved_;
};
