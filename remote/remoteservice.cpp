#include "remote/remoteservice.h"

#include <QCoreApplication>
#include <QLibrary>

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
