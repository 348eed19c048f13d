#pragma once

#include <QDateTime>
#include <QString>
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
    // Tells whether sound can be heard: once at once with the current answer, then at each change.
    virtual void watchSoundOutput(std::function<void(bool available)> onChange) { Q_UNUSED(onChange); }
};
