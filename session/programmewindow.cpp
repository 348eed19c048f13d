#include "session/programmewindow.h"

#include "forms/viewer.h"
#include "messages/speakermessage.h"
#include "platform/platform.h"
#include "session/programmesession.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>

namespace {

QPushButton *button(const QString &text, const QString &name, QWidget *parent, QLayout *row)
{
    auto *made = new QPushButton(text, parent);
    made->setObjectName(name);
    made->setAutoDefault(false);
    row->addWidget(made);
    return made;
}

} // namespace

ProgrammeWindow::ProgrammeWindow(Viewer &viewer, ProgrammeSession &session, SpeakerMessage &message,
                                 Platform &platform)
    : QWidget(nullptr), viewer_(viewer), platform_(platform), session_(session), message_(message)
{
    setObjectName(QStringLiteral("ProgrammeWindow"));
    setWindowTitle(QStringLiteral("プログラム") + Viewer::tagLine());
    setAttribute(Qt::WA_DeleteOnClose);
    resize(900, 520);

    auto *layout = new QVBoxLayout(this);
    title_ = new QLabel(this);
    title_->setObjectName(QStringLiteral("ProgrammeTitle"));
    QFont bold = title_->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    title_->setFont(bold);
    auto *heading = new QHBoxLayout;
    heading->addWidget(title_, 1);
    // The wall clock, as chairs keep the session against it.
    clock_ = new QLabel(this);
    clock_->setObjectName(QStringLiteral("Clock"));
    clock_->setFont(bold);
    heading->addWidget(clock_);
    layout->addLayout(heading);
    // The plan the session is kept against: set here as in the file, under the same checks.
    auto *plan = new QHBoxLayout;
    const auto box = [this, plan](const QString &label, const QString &name, int characters) {
        plan->addWidget(new QLabel(label, this));
        auto *made = new QLineEdit(this);
        made->setObjectName(name);
        if (characters > 0)
            made->setMaximumWidth(made->fontMetrics().horizontalAdvance(QString(characters, u'0')) + 16);
        plan->addWidget(made, characters > 0 ? 0 : 1);
        return made;
    };
    titleBox_ = box(QStringLiteral("題名:"), QStringLiteral("PlanTitle"), 0);
    titleBox_->setMaxLength(kLongestTitle);
    startBox_ = box(QStringLiteral("開始予定:"), QStringLiteral("PlanStart"), 6);
    startBox_->setPlaceholderText(QStringLiteral("13:00"));
    startBox_->setToolTip(QStringLiteral("空欄なら、1番目の発表が実際に始まった時刻から数えます"));
    changeoverBox_ = box(QStringLiteral("転換:"), QStringLiteral("PlanChangeover"), 6);
    changeoverBox_->setPlaceholderText(QStringLiteral("2:00"));
    changeoverBox_->setToolTip(QStringLiteral("発表と発表の間の時間"));
    layout->addLayout(plan);
    const std::pair<QLineEdit *, bool (ProgrammeDocument::*)(const QString &)> plans[] = {
        {titleBox_, &ProgrammeDocument::setTitle},
        {startBox_, &ProgrammeDocument::setPlannedStart},
        {changeoverBox_, &ProgrammeDocument::setChangeover}};
    for (const auto &[edited, setter] : plans) {
        connect(edited, &QLineEdit::editingFinished, this, [this, edited, setter] {
            ProgrammeDocument &document = session_.document();
            if (!document.hasProgramme())
                return;
            if (!(document.*setter)(edited->text()))
                note_->setText(document.errorString());
            showPlan();
        });
    }
    glance_ = new QLabel(this);
    glance_->setObjectName(QStringLiteral("SessionGlance"));
    layout->addWidget(glance_);

    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("ProgrammeTable"));
    table_->setModel(&session_.model());
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    table_->setWordWrap(false);
    // The table has the keys when the window opens: typing goes nowhere it would change the plan.
    table_->setFocus();
    table_->horizontalHeader()->setSectionResizeMode(ProgrammeModel::TitleColumn, QHeaderView::Stretch);
    table_->installEventFilter(this);
    layout->addWidget(table_, 1);

    auto *files = new QHBoxLayout;
    button(QStringLiteral("開く…"), QStringLiteral("Open"), this, files)
        ->setToolTip(QStringLiteral("Ctrl+O"));
    button(QStringLiteral("保存"), QStringLiteral("Save"), this, files)->setToolTip(QStringLiteral("Ctrl+S"));
    button(QStringLiteral("名前を付けて保存…"), QStringLiteral("SaveAs"), this, files);
    files->addStretch();
    button(QStringLiteral("準備"), QStringLiteral("Prepare"), this, files)
        ->setToolTip(QStringLiteral("選んだ発表をメイン画面に入れます（Enter、ダブルクリック）"));
    button(QStringLiteral("現在の設定を追加"), QStringLiteral("AddSetup"), this, files)
        ->setToolTip(QStringLiteral("メイン画面の今の設定を、発表として追加します"));
    button(QStringLiteral("削除"), QStringLiteral("Remove"), this, files);
    button(QStringLiteral("上へ"), QStringLiteral("MoveUp"), this, files);
    button(QStringLiteral("下へ"), QStringLiteral("MoveDown"), this, files);
    files->addStretch();
    button(QStringLiteral("前へ"), QStringLiteral("Previous"), this, files)
        ->setToolTip(QStringLiteral("PageUp"));
    button(QStringLiteral("次へ"), QStringLiteral("Next"), this, files)
        ->setToolTip(QStringLiteral("PageDown"));
    layout->addLayout(files);

    // To the speaker, during a talk: a message under the time, a minute more or less.
    auto *speaker = new QHBoxLayout;
    speaker->addWidget(new QLabel(QStringLiteral("メッセージ:"), this));
    messageLine_ = new QLineEdit(this);
    messageLine_->setObjectName(QStringLiteral("MessageLine"));
    messageLine_->setMaxLength(kLongestMessage);
    messageLine_->setPlaceholderText(QStringLiteral("Enter で表示、Esc で消去（80文字まで）"));
    messageLine_->installEventFilter(this);
    speaker->addWidget(messageLine_, 1);
    button(QStringLiteral("表示"), QStringLiteral("ShowMessage"), this, speaker);
    button(QStringLiteral("消去"), QStringLiteral("ClearMessage"), this, speaker);
    button(QStringLiteral("登録"), QStringLiteral("SaveMessage"), this, speaker)
        ->setToolTip(QStringLiteral("入力したメッセージを下の一覧に加えます"));
    speaker->addSpacing(16);
    button(QStringLiteral("＋1分"), QStringLiteral("AddMinute"), this, speaker)
        ->setToolTip(QStringLiteral("テンキー +"));
    button(QStringLiteral("−1分"), QStringLiteral("TakeMinute"), this, speaker)
        ->setToolTip(QStringLiteral("テンキー −"));
    layout->addLayout(speaker);
    savedMessages_ = new QHBoxLayout;
    layout->addLayout(savedMessages_);
    messageState_ = new QLabel(this);
    messageState_->setObjectName(QStringLiteral("MessageState"));
    layout->addWidget(messageState_);

    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("Note"));
    note_->setWordWrap(true);
    QPalette warning = note_->palette();
    warning.setColor(QPalette::WindowText, QColor(176, 0, 0));
    note_->setPalette(warning);
    layout->addWidget(note_);
    auto *recordRow = new QHBoxLayout;
    record_ = new QLabel(this);
    record_->setObjectName(QStringLiteral("RecordPath"));
    record_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    recordRow->addWidget(record_, 1);
    button(QStringLiteral("記録を開く"), QStringLiteral("OpenRecord"), this, recordRow)
        ->setToolTip(QStringLiteral("記録（CSV）を表計算ソフトで開きます"));
    layout->addLayout(recordRow);
    // Long texts (an 80-character message, a deep record path) wrap where they are, and never
    // widen the window for good.
    for (QLabel *label : {glance_, messageState_, note_, record_}) {
        label->setWordWrap(true);
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }

    const std::pair<const char *, std::function<void()>> actions[] = {
        {"Open", [this] { openFile(); }},
        {"Save", [this] { session_.saveAsked(false); }},
        {"SaveAs", [this] { session_.saveAsked(true); }},
        {"Prepare", [this] { prepareSelected(); }},
        {"AddSetup", [this] { session_.addCurrentSetup(); }},
        {"Remove", [this] { removeSelected(); }},
        {"MoveUp", [this] { moveSelected(-1); }},
        {"MoveDown", [this] { moveSelected(1); }},
        {"Previous", [this] { session_.previous(); }},
        {"Next", [this] { session_.next(); }},
        {"ShowMessage", [this] { message_.set(messageLine_->text()); }},
        {"ClearMessage", [this] { message_.set({}); }},
        {"SaveMessage", [this] { session_.saveMessage(messageLine_->text()); }},
        {"AddMinute", [this] { viewer_.adjustRemaining(60); }},
        {"TakeMinute", [this] { viewer_.adjustRemaining(-60); }},
        {"OpenRecord", [this] { openRecord(); }},
    };
    for (const auto &[name, action] : actions)
        connect(findChild<QPushButton *>(QString::fromLatin1(name)), &QPushButton::clicked, this, action);
    connect(new QShortcut(QKeySequence::Open, this), &QShortcut::activated, this, &ProgrammeWindow::openFile);
    connect(new QShortcut(QKeySequence::Save, this), &QShortcut::activated, this,
            [this] { session_.saveAsked(false); });
    connect(table_, &QAbstractItemView::doubleClicked, this, &ProgrammeWindow::prepareSelected);
    connect(messageLine_, &QLineEdit::returnPressed, this, [this] { message_.set(messageLine_->text()); });
    connect(&message_, &SpeakerMessage::changed, this, &ProgrammeWindow::refresh);
    connect(&session_, &ProgrammeSession::messagesChanged, this, &ProgrammeWindow::showSavedMessages);
    auto *ticking = new QTimer(this);
    connect(ticking, &QTimer::timeout, this, &ProgrammeWindow::showClock);
    ticking->start(1000);
    showClock();
    showSavedMessages();

    // What was refused before the window opened is said in it too.
    note_->setText(session_.note());
    connect(&session_, &ProgrammeSession::noteChanged, note_, &QLabel::setText);
    connect(&session_, &ProgrammeSession::recordProblemChanged, this, &ProgrammeWindow::refresh);
    connect(&session_.model(), &ProgrammeModel::editRefused, this, [this](const QString &reason) {
        note_->setText(reason);
        const QRect cell = table_->visualRect(table_->currentIndex());
        QToolTip::showText(table_->viewport()->mapToGlobal(cell.bottomLeft()), reason, table_);
    });
    connect(&session_, &ProgrammeSession::changed, this, &ProgrammeWindow::refresh);
    // A programme taken whole brings its own plan, and says so.
    connect(&session_.document(), &ProgrammeDocument::sessionChanged, this, &ProgrammeWindow::showPlan);
    showPlan();
    connect(&session_.document(), &ProgrammeDocument::modifiedChanged, this, &ProgrammeWindow::refresh);
    // The session's times move with the clock.
    connect(&viewer_.feed(), &ShownFeed::changed, this, &ProgrammeWindow::refresh);
    refresh();
}

