#include "programme/recordqueue.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QMutex>
#include <QThread>
#include <QWaitCondition>
#include <deque>
#include <optional>
#include <utility>

// What the window's thread and the writing thread share, all but the Sync under the mutex. Held by
// the writing thread as well, so that one the queue's end could not wait for still has it.
struct RecordQueue::Shared {
    explicit Shared(RecordWriter::Sync writersSync) : sync(std::move(writersSync)) {}

    const RecordWriter::Sync sync;
    QMutex mutex;
    QWaitCondition wake;
    std::deque<std::pair<QString, TalkRun>> waiting;
    int pending = 0;              // waiting, and the one being written
    RecordQueue *owner = nullptr; // told how each went; none once the queue is ending
    bool ending = false;          // write what is waiting, then stop
    bool abandoned = false;       // the end could wait no longer: stop after the run in hand
};

RecordQueue::RecordQueue(RecordWriter::Sync sync, QObject *parent)
    : QObject(parent), shared_(std::make_shared<Shared>(std::move(sync)))
{
    shared_->owner = this;
    thread_.reset(QThread::create(&RecordQueue::work, shared_));
    thread_->setObjectName(QStringLiteral("record"));
    thread_->start();
}

RecordQueue::~RecordQueue()
{
    {
        const QMutexLocker lock(&shared_->mutex);
        shared_->owner = nullptr;
        shared_->ending = true;
    }
    shared_->wake.wakeAll();
    if (thread_->wait(QDeadlineTimer(kEndWait)))
        return;
    // A disk that hangs. Lost: the run being written, which may or may not reach the disk, and every
    // run waiting behind it, the talk the exit ended among them; no signal tells of any of them.
    // The thread is left to finish that one run if its disk ever answers, and writes nothing after
    // it. A QThread still running must not be destroyed: it deletes itself once it has finished,
    // given an event loop; at exit it is simply left.
    const QMutexLocker lock(&shared_->mutex);
    shared_->abandoned = true;
    QThread *const stuck = thread_.release();
    connect(stuck, &QThread::finished, stuck, &QObject::deleteLater);
}

bool RecordQueue::append(const QString &path, const TalkRun &run)
{
    {
        const QMutexLocker lock(&shared_->mutex);
        if (shared_->pending < kMostPending) {
            shared_->waiting.emplace_back(path, run);
            ++shared_->pending;
            shared_->wake.wakeOne();
            return true;
        }
    }
    // Told as a write that failed is, later from the event loop, so that whoever handles failed()
    // is never called back from inside its own append().
    const QString reason =
        QStringLiteral("記録ファイル「%1」への書き込みが滞っていて、この記録は書き込めません。")
            .arg(QFileInfo(path).fileName());
    QMetaObject::invokeMethod(
        this, [this, path, reason] { emit failed(path, reason); }, Qt::QueuedConnection);
    return false;
}

void RecordQueue::work(const std::shared_ptr<Shared> &shared)
{
    // Kept as long as the runs go to the same file: it holds the lines a full disk refused, to be
    // written with the next run that can be.
    std::optional<RecordWriter> writer;
    QMutexLocker lock(&shared->mutex);
    for (;;) {
        while (shared->waiting.empty() && !shared->ending)
            shared->wake.wait(&shared->mutex);
        if (shared->waiting.empty() || shared->abandoned)
            return;
        const QString path = std::move(shared->waiting.front().first);
        const TalkRun run = std::move(shared->waiting.front().second);
        shared->waiting.pop_front();
        lock.unlock();
        if (!writer || writer->path() != path)
            writer.emplace(path, shared->sync);
        const bool done = writer->append(run);
        const QString reason = writer->errorString();
        lock.relock();
        --shared->pending;
        if (shared->abandoned)
            return;
        // Posted while the mutex is held: the queue's end clears the owner under it, so the owner
        // is alive here, and what is posted to it is dropped when it is destroyed.
        if (RecordQueue *const owner = shared->owner) {
            if (done)
                QMetaObject::invokeMethod(
                    owner, [owner, path] { emit owner->written(path); }, Qt::QueuedConnection);
            else
                QMetaObject::invokeMethod(
                    owner, [owner, path, reason] { emit owner->failed(path, reason); }, Qt::QueuedConnection);
        }
    }
}
