// The log that /LOG=file asks for: one line per action, each with a time
// stamp, the action, what it acted on and the result, in UTF-8. Every call is
// a no-op while no log is open, so code logs without asking first.
#pragma once

#include <windows.h>

enum class LogOpening {
    opened,
    unwritable,  // the file or its folder cannot be opened or written
    refused,     // a link, a file of several names, or not a plain file; or its folder is reached through a link
    unchecked,   // which file or folder it is cannot be checked (safe_folder.h: unreadable)
};

// Creates (or empties) the log file. A run with administrator rights must not
// write through whatever a path that others may reach resolves to, so the
// log is written only as a plain file of one name, in a folder that is the
// one its path names; anything else is refused and keeps its bytes.
LogOpening openLog(const WCHAR* path);
// Logs to a file handle this process did not open (an inherited one).
void useLog(HANDLE file);
// The open log's handle, or null.
HANDLE logHandle();
void closeLog();

// "time<TAB>action<TAB>subject<TAB>result". Subjects are paths and other
// system texts; actions and results are the program's own ASCII words.
void logAction(const char* action, const WCHAR* subject, const char* result);
// The same, with "ok" or "failed (error N)" from GetLastError as the result.
void logOutcome(const char* action, const WCHAR* subject, bool succeeded);
// An action whose subject is the program's own text: a message, a result.
void logText(const char* action, const char* text);
