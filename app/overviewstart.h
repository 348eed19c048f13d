#pragma once

#include "app/commandline.h"

// The overview of an event's rooms, opened instead of the timer by --overview: runs until its
// window is closed and returns the program's exit code.
int startOverview(const CommandLine &commandLine);
