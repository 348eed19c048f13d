#pragma once

#include "engine/runstate.h"
#include "programme/programme.h"

// All that a part of the program outside the main window may ask of it about the talk in it, and
// all it may do to it. The window learns of nothing through here: what it does, the parts hear
// from its signals.
class TalkPort {
public:
    virtual RunState runState() const = 0;
    // The window's setup as a talk: what it would count and ring now.
    virtual PreparedTalk setupNow() const = 0;
    // Puts a talk in the window as an operator would, through the controls and their handlers.
    virtual void prepareTalk(const PreparedTalk &talk) = 0;
    // A line of its own under the progress bar, where the chair looks: the talk in the window and
    // what went wrong with the last thing asked (`warning`). Empty takes the line away.
    virtual void showSessionLine(const QString &line, bool warning) = 0;

protected:
    ~TalkPort() = default;
};
