#include "remote/remoteview.h"

#include "forms/viewer.h"
#include "platform/platform.h"
#include "programme/programmesession.h"

#include <QDateTime>
#include <QMenu>

RemoteView::RemoteView(Viewer &viewer, Platform &platform, const RemoteOptions &options,
                       const QString &libraryFolder)
    : QObject(&viewer), viewer_(viewer), platform_(platform), options_(options), libraryFolder_(libraryFolder)
{
    connect(&viewer_, &Viewer::shownChanged, this, &RemoteView::publishSoon);
    connect(&viewer_, &Viewer::contextMenuOpening, this, &RemoteView::addToMenu);
    connect(&viewer_.programme().model(), &ProgrammeModel::messagesChanged, this, &RemoteView::publishSoon);
    // The control page shows the time of day: it changes every second, whatever the display does.
    clock_.setInterval(1000);
    connect(&clock_, &QTimer::timeout, this, &RemoteView::publishSoon);
}

RemoteView::~RemoteView()
{
    delete window_.data();
}

bool RemoteView::configure(QString *error)
{
    if (!service_) {
        service_ = loadRemoteService(error, libraryFolder_);
        if (!service_)
            return false;
        service_->onCommand([this](const RemoteCommand &command) { this->command(command); });
        service_->onStarted([this](const QString &failure) { startedOrFailed(failure); });
    }
    return service_->configure(options_, error);
}

void RemoteView::start()
{
    if (QString error; !service_ && !configure(&error)) {
        startedOrFailed(error);
        return;
    }
    service_->start();
}

void RemoteView::startedOrFailed(const QString &failure)
{
    if (!failure.isEmpty()) {
        // Asked for from the menu, the operator is looking at the window, not at a terminal.
        if (std::exchange(showAddressesWhenStarted_, false))
            platform_.showMessage(QStringLiteral("リモート表示を開始できません。\r\n") + failure,
                                  Viewer::programTitle());
        emit failed(failure);
        return;
    }
    publishNow();
    clock_.start();
    emit started(service_->viewUrl(), service_->controlUrl());
    if (std::exchange(showAddressesWhenStarted_, false))
        showAddresses();
}

void RemoteView::stop()
{
    // Stopping closes every connection: the old addresses are revoked.
    clock_.stop();
    if (service_)
        service_->stop();
    // Closed, not deleted: the window's own button may be what asked for this.
    if (window_)
        window_->close();
}

void RemoteView::publishSoon()
{
    // A tick changes the text and the colours one after the other: send the state once they are
    // all written, as soon as the tick's handler has returned.
    if (!isRunning() || publishPending_)
        return;
    publishPending_ = true;
    QMetaObject::invokeMethod(this, &RemoteView::publishNow, Qt::QueuedConnection);
}

void RemoteView::publishNow()
{
    publishPending_ = false;
    if (!isRunning())
        return;
    const Viewer::Shown shown = viewer_.shown();
    RemoteSnapshot snapshot;
    snapshot.text = shown.text;
    snapshot.background = shown.background;
    snapshot.foreground = shown.foreground;
    snapshot.state = runStateKey(shown.state);
    snapshot.remaining = shown.remaining;
    snapshot.at = QDateTime::currentMSecsSinceEpoch();
    snapshot.message = shown.message;
    snapshot.messages = viewer_.programme().savedMessages();
    snapshot.clock = platform_.now().toString(QStringLiteral("HH:mm:ss"));
    const auto talk = [](const std::optional<Viewer::TalkShown> &named) -> std::optional<RemoteTalk> {
        if (!named)
            return std::nullopt;
        return RemoteTalk{named->number, named->count, named->title, named->speaker};
    };
    snapshot.talk = talk(shown.talk);
    snapshot.next = talk(shown.next);
    if (shown.session) {
        const auto clock = [](const QDateTime &moment) { return moment.toString(QStringLiteral("HH:mm")); };
        snapshot.session =
            RemoteSession{shown.session->plannedEnd ? clock(*shown.session->plannedEnd) : QString(),
                          clock(shown.session->projectedEnd), shown.session->behindSeconds};
    }
    service_->publish(snapshot);
}

void RemoteView::command(const RemoteCommand &command)
{
    if (command.kind == RemoteCommand::Kind::Message) {
        viewer_.setSpeakerMessage(command.text);
        return;
    }
    if (command.kind == RemoteCommand::Kind::Adjust) {
        viewer_.adjustRemaining(command.seconds);
        return;
    }
    // The picture buttons' handlers press the run buttons, as an operator's click does.
    using Handler = void (Viewer::*)();
    static constexpr std::pair<RemoteCommand::Kind, Handler> handlers[] = {
        {RemoteCommand::Kind::Start, &Viewer::Img_Start_Click},
        {RemoteCommand::Kind::Pause, &Viewer::Img_Pause_Click},
        {RemoteCommand::Kind::Restart, &Viewer::Img_ReStart_Click},
        {RemoteCommand::Kind::Reset, &Viewer::Img_Stop_Click},
        {RemoteCommand::Kind::Previous, &Viewer::previousTalk},
        {RemoteCommand::Kind::Next, &Viewer::nextTalk},
    };
    for (const auto &[kind, handler] : handlers) {
        if (command.kind == kind)
            (viewer_.*handler)();
    }
}

void RemoteView::addToMenu(QMenu *menu)
{
    menu->addSeparator();
    if (isRunning()) {
        menu->addAction(QStringLiteral("リモート表示のアドレス"), this, &RemoteView::showAddresses);
        menu->addAction(QStringLiteral("リモート表示を停止"), this, &RemoteView::stop);
    } else {
        menu->addAction(QStringLiteral("リモート表示を開始"), this, [this] {
            showAddressesWhenStarted_ = true;
            start();
        });
    }
}

void RemoteView::showAddresses()
{
    if (!isRunning())
        return;
    if (!window_) {
        window_ = service_->createAddressWindow([this] { stop(); });
        window_->setAttribute(Qt::WA_DeleteOnClose);
    }
    window_->show();
    window_->raise();
}
