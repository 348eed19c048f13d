#include "app/commandline.h"

#include <algorithm>

namespace {

const QString RemoteOption = QStringLiteral("--remote");
const QString BindOption = QStringLiteral("--remote-bind");

QString valueOf(const QString &argument, const QString &option)
{
    return argument.mid(option.size() + 1);
}

} // namespace

CommandLine parseCommandLine(const QStringList &arguments)
{
    CommandLine line;
    auto remote = [&line]() -> RemoteOptions & {
        if (!line.remote)
            line.remote.emplace();
        return *line.remote;
    };
    auto fail = [&line](const QString &message) {
        line.remote.reset();
        line.error = QStringLiteral("podiumwatch: ") + message;
        return line;
    };

    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == RemoteOption) {
            remote().port = RemoteOptions().port;
        } else if (argument.startsWith(RemoteOption + QLatin1Char('='))) {
            const QString value = valueOf(argument, RemoteOption);
            bool ok = false;
            const uint port = value.toUInt(&ok, 10);
            // toUInt takes a sign and surrounding spaces; a port is plain digits.
            const bool digits = !value.isEmpty() && std::all_of(value.cbegin(), value.cend(),
                                                                [](QChar c) { return c.isDigit(); });
            if (!ok || !digits || port > 65535)
                return fail(QStringLiteral(
                                "invalid port \"%1\" in %2 (a number from 0 to 65535; 0 picks a free port)")
                                .arg(value, argument));
            remote().port = static_cast<quint16>(port);
        } else if (argument.startsWith(BindOption + QLatin1Char('='))) {
            QString value = valueOf(argument, BindOption);
            if (value.size() > 2 && value.startsWith(QLatin1Char('[')) && value.endsWith(QLatin1Char(']')))
                value = value.mid(1, value.size() - 2);
            if (value.isEmpty())
                return fail(QStringLiteral("%1 needs an address: %1=ADDRESS").arg(BindOption));
            remote().bind = value;
        } else if (argument == BindOption) {
            return fail(QStringLiteral("%1 needs an address: %1=ADDRESS").arg(BindOption));
        } else if (argument.startsWith(RemoteOption)) {
            return fail(
                QStringLiteral("unknown option %1 (use --remote, --remote=PORT or --remote-bind=ADDRESS)")
                    .arg(argument));
        }
    }
    return line;
}
