#include "session/programmesession.h"

#include "forms/viewer.h"
#include "messages/speakermessage.h"
#include "platform/platform.h"

#include <QDir>
#include <QFileInfo>
#include <cmath>

ProgrammeSession::ProgrammeSession(Viewer &viewer, SpeakerMessage &message, Platform &platform)
    : window_(viewer), message_(message), platform_(platform), document_(platform.documentsFolder()),
      model_(document_), startUp_(window_.setupNow())
{
    connect(&records_, &RecordQueue::written, this, [this] { setRecordProblem({}); });
    connect(&records_, &RecordQueue::failed, this, [this](const QString &, const QString &reason) {
        setRecordProblem(QStringLiteral("記録を書き込めませんでした: ") + reason);
    });
    connect(this, &ProgrammeSession::changed, this, &ProgrammeSession::showLine);
    connect(&viewer, &Viewer::runStateChanged, this, &ProgrammeSession::runChanged);
    connect(&viewer.feed(), &ShownFeed::changed, this, &ProgrammeSession::follow);
    connect(&viewer, &Viewer::remainingAdjusted, this, [this](int seconds) {
        if (run_)
            run_->adjustment += seconds;
    });
    connect(&document_, &ProgrammeDocument::messagesChanged, this, &ProgrammeSession::messagesChanged);
    connect(&model_, &ProgrammeModel::currentTalkChanged, this, &ProgrammeSession::changed);
    connect(&model_, &QAbstractItemModel::dataChanged, this, &ProgrammeSession::changed);
    connect(&model_, &QAbstractItemModel::rowsRemoved, this, &ProgrammeSession::changed);
    connect(&model_, &QAbstractItemModel::rowsInserted, this, &ProgrammeSession::changed);
    connect(&model_, &QAbstractItemModel::rowsMoved, this, &ProgrammeSession::changed);
    connect(&model_, &QAbstractItemModel::modelReset, this, &ProgrammeSession::changed);
}

ProgrammeSession::~ProgrammeSession()
{
    // The window may be half gone by now: only what the run kept is used.
    if (run_)
        endRun(RunEnd::Exit);
}

bool ProgrammeSession::running() const
{
    return window_.runState() == RunState::Running;
}

void ProgrammeSession::setNote(const QString &note)
{
    if (note == note_)
        return;
    note_ = note;
    emit noteChanged(note_);
    showLine();
}

void ProgrammeSession::setRecordProblem(const QString &problem)
{
    if (problem == recordProblem_)
        return;
    recordProblem_ = problem;
    emit recordProblemChanged(recordProblem_);
    showLine();
}

void ProgrammeSession::showLine()
{
    const int current = model_.currentTalk();
    if (!model_.hasProgramme() || current < 1) {
        window_.showSessionLine({}, false);
        return;
    }
    const ProgrammeTalk &talk = document_.programme().talks.at(current - 1);
    QStringList parts{QStringLiteral("%1/%2").arg(current).arg(model_.rowCount()), talk.title};
    if (const QString who = speakerWithAffiliation(talk.speaker, talk.affiliation); !who.isEmpty())
        parts << who;
    // What went wrong comes first, where the window's edge does not cut it off.
    const QString problem = !note_.isEmpty() ? note_ : recordProblem_;
    if (!problem.isEmpty())
        parts.prepend(problem);
    window_.showSessionLine(parts.join(QStringLiteral("　")), !problem.isEmpty());
}

bool ProgrammeSession::open(const QString &path)
{
    if (const Result<> opened = document_.open(path); !opened) {
        platform_.showMessage(QStringLiteral("「%1」を開けません。\r\n").arg(QFileInfo(path).fileName()) +
                                  opened.error(),
                              Viewer::programTitle());
        return false;
    }
    firstStart_.reset();
    anchorSettled_ = false;
    setNote({});
    // Opened while a talk runs, the programme waits: preparing its first talk would end that one.
    if (running())
        setNote(QStringLiteral(
            "計測中のため、1番目の発表はまだ準備していません。計測を止めてから準備してください。"));
    else
        prepare(1);
    // Told again: the table said so while the session still had the old one's start.
    emit changed();
    return true;
}

bool ProgrammeSession::save(const QString &path)
{
    if (const Result<> saved = document_.save(path); !saved) {
        platform_.showMessage(saved.error(), Viewer::programTitle());
        return false;
    }
    setNote({});
    return true;
}

