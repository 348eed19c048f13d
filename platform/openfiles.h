#pragma once

// Raises the process's soft limit on open files to its hard limit, so that the remote view's
// connections, the sound process's pipes and the files the program opens draw on all the system
// allows (a desktop session's soft limit is often 1024 of a far higher hard limit). Returns the
// soft limit in force afterwards, or -1 where the system has none to tell.
long raiseOpenFileLimit();
