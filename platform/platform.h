#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// Everything the program needs from outside its own process. The windows talk to the world only
// through this, so tests hand them a fake clock, a silent speaker and scripted dialogs.
class Platform {
public:
    virtual ~Platform() = default;
    virtual QDateTime now() const = 0;               // local time, whole seconds
    virtual void playSound(const QString &name) = 0; // asynchronous; replaces what plays
    virtual void showMessage(const QString &text,
                             const QString &caption) = 0; // modal, OK button only, no icon
    virtual std::optional<QString> chooseWavFile(const QString &startPath) = 0; // nullopt: cancelled
    virtual QString programFolder() const = 0;                                  // no trailing separator
    virtual void quit() = 0;                                                    // end the program at once

    // A hint that this sound will be played later, so its first play need not wait for the disk.
    virtual void preloadSound(const QString &name) { Q_UNUSED(name); }
    // While a countdown runs, the screen must not blank or start its screensaver.
    virtual void keepDisplayAwake(bool awake) { Q_UNUSED(awake); }
    // Milliseconds on a clock that only moves forward at its own pace: what the countdown counts
    // with, so that setting the system clock during a talk moves nothing. A clock of whole seconds
    // that nobody sets (a test's) may serve as it is.
    virtual qint64 monotonicMs() const { return now().toMSecsSinceEpoch(); }
    // Tells whether sound can be heard: once at once with the current answer, then at each change.
    virtual void watchSoundOutput(std::function<void(bool available)> onChange) { Q_UNUSED(onChange); }

    // A programme file to open (JSON or CSV) or to save to (JSON); nullopt: cancelled.
    virtual std::optional<QString> chooseProgrammeFile(bool forSaving, const QString &startPath)
    {
        Q_UNUSED(forSaving);
        Q_UNUSED(startPath);
        return std::nullopt;
    }
    // Where a file goes that has no folder of its own (a record of a programme never saved): the
    // documents folder (made when missing by what writes there), else the home folder. Empty:
    // nowhere known.
    virtual QString documentsFolder() const { return {}; }
    // The program's own settings, kept from one run to the next (nullopt: never set).
    virtual std::optional<QStringList> setting(const QString &key) const
    {
        Q_UNUSED(key);
        return std::nullopt;
    }
    virtual void setSetting(const QString &key, const QStringList &value)
    {
        Q_UNUSED(key);
        Q_UNUSED(value);
    }
    // Opens a file in the desktop's own program for it (a record in the spreadsheet); false when
    // the desktop could not.
    virtual bool openInDesktop(const QString &path)
    {
        Q_UNUSED(path);
        return false;
    }
    // Asks what becomes of unsaved changes: save them, drop them, or go back (nothing happens).
    enum class Unsaved { Save, Discard, Cancel };
    virtual Unsaved askAboutUnsaved(const QString &text, const QString &caption)
    {
        Q_UNUSED(text);
        Q_UNUSED(caption);
        return Unsaved::Cancel;
    }
};
