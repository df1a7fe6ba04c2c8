// The book's desktop shortcut, made on a thread of its own while the pages
// are written.
#pragma once

#include <windows.h>

// Starts making the shell link to firstPage (a full path), with the product
// name as its description; it is saved only once saveDesktopShortcut names
// where.
void prepareDesktopShortcut(const WCHAR* firstPage);
// Has the link saved at path.
void saveDesktopShortcut(const WCHAR* path);
// Waits for the link: true when it was saved, or none was asked for (then
// nothing is saved). On a failure of the link object, of its file interface
// or of the save, shows the shortcut's own message naming linkName and
// returns false; when COM cannot be started at all it returns false without
// a message.
bool finishDesktopShortcut(const char* linkName);
