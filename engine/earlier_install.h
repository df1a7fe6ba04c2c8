// An install of the book that is already on this machine, as the uninstall key
// records it.
#pragma once

#include <windows.h>

// Reads the uninstaller path that the uninstall key names into exePath and its
// folder, without a trailing backslash unless it is a drive's root, into
// folder (both pathCapacity characters). True only when that path ends in the
// book's uninstaller name and the folder exists.
bool readEarlierUninstaller(WCHAR* exePath, WCHAR* folder);

// True when the key names an install of the book in folder itself, however
// either spells it.
bool isEarlierInstallFolder(const WCHAR* folder);
