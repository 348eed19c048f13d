#include "remote/remoteview.h"

#include "forms/slave.h"
#include "forms/viewer.h"
#include "platform/platform.h"
#include "remote/remotewindow.h"
#include "session/sessionparts.h"

#include <QAbstractButton>
#include <QDateTime>
#include <QMenu>
#include <QUrl>

#ifdef Q_OS_WIN
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#endif

namespace {

// A numeric IPv4 or IPv6 address (an IPv6 one may name its interface after a %).
bool isAddress(const QString &text)
{
    const QByteArray bytes = text.section(QLatin1Char('%'), 0, 0).toLatin1();
    unsigned char parsed[16];
    return !bytes.isEmpty() && (inet_pton(AF_INET, bytes.constData(), parsed) == 1 ||
                                inet_pton(AF_INET6, bytes.constData(), parsed) == 1);
}

} // namespace

RemoteView::RemoteView(Viewer &viewer, SessionParts &session, Platform &platform,
                       const RemoteSettings &options, const QString &serverPath)
    : QObject(&session), viewer_(viewer), session_(session), platform_(platform), options_(options),
      server_(serverPath), cues_(viewer, session, platform)
{
    // Cues go only where the desk asked for them; without a target they are not even sent to the
    // server's process.
    if (!options_.desk.oscSend.isEmpty() || !options_.desk.cueUrls.isEmpty())
        connect(&cues_, &DeskCues::cue, &server_, &RemoteProcess::cue);
    connect(&viewer_.feed(), &ShownFeed::changed, this, &RemoteView::publishSoon);
    connect(&viewer_, &Viewer::contextMenuOpening, this, &RemoteView::addToMenu);
    // No control page may go on driving a clock that nobody sees.
    connect(&viewer_, &Viewer::closed, this, &RemoteView::stop);
    connect(&session_.programme(), &ProgrammeSession::messagesChanged, this, &RemoteView::publishSoon);
    // The control page shows the time of day: it changes every second, whatever the display does.
    clock_.setInterval(1000);
    connect(&clock_, &QTimer::timeout, this, &RemoteView::publishSoon);
    connect(&server_, &RemoteProcess::started, this, [this] { startedOrFailed({}); });
    connect(&server_, &RemoteProcess::failed, this, &RemoteView::startedOrFailed);
    connect(&server_, &RemoteProcess::gaveUp, this, &RemoteView::gaveUp);
    connect(&server_, &RemoteProcess::commandRequested, this,
            [this](const RemoteCommand &command, quint64 id) { server_.settle(id, carryOut(command)); });
}

RemoteView::~RemoteView()
{
    delete window_.data();
}

Result<> RemoteView::check(const RemoteSettings &options)
{
    if (!options.bind.isEmpty() && !isAddress(options.bind))
        return Result<>::failure(
            QStringLiteral("podiumwatch: invalid address \"%1\" in --remote-bind (an IPv4 or IPv6 address, "
                           "such as 192.168.1.10 or ::1)")
                .arg(options.bind));
    const DeskSettings &desk = options.desk;
    if (!desk.oscBind.isEmpty() && !isAddress(desk.oscBind))
        return Result<>::failure(
            QStringLiteral("podiumwatch: invalid address \"%1\" in --osc-bind (an IPv4 or IPv6 address)")
                .arg(desk.oscBind));
    if (desk.oscSend.size() + desk.cueUrls.size() > remotelimits::kCueTargets)
        return Result<>::failure(
            QStringLiteral("podiumwatch: at most %1 targets in --osc-send and --cue-url together")
                .arg(remotelimits::kCueTargets));
    for (const QString &target : desk.oscSend) {
        // HOST:PORT, the host a name, an IPv4 address or an IPv6 one in brackets.
        const qsizetype colon = target.lastIndexOf(QLatin1Char(':'));
        bool ok = false;
        const uint port = target.mid(colon + 1).toUInt(&ok, 10);
        QString host = target.left(colon);
        if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
            host = host.mid(1, host.size() - 2);
        else if (host.contains(QLatin1Char(':')))
            host.clear();
        if (colon <= 0 || !ok || port == 0 || port > 65535 || host.isEmpty())
            return Result<>::failure(
                QStringLiteral("podiumwatch: invalid target \"%1\" in --osc-send (HOST:PORT, such as "
                               "192.168.1.20:53000 or [::1]:53000)")
                    .arg(target));
    }
    for (const QString &address : desk.cueUrls) {
        const QUrl url(address, QUrl::StrictMode);
        if (!url.isValid() || url.scheme() != QLatin1String("http") || url.host().isEmpty())
            return Result<>::failure(
                QStringLiteral("podiumwatch: invalid address \"%1\" in --cue-url (http://HOST[:PORT]/PATH)")
                    .arg(address));
    }
    return {};
}

