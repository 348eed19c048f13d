#pragma once

#include "messages/messagelimits.h"

#include <QObject>
#include <QStringList>

// A short message from the chair to the speaker ("please wrap up"), shown under the time on the
// projector and the remote pages until it is cleared; never on the operator's own display.
class SpeakerMessage : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    const QString &text() const { return text_; }
    // Shows `text` as one line: line breaks and other control characters become blanks, blanks
    // around it go, and a text longer than 80 characters is cut there. Empty clears. True when
    // what shows changed.
    bool set(const QString &text);
    static QString normalized(const QString &text);

    // The saved messages a chair starts with, before a programme brings its own.
    static QStringList defaultSaved();

signals:
    void changed(const QString &text);

private:
    QString text_;
};
