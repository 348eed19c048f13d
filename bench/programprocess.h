#pragma once

// What the benchmarks that drive the real program read of its processes, and how they wait.

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <algorithm>
#include <functional>
#include <vector>

inline QByteArray statusField(qint64 pid, const QByteArray &name)
{
    QFile file(QStringLiteral("/proc/%1/status").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith(name + ':'))
            return line.mid(name.size() + 1).trimmed();
    }
    return {};
}

inline double rssMiB(qint64 pid)
{
    return statusField(pid, "VmRSS").split(' ').value(0).toDouble() / 1024.0;
}

// The program's remote server process, or 0 while it has none.
inline qint64 serverOf(qint64 pid)
{
    QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(pid));
    if (!children.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &child : children.readAll().simplified().split(' ')) {
        QFile comm(QStringLiteral("/proc/%1/comm").arg(QString::fromLatin1(child)));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().startsWith("podiumwatch-rem"))
            return child.toLongLong();
    }
    return 0;
}

inline double percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(share * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

// Waits, with this thread's event loop running, until `done` or the time is up.
inline bool waitFor(const std::function<bool()> &done, int ms)
{
    const QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}
