// The uninstaller's operations. Kestrun.exe's entry point strings them together;
// the Windows unit tests call them on folders, links and keys of their own.
#pragma once

#include <windows.h>

#include "settings.h"

// ---- Path text (path_text.cpp) ----
// Paths are NUL-terminated UTF-16 text in buffers of pathCapacity characters, so
// that names outside the ANSI code page survive; a folder may or may not end in a
// backslash. Comparisons fold ASCII case only, which is enough for paths that all
// come from the same install.

// Appends a backslash when needed, then name. Returns the new length, or 0 and
// leaves path unchanged when the result would not fit in capacity.
int appendPathName(WCHAR* path, int capacity, const WCHAR* name);
// Cuts path at its last backslash (a trailing one is ignored first). Returns the
// new length, or 0 and leaves path unchanged when it has no backslash.
int cutLastName(WCHAR* path);
// True when path names something strictly below folder.
bool isBelowFolder(const WCHAR* path, const WCHAR* folder);
// True when path names an entry directly in folder (not in a subfolder).
bool isDirectlyInFolder(const WCHAR* path, const WCHAR* folder);
// True when both texts are equal apart from ASCII case.
bool samePath(const WCHAR* first, const WCHAR* second);
// Copies ASCII text (the built-in names, key paths and value names) into out as
// UTF-16. False, with out holding as much as fits, when it does not fit.
bool widenAscii(WCHAR* out, int capacity, const char* text);

// ---- The list of what could not be removed (removal_report.cpp) ----
constexpr int reportCapacity = 2048;   // characters of listed names, NUL included

struct RemovalReport {
    WCHAR text[reportCapacity];  // one name per line, each line ending in '\n'
    int length;                  // characters used in text
    int unlisted;                // failures that no longer fitted in text
};

void noteFailure(RemovalReport& report, const WCHAR* what);
bool hasFailures(const RemovalReport& report);
// Writes the error box text: a heading, the list, and a count of any names that
// did not fit. Never writes more than capacity characters, NUL included.
void composeReportText(const RemovalReport& report, WCHAR* out, int capacity);

// ---- Files in the book folder (book_files.cpp) ----
// names: a packed run of NUL-terminated ASCII names ending with an empty one;
// suffix is appended to each (".htm" for the main pages, "" for the extra files).
bool anyListedFilePresent(const WCHAR* folder, const char* names, const char* suffix);
// Deletes every listed file present in folder. A name that is absent is not a
// failure; one that exists and cannot be deleted is noted.
void removeListedFiles(const WCHAR* folder, const char* names, const char* suffix, RemovalReport& report);

// ---- Folders (folders.cpp) ----
// Removes folder, then each parent, while it is empty and strictly below
// boundary. A folder that still holds something ends the walk silently.
void removeEmptyFolders(const WCHAR* folder, const WCHAR* boundary, RemovalReport& report);
// The Program Files directory as the registry records it; false when unreadable.
bool readProgramFilesFolder(WCHAR* out, int capacity);

// ---- Desktop shortcuts (desktop_link.cpp) ----
constexpr int linkSearchDepth = 6;        // folder levels searched below a desktop directory
constexpr int linkSearchFolders = 2000;   // folders opened at most per desktop directory

// Searches desktop's tree for files named linkName whose target lies directly in
// bookFolder, deletes them and then their folders while empty, never desktop
// itself. A desktop too large to search within the bounds is reported, as is a
// link that cannot be deleted. COM must be initialised on the calling thread.
void removeBookLinks(const WCHAR* desktop, const WCHAR* bookFolder, const WCHAR* linkName, RemovalReport& report);
// True when the shell link at linkPath has its target directly in folder.
bool linkTargetsFolder(const WCHAR* linkPath, const WCHAR* folder);

// ---- The uninstall key (uninstall_key.cpp) ----
// The uninstaller path the key's "UninstallString" holds, unquoted, into a
// buffer of pathCapacity characters; false when the key or value is missing.
bool readRecordedUninstaller(HKEY root, const char* keyPath, WCHAR* exePath);
// True when the key's "UninstallString" names exePath.
bool keyNamesUninstaller(HKEY root, const char* keyPath, const WCHAR* exePath);
// Deletes the key when it names exePath; a key of another install stays.
void removeUninstallKey(HKEY root, const char* keyPath, const WCHAR* exePath, RemovalReport& report);

// ---- Self-removal (self_removal.cpp) ----
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
