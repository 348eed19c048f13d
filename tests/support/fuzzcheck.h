#pragma once

#include <cstdio>
#include <cstdlib>

// For the fuzz targets: what must hold of whatever a reader made of its input. A broken one says
// which and aborts, so that libFuzzer keeps the input that broke it.
inline void check(bool holds, const char *what)
{
    if (!holds) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}
