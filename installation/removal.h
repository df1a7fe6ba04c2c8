// The removal of an installed book: what Kestrun.exe does, and what the
// installer does to an earlier install it has replaced from another folder.
// The operations are also called one by one by the Windows unit tests, on
// folders, links and keys of their own.
#pragma once

#include <windows.h>

#include "path_text.h"

// ---- The list of what could not be removed (removal_report.cpp) ----
constexpr int reportCapacity = 2048;   // characters of listed names, NUL included

struct RemovalReport {
    WCHAR text[reportCapacity];  // one name per line, each line ending in '\n'
    int length;                  // characters used in text
    int unlisted;                // failures that no longer fitted in text
    int kept;                    // entries of the book's names left as not its files: not failures
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
// failure; one that exists and cannot be deleted is noted; a folder or a link
// of the name is left, logged and counted as kept.
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
// The same from the value's type and size bytes of data already read into
// recorded, a buffer of pathCapacity characters, which this changes.
bool unquoteUninstaller(DWORD type, WCHAR* recorded, DWORD size, WCHAR* exePath);
// True when the key's "UninstallString" names exePath.
bool keyNamesUninstaller(HKEY root, const char* keyPath, const WCHAR* exePath);
// Deletes the key when it names exePath; a key of another install stays.
void removeUninstallKey(HKEY root, const char* keyPath, const WCHAR* exePath, RemovalReport& report);

// ---- The whole removal (removal.cpp) ----
enum class SelfRemoval {
    now,          // the uninstaller's file is not running: delete it and its folders
    atNextStart,  // it is running: have the system delete it at the next start
};

// True when the folder of exePath holds any file of the book, or the uninstall
// key names exePath.
bool bookIsPresent(const WCHAR* exePath);
// Removes the book's shortcuts and files, and then its key unless
// something failed to go: everything but the uninstaller at exePath and its
// folder. A key that stays keeps the book in Add/Remove Programs, so that the
// uninstaller can simply run again.
void removeBook(const WCHAR* exePath, RemovalReport& report);
// Removes the uninstaller at exePath, then its folder and the parents left
// empty below the Program Files directory.
void removeUninstaller(const WCHAR* exePath, SelfRemoval selfRemoval, RemovalReport& report);
// Both, in that order; the uninstaller stays when anything of the book did.
void removeInstalledBook(const WCHAR* exePath, SelfRemoval selfRemoval, RemovalReport& report);
// True when path names a file of the uninstaller's name in a folder: only
// such a path names an install of the book.
bool isUninstallerPath(const WCHAR* path);

// ---- The install that another one replaces (replaced_install.cpp) ----
// True when both name the same folder on disk, whatever the spelling: a short
// name, another case or a trailing backslash must never make one install look
// like another.
bool isSameFolder(const WCHAR* first, const WCHAR* second);
// Removes the install of the book in folder, as its own uninstaller would (the
// book's files, its links, the uninstaller, the folders left empty), unless
// folder is newFolder itself. A folder that is gone has nothing to remove, and
// one reached through a link is refused. True when everything went; false
// when something stayed or, with unreachable set, the folder could not be
// reached or checked.
bool removeEarlierInstall(const WCHAR* folder, const WCHAR* newFolder, bool& unreachable);
