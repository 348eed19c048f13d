#include "remote/oscin.h"

#include "remote/complaint.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <vector>

namespace {

// Datagrams read in one turn of the event loop. A flood waits in the system's buffer (and is lost
// there when it is full) while the channel to the program, the probe and the cues get their turns.
constexpr int kBatch = 64;
constexpr int kWatchdogMs = 250;

OscIn::Clock steadyClock()
{
    return [timer = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }()] { return timer.elapsed(); };
}

} // namespace

OscIn::OscIn(Clock clock, QObject *parent)
    : QObject(parent), clock_(clock ? std::move(clock) : steadyClock()),
      complaint_(new Complaint(QStringLiteral("OSC in"), this))
{
    // What is left after a batch is read at the next turn: Qt watches the socket again after
    // every read, and says it is readable while anything is left.
    connect(&socket_, &QUdpSocket::readyRead, this, &OscIn::drain);
    // Qt stops watching the socket when it was woken for a datagram that is gone by the time it
    // looks (one with a bad checksum is dropped by the system only then), until the next read;
    // without this, a forged datagram would deafen the desk's port for good.
    watchdog_.setInterval(kWatchdogMs);
    connect(&watchdog_, &QTimer::timeout, this, [this] {
        if (!drained_ && socket_.hasPendingDatagrams())
            drain();
        drained_ = false;
    });
}

OscIn::~OscIn() = default;

Result<quint16> OscIn::listen(const QString &bind, quint16 port, const QString &token)
{
    const QHostAddress address(bind.isEmpty() ? QStringLiteral("127.0.0.1") : bind);
    if (address.isNull())
        return Result<quint16>::failure(QStringLiteral("OSC: invalid address \"%1\"").arg(bind));
    token_ = token.toUtf8();
    tokenRequired_ = !address.isLoopback();
    // Not shared: another socket on the same port would take datagrams meant for this one.
    if (!socket_.bind(address, port, QAbstractSocket::DontShareAddress))
        return Result<quint16>::failure(
            QStringLiteral("OSC port %1 on %2: %3").arg(port).arg(address.toString(), socket_.errorString()));
    watchdog_.start();
    return socket_.localPort();
}

void OscIn::drain()
{
    drained_ = true;
    // One byte more than is read: a longer datagram is cut to it, and so told from the longest read.
    QByteArray buffer(osc::kLargestDatagram + 1, Qt::Uninitialized);
    for (int read = 0; read < kBatch && socket_.hasPendingDatagrams(); ++read) {
        const qint64 size = socket_.readDatagram(buffer.data(), buffer.size());
        if (size < 0)
            break;
        const Result<RemoteCommand, osc::Loss> command =
            osc::readCommand(QByteArrayView(buffer.constData(), size), token_, tokenRequired_);
        if (!command) {
            lose(command.error());
            continue;
        }
        // Bounded as a control page's commands are, and counted apart from them.
        const qint64 now = clock_();
        forgetLate(now);
        if (awaited_.size() >= static_cast<std::size_t>(remotelimits::kCommandsInFlight)) {
            lose(osc::Loss::Waiting);
            continue;
        }
        if (!commandsThisSecond_.admit(now, remotelimits::kOscCommandsPerSecond)) {
            lose(osc::Loss::Second);
            continue;
        }
        const quint64 id = kFirstId | (next_++ & (kFirstId - 1));
        awaited_.emplace(id, now);
        emit commandRequested(*command, id);
    }
}

void OscIn::settle(quint64 id, const CommandVerdict &verdict)
{
    forgetLate(clock_());
    if (awaited_.erase(id) == 0)
        return; // counted as unanswered already
    if (verdict.status < 200 || verdict.status > 299)
        lose(osc::Loss::Refused,
             QStringLiteral("%1 %2").arg(verdict.status).arg(QString::fromUtf8(verdict.reason)));
}

void OscIn::forgetLate(qint64 now)
{
    std::vector<quint64> late;
    for (const auto &[id, since] : awaited_) {
        if (now - since >= remotelimits::kVerdictMs)
            late.push_back(id);
    }
    for (const quint64 id : late) {
        awaited_.erase(id);
        lose(osc::Loss::Late);
    }
}

void OscIn::lose(osc::Loss loss, const QString &detail)
{
    ++losses_[static_cast<std::size_t>(loss)];
    complaint_->add(osc::lossName(loss), detail);
}
