// The destinations the installer proposes before the user chooses.
#pragma once

#include <windows.h>

// Fills pagesDestination with the folder of the install the uninstall key
// names or, without one, the default folder below the Program Files
// directory, and splits it into the part that exists and the chain to create.
// Leaves a destination the command line gave as it is.
void initPagesDestination();

// Fills iconDestination with the default folder below the desktop directory
// and sets desktopBaseLength; owner owns anything the shell shows. Leaves a
// destination the command line gave as it is.
void initIconDestination(HWND owner);
