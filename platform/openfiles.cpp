#include "platform/openfiles.h"

#include <QtGlobal>

#ifndef Q_OS_WIN
#include <sys/resource.h>
#endif

long raiseOpenFileLimit()
{
#ifdef Q_OS_WIN
    return -1;
#else
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return -1;
    if (limit.rlim_cur < limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        // Some systems call their hard limit unlimited and still refuse more than a bound of their
        // own; the limit then stays as it was.
        if (setrlimit(RLIMIT_NOFILE, &raised) == 0)
            limit = raised;
    }
    return limit.rlim_cur == RLIM_INFINITY ? -1 : static_cast<long>(limit.rlim_cur);
#endif
}
