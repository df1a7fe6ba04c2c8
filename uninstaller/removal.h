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
// Removes the book's shortcuts, files and key: everything but the
// uninstaller at exePath and its folder.
void removeBook(const WCHAR* exePath, RemovalReport& report);
// Removes the uninstaller at exePath, then its folder and the parents left
// empty below the Program Files directory.
void removeUninstaller(const WCHAR* exePath, SelfRemoval selfRemoval, RemovalReport& report);
// Both, in that order.
void removeInstalledBook(const WCHAR* exePath, SelfRemoval selfRemoval, RemovalReport& report);
