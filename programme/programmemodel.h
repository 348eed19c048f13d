#pragma once

#include "programme/programmedocument.h"

#include <QAbstractTableModel>

// The programme's talks as the programme window shows and edits them: one row per talk of the
// document, which it follows when a programme is taken whole. A cell edited in the table passes the
// same checks as the file and goes into the document; a refused edit changes nothing and leaves its
// reason in errorString(). The current talk (the one loaded in the main window) is shown in bold on
// a tinted background; a talk whose sound files are missing is marked. One table to a document:
// the talks are edited here alone.
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

    // The document outlives the table.
    explicit ProgrammeModel(ProgrammeDocument &document, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // Text of 演題, 発表者, 所属, 時間 ("M:SS" or "M") or a bell ("M:SS"; "—", "-" or empty for off).
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    // The last talk is never removed: a programme has one talk at least (the document's clear()
    // ends it).
    bool removeRows(int row, int count, const QModelIndex &parent = {}) override;
    bool moveRows(const QModelIndex &sourceParent, int sourceRow, int count,
                  const QModelIndex &destinationParent, int destinationChild) override;

    bool hasProgramme() const { return document_.hasProgramme(); }

    // 1-based; 0 without a programme; the first talk once a programme is taken whole.
    int currentTalk() const { return current_; }
    bool setCurrentTalk(int number);

    // At `row` (0-based, rowCount() appends). Refused beyond kMostTalks or with a field out of range.
    bool insertTalk(int row, const ProgrammeTalk &talk);
    bool removeTalk(int row) { return removeRows(row, 1); }
    bool moveTalkUp(int row) { return moveRows({}, row, 1, {}, row - 1); }
    bool moveTalkDown(int row) { return moveRows({}, row, 1, {}, row + 2); }

    // Why the last edit, insertion or removal was refused, in Japanese (a tooltip the view can show).
    const QString &errorString() const { return errorString_; }

    // Looks again for the sound files the talks name.
    void refreshSoundFiles();

signals:
    // The current talk's number, or the talk under that number, changed.
    void currentTalkChanged(int number);
    void editRefused(const QString &reason);

private:
    const Programme &programme() const { return document_.programme(); }
    // The sound files looked for anew and the first talk current, for a programme taken whole.
    void takeProgramme();
    void renumberFrom(int row);
    bool refuse(const QString &reason);
    bool edited();
    void setCurrent(int number);
    QString bellText(const BellEntry &bell) const;

    ProgrammeDocument &document_;
    QList<QStringList> missing_; // per talk
    int current_ = 0;
    QString errorString_;
};
