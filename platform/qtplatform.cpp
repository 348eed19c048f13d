#include "platform/qtplatform.h"

#include "platform/displayawake.h"
#include "platform/soundplayer.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>
#ifdef Q_OS_LINUX
#include <time.h>
#endif

QtPlatform::Clocks QtPlatform::systemClocks()
{
    return {[] { return QDateTime::currentMSecsSinceEpoch(); },
            [] {
#ifdef Q_OS_LINUX
                // A laptop suspended mid-talk (lid closed by mistake) must find the talk's time
                // gone on when it wakes: the boot-time clock counts the suspended time, the
                // monotonic one does not.
                timespec now{};
                if (clock_gettime(CLOCK_BOOTTIME, &now) == 0)
                    return qint64{now.tv_sec} * 1000 + now.tv_nsec / 1'000'000;
#endif
                QElapsedTimer reading;
                reading.start();
                return reading.msecsSinceReference();
            }};
}

QtPlatform::QtPlatform(Clocks clocks, const QString &soundHelper)
    : clocks_(std::move(clocks)),
      sound_(std::make_unique<SoundPlayer>(soundHelper.isEmpty() ? SoundPlayer::defaultHelperPath()
                                                                 : soundHelper)),
      awake_(std::make_unique<DisplayAwake>())
{
}

QtPlatform::~QtPlatform() = default;

QDateTime QtPlatform::now() const
{
    // The countdown works in whole seconds; a stray millisecond part would make two ticks in the
    // same second disagree about the remaining time.
    return QDateTime::fromSecsSinceEpoch(clocks_.wallMs() / 1000);
}

qint64 QtPlatform::monotonicMs() const
{
    return clocks_.steadyMs();
}

void QtPlatform::playSound(const QString &name)
{
    sound_->play(name);
}

void QtPlatform::openSoundOutput()
{
    sound_->openOutput();
}

void QtPlatform::preloadSound(const QString &name)
{
    sound_->preload(name);
}

void QtPlatform::watchSoundOutput(std::function<void(bool available)> onChange)
{
    onChange(sound_->available());
    QObject::connect(sound_.get(), &SoundPlayer::availabilityChanged, sound_.get(), std::move(onChange));
}

void QtPlatform::keepDisplayAwake(bool awake)
{
    awake_->request(awake);
}

void QtPlatform::showMessage(const QString &text, const QString &caption)
{
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, dialogParent_);
    box.exec();
}

namespace {

// Opens the dialog on the folder and name of `startPath` and gives the file chosen, with
// `extension` added to a name typed without it (`always`: to any other name too); nullopt when the
// operator cancels.
std::optional<QString> chosenFile(QFileDialog &dialog, const QString &startPath, const QString &extension,
                                  bool always)
{
    dialog.setDefaultSuffix(extension);
    const QFileInfo start(QDir::fromNativeSeparators(startPath));
    if (!startPath.isEmpty()) {
        dialog.setDirectory(start.absolutePath());
        dialog.selectFile(start.fileName());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    QString chosen = dialog.selectedFiles().constFirst();
    // Whatever the dialog made of the name typed.
    const QString suffix = QFileInfo(chosen).suffix();
    if (suffix.isEmpty() || (always && suffix.compare(extension, Qt::CaseInsensitive) != 0))
        chosen += QLatin1Char('.') + extension;
    return QDir::toNativeSeparators(chosen);
}

} // namespace

std::optional<QString> QtPlatform::chooseWavFile(const QString &startPath)
{
    QFileDialog dialog(dialogParent_);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // The operator may name a file that does not exist yet; it is only a path to play later.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QStringLiteral("WAVファイル (*.wav)"));
    return chosenFile(dialog, startPath, QStringLiteral("wav"), false);
}

std::optional<QString> QtPlatform::chooseProgrammeFile(bool forSaving, const QString &startPath)
{
    QFileDialog dialog(dialogParent_);
    dialog.setAcceptMode(forSaving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(forSaving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilters(forSaving ? QStringList{QStringLiteral("プログラム (*.json)")}
                                    : QStringList{QStringLiteral("プログラム (*.json *.csv)"),
                                                  QStringLiteral("表計算の CSV (*.csv)")});
    // Saving always writes JSON, whatever name was typed.
    return chosenFile(dialog, startPath, QStringLiteral("json"), forSaving);
}

Platform::Unsaved QtPlatform::askAboutUnsaved(const QString &text, const QString &caption)
{
    QMessageBox box(QMessageBox::NoIcon, caption, text,
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, dialogParent_);
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
    case QMessageBox::Save:
        return Unsaved::Save;
    case QMessageBox::Discard:
        return Unsaved::Discard;
    default:
        return Unsaved::Cancel;
    }
}

QString QtPlatform::documentsFolder() const
{
    // Made when missing by whoever writes there first.
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return documents.isEmpty() ? QDir::homePath() : documents;
}

bool QtPlatform::openInDesktop(const QString &path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

std::optional<QStringList> QtPlatform::setting(const QString &key) const
{
    const QSettings settings(QStringLiteral("QOR"), QStringLiteral("PodiumWatch"));
    if (!settings.contains(key))
        return std::nullopt;
    return settings.value(key).toStringList();
}

void QtPlatform::setSetting(const QString &key, const QStringList &value)
{
    QSettings(QStringLiteral("QOR"), QStringLiteral("PodiumWatch")).setValue(key, value);
}

QString QtPlatform::programFolder() const
{
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

void QtPlatform::quit()
{
    // Hide at once so the operator sees the program gone even before the event loop winds down.
    for (QWidget *window : QApplication::topLevelWidgets())
        window->hide();
    QCoreApplication::exit(0);
}
