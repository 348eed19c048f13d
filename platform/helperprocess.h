#pragma once

#include <QString>

class QObject;
class QProcess;

// The program's helper processes (its sound output, its remote view's server): each is the
// program's own executable beside it, talks over its standard input and output, and is ended
// without waiting when it no longer serves.

// The helper of that name beside the running executable, as built and installed.
QString helperBesideProgram(const QString &name);
// Ends it at once and deletes it once it has gone; what it still says reaches no one.
void discardHelper(QProcess *process, QObject *owner);
// For an owner that is going: every helper it holds is killed and given a moment to go.
void endHelpers(QObject *owner);

// For the helpers themselves: their standard input and output carry bytes, not text, so no line
// ends are translated on the way (Windows would).
void useBinaryStandardStreams();
// For the helpers themselves: the program has gone (their standard input ended), so they end too.
// A main thread held inside a call that does not return does not see the request to quit, so it
// does not get long to see it.
[[noreturn]] void leaveAfterTheProgram();
