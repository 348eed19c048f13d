#pragma once

// Raises the process's soft limit on open files to its hard limit, so that the remote view's
// server, whose process calls it, can keep its connections below the limit with room to spare
// and draw on all the system allows (a desktop session's soft limit is often 1024 of a far higher
// hard limit). Returns the
// soft limit in force afterwards, or -1 where the system has none to tell.
long raiseOpenFileLimit();
