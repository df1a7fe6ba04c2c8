// Self-removal: how the installed uninstaller hands the work to a copy of
// itself in the temp folder (self_removal.cpp).
#pragma once

#include <windows.h>

#include "path_text.h"

constexpr WCHAR removalFlag[] = L"/remove";   // marks the command line of the temp copy

// How the original uninstaller hands the work to its copy in the temp folder.
// The copy removes the book, reports the result through the pipe, waits for
// the original to end and removes it last. Handles are inherited ones.
struct RemovalCommand {
    HANDLE original;                 // the original process
    HANDLE resultPipe;               // where the copy writes the result, a DWORD exit code
    HANDLE log;                      // the log to append to, or null
    bool silent;                     // no message box
    WCHAR exePath[pathCapacity];     // full path of the original Kestrun.exe
};

constexpr int removalCommandCapacity = 2 * pathCapacity + 80;   // characters, NUL included

// Composes the copy's command line: its quoted program path, removalFlag, the
// handle numbers of the original, the pipe and the log, 1 for silent or 0,
// and the original's path. False when it would not fit in
// removalCommandCapacity characters; out then holds no usable command.
bool composeRemovalCommand(WCHAR* out, const WCHAR* copyPath, const RemovalCommand& command);
// Recognises the copy's command line as composed above.
bool parseRemovalCommand(const WCHAR* commandLine, RemovalCommand& command);
// Copies exePath to the temp folder and starts the copy, which inherits a
// handle of this process, the write end of a pipe and the open log. On
// success resultPipe is the read end, from which waitForResult reads the
// copy's result. The copy deletes its own file when it exits.
bool startRemovalCopy(const WCHAR* exePath, bool silent, HANDLE& resultPipe);
// Waits for the copy's result and closes the pipe; a copy that ends without
// one gives ERROR_INSTALL_FAILURE.
DWORD waitForResult(HANDLE resultPipe);
// Sends the result to the original and closes the pipe.
void sendResult(HANDLE resultPipe, DWORD result);
// True when the copy, open without write sharing, holds exactly the bytes of
// exePath, and is then rewound. The temp folder is writable by others, and
// nothing but this program may run with the rights the uninstaller was given.
bool copyIsIntact(HANDLE copyFile, const WCHAR* exePath);
// Waits, within a bound, for the original process to end; false when the
// handle is not a process that can be waited for.
bool waitForOriginal(HANDLE original);
