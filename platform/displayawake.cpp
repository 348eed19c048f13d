#include "platform/displayawake.h"

#ifdef PODIUMWATCH_HAVE_DBUS
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
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

} // namespace
#endif

DisplayAwake::DisplayAwake(QObject *parent) : QObject(parent)
{
}

DisplayAwake::~DisplayAwake()
{
    wanted_ = false;
    settle();
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
        pending_ = true;
        auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *answer) {
            answer->deleteLater();
            pending_ = false;
            const QDBusPendingReply<uint> reply = *answer;
            if (reply.isValid())
                cookie_ = reply.value();
            else if (wanted_)
                return; // refused: asking again at once would ask without end; the next start asks
            settle();
        });
    } else {
        QDBusMessage call = screenSaverCall(QStringLiteral("UnInhibit"));
        call << cookie_;
        cookie_ = 0;
        bus.asyncCall(call);
    }
#endif
}
