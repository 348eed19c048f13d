#pragma once

#include "platform/platform.h"

#include <QString>
#include <functional>
#include <memory>

class QWidget;
class SoundPlayer;
class DisplayAwake;

// The real world: the system clock, the desktop's dialogs and the folder of the running executable.
class QtPlatform : public Platform {
public:
    // Where the time comes from, in milliseconds: the system's wall clock, which anybody may set,
    // and a steady clock that keeps counting through suspend. Tests put clocks of their own here.
    struct Clocks {
        std::function<qint64()> wallMs;
        std::function<qint64()> steadyMs;
    };
    static Clocks systemClocks();

    // The sound output runs in the helper executable at `soundHelper` (empty: podiumwatch-sound
    // beside the running executable).
    explicit QtPlatform(Clocks clocks = systemClocks(), const QString &soundHelper = {});
    ~QtPlatform() override;

    QDateTime now() const override;
    qint64 monotonicMs() const override;
    void playSound(const QString &name) override;
    void showMessage(const QString &text, const QString &caption) override;
    std::optional<QString> chooseWavFile(const QString &startPath) override;
    QString programFolder() const override;
    QString documentsFolder() const override;
    bool openInDesktop(const QString &path) override;
    std::optional<QStringList> setting(const QString &key) const override;
    void setSetting(const QString &key, const QStringList &value) override;
    void quit() override;
    void preloadSound(const QString &name) override;
    void keepDisplayAwake(bool awake) override;
    void watchSoundOutput(std::function<void(bool available)> onChange) override;
    std::optional<QString> chooseProgrammeFile(bool forSaving, const QString &startPath) override;
    Unsaved askAboutUnsaved(const QString &text, const QString &caption) override;

    // Message boxes and the file dialog open over this window.
    void setDialogParent(QWidget *parent) { dialogParent_ = parent; }
    // Once the window is on the screen: opens the sound output and reads the sounds asked for.
    void openSoundOutput();

private:
    Clocks clocks_;
    QWidget *dialogParent_ = nullptr;
    std::unique_ptr<SoundPlayer> sound_;
    std::unique_ptr<DisplayAwake> awake_;
};
