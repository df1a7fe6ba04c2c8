// Self-removal: how the installed uninstaller hands the work to a copy of
// itself in a private folder of the temp folder (private_copy.cpp,
// self_removal.cpp).
#pragma once

#include <windows.h>

#include "path_text.h"

constexpr WCHAR removalFlag[] = L"/remove";   // marks the command line of the temp copy
constexpr DWORD originalWaitLimit = 60 * 1000;   // ms; an original that lingers only costs its own file

// ---- The copy (private_copy.cpp) ----

// A copy of the uninstaller in a new folder of the temp folder whose name no
// one can guess and which only the system and the administrators may enter.
struct PrivateCopy {
    WCHAR path[pathCapacity];  // the copy, in its folder
    HANDLE folder;             // the folder: held without delete sharing, inheritable;
                               // it goes when its last handle closes while it is empty
    HANDLE file;               // the copy: read and delete access, without write or delete
                               // sharing, inheritable; it goes when its last handle closes
};

// Makes the folder, writes the copy of exePath in it and opens it as above,
// checking that the open file is the one written and holds exePath's bytes.
// False, with nothing left behind, when any of it fails.
bool makePrivateCopy(const WCHAR* exePath, PrivateCopy& copy);
// Closes both handles, so that the copy and its folder go.
void discardPrivateCopy(PrivateCopy& copy);
// Starts the copy with commandLine and the inheritable handles, suspended,
// and lets it run only once the new process is found to run the very file
// copy.file holds. False, with nothing run, otherwise.
bool startPrivateCopy(const PrivateCopy& copy, WCHAR* commandLine, const WCHAR* currentFolder,
                      PROCESS_INFORMATION& process);
// The temp folder that holds the copy's own folder, ending in a backslash,
// from the copy's path; false when it does not fit.
bool tempFolderOfCopy(const WCHAR* copyPath, WCHAR* folder);
// Run by the copy at its end, with the handles it inherited: moves its own
// file out to the temp folder, where it goes as the process ends, and closes
// its folder, which goes now.
void leavePrivateFolder(HANDLE file, HANDLE folder);

// ---- Handing over (self_removal.cpp) ----

// How the original uninstaller hands the work to its copy in the temp folder.
// The copy removes the book, reports the result through the pipe, waits for
// the original to end and removes it last. Handles are inherited ones.
struct RemovalCommand {
    HANDLE original;                 // the original process
    HANDLE resultPipe;               // where the copy writes the result, a DWORD exit code
    HANDLE log;                      // the log to append to, or null
    HANDLE copyFile;                 // the copy's own file and folder (PrivateCopy)
    HANDLE copyFolder;
    bool silent;                     // no message box
    bool forget;                     // /FORGET: forget an interrupted install that cannot be settled
    WCHAR exePath[pathCapacity];     // full path of the original Kestrun.exe
};

constexpr int removalCommandCapacity = 2 * pathCapacity + 80;   // characters, NUL included

// Composes the copy's command line: its quoted program path, removalFlag, the
// handle numbers of the original, the pipe, the log, the copy's file and its
// folder, the options (1 for silent, plus 2 for forget), and the original's
// path. False when it would not fit in removalCommandCapacity characters; out
// then holds no usable command.
bool composeRemovalCommand(WCHAR* out, const WCHAR* copyPath, const RemovalCommand& command);
// Recognises the copy's command line as composed above.
bool parseRemovalCommand(const WCHAR* commandLine, RemovalCommand& command);
// Makes the private copy of exePath and starts it; it inherits a handle of
// this process, the write end of a pipe, the open log and its own file and
// folder. On success resultPipe is the read end, from which waitForResult
// reads the copy's result. The copy's file and folder go when it exits.
bool startRemovalCopy(const WCHAR* exePath, bool silent, bool forget, HANDLE& resultPipe);
// Waits for the copy's result and closes the pipe; a copy that ends without
// one gives ERROR_INSTALL_FAILURE.
DWORD waitForResult(HANDLE resultPipe);
// Sends the result to the original and closes the pipe.
void sendResult(HANDLE resultPipe, DWORD result);
// True when the copy, open without write sharing, holds exactly the bytes of
// exePath, and is then rewound: nothing but this program may run with the
// rights the uninstaller was given.
bool copyIsIntact(HANDLE copyFile, const WCHAR* exePath);
// Waits, within a bound, for the original process to end; false when it
// has not ended by then, or the handle is not a process that can be waited
// for.
bool waitForOriginal(HANDLE original);
