#include "platform/displayawake.h"

#ifdef PODIUMWATCH_HAVE_DBUS
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QPointer>
#include <utility>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

#ifdef PODIUMWATCH_HAVE_DBUS
namespace {

QDBusMessage screenSaverCall(const QString &method)
{
    return QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.ScreenSaver"),
                                          QStringLiteral("/org/freedesktop/ScreenSaver"),
                                          QStringLiteral("org.freedesktop.ScreenSaver"), method);
}

void uninhibit(const QDBusConnection &bus, uint cookie)
{
    QDBusMessage call = screenSaverCall(QStringLiteral("UnInhibit"));
    call << cookie;
    bus.asyncCall(call);
}

} // namespace
#endif

DisplayAwake::DisplayAwake(QObject *parent) : QObject(parent)
{
}

DisplayAwake::~DisplayAwake()
{
    wanted_ = false;
    settle();
#ifdef PODIUMWATCH_HAVE_DBUS
    // An inhibit still unanswered keeps its watcher, whose answer releases whatever the desktop
    // grants. Waiting for the answer here instead would hold the exit for as long as the desktop
    // takes, and a bound on that wait would still leave a lock granted after it; once the process
    // is gone, its leaving the bus ends its inhibits by the desktop's own rule.
    if (pending_)
        pending_->setParent(QCoreApplication::instance());
#endif
}

void DisplayAwake::request(bool awake)
{
    wanted_ = awake;
    settle();
}

// Brings what the desktop holds in line with what is wanted. Calls never wait for the desktop's
// answer: the clock must not stall on a slow or absent service.
void DisplayAwake::settle()
{
#ifdef Q_OS_WIN
    SetThreadExecutionState(wanted_ ? ES_CONTINUOUS | ES_DISPLAY_REQUIRED | ES_SYSTEM_REQUIRED
                                    : ES_CONTINUOUS);
#endif
#ifdef PODIUMWATCH_HAVE_DBUS
    if (pending_ || wanted_ == (cookie_ != 0))
        return; // settled again when the answer comes, or nothing to change
    // The bus is looked up only when there is something to ask of it: a program whose clock never
    // ran does not reach for it, not even at exit.
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    if (wanted_) {
        QDBusMessage call = screenSaverCall(QStringLiteral("Inhibit"));
        call << QStringLiteral("Podium Watch") << QStringLiteral("A talk is being timed");
        pending_ = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
        connect(pending_, &QDBusPendingCallWatcher::finished, pending_,
                [self = QPointer(this), bus](QDBusPendingCallWatcher *answer) {
                    answer->deleteLater();
                    const QDBusPendingReply<uint> reply = *answer;
                    if (!self) {
                        if (reply.isValid())
                            uninhibit(bus, reply.value()); // granted to nobody any more
                        return;
                    }
                    self->pending_ = nullptr;
                    if (reply.isValid())
                        self->cookie_ = reply.value();
                    else if (self->wanted_)
                        return; // refused: asking again at once would ask without end; the next start asks
                    self->settle();
                });
    } else {
        uninhibit(bus, std::exchange(cookie_, 0));
    }
#endif
}
