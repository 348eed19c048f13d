#pragma once

#include "programme/programme.h"

#include <QObject>
#include <optional>

class ProgrammeModel;

// The programme the chair works on, without any window: the file it came from or went to, whether
// it has changed since, its saved messages and its plan, and where the session's record goes. An
// edit passes the same checks as the file; a refused one changes nothing and leaves its reason in
// errorString(). The talks themselves are edited in the table (ProgrammeModel), which brackets
// each change with the signals its views need.
class ProgrammeDocument : public QObject {
    Q_OBJECT
public:
    // `documentsFolder` is where the record goes while the programme has no file of its own, or
    // when its own folder cannot be written to; empty: the home folder.
    explicit ProgrammeDocument(const QString &documentsFolder = {}, QObject *parent = nullptr);

    const Programme &programme() const { return programme_; }
    bool hasProgramme() const { return !programme_.talks.isEmpty(); }
    // Takes the programme whole as one made here: no file of its own and not modified. One without
    // talks clears. The record stays where it was.
    void setProgramme(const Programme &programme);
    void clear();

    // The file the programme was read from or last saved to; empty for one made here.
    const QString &path() const { return path_; }
    // Reads the file (JSON or CSV) and takes it; on refusal nothing changes. The refusal comes back
    // as the file functions give it, for the caller to say at once; errorString() has it too.
    Result<> open(const QString &path);
    // Writes the file (see saveProgrammeFile); on success the programme is the one saved there and
    // no longer modified.
    Result<> save(const QString &path);

    // Beside the programme's file (see recordPathFor), settled when a programme is opened or first
    // saved: one session keeps one record, which saving under another name does not split. Before
    // that, podiumwatch.record.csv in the documents folder.
    QString recordPath() const;

    bool isModified() const { return modified_; }
    void setModified(bool modified);

    // The programme's title, planned start and changeover, edited in the window: the same checks as
    // the file; a refused value changes nothing and leaves its reason in errorString().
    bool setTitle(const QString &title);
    bool setPlannedStart(const QString &text); // "13:00" (full-width too); empty: no planned start
    bool setChangeover(const QString &text); // "2:00", "1分30秒", … as a talk's time is typed; empty: none
    QString plannedStartText() const;        // "13:00", or empty
    QString changeoverText() const;          // "M:SS", or empty

    const QStringList &messages() const { return programme_.messages; }
    bool addMessage(const QString &text);
    bool replaceMessage(int index, const QString &text);
    bool removeMessage(int index);

    // Why the last edit, opening or saving was refused, in Japanese.
    const QString &errorString() const { return errorString_; }

signals:
    // Around a programme taken whole (opened, set or cleared).
    void programmeAboutToBeReplaced();
    void programmeReplaced();
    void modifiedChanged(bool modified);
    void messagesChanged();
    void sessionChanged(); // title, start or changeover changed
    void editRefused(const QString &reason);

private:
    // The table edits the talks, between its own begin and end signals; each edit marks the
    // programme modified. Checked by the table before.
    friend class ProgrammeModel;
    void replaceTalk(int index, const ProgrammeTalk &talk);
    void insertTalk(int index, const ProgrammeTalk &talk);
    void removeTalks(int index, int count);
    void moveTalk(int from, int to);

    void replace(const Programme &programme, const QString &path);
    bool refuse(const QString &reason);
    bool edited();
    bool setPlan(std::optional<int> &field, const Result<std::optional<int>> &checked);

    QString documentsFolder_;
    Programme programme_;
    QString path_;
    std::optional<QString> recordPath_; // once settled
    bool modified_ = false;
    QString errorString_;
};
