#include "app/commandline.h"

#include <algorithm>

namespace {

const QString RemoteOption = QStringLiteral("--remote");
const QString BindOption = QStringLiteral("--remote-bind");
const QString ProgrammeOption = QStringLiteral("--programme");

QString valueOf(const QString &argument, const QString &option)
{
    return argument.mid(option.size() + 1);
}

} // namespace

CommandLine parseCommandLine(const QStringList &arguments)
{
    CommandLine line;
    auto remote = [&line]() -> RemoteSettings & {
        if (!line.remote)
            line.remote.emplace();
        return *line.remote;
    };
    auto fail = [&line](const QString &message) {
        line.remote.reset();
        line.error = QStringLiteral("podiumwatch: ") + message;
        return line;
    };

    // A file opened with the program from a file manager comes alone.
    if (arguments.size() == 2 && !arguments[1].startsWith(QLatin1Char('-')) &&
        (arguments[1].endsWith(QLatin1String(".json"), Qt::CaseInsensitive) ||
         arguments[1].endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))) {
        line.programme = arguments[1];
        return line;
    }
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == ProgrammeOption) {
            if (i + 1 >= arguments.size())
                return fail(QStringLiteral("%1 needs a file: %1 FILE").arg(ProgrammeOption));
            line.programme = arguments.at(++i);
        } else if (argument.startsWith(ProgrammeOption + QLatin1Char('='))) {
            line.programme = valueOf(argument, ProgrammeOption);
            if (line.programme.isEmpty())
                return fail(QStringLiteral("%1 needs a file: %1 FILE").arg(ProgrammeOption));
        } else if (argument == RemoteOption) {
            remote().port = RemoteSettings().port;
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