bool ProgrammeSession::saveAsked(bool choosing)
{
    QString path = document_.path();
    if (choosing || path.isEmpty() ||
        QFileInfo(path).suffix().compare(QLatin1String("json"), Qt::CaseInsensitive) != 0) {
        // A spreadsheet's file is never written over: its name is offered as JSON.
        const QFileInfo file(path);
        const QString offered =
            path.isEmpty() ? path : file.dir().filePath(file.completeBaseName() + QStringLiteral(".json"));
        const std::optional<QString> chosen = platform_.chooseProgrammeFile(true, offered);
        if (!chosen)
            return false;
        path = *chosen;
    }
    return save(path);
}

bool ProgrammeSession::settleUnsaved()
{
    if (!document_.isModified())
        return true;
    switch (platform_.askAboutUnsaved(QStringLiteral("プログラムの変更が保存されていません。保存しますか？"),
                                      Viewer::programTitle())) {
    case Platform::Unsaved::Save:
        return saveAsked(false);
    case Platform::Unsaved::Discard:
        return true;
    case Platform::Unsaved::Cancel:
        return false;
    }
    return false;
}

bool ProgrammeSession::prepare(int number)
{
    if (number < 1 || number > model_.rowCount())
        return false;
    if (running()) {
        setNote(QStringLiteral("計測中は発表を切り替えられません。一時停止かリセットの後にしてください。"));
        return false;
    }
    setNote({});
    const bool another = number != model_.currentTalk();
    if (firstStart_ && another)
        anchorSettled_ = true;
    model_.setCurrentTalk(number);
    // The next speaker must never read what was meant for the one before.
    if (another)
        message_.set({});
    window_.prepareTalk(prepareTalk(document_.programme(), number - 1, startUp_));
    return true;
}

bool ProgrammeSession::move(int by, RunEnd end)
{
    const int number = model_.currentTalk() + by;
    if (!model_.hasProgramme())
        return false;
    // After the last talk, next does nothing; before the first, previous neither: said, as the
    // chair pressed it expecting a move.
    if (number < 1 || number > model_.rowCount()) {
        setNote(number < 1 ? QStringLiteral("最初の発表です。前の発表はありません。")
                           : QStringLiteral("最後の発表です。次の発表はありません。"));
        return false;
    }
    if (running()) // refused by prepare(), which says so
        return prepare(number);
    // The run of the talk being left ends here, as a move, before preparing the next one resets.
    if (run_)
        endRun(end);
    return prepare(number);
}

bool ProgrammeSession::next()
{
    return move(1, RunEnd::NextTalk);
}

bool ProgrammeSession::previous()
{
    return move(-1, RunEnd::PreviousTalk);
}

bool ProgrammeSession::addCurrentSetup()
{
    const int row = model_.hasProgramme() ? model_.currentTalk() : 0;
    const int number = model_.rowCount() + 1;
    ProgrammeTalk talk = talkFromSetup(window_.setupNow(), QStringLiteral("発表 %1").arg(number), QString());
    if (const Result<> checked = fieldcheck::talk(talk, fieldcheck::talkPlace(number)); !checked) {
        setNote(checked.error());
        return false;
    }
    if (!model_.insertTalk(row, talk)) {
        setNote(model_.errorString());
        return false;
    }
    setNote({});
    return true;
}

namespace {

const QString kSavedMessagesKey = QStringLiteral("savedMessages");

} // namespace

QStringList ProgrammeSession::ownMessages() const
{
    return platform_.setting(kSavedMessagesKey).value_or(SpeakerMessage::defaultSaved());
}

QStringList ProgrammeSession::savedMessages() const
{
    return document_.messages().isEmpty() ? ownMessages() : document_.messages();
}

void ProgrammeSession::adoptUsualMessages()
{
    // The usual ones become the programme's own, so that a change is made to the list shown.
    if (document_.messages().isEmpty()) {
        for (const QString &usual : ownMessages())
            document_.addMessage(usual);
    }
}

bool ProgrammeSession::saveMessage(const QString &text)
{
    const QString line = SpeakerMessage::normalized(text);
    if (line.isEmpty() || savedMessages().contains(line))
        return false;
    // Without a programme they are the program's own, and nothing is left to save.
    if (!document_.hasProgramme()) {
        const QStringList own = ownMessages();
        if (own.size() >= kMostMessages) {
            setNote(QStringLiteral("よく使うメッセージは %1 件までです。").arg(kMostMessages));
            return false;
        }
        platform_.setSetting(kSavedMessagesKey, own + QStringList{line});
        setNote({});
        emit messagesChanged();
        return true;
    }
    adoptUsualMessages();
    if (!document_.addMessage(line)) {
        setNote(document_.errorString());
        return false;
    }
    setNote({});
    return true;
}

