// The uninstaller's sequence over the installed book (removal.cpp).
#pragma once

#include "uninstall.h"

enum class SelfRemoval {
    now,          // the uninstaller's file is not running: delete it and its folders
    atNextStart,  // it is running: have the system delete it at the next start
};

// True when the folder of exePath holds any file of the book, or the uninstall
// key names exePath.
bool bookIsPresent(const WCHAR* exePath);
// Removes the book's shortcut, files and key, then the uninstaller itself.
void removeInstalledBook(const WCHAR* exePath, SelfRemoval selfRemoval, RemovalReport& report);