void ProgrammeWindow::showClock()
{
    clock_->setText(platform_.now().toString(QStringLiteral("HH:mm:ss")));
}

// One button a saved message, sent at a click; its context menu lets it go.
void ProgrammeWindow::showSavedMessages()
{
    while (QLayoutItem *item = savedMessages_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    const QStringList saved = session_.savedMessages();
    for (qsizetype i = 0; i < saved.size(); ++i) {
        // A long one shows its start: the row of them must not widen the window.
        auto *send = new QPushButton(saved[i].size() > 16 ? saved[i].left(15) + u'…' : saved[i], this);
        send->setToolTip(saved[i]);
        send->setObjectName(QStringLiteral("SavedMessage_%1").arg(i));
        send->setAutoDefault(false);
        send->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(send, &QPushButton::clicked, this, [this, text = saved[i]] {
            messageLine_->setText(text);
            message_.set(text);
        });
        connect(send, &QWidget::customContextMenuRequested, this, [this, send, i](const QPoint &at) {
            auto *menu = new QMenu(send);
            menu->setAttribute(Qt::WA_DeleteOnClose);
            menu->addAction(QStringLiteral("一覧から削除"), this,
                            [this, i] { session_.forgetMessage(static_cast<int>(i)); });
            menu->popup(send->mapToGlobal(at));
        });
        savedMessages_->addWidget(send);
    }
    savedMessages_->addStretch();
}

int ProgrammeWindow::selectedRow() const
{
    const QModelIndexList rows = table_->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.constFirst().row();
}

void ProgrammeWindow::refresh()
{
    const ProgrammeDocument &document = session_.document();
    const QString name = session_.path().isEmpty() ? QString() : QFileInfo(session_.path()).fileName();
    QString title =
        document.hasProgramme() ? document.programme().title : QStringLiteral("プログラムがありません");
    if (!name.isEmpty())
        title += QStringLiteral("（%1）").arg(name);
    if (document.isModified())
        title += QStringLiteral(" *");
    title_->setText(title);
    const QString message = message_.text();
    messageState_->setText(message.isEmpty() ? QStringLiteral("スピーカーへのメッセージ: なし")
                                             : QStringLiteral("表示中: 「%1」").arg(message));
    QString record = document.hasProgramme() ? QStringLiteral("記録: ") + session_.recordPath() : QString();
    if (!session_.recordProblem().isEmpty())
        record += QStringLiteral("\n") + session_.recordProblem();
    record_->setText(record);
    QPalette recordColours = record_->palette();
    recordColours.setColor(QPalette::WindowText, session_.recordProblem().isEmpty()
                                                     ? palette().color(QPalette::WindowText)
                                                     : QColor(176, 0, 0));
    record_->setPalette(recordColours);

    // The figures the remote pages show too, from the same state of the window.
    const Shown &shown = viewer_.feed().current();
    if (!shown.session) {
        glance_->clear();
        return;
    }
    const auto clock = [](const QDateTime &moment) { return moment.toString(QStringLiteral("HH:mm")); };
    QString glance = QStringLiteral("%1番目 / %2 件　").arg(shown.talk->number).arg(shown.talk->count);
    if (shown.session->plannedEnd)
        glance += QStringLiteral("予定終了 %1　").arg(clock(*shown.session->plannedEnd));
    glance += QStringLiteral("見込み終了 %1").arg(clock(shown.session->projectedEnd));
    if (shown.session->behindSeconds)
        glance += QStringLiteral("　%1").arg(scheduleInWords(*shown.session->behindSeconds));
    glance_->setText(glance);
}

void ProgrammeWindow::showPlan()
{
    const ProgrammeDocument &document = session_.document();
    titleBox_->setText(document.programme().title);
    startBox_->setText(document.plannedStartText());
    changeoverBox_->setText(document.changeoverText());
    for (QLineEdit *edited : {titleBox_, startBox_, changeoverBox_})
        edited->setEnabled(document.hasProgramme());
}

void ProgrammeWindow::openRecord()
{
    const QString path = session_.recordPath();
    if (!session_.document().hasProgramme() || !QFileInfo::exists(path))
        note_->setText(QStringLiteral("記録はまだありません。発表を1回計測すると作られます。"));
    else if (!platform_.openInDesktop(path))
        note_->setText(QStringLiteral("記録「%1」を開けませんでした。").arg(path));
}

void ProgrammeWindow::openFile()
{
    if (!session_.settleUnsaved())
        return;
    if (const std::optional<QString> path = platform_.chooseProgrammeFile(false, session_.path()))
        session_.open(*path);
}

void ProgrammeWindow::prepareSelected()
{
    if (const int row = selectedRow(); row >= 0)
        session_.prepare(row + 1);
}

void ProgrammeWindow::removeSelected()
{
    if (const int row = selectedRow(); row >= 0)
        session_.model().removeTalk(row);
}

void ProgrammeWindow::moveSelected(int by)
{
    const int row = selectedRow();
    if (row < 0)
        return;
    ProgrammeModel &model = session_.model();
    if (by < 0 ? model.moveTalkUp(row) : model.moveTalkDown(row))
        table_->selectRow(row + by);
}

bool ProgrammeWindow::eventFilter(QObject *watched, QEvent *event)
{
    // Esc on the message line takes the message away.
    if (watched == messageLine_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        messageLine_->clear();
        message_.set({});
        return true;
    }
    // Enter on a talk prepares it. Enter in a cell's editor commits the edit, as in a spreadsheet:
    // the editor lets the key pass on to the table once it has handed the commit to the event loop,
    // and the focus is then still the editor's.
    if (watched == table_ && event->type() == QEvent::KeyPress && QApplication::focusWidget() == table_) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            prepareSelected();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ProgrammeWindow::closeEvent(QCloseEvent *event)
{
    if (session_.settleUnsaved())
        event->accept();
    else
        event->ignore();
}
