#include "platform/remoteservice.h"

#include <QCoreApplication>
#include <QLibrary>

bool asksForRemoteView(const QStringList &arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i].startsWith(QLatin1String("--remote")))
            return true;
    }
    return false;
}

std::unique_ptr<RemoteService> loadRemoteService(QString *error, const QString &folder)
{
    const QString where = folder.isEmpty() ? QCoreApplication::applicationDirPath() : folder;
    // The platform's prefix and suffix are added by QLibrary (libpodiumwatch-remote.so here).
    QLibrary library(where + QStringLiteral("/podiumwatch-remote"));
    using Create = RemoteService *(*)();
    const auto create = reinterpret_cast<Create>(library.resolve("podiumwatch_remote_service"));
    if (!create) {
        if (error)
            *error = library.errorString();
        return nullptr;
    }
    // The library stays loaded for the rest of the run: its code is behind the object returned.
    return std::unique_ptr<RemoteService>(create());
}
