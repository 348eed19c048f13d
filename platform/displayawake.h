#pragma once

#include <QObject>

class QDBusPendingCallWatcher;

// Asks the desktop not to blank the screen or start the screensaver, and lets it go again. On a
// Linux desktop this is the freedesktop ScreenSaver service on the session bus; on Windows, the
// thread's execution state. Where the desktop offers neither, requests quietly do nothing.
class DisplayAwake : public QObject {
    Q_OBJECT
public:
    explicit DisplayAwake(QObject *parent = nullptr);
    ~DisplayAwake() override;

    void request(bool awake);

private:
    void settle();

    bool wanted_ = false;
    QDBusPendingCallWatcher *pending_ = nullptr; // the inhibit call awaiting its answer
    uint cookie_ = 0;                            // the desktop's receipt for the inhibit in force, 0 for none
};
