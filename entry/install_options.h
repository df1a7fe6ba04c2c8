// What the command line asks of a run, applied to installSettings.
#pragma once

#include "command_line.h"

// Sets the variant and the destinations the options give, each composed and
// checked as the wizard's Browse would compose and check it; with /S also
// fills in the defaults of the destinations not given. On a bad value shows
// (or, silent, logs) a message naming the argument and returns false, having
// created nothing.
bool applyInstallOptions(const InstallOptions& options);

// Shows or logs "argument: problem" for an argument the command line could
// not use.
void reportBadArgument(const wchar_t* argument, const char* problem);
