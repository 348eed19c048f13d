#pragma once

#include "messages/speakermessage.h"
#include "session/programmesession.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

class Platform;
class ProgrammeWindow;
class Viewer;

// What the chair's session adds to the main window: the message to the speaker, the programme of
// talks and the programme window. Made once the window has started up; from then on it follows the
// window's signals, adds its part to what the screens show, and acts on the window through its
// talk port alone. The window knows nothing of it.
class SessionParts : public QObject {
    Q_OBJECT
public:
    SessionParts(Viewer &viewer, Platform &platform);
    // Before the window: the talk still running is recorded as ended by the exit.
    ~SessionParts() override;

    ProgrammeSession &programme() { return programme_; }
    SpeakerMessage &message() { return message_; }
    void showProgrammeWindow();

private:
    Viewer &viewer_;
    Platform &platform_;
    SpeakerMessage message_;
    ProgrammeSession programme_;
    QPointer<ProgrammeWindow> window_;
    QTimer clock_;
};
