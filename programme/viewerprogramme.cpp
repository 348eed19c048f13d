// The main window's side of the programme of talks: the slots other parts and tests call by name,
// the keys that move through the session, and the programme window.

#include "forms/viewer.h"
#include "programme/programmesession.h"
#include "programme/programmewindow.h"

bool Viewer::openProgramme(const QString &path)
{
    return programme_->open(path);
}

bool Viewer::saveProgramme(const QString &path)
{
    return programme_->save(path);
}

void Viewer::nextTalk()
{
    programme_->next();
}

void Viewer::previousTalk()
{
    programme_->previous();
}

int Viewer::talkNumber() const
{
    return programme_->talkNumber();
}

void Viewer::showProgrammeWindow()
{
    if (!programmeWindow_)
        programmeWindow_ = new ProgrammeWindow(*this, platform_);
    programmeWindow_->show();
    programmeWindow_->raise();
    programmeWindow_->activateWindow();
}

Viewer::Action Viewer::sessionActionForKey(int keyCode) const
{
    switch (keyCode) {
    case 114: // F3
        return &Viewer::showProgrammeWindow;
    case 33: // PageUp
        return programme_->model().hasProgramme() ? &Viewer::previousTalk : nullptr;
    case 34: // PageDown
        return programme_->model().hasProgramme() ? &Viewer::nextTalk : nullptr;
    // In set-up there is nothing to move, and the keypad's signs type into the boxes as they did.
    case 0x6B: // Num +
        return runState() != RunState::Setup ? &Viewer::addMinute : nullptr;
    case 0x6D: // Num -
        return runState() != RunState::Setup ? &Viewer::takeMinute : nullptr;
    default:
        return nullptr;
    }
}
