#pragma once

#include "forms/shown.h"
#include "forms/talkport.h"
#include "programme/programmedocument.h"
#include "programme/programmemodel.h"
#include "programme/record.h"
#include "programme/recordqueue.h"
#include "programme/session.h"

#include <QDateTime>
#include <QObject>
#include <optional>

class Platform;
class SpeakerMessage;
class Viewer;

// The session in the program: the programme of talks, which of them is in the main window, and
// the record of each run of a talk, from a Start in set-up to whatever ends it. It prepares a talk
// through the main window's talk port and learns from the window's signals when a talk starts,
// pauses, runs over and ends. Without a programme it does nothing at all.
class ProgrammeSession : public QObject {
    Q_OBJECT
public:
    // Made once the window has started up: what it holds then is what neither a talk nor the
    // programme's defaults give.
    ProgrammeSession(Viewer &viewer, SpeakerMessage &message, Platform &platform);
    // A talk still running when the program ends is recorded as ended by the exit.
    ~ProgrammeSession() override;

    ProgrammeDocument &document() { return document_; }
    const ProgrammeDocument &document() const { return document_; }
    ProgrammeModel &model() { return model_; }
    const ProgrammeModel &model() const { return model_; }

    // Reads a programme (JSON or CSV) and prepares its first talk. A refused file is said in a
    // message and changes nothing.
    bool open(const QString &path);
    // Writes the programme as JSON; a failure is said in a message and leaves the old file whole.
    bool save(const QString &path);
    // Saves under the file's own name, or one the chair chooses (always with `choosing`, and for a
    // programme never saved or read from a spreadsheet, which is not written over). False when not saved.
    bool saveAsked(bool choosing);
    // Asks about unsaved changes; false when the chair chose to go back (or saving failed).
    bool settleUnsaved();
    QString path() const { return document_.path(); }
    QString recordPath() const { return document_.recordPath(); }

    // Puts talk `number` (1-based) in the window. Refused while the clock runs, so that no key or
    // button ends a running talk; the note says so.
    bool prepare(int number);
    bool next();
    bool previous();
    // Adds the window's setup as a talk after the current one (at the end without a programme).
    bool addCurrentSetup();
    int talkNumber() const { return model_.currentTalk(); }

    // The saved messages to the speaker: the programme's, or the usual ones while it has none.
    QStringList savedMessages() const;
    // Keeps a message among the saved ones, or lets one go; the programme keeps them from then on.
    bool saveMessage(const QString &text);
    bool forgetMessage(int index);

    // What the operator should know about the last thing refused; empty when nothing was, and
    // again once a later action succeeds.
    QString note() const { return note_; }
    // Why the record's last write failed, until a later write succeeds; empty while it writes.
    QString recordProblem() const { return recordProblem_; }
    // Adds to what the screens show the current and the next talk and the session at a glance,
    // given the current talk's remaining time as shown.
    void describe(Shown &shown) const;

signals:
    void noteChanged(const QString &note);
    void recordProblemChanged(const QString &problem);
    // The saved messages to the speaker changed, the programme's or the program's own.
    void messagesChanged();
    // The programme or its current talk changed: the screens that show them follow.
    void changed();

private:
    struct Run {
        int number = 0;
        QString title, speaker, affiliation;
        int plannedSeconds = 0;
        QDateTime started;
        qint64 startedMs = 0;
        int pauses = 0;
        qint64 pausedMs = 0;
        std::optional<qint64> pausedSinceMs;
        int mostOver = 0;
        int adjustment = 0; // the chair's net minutes more or less, in seconds
    };

    bool running() const;
    void adoptUsualMessages();
    QStringList ownMessages() const;
    void setNote(const QString &note);
    void setRecordProblem(const QString &problem);
    // The main window's line: the talk in it, and what went wrong.
    void showLine();
    void follow(const Shown &shown);
    void runChanged(RunState before, RunState now, bool restarting);
    void endRun(RunEnd end);
    bool move(int by, RunEnd end);

    TalkPort &window_;
    SpeakerMessage &message_;
    Platform &platform_;
    ProgrammeDocument document_;
    ProgrammeModel model_;
    PreparedTalk startUp_;
    RecordQueue records_;
    QString note_;
    QString recordProblem_;
    std::optional<Run> run_;
    std::optional<QDateTime> firstStart_;
    bool anchorSettled_ = false; // the session has moved on from the talk that set its start
};