void RemoteView::start()
{
    viewer_.showNotice({});
    if (const Result<> checked = check(options_); !checked) {
        startedOrFailed(checked.error());
        return;
    }
    published_.reset();
    publishNow(); // the server's first state, before it listens
    server_.start(options_);
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
    clock_.start();
    if (server_.port() != 0)
        emit started(server_.viewUrl(), server_.controlUrl());
    if (server_.oscPort() != 0)
        emit oscStarted(options_.desk.oscBind.isEmpty() ? QStringLiteral("127.0.0.1") : options_.desk.oscBind,
                        server_.oscPort());
    if (std::exchange(showAddressesWhenStarted_, false))
        showAddresses();
}

void RemoteView::gaveUp()
{
    // Mid-talk, a message box would stand in the chair's way; the sign stays until it is started
    // again. What went wrong is on standard error, for whoever looks into it later.
    clock_.stop();
    if (window_)
        window_->close();
    viewer_.showNotice(
        QStringLiteral("リモート停止"),
        QStringLiteral("リモート表示のサーバーが1分間に%1回止まったため、リモート表示を止めました。"
                       "右クリックの「リモート表示を開始」で、新しいアドレスで再開できます。")
            .arg(RemoteProcess::kFailuresGivenUp));
}

void RemoteView::stop()
{
    // Stopping ends the server: the old addresses are revoked.
    clock_.stop();
    server_.stop();
    // Closed, not deleted: the window's own button may be what asked for this.
    if (window_)
        window_->close();
}

void RemoteView::publishSoon()
{
    // A tick changes the text and the colours one after the other: send the state once they are
    // all written, as soon as the tick's handler has returned.
    if (!server_.isStarted() || publishPending_)
        return;
    publishPending_ = true;
    QMetaObject::invokeMethod(this, &RemoteView::publishNow, Qt::QueuedConnection);
}

void RemoteView::publishNow()
{
    publishPending_ = false;
    const auto *toggle = viewer_.findChild<QAbstractButton *>(QStringLiteral("Check_Mask"));
    RemoteState state{viewer_.feed().current(), session_.programme().savedMessages(),
                      platform_.now().toString(QStringLiteral("HH:mm:ss")),
                      viewer_.slave() && viewer_.slave()->isVisible(),
                      // The toggle is ticked while the settings show.
                      toggle && !toggle->isChecked(), options_.room};
    // A state a viewer could not tell from the last one is not sent again.
    if (state == published_)
        return;
    published_ = state;
    server_.publish(stateJson(state, QDateTime::currentMSecsSinceEpoch()));
}

// The table's ranges are the programme's and the message's own limits.
static_assert(commandEntry(RemoteCommand::Kind::Goto).argument.most == kMostTalks);
static_assert(commandEntry(RemoteCommand::Kind::MessageSaved).argument.most == kMostMessages - 1);
static_assert(commandEntry(RemoteCommand::Kind::Message).argument.most == kLongestMessage);

