#pragma once

#include "overview/overviewchannel.h"
#include "remote/channel.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QTimer>
#include <functional>
#include <map>

// The overview's network side as the window holds it: podiumwatch-overview, started with the
// window. What it says is read as carefully as what a stranger sends. When it dies it is started
// again with the same settings (the same page addresses), a few times a minute at most.
class OverviewProcess : public QObject {
    Q_OBJECT
public:
    explicit OverviewProcess(QString path, QObject *parent = nullptr);
    ~OverviewProcess() override;

    void start(const overviewchannel::Configure &configure);
    // An action of a tile; `answered` gets the room's verdict (503 if the process went first).
    void act(const RemoteCommand &command, std::function<void(const CommandVerdict &)> answered);

    static constexpr int kFailuresGivenUp = 5; // within a minute

signals:
    void roomChanged(const overviewchannel::RoomChange &change);
    void listening(const QString &host, quint16 port);
    void failed(const QString &reason);

private:
    void launch();
    void read();
    bool take(const channel::Message &message);
    void lost(const QString &why);

    QString path_;
    overviewchannel::Configure configure_;
    QPointer<QProcess> process_;
    channel::Reader reader_{overviewchannel::kLargest};
    std::map<quint64, std::function<void(const CommandVerdict &)>> asked_;
    quint64 nextId_ = 0;
    QList<qint64> failures_;
    QElapsedTimer clock_;
    QTimer retry_;
};
