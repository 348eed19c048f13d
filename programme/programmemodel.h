#pragma once

#include "programme/programme.h"

#include <QAbstractTableModel>

// The programme as the programme window shows and edits it: one row per talk. A cell edited in the
// table passes the same checks as the file; a refused edit changes nothing and leaves its reason in
// errorString(). The current talk (the one loaded in the main window) is shown in bold on a tinted
// background; a talk whose sound files are missing is marked.
class ProgrammeModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        TitleColumn,
        SpeakerColumn,
        AffiliationColumn,
        TimeColumn,
        Bell1Column,
        Bell2Column,
        Bell3Column,
        ColumnCount
    };
    enum Role {
        MissingSoundRole = Qt::UserRole + 1, // QStringList: the talk's sound files that are not there
    };

    explicit ProgrammeModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // Text of 演題, 発表者, 所属, 時間 ("M:SS" or "M") or a bell ("M:SS"; "—", "-" or empty for off).
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    // The last talk is never removed: a programme has one talk at least (clear() ends it).
    bool removeRows(int row, int count, const QModelIndex &parent = {}) override;
    bool moveRows(const QModelIndex &sourceParent, int sourceRow, int count,
                  const QModelIndex &destinationParent, int destinationChild) override;

    const Programme &programme() const { return programme_; }
    bool hasProgramme() const { return !programme_.talks.isEmpty(); }
    // Takes the programme whole (the first talk current, not modified); one without talks clears.
    void setProgramme(const Programme &programme);
    void clear();
    // Reads the file and takes it; on refusal nothing changes. Unlike an edit, which answers with a
    // bool as setData() must, opening and saving give their refusal back as the file functions do,
    // for the caller to say at once; errorString() has it too.
    Result<> open(const QString &path);
    // Writes the file (see saveProgrammeFile); on success the programme is the one saved there and
    // no longer modified.
    Result<> save(const QString &path);

    // 1-based; 0 without a programme.
    int currentTalk() const { return current_; }
    bool setCurrentTalk(int number);

    // At `row` (0-based, rowCount() appends). Refused beyond kMostTalks or with a field out of range.
    bool insertTalk(int row, const ProgrammeTalk &talk);
    bool removeTalk(int row) { return removeRows(row, 1); }
    bool moveTalkUp(int row) { return moveRows({}, row, 1, {}, row - 1); }
    bool moveTalkDown(int row) { return moveRows({}, row, 1, {}, row + 2); }

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

    // Why the last edit, insertion, opening or saving was refused, in Japanese (a tooltip the view
    // can show).
    const QString &errorString() const { return errorString_; }

    // Looks again for the sound files the talks name.
    void refreshSoundFiles();

signals:
    void modifiedChanged(bool modified);
    // The current talk's number, or the talk under that number, changed.
    void currentTalkChanged(int number);
    void messagesChanged();
    void sessionChanged(); // title, start or changeover changed
    void editRefused(const QString &reason);

private:
    void renumberFrom(int row);
    bool refuse(const QString &reason);
    bool edited();
    void setCurrent(int number);
    QString bellText(const BellEntry &bell) const;
    bool setPlan(std::optional<int> &field, const Result<std::optional<int>> &checked);

    Programme programme_;
    QList<QStringList> missing_; // per talk
    int current_ = 0;
    bool modified_ = false;
    QString errorString_;
};