CommandVerdict RemoteView::carryOut(const RemoteCommand &command)
{
    using Kind = RemoteCommand::Kind;
    const Shown before = viewer_.shown();
    const CommandEntry &entry = commandEntry(command.kind);
    // The server checked the argument; what comes over the channel is checked again all the same,
    // as a stranger's.
    if (entry.argument.kind == CommandArgument::Kind::Number && !entry.argument.admits(command.number))
        return {400, entry.argument.numberRefusal()};
    // Refused alike from every transport, in the states the table names, before the window is asked.
    if (!entry.acceptedIn[static_cast<std::size_t>(before.state)])
        return {409, QByteArray(entry.refusal.data(), entry.refusal.size())};
    switch (command.kind) {
    case Kind::Message:
        session_.message().set(command.text);
        return {};
    case Kind::Adjust: {
        // The window refuses as it refuses the keypad's keys; the reason is only put in words here.
        bool moved = false;
        const auto watch = connect(&viewer_, &Viewer::remainingAdjusted, this, [&moved] { moved = true; });
        viewer_.adjustRemaining(command.number);
        disconnect(watch);
        if (!moved)
            return {409, "the time is at its limit"};
        return {};
    }
    case Kind::Previous:
    case Kind::Next:
    case Kind::Goto: {
        ProgrammeSession &session = session_.programme();
        const bool moved = command.kind == Kind::Next       ? session.next()
                           : command.kind == Kind::Previous ? session.previous()
                                                            : session.prepare(command.number);
        if (moved)
            return {};
        return {409, !session.model().hasProgramme() ? "there is no programme" : "there is no talk there"};
    }
    case Kind::MessageSaved: {
        const QStringList saved = session_.programme().savedMessages();
        if (command.number >= saved.size())
            return {409, "there is no saved message there"};
        session_.message().set(saved.at(command.number));
        return {};
    }
    case Kind::Projector:
        // The window's own Slave button opens it (or brings it back where it was); off closes it.
        if (command.number == 1)
            viewer_.Cmd_Slave_Click();
        else if (viewer_.slave())
            viewer_.slave()->close();
        publishSoon(); // the desk's button follows at once, not with the next second
        return {};
    case Kind::Mask:
        // The toggle is ticked while the settings show: masked is unticked, as a click leaves it.
        if (auto *toggle = viewer_.findChild<QAbstractButton *>(QStringLiteral("Check_Mask"));
            toggle && toggle->isChecked() == (command.number == 1))
            toggle->click();
        publishSoon();
        return {};
    // The picture buttons' handlers press the run buttons, as an operator's click does.
    case Kind::Start:
        // Without a time on the display the button says so in a message box on the operator's
        // screen, which a press from afar should not open.
        if (before.state == RunState::Setup && !before.remaining)
            return {409, "no time is set"};
        viewer_.Img_Start_Click();
        return {};
    case Kind::Pause:
        viewer_.Img_Pause_Click();
        return {};
    case Kind::Restart:
        viewer_.Img_ReStart_Click();
        return {};
    case Kind::Reset:
        viewer_.Img_Stop_Click();
        return {};
    }
    return {};
}

void RemoteView::addToMenu(QMenu *menu)
{
    menu->addSeparator();
    if (servesPages()) {
        menu->addAction(QStringLiteral("リモート表示のアドレス"), this, &RemoteView::showAddresses);
        menu->addAction(QStringLiteral("リモート表示を停止"), this, [this] {
            // The desk's OSC and cues were asked for on the command line: they go on without pages.
            if (options_.desk.isOn()) {
                options_.http = false;
                if (window_)
                    window_->close();
                start();
            } else {
                stop();
            }
        });
    } else {
        menu->addAction(QStringLiteral("リモート表示を開始"), this, [this] {
            options_.http = true;
            showAddressesWhenStarted_ = true;
            start();
        });
    }
}

void RemoteView::showAddresses()
{
    if (!servesPages())
        return;
    if (!window_) {
        auto *window = new RemoteWindow(server_.viewUrl(), server_.controlUrl());
        connect(window, &RemoteWindow::stopRequested, this, &RemoteView::stop);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window_ = window;
    }
    window_->show();
    window_->raise();
}
