#pragma once

#include "platform/platform.h"

#include <QMap>
#include <QStringList>
#include <utility>
#include <vector>

// The outside world under a test's control: a clock that moves only when told, a speaker that
// writes down what it was asked to play, message boxes that are recorded instead of shown.
class FakePlatform : public Platform {
public:
    QDateTime clock{QDate(2026, 12, 7), QTime(10, 0, 0)};
    QStringList played;
    std::vector<std::pair<QString, QString>> messages; // text, caption
    QStringList dialogAnswers;                         // a null string: the operator cancels
    QStringList dialogStarts;
    QString folder = QStringLiteral("/opt/podiumwatch");
    int quits = 0;
    QStringList preloaded;
    QList<bool> awake; // every change asked of the screensaver, in order
    qint64 steadyMs = 1'000'000;

    QDateTime now() const override { return clock; }
    qint64 monotonicMs() const override { return steadyMs; }
    void playSound(const QString &name) override { played << name; }
    void showMessage(const QString &text, const QString &caption) override
    {
        messages.emplace_back(text, caption);
    }
    std::optional<QString> chooseWavFile(const QString &startPath) override
    {
        dialogStarts << startPath;
        const QString answer = dialogAnswers.isEmpty() ? QString() : dialogAnswers.takeFirst();
        if (answer.isNull())
            return std::nullopt;
        return answer;
    }
    QString programFolder() const override { return folder; }
    void quit() override { ++quits; }
    void preloadSound(const QString &name) override { preloaded << name; }
    void keepDisplayAwake(bool on) override { awake << on; }
    void watchSoundOutput(std::function<void(bool)> onChange) override
    {
        soundWatcher = std::move(onChange);
        soundWatcher(true);
    }
    std::function<void(bool)> soundWatcher;

    QStringList openedInDesktop;
    bool openInDesktop(const QString &path) override
    {
        openedInDesktop << path;
        return true;
    }

    QString documents; // empty: nowhere known
    QString documentsFolder() const override { return documents; }
    QMap<QString, QStringList> settings;
    std::optional<QStringList> setting(const QString &key) const override
    {
        return settings.contains(key) ? std::optional<QStringList>(settings.value(key)) : std::nullopt;
    }
    void setSetting(const QString &key, const QStringList &value) override { settings.insert(key, value); }

    QStringList programmeFileAnswers; // a null string: the chair cancels
    QStringList programmeFileStarts;  // where each file dialog started
    QList<Unsaved> unsavedAnswers;    // none left: the chair goes back
    int unsavedAsked = 0;
    std::optional<QString> chooseProgrammeFile(bool forSaving, const QString &startPath) override
    {
        Q_UNUSED(forSaving);
        programmeFileStarts << startPath;
        const QString answer = programmeFileAnswers.isEmpty() ? QString() : programmeFileAnswers.takeFirst();
        return answer.isNull() ? std::nullopt : std::optional<QString>(answer);
    }
    Unsaved askAboutUnsaved(const QString &text, const QString &caption) override
    {
        Q_UNUSED(text);
        Q_UNUSED(caption);
        ++unsavedAsked;
        return unsavedAnswers.isEmpty() ? Unsaved::Cancel : unsavedAnswers.takeFirst();
    }

    // Time passes: both clocks move.
    void advance(int seconds)
    {
        clock = clock.addSecs(seconds);
        steadyMs += seconds * qint64{1000};
    }
    // Somebody sets the system clock: only the wall clock moves.
    void setWallClockBy(int seconds) { clock = clock.addSecs(seconds); }
};
