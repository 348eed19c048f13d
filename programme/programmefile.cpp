#include "programme/programmefile.h"

#include "programme/programmefileparts.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace programmefile {

QString fieldMissing(const QString &place, const QString &field)
{
    return QStringLiteral("%1に「%2」がありません。").arg(place, field);
}

QString tooMany(const QString &what, int count, int most)
{
    return QStringLiteral("%1は %2 件までです（%3 件あります）。")
        .arg(what, QString::number(most), QString::number(count));
}

QString tooLarge()
{
    return QStringLiteral("ファイルが大きすぎます（発表プログラムは 1 MiB までです）。");
}

QString noTalks()
{
    return QStringLiteral("発表が 1 件もありません。");
}

Result<Programme> refused(const QString &message)
{
    return Result<Programme>::failure(message);
}

} // namespace programmefile

using programmefile::refused;
using programmefile::tooLarge;

Result<Programme> readProgrammeFile(const QString &path)
{
    const QFileInfo info(path);
    const QString name = info.fileName();
    if (!info.exists())
        return refused(QStringLiteral("ファイル「%1」が見つかりません。").arg(name));
    // Opening a pipe or a device could wait for ever.
    if (!info.isFile())
        return refused(QStringLiteral("「%1」は普通のファイルではないので読めません。").arg(name));
    if (info.size() > kLargestProgrammeFile)
        return refused(tooLarge());
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refused(QStringLiteral("ファイル「%1」を開けません。").arg(name));
    // One byte more than allowed tells a file that grew since it was looked at.
    const QByteArray bytes = file.read(std::min(info.size(), kLargestProgrammeFile) + 1);
    const QString folder = info.absolutePath();
    const QString suffix = info.suffix().toLower();
    if (suffix == u"json")
        return readProgrammeJson(bytes, folder);
    if (suffix == u"csv")
        return readProgrammeCsv(bytes, folder);
    const QByteArray start = (bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes).trimmed();
    return start.startsWith('{') ? readProgrammeJson(bytes, folder) : readProgrammeCsv(bytes, folder);
}
