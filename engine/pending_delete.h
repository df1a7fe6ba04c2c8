// Deletes that the system makes at the next boot, by path.
#pragma once

#include <windows.h>

// Cancels every delete scheduled for the next boot of the book's uninstaller
// in folder (ending in a backslash) and of folder itself: an uninstaller that
// could not remove its running file left it to the boot, and an install into
// the same folder since then must not lose its own uninstaller to it. True
// when the folder itself was to go: it was made by the install that left it.
bool cancelPendingDeletes(const WCHAR* folder);
