#include "remote/remoteserver.h"

#include "remote/channel.h"
#include "remote/remoteworker.h"

#include <utility>

namespace {

// A command's id outside the server: the start it belongs to above these bits, and its number
// within that start below them, so that an answer meant for a stopped server never reaches the next.
constexpr int kIdBits = 40;
constexpr quint64 kIdMask = (quint64{1} << kIdBits) - 1;

quint64 outerId(quint64 generation, quint64 id)
{
    return (generation << kIdBits) | (id & kIdMask);
}

} // namespace

RemoteServer::RemoteServer(QObject *parent) : QObject(parent), anchor_(new QObject)
{
    thread_.setObjectName(QStringLiteral("remote server"));
    anchor_->moveToThread(&thread_);
}

RemoteServer::~RemoteServer()
{
    stop();
    if (thread_.isRunning()) {
        // After every worker that was stopped has been deleted: events to one thread keep their order.
        QMetaObject::invokeMethod(
            anchor_, [] { QThread::currentThread()->quit(); }, Qt::QueuedConnection);
        thread_.wait();
    }
    delete anchor_;
}

void RemoteServer::start(const RemoteSettings &settings)
{
    stop();
    const RemoteSettings given = channel::withTokens(settings);
    viewToken_ = given.viewToken;
    controlToken_ = given.controlToken;
    clients_ = std::make_shared<std::atomic<int>>(0);
    if (!thread_.isRunning())
        thread_.start();

    auto *worker = new RemoteWorker(given, json_);
    worker->moveToThread(&thread_);
    const quint64 generation = ++generation_;
    connect(worker, &RemoteWorker::viewersChanged, worker,
            [clients = clients_](int count) { clients->store(count); });
    connect(
        worker, &RemoteWorker::listened, this,
        [this, generation](quint16 port, const QString &host, const QString &failure) {
            if (generation != generation_)
                return;
            if (!failure.isEmpty()) {
                stop();
                emit failed(failure);
                return;
            }
            port_ = port;
            host_ = host;
            emit started();
        },
        Qt::QueuedConnection);
    connect(
        worker, &RemoteWorker::commandRequested, this,
        [this, generation](const RemoteCommand &command, quint64 id) {
            if (generation == generation_)
                emit commandRequested(command, outerId(generation, id));
        },
        Qt::QueuedConnection);
    worker_ = worker;
    QMetaObject::invokeMethod(worker, &RemoteWorker::listen, Qt::QueuedConnection);
}

void RemoteServer::stop()
{
    if (!worker_)
        return;
    ++generation_; // whatever the old worker still says is dropped
    RemoteWorker *worker = std::exchange(worker_, nullptr);
    // On its own thread, before anything asked of the server after this; it closes the listening
    // socket and every connection with it.
    QMetaObject::invokeMethod(
        anchor_, [worker] { delete worker; }, Qt::QueuedConnection);
    port_ = 0;
    host_.clear();
    viewToken_.clear();
    controlToken_.clear();
    clients_.reset();
}

QString RemoteServer::viewUrl() const
{
    return isListening() ? channel::remoteUrl(host_, port_, QLatin1StringView(), viewToken_) : QString();
}

QString RemoteServer::controlUrl() const
{
    return isListening() ? channel::remoteUrl(host_, port_, QLatin1StringView("control"), controlToken_)
                         : QString();
}

void RemoteServer::publish(const QByteArray &json)
{
    json_ = json;
    if (RemoteWorker *worker = worker_)
        QMetaObject::invokeMethod(
            worker, [worker, json] { worker->publish(json); }, Qt::QueuedConnection);
}

void RemoteServer::settle(quint64 id, const CommandVerdict &verdict)
{
    RemoteWorker *worker = worker_;
    if (!worker || (id >> kIdBits) != generation_)
        return;
    const quint64 inner = id & kIdMask;
    QMetaObject::invokeMethod(
        worker, [worker, inner, verdict] { worker->settle(inner, verdict); }, Qt::QueuedConnection);
}

void RemoteServer::probe(std::function<void()> answered)
{
    if (!thread_.isRunning())
        return;
    QMetaObject::invokeMethod(
        anchor_,
        [this, answered = std::move(answered)] {
            QMetaObject::invokeMethod(this, answered, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}
