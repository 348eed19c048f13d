#pragma once

#include "programme/record.h"

#include <QObject>
#include <QString>
#include <chrono>
#include <memory>

class QThread;

// The record written away from the window's thread: a disk that takes seconds to sync would
// otherwise hold the clock's tick at the end of every talk. Runs handed to append() are written
// in the order they came, each by a thread of the queue's own; how each went comes back as a
// signal, emitted on the thread the queue lives in.
class RecordQueue : public QObject {
    Q_OBJECT

public:
    // Runs accepted and not yet written, the one being written among them. A disk that has not
    // answered for this many talks is not going to; more would only be lost at exit as well.
    static constexpr int kMostPending = 256;
    // How long the queue's end waits for what it holds to be written: long enough for a slow
    // disk, short enough that one that hangs does not keep the program from ending.
    static constexpr std::chrono::milliseconds kEndWait{3000};

    // The Sync is each writer's: a test holds the writing thread with it.
    explicit RecordQueue(RecordWriter::Sync sync = RecordWriter::syncToDisk, QObject *parent = nullptr);
    // Writes what is queued before it returns, waiting at most kEndWait.
    ~RecordQueue() override;

    // Returns at once. False when kMostPending runs are already waiting: this run is not written,
    // failed() says so, and the runs before it are kept. The folder of `path` is made when it is
    // missing.
    bool append(const QString &path, const TalkRun &run);

signals:
    void written(const QString &path);
    // `reason` as RecordWriter gives it, for the window to show.
    void failed(const QString &path, const QString &reason);

private:
    struct Shared;
    static void work(const std::shared_ptr<Shared> &shared);

    std::shared_ptr<Shared> shared_;
    std::unique_ptr<QThread> thread_;
};
