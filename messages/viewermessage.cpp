// The main window's side of the message to the speaker: the slot others call by name.

#include "forms/viewer.h"
#include "messages/speakermessage.h"

void Viewer::setSpeakerMessage(const QString &text)
{
    message_->set(text);
}
