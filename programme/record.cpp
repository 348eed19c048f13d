#include "programme/record.h"

#include "programme/csv.h"
#include "programme/programme.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <cstdio>
#include <io.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

QString moment(const QDateTime &at)
{
    return at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString endWords(RunEnd end)
{
    switch (end) {
    case RunEnd::Reset:
        return QStringLiteral("リセット");
    case RunEnd::Restart:
        return QStringLiteral("再スタート");
    case RunEnd::NextTalk:
        return QStringLiteral("次の発表");
    case RunEnd::PreviousTalk:
        return QStringLiteral("前の発表");
    case RunEnd::Exit:
        return QStringLiteral("終了");
    }
    return {};
}

// Unbuffered, so that a write that fails says so at once and leaves nothing in a buffer to be
// written when the file is closed. Opened for appending through a C runtime stream on Windows: a QFile opened
// by name there holds a native handle and has no descriptor to sync.
bool openToAppend(QFile &file, const QString &path)
{
#ifdef Q_OS_WIN
    FILE *stream = _wfopen(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(path).utf16()), L"ab");
    return stream && file.open(stream, QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered,
                               QFileDevice::AutoCloseHandle);
#else
    // Without waiting: a FIFO where the record should be would hold the window's thread until
    // something read it. Opened so, a FIFO with no reader fails at once, and anything that is not
    // a regular file is refused before a byte is written.
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) ||
        !file.open(fd, QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered,
                   QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
#endif
}

} // namespace

// Written by the operating system to the disk itself, not only to its cache.
bool RecordWriter::syncToDisk(QFile &file)
{
    if (!file.flush())
        return false;
#ifdef Q_OS_WIN
    return _commit(file.handle()) == 0;
#else
    return ::fsync(file.handle()) == 0;
#endif
}

namespace {

} // namespace

QString recordHeader()
{
    return csvRecord({QStringLiteral("番号"), QStringLiteral("演題"), QStringLiteral("発表者"),
                      QStringLiteral("所属"), QStringLiteral("予定時間"), QStringLiteral("開始"),
                      QStringLiteral("終了"), QStringLiteral("発表時間"), QStringLiteral("一時停止回数"),
                      QStringLiteral("一時停止時間"), QStringLiteral("超過"), QStringLiteral("終了の仕方"),
                      QStringLiteral("調整（秒）")});
}

namespace {

// A cell a spreadsheet would take for a formula (a programme's title "=HYPERLINK(...)") is kept as
// text: a leading apostrophe is how Excel is told so.
QString asText(const QString &cell)
{
    return !cell.isEmpty() && QStringLiteral("=+-@\t\r").contains(cell.front()) ? u'\'' + cell : cell;
}

} // namespace

namespace {

// A duration as Excel reads one: hours, minutes and seconds ("0:12:30"). "12:30" alone it takes for
// half past noon, and "+1:00" for a time of day.
QString duration(int seconds)
{
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

QString recordLine(const TalkRun &run)
{
    // The adjustment is signed, which a duration cannot be: a number of seconds, as Excel reads one.
    return csvRecord({QString::number(run.number), asText(run.title), asText(run.speaker),
                      asText(run.affiliation), duration(run.plannedSeconds), moment(run.started),
                      moment(run.ended), duration(run.runningSeconds), QString::number(run.pauses),
                      duration(run.pausedSeconds), duration(run.mostOverSeconds), endWords(run.end),
                      QString::number(run.adjustmentSeconds)});
}

bool RecordWriter::append(const TalkRun &run)
{
    // A line that could not be written stays here and goes with the next, so that none is lost
    // while the disk is full for a while.
    unwritten_ += recordLine(run).toUtf8();
    QFile file;
    // The folder a record falls back to (the documents folder) may not be there yet.
    QDir().mkpath(QFileInfo(path_).absolutePath());
    if (!openToAppend(file, path_)) {
        errorString_ = QStringLiteral("記録ファイル「%1」を開けません。").arg(QFileInfo(path_).fileName());
        return false;
    }
    const qint64 before = file.size();
    QByteArray bytes;
    if (before == 0)
        bytes = "\xEF\xBB\xBF" + recordHeader().toUtf8();
    bytes += unwritten_;
    // One write, so that the line is never split by another writer's; and whole or not at all: a
    // write that fails part way (a full disk) is cut back, so that no fragment is left for the
    // next line to be glued onto.
    if (file.write(bytes) != bytes.size() || !sync_(file)) {
        file.resize(before);
        errorString_ =
            QStringLiteral("記録ファイル「%1」に書き込めません。").arg(QFileInfo(path_).fileName());
        return false;
    }
    unwritten_.clear();
    errorString_.clear();
    return true;
}

namespace {

// A folder there to be written in, or one that can be made: its nearest parent that is there is a
// folder that can be written in. The writer makes it before the first line.
bool canWriteIn(const QString &path)
{
    QFileInfo folder(QDir(path).absolutePath());
    // A dangling link counts as there: a folder cannot be made where it is.
    while (!folder.exists() && !folder.isSymLink()) {
        const QFileInfo parent(folder.absolutePath());
        if (parent.absoluteFilePath() == folder.absoluteFilePath())
            return false;
        folder = parent;
    }
    return folder.isDir() && folder.isWritable();
}

} // namespace

QString recordPathFor(const QString &programmePath, const QString &elsewhere)
{
    const QFileInfo programme(programmePath);
    const QString name =
        programmePath.isEmpty() ? QStringLiteral("podiumwatch") : programme.completeBaseName();
    const QString fileName = name + QStringLiteral(".record.csv");
    const QFileInfo folder(programme.absolutePath());
    if (!programmePath.isEmpty() && folder.isDir() && folder.isWritable())
        return QDir(folder.absoluteFilePath()).filePath(fileName);
    return QDir(!elsewhere.isEmpty() && canWriteIn(elsewhere) ? elsewhere : QDir::homePath())
        .filePath(fileName);
}
