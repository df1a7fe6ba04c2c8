// The folders the pages and the shortcut go into, checked before anything is
// written there and held while the install writes there
// (installation/safe_folder.h).
#pragma once

#include <windows.h>

// Checks the pages destination as the user left it, before anything is made:
// the pages folder is not a drive's root, the part that exists is reached
// without a link and can be checked, and the pages folder, when it exists,
// is one only administrators may change, unless it is the registered
// install's own, which the install will protect. On a refusal shows (or,
// silent, logs) a message that names the folder and says why.
bool checkPagesDestination();

// Holds the pages folder once its chain exists, for the rest of the run: it
// must be reached without a link and be one only administrators may change.
// The registered install's folder, refused only for its rights, is given the
// protected rights instead. On a refusal shows the message and returns
// INVALID_HANDLE_VALUE.
HANDLE holdPagesFolder(const WCHAR* folder);

// Checks the icon destination as the user left it, before anything is made:
// the part that exists is reached without a link below the desktop and can
// be checked. On a refusal shows the message that names the folder and why.
bool checkIconDestination();
// Holds the icon folder once its chain exists, while the shortcut is set
// aside and saved; on a refusal shows the message and returns
// INVALID_HANDLE_VALUE.
HANDLE holdIconFolder(const WCHAR* folder);
