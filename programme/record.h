#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>
#include <functional>

// The record of how each talk went: one CSV line per run of a talk, from a Start in set-up to
// the Reset, next or previous talk or program exit that ends it. UTF-8 with BOM and CRLF, so that
// Excel in Japan opens it as it is.

enum class RunEnd { Reset, Restart, NextTalk, PreviousTalk, Exit };

struct TalkRun {
    int number = 0; // 1-based
    QString title;
    QString speaker;
    QString affiliation;
    int plannedSeconds = 0;
    QDateTime started; // local time
    QDateTime ended;
    int runningSeconds = 0; // from start to end, pauses left out
    int pauses = 0;
    int pausedSeconds = 0;
    int mostOverSeconds = 0; // the largest over-time reached; 0 when the talk kept its time
    RunEnd end = RunEnd::Reset;
    int adjustmentSeconds = 0; // the chair's net ±1 minute during the run
};

// The header row and one run as a CSV record, each with CRLF at the end.
QString recordHeader();
QString recordLine(const TalkRun &run);

// Appends runs to the record file, each on disk (flushed and synced) when append() returns, so
// that a crash or a power cut a moment later loses none of them. A slow disk holds the caller as
// long: RecordQueue writes with one on a thread of its own. Kept and written to again and again
// like a QFile, it answers as one does: a bool, and errorString().
class RecordWriter {
public:
    // What forces a written file to the disk itself; the system's own by default (a test counts).
    using Sync = std::function<bool(QFile &file)>;
    static bool syncToDisk(QFile &file);

    explicit RecordWriter(const QString &path, Sync sync = syncToDisk) : path_(path), sync_(std::move(sync))
    {
    }
    const QString &path() const { return path_; }
    // Writes the BOM and the header first when the file is new or empty; false when the line could
    // not be written whole, with the reason in errorString(): the file is then as it was, and the
    // line is written with the next one that can be. Only a regular file is written to.
    bool append(const TalkRun &run);
    const QString &errorString() const { return errorString_; }

private:
    QString path_;
    QString errorString_;
    QByteArray unwritten_; // lines not yet on disk, oldest first
    Sync sync_;
};

// NAME.record.csv beside the programme file NAME.json (or NAME.csv); in `elsewhere` (the documents
// folder) when that folder cannot be written to, and podiumwatch.record.csv there for a programme
// that has never been saved. `elsewhere` may be missing as long as it can be made (the writer makes
// it); the home folder when it is empty, or can neither be written to nor made.
QString recordPathFor(const QString &programmePath, const QString &elsewhere);
