#include "platform/helperprocess.h"

#include <QCoreApplication>
#include <QProcess>
#include <chrono>
#include <cstdlib>
#include <thread>
#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#endif

QString helperBesideProgram(const QString &name)
{
    QString path = QCoreApplication::applicationDirPath() + QLatin1Char('/') + name;
#ifdef Q_OS_WIN
    path += QStringLiteral(".exe");
#endif
    return path;
}

void discardHelper(QProcess *process, QObject *owner)
{
    if (!process)
        return;
    process->disconnect(owner);
    if (process->state() == QProcess::NotRunning) {
        process->deleteLater();
        return;
    }
    QObject::connect(process, &QProcess::stateChanged, process, [process](QProcess::ProcessState state) {
        if (state == QProcess::NotRunning)
            process->deleteLater();
    });
    // Whatever it is waiting for, it waits no more.
    process->kill();
}

void endHelpers(QObject *owner)
{
    for (QProcess *process : owner->findChildren<QProcess *>(Qt::FindDirectChildrenOnly)) {
        process->disconnect(owner);
        process->kill();
        process->waitForFinished(1000);
    }
}

void leaveAfterTheProgram()
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
    std::this_thread::sleep_for(std::chrono::seconds(2));
    std::_Exit(0);
}

void useBinaryStandardStreams()
{
#ifdef Q_OS_WIN
    _setmode(0, _O_BINARY);
    _setmode(1, _O_BINARY);
#endif
}
