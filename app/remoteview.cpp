#include "app/remoteview.h"

#include "forms/remotewindow.h"
#include "forms/viewer.h"
#include "platform/platform.h"

#include <QDateTime>
#include <QMenu>

RemoteView::RemoteView(Viewer &viewer, Platform &platform, const RemoteServer::Settings &settings)
    : QObject(&viewer), viewer_(viewer), platform_(platform), settings_(settings)
{
    connect(&viewer_, &Viewer::shownChanged, this, &RemoteView::publishSoon);
    viewer_.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&viewer_, &QWidget::customContextMenuRequested, this, &RemoteView::showMenu);
}

RemoteView::~RemoteView()
{
    delete window_.data();
}

bool RemoteView::start(QString *error)
{
    auto server = std::make_unique<RemoteServer>();
    if (!server->start(settings_, error))
        return false;
    server_ = std::move(server);
    connect(server_.get(), &RemoteServer::commandRequested, this, &RemoteView::command);
    publishNow();
    return true;
}

void RemoteView::stop()
{
    // Destroying the server closes every connection: the old addresses are revoked.
    server_.reset();
    // Closed, not deleted: the window's own button may be what asked for this.
    if (window_)
        window_->close();
}

void RemoteView::publishSoon()
{
    // A tick changes the text and the colours one after the other: send the state once they are
    // all written, as soon as the tick's handler has returned.
    if (!server_ || publishPending_)
        return;
    publishPending_ = true;
    QMetaObject::invokeMethod(this, &RemoteView::publishNow, Qt::QueuedConnection);
}

void RemoteView::publishNow()
{
    publishPending_ = false;
    if (!server_)
        return;
    const Viewer::Shown shown = viewer_.shown();
    static const char *const states[] = {"setup", "running", "paused"};
    RemoteSnapshot snapshot{shown.text,       shown.background,
                            shown.foreground, QString::fromLatin1(states[static_cast<int>(shown.state)]),
                            shown.remaining,  QDateTime::currentMSecsSinceEpoch()};
    server_->publish(snapshot);
}

void RemoteView::command(const QString &name)
{
    // The picture buttons' handlers press the run buttons, as an operator's click does.
    static const std::pair<const char *, const char *> handlers[] = {{"start", "Img_Start_Click"},
                                                                     {"pause", "Img_Pause_Click"},
                                                                     {"restart", "Img_ReStart_Click"},
                                                                     {"reset", "Img_Stop_Click"}};
    for (const auto &[command, handler] : handlers) {
        if (name == QLatin1String(command))
            QMetaObject::invokeMethod(&viewer_, handler);
    }
}

void RemoteView::showMenu(const QPoint &at)
{
    auto *menu = new QMenu(&viewer_);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    if (server_) {
        menu->addAction(QStringLiteral("リモート表示のアドレス"), this, &RemoteView::showAddresses);
        menu->addAction(QStringLiteral("リモート表示を停止"), this, &RemoteView::stop);
    } else {
        menu->addAction(QStringLiteral("リモート表示を開始"), this, [this] {
            QString error;
            if (start(&error)) {
                showAddresses();
                return;
            }
            platform_.showMessage(QStringLiteral("リモート表示を開始できません。\r\n") + error,
                                  Viewer::programTitle());
        });
    }
    // Not exec(): the menu must not hold the clock while it is open.
    menu->popup(viewer_.mapToGlobal(at));
}

void RemoteView::showAddresses()
{
    if (!server_)
        return;
    if (!window_) {
        window_ = new RemoteWindow(server_->viewUrl(), server_->controlUrl());
        window_->setAttribute(Qt::WA_DeleteOnClose);
        connect(window_, &RemoteWindow::stopRequested, this, &RemoteView::stop);
    }
    window_->show();
    window_->raise();
}
