#include "programme/programmedocument.h"

#include "programme/programmefile.h"
#include "programme/record.h"

ProgrammeDocument::ProgrammeDocument(const QString &documentsFolder, QObject *parent)
    : QObject(parent), documentsFolder_(documentsFolder)
{
}

void ProgrammeDocument::replace(const Programme &programme, const QString &path)
{
    emit programmeAboutToBeReplaced();
    programme_ = programme;
    path_ = path;
    errorString_.clear();
    emit programmeReplaced();
    setModified(false);
    emit messagesChanged();
    emit sessionChanged();
}

void ProgrammeDocument::setProgramme(const Programme &programme)
{
    replace(programme, {});
}

void ProgrammeDocument::clear()
{
    setProgramme(Programme{});
}

Result<> ProgrammeDocument::open(const QString &path)
{
    const Result<Programme> read = readProgrammeFile(path);
    if (!read) {
        errorString_ = read.error();
        return Result<>::failure(read.error());
    }
    // One session keeps one record: where it goes is settled here, and saving under another name
    // later does not split it.
    recordPath_ = recordPathFor(path, documentsFolder_);
    replace(*read, path);
    return {};
}

Result<> ProgrammeDocument::save(const QString &path)
{
    const Result<> saved = saveProgrammeFile(programme_, path);
    if (!saved) {
        errorString_ = saved.error();
        return saved;
    }
    // What is shown stays the same: only relative file names may have become absolute.
    programme_ = programmeSavedAt(programme_, path);
    path_ = path;
    // A programme made here has its record beside it from its first saving on.
    if (!recordPath_)
        recordPath_ = recordPathFor(path, documentsFolder_);
    setModified(false);
    return {};
}

QString ProgrammeDocument::recordPath() const
{
    // Looked for each time until settled: the documents folder may be made or go in the meantime.
    return recordPath_ ? *recordPath_ : recordPathFor({}, documentsFolder_);
}

void ProgrammeDocument::setModified(bool modified)
{
    if (modified_ == modified)
        return;
    modified_ = modified;
    emit modifiedChanged(modified);
}

bool ProgrammeDocument::refuse(const QString &reason)
{
    errorString_ = reason;
    emit editRefused(reason);
    return false;
}

bool ProgrammeDocument::edited()
{
    errorString_.clear();
    setModified(true);
    return true;
}

void ProgrammeDocument::replaceTalk(int index, const ProgrammeTalk &talk)
{
    programme_.talks[index] = talk;
    setModified(true);
}

void ProgrammeDocument::insertTalk(int index, const ProgrammeTalk &talk)
{
    programme_.talks.insert(index, talk);
    setModified(true);
}

void ProgrammeDocument::removeTalks(int index, int count)
{
    programme_.talks.remove(index, count);
    setModified(true);
}

void ProgrammeDocument::moveTalk(int from, int to)
{
    programme_.talks.move(from, to);
    setModified(true);
}

bool ProgrammeDocument::addMessage(const QString &text)
{
    const qsizetype count = programme_.messages.size();
    if (count >= kMostMessages)
        return refuse(QStringLiteral("メッセージは %1 件までです。").arg(kMostMessages));
    if (const Result<> checked = fieldcheck::message(text, static_cast<int>(count) + 1); !checked)
        return refuse(checked.error());
    programme_.messages << text;
    emit messagesChanged();
    return edited();
}

bool ProgrammeDocument::replaceMessage(int index, const QString &text)
{
    if (index < 0 || index >= programme_.messages.size())
        return false;
    if (const Result<> checked = fieldcheck::message(text, index + 1); !checked)
        return refuse(checked.error());
    programme_.messages[index] = text;
    emit messagesChanged();
    return edited();
}

bool ProgrammeDocument::removeMessage(int index)
{
    if (index < 0 || index >= programme_.messages.size())
        return false;
    programme_.messages.removeAt(index);
    emit messagesChanged();
    return edited();
}

bool ProgrammeDocument::setTitle(const QString &title)
{
    if (title == programme_.title)
        return true;
    if (const Result<> checked = fieldcheck::programmeTitle(title, fieldcheck::programmePlace()); !checked)
        return refuse(checked.error());
    programme_.title = title;
    emit sessionChanged();
    return edited();
}

bool ProgrammeDocument::setPlan(std::optional<int> &field, const Result<std::optional<int>> &checked)
{
    if (!checked)
        return refuse(checked.error());
    // "13:00" typed again over "13:00" is no edit, nor is "2分" over "2:00".
    if (*checked == field)
        return true;
    field = *checked;
    emit sessionChanged();
    return edited();
}

bool ProgrammeDocument::setPlannedStart(const QString &text)
{
    return setPlan(programme_.start, fieldcheck::plannedStart(text, fieldcheck::programmePlace()));
}

bool ProgrammeDocument::setChangeover(const QString &text)
{
    return setPlan(programme_.changeover, fieldcheck::changeover(text, fieldcheck::programmePlace()));
}

QString ProgrammeDocument::plannedStartText() const
{
    return programme_.start ? hoursMinutes(*programme_.start) : QString();
}

QString ProgrammeDocument::changeoverText() const
{
    return programme_.changeover ? minutesSeconds(*programme_.changeover) : QString();
}
