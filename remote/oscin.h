#pragma once

#include "engine/result.h"
#include "remote/osc.h"
#include "remote/remotecommand.h"
#include "remote/remotelimits.h"

#include <QObject>
#include <QTimer>
#include <QUdpSocket>
#include <array>
#include <functional>
#include <unordered_map>

class Complaint;

// The desk's OSC commands: one UDP socket, read on the thread it lives on (the server's process's
// main thread), each datagram read by osc::readCommand. What is passed on is bound like a control
// page's commands: so many a second, so many waiting for the program's answer; the rest, and every
// datagram that asks for nothing, is dropped and counted by reason, with a line on standard error
// at most once a minute. Nothing is answered to the sender: a forged source address would make
// this process send to a stranger.
class OscIn : public QObject {
    Q_OBJECT
public:
    // A steady clock's milliseconds: the limits a second and the time the program has to answer.
    using Clock = std::function<qint64()>;

    // Its ids for the program's answers: at and above this, below what a JSON number holds exactly.
    // The HTTP server's ids are its start's number shifted by 40 bits; it is started once per
    // process, so they stay far below.
    static constexpr quint64 kFirstId = quint64{1} << 52;
    static bool ownsId(quint64 id) { return id >= kFirstId; }

    explicit OscIn(Clock clock = {}, QObject *parent = nullptr);
    ~OscIn() override;

    // Listens on `bind` (empty: 127.0.0.1); beyond the loopback every message must carry `token`.
    // The port it listens on, or why it cannot.
    Result<quint16> listen(const QString &bind, quint16 port, const QString &token);
    // The program's answer to the command of that id.
    void settle(quint64 id, const CommandVerdict &verdict);
    // Since listen(), by reason.
    qint64 lost(osc::Loss loss) const { return losses_[static_cast<std::size_t>(loss)]; }

signals:
    // To be answered with settle() within remotelimits::kVerdictMs.
    void commandRequested(const RemoteCommand &command, quint64 id);

private:
    void drain();
    void lose(osc::Loss loss, const QString &detail = {});
    void forgetLate(qint64 now);

    Clock clock_;
    QUdpSocket socket_{this};
    QByteArray token_;
    bool tokenRequired_ = false;
    QTimer watchdog_{this};
    bool drained_ = false;                        // since the watchdog last looked
    std::unordered_map<quint64, qint64> awaited_; // id, when it was passed on
    quint64 next_ = 0;
    PerSecond commandsThisSecond_;
    std::array<qint64, osc::kLosses> losses_{};
    Complaint *complaint_;
};
