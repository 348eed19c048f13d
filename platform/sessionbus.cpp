#include "platform/sessionbus.h"

#include <QDeadlineTimer>
#include <QList>
#include <QtGlobal>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_LINUX

// Long enough for a bus busy with a desktop starting up; a wrong verdict costs the screen reader.
constexpr int kSessionBusPatienceMs = 2000;

// A connected socket to a unix address entry ("unix:path=..." or "unix:abstract=..."), or minus
// the reason it could not connect; -EAGAIN means the listener's queue is full: it is not accepting.
int connectUnix(const QByteArray &entry)
{
    const QByteArray options = entry.mid(entry.indexOf(':') + 1);
    for (const QByteArray &option : options.split(',')) {
        const bool abstract = option.startsWith("abstract=");
        if (!abstract && !option.startsWith("path="))
            continue;
        const QByteArray name = QByteArray::fromPercentEncoding(option.mid(option.indexOf('=') + 1));
        sockaddr_un where{};
        where.sun_family = AF_UNIX;
        const std::size_t skip = abstract ? 1 : 0; // an abstract name starts with a zero byte
        if (name.isEmpty() || skip + std::size_t(name.size()) >= sizeof where.sun_path)
            return -EINVAL;
        std::memcpy(where.sun_path + skip, name.constData(), std::size_t(name.size()));
        const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + skip + std::size_t(name.size()));
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0)
            return -errno;
        if (::connect(fd, reinterpret_cast<const sockaddr *>(&where), length) == 0)
            return fd;
        const int reason = errno;
        ::close(fd);
        return -reason;
    }
    return -EINVAL;
}

// Sends the opening of the authentication handshake (a zero byte, then AUTH with no mechanism, to
// which a bus replies with the mechanisms it takes) and waits for any reply.
SessionBusKnock knock(int fd, int timeoutMs)
{
    static const char opening[] = "\0AUTH\r\n";
    if (::send(fd, opening, sizeof opening - 1, MSG_NOSIGNAL) != qsizetype(sizeof opening - 1))
        return SessionBusKnock::Unreachable;
    const QDeadlineTimer deadline(timeoutMs);
    pollfd wanted{fd, POLLIN, 0};
    int ready = 0;
    do
        ready = ::poll(&wanted, 1, int(deadline.remainingTime()));
    while (ready < 0 && errno == EINTR);
    if (ready == 0)
        return SessionBusKnock::Silent;
    char reply[64];
    if (ready < 0 || ::recv(fd, reply, sizeof reply, 0) <= 0)
        return SessionBusKnock::Unreachable;
    return SessionBusKnock::Answers;
}

#endif

} // namespace

SessionBusKnock knockOnSessionBus(const QByteArray &address, int timeoutMs)
{
#ifdef Q_OS_LINUX
    for (const QByteArray &entry : address.split(';')) {
        if (entry.isEmpty())
            continue;
        if (!entry.startsWith("unix:"))
            return SessionBusKnock::NotChecked;
        const int fd = connectUnix(entry);
        if (fd == -EAGAIN)
            return SessionBusKnock::Silent;
        if (fd < 0)
            continue; // the D-Bus library, too, goes on to the next address
        const SessionBusKnock found = knock(fd, timeoutMs);
        ::close(fd);
        return found;
    }
    return SessionBusKnock::Unreachable;
#else
    Q_UNUSED(address);
    Q_UNUSED(timeoutMs);
    return SessionBusKnock::NotChecked;
#endif
}

void avoidSilentSessionBus()
{
#ifdef Q_OS_LINUX
    QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    // Without an address, the D-Bus library looks for the bus in the user's runtime folder.
    if (address.isEmpty() && qEnvironmentVariableIsSet("XDG_RUNTIME_DIR"))
        address = "unix:path=" + (qgetenv("XDG_RUNTIME_DIR") + "/bus").toPercentEncoding("/");
    if (knockOnSessionBus(address, kSessionBusPatienceMs) != SessionBusKnock::Silent)
        return;
    // An address of a kind the D-Bus library does not know makes every connection fail at once
    // (and stops it from starting a bus of its own); screen reader and screen keep-awake are lost.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
    qWarning("The session bus (%s) does not answer; going on without it: the screen may blank "
             "while the clock runs, and screen readers cannot follow the program.",
             address.constData());
#endif
}
