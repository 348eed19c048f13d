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

RemoteOptions parseRemoteOptions(const QStringList &arguments)
{
    RemoteOptions options;
    auto settings = [&options]() -> RemoteServer::Settings & {
        if (!options.settings)
            options.settings.emplace();
        return *options.settings;
    };
    auto fail = [&options](const QString &message) {
        options.settings.reset();
        options.error = QStringLiteral("podiumwatch: ") + message;
        return options;
    };

    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == RemoteOption) {
            settings().port = RemoteServer::Settings().port;
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
            settings().port = static_cast<quint16>(port);
        } else if (argument.startsWith(BindOption + QLatin1Char('='))) {
            QString value = valueOf(argument, BindOption);
            if (value.size() > 2 && value.startsWith(QLatin1Char('[')) && value.endsWith(QLatin1Char(']')))
                value = value.mid(1, value.size() - 2);
            QHostAddress address;
            if (value.isEmpty() || !address.setAddress(value))
                return fail(QStringLiteral("invalid address \"%1\" in %2 (an IPv4 or IPv6 address, such as "
                                           "192.168.1.10 or ::1)")
                                .arg(value, argument));
            settings().bind = address;
        } else if (argument == BindOption) {
            return fail(QStringLiteral("%1 needs an address: %1=ADDRESS").arg(BindOption));
        } else if (argument.startsWith(RemoteOption)) {
            return fail(
                QStringLiteral("unknown option %1 (use --remote, --remote=PORT or --remote-bind=ADDRESS)")
                    .arg(argument));
        }
    }
    return options;
}