bool ProgrammeSession::forgetMessage(int index)
{
    if (!document_.hasProgramme()) {
        QStringList own = ownMessages();
        if (index < 0 || index >= own.size())
            return false;
        own.removeAt(index);
        platform_.setSetting(kSavedMessagesKey, own);
        emit messagesChanged();
        return true;
    }
    adoptUsualMessages();
    return document_.removeMessage(index);
}

void ProgrammeSession::describe(Shown &shown) const
{
    const int current = model_.currentTalk();
    const QList<ProgrammeTalk> &talks = document_.programme().talks;
    if (current < 1 || current > talks.size())
        return;
    const auto named = [&talks](int number) {
        const ProgrammeTalk &talk = talks.at(number - 1);
        return TalkShown{number, static_cast<int>(talks.size()), talk.title, talk.speaker, talk.affiliation};
    };
    shown.talk = named(current);
    if (current < talks.size())
        shown.next = named(current + 1);
    SessionProgress progress;
    progress.currentTalk = current;
    progress.firstStart = firstStart_;
    progress.now = platform_.now();
    // The current talk counts with what is left of it once it has started, its whole time before.
    if (run_ && run_->number == current)
        progress.remainingSeconds = shown.remaining;
    shown.session = sessionGlance(document_.programme(), progress);
}

void ProgrammeSession::follow(const Shown &shown)
{
    // The most over-time a talk reached is what its display showed. Looked at every second, so not
    // at all without a run of a talk.
    if (!run_)
        return;
    const std::optional<int> remaining = shown.remaining;
    if (remaining && *remaining < 0)
        run_->mostOver = std::max(run_->mostOver, -*remaining);
}

void ProgrammeSession::runChanged(RunState before, RunState now, bool restarting)
{
    if (!model_.hasProgramme())
        return;
    const qint64 nowMs = platform_.monotonicMs();
    if (now == RunState::Setup) {
        if (run_)
            endRun(restarting ? RunEnd::Restart : RunEnd::Reset);
        return;
    }
    if (before == RunState::Setup) {
        // A start in set-up begins a run of the current talk.
        const ProgrammeTalk &talk = document_.programme().talks.at(model_.currentTalk() - 1);
        run_.emplace();
        run_->number = model_.currentTalk();
        run_->title = talk.title;
        run_->speaker = talk.speaker;
        run_->affiliation = talk.affiliation;
        run_->plannedSeconds = talk.seconds;
        run_->started = platform_.now();
        run_->startedMs = nowMs;
        // The session starts when its first talk does: a test run before it (a start and a reset)
        // gives way to the talk's next start, until the session has moved on to another talk.
        if (!firstStart_ || !anchorSettled_)
            firstStart_ = run_->started;
    }
    if (!run_)
        return;
    if (now == RunState::Paused) {
        ++run_->pauses;
        run_->pausedSinceMs = nowMs;
    } else if (run_->pausedSinceMs) {
        run_->pausedMs += nowMs - *std::exchange(run_->pausedSinceMs, std::nullopt);
    }
}

void ProgrammeSession::endRun(RunEnd end)
{
    const Run run = *std::exchange(run_, std::nullopt);
    const qint64 nowMs = platform_.monotonicMs();
    const qint64 pausedMs = run.pausedMs + (run.pausedSinceMs ? nowMs - *run.pausedSinceMs : 0);
    TalkRun line;
    line.number = run.number;
    line.title = run.title;
    line.speaker = run.speaker;
    line.affiliation = run.affiliation;
    line.plannedSeconds = run.plannedSeconds;
    line.started = run.started;
    // Whole seconds from the steady clock, the end written as the start plus them: the start, the
    // end and the pauses add up to the running time to the second, whatever the wall clock did.
    const auto seconds = [](qint64 ms) {
        return static_cast<int>(std::llround(static_cast<double>(ms) / 1000.0));
    };
    const int elapsed = seconds(nowMs - run.startedMs);
    line.ended = run.started.addSecs(elapsed);
    line.pauses = run.pauses;
    line.pausedSeconds = seconds(pausedMs);
    line.runningSeconds = elapsed - line.pausedSeconds;
    line.mostOverSeconds = run.mostOver;
    line.end = end;
    line.adjustmentSeconds = run.adjustment;
    // Written away from this thread; how it went comes back as a signal.
    records_.append(recordPath(), line);
}
