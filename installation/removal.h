// The removal of an installed book: what Kestrun.exe does, and what the
// installer does to an earlier install it has replaced from another folder.
// The operations are also called one by one by the Windows unit tests, on
// folders, links and keys of their own.
//
// Only the book's own things go: files of its names whose bytes are the
// book's, in the folder the install registered; its shortcut; the folders
// the install made. Anything else with a book name is not the book's: it
// stays, the log names it, and it is no failure.
#pragma once

#include <windows.h>

#include <stdint.h>

#include "path_text.h"

// ---- What stayed (removal_report.cpp) ----
constexpr int reportCapacity = 2048;   // characters of listed names, NUL included

struct RemovalReport {
    WCHAR text[reportCapacity];  // what could not be removed: one name per line, each ending in '\n'
    int length;                  // characters used in text
    int unlisted;                // failures that no longer fitted in text
    DWORD firstError;            // the system's error for the first failure
    int kept;                    // entries of the book's names left as not its files: not failures
    WCHAR stays[pathCapacity];   // the first folder that stays because it holds what is not the book's
    WCHAR searched[pathCapacity];// the first desktop whose search for links stopped at its bound
};

// A book file, folder or key that could not be removed: a failure.
void noteFailure(RemovalReport& report, const WCHAR* what);
bool hasFailures(const RemovalReport& report);
// A folder that stays because something that is not the book's is in it:
// logged with its reason, and the first one named in the last message.
void noteFolderStays(RemovalReport& report, const WCHAR* folder);
// Writes the error box text: a heading, the list, and a count of any names that
// did not fit. Never writes more than capacity characters, NUL included.
void composeReportText(const RemovalReport& report, WCHAR* out, int capacity);

// ---- Files in the book folder (book_files.cpp) ----
// The size and CRC-32 of the book's file that payload entry number resource
// (main page i: 901 + i, extra file i: 1020 + i) installs: the uninstaller
// carries them, the installer reads them from its payload. False where the
// program has none for that number.
struct BookFileSignature {
    uint32_t size;
    uint32_t crc;
};
bool bookFileSignature(int resource, BookFileSignature& signature);
// Deletes every listed file in the held folder whose bytes are those of the
// book's file of its name (names: a packed run of NUL-terminated ASCII names
// ending with an empty one, their payload entries numbered from first;
// suffix is appended to each, ".htm" for the main pages, "" for the extra
// files). With first 0, every plain file of the names goes: only a run sets
// files aside under such names. A name that is absent is nothing; an entry
// that is not the book's (other bytes, a folder, a link) is left, logged and
// counted as kept; a book file that cannot be deleted is noted.
void removeListedFiles(const WCHAR* folder, HANDLE held, const char* names, const char* suffix, int first,
                       RemovalReport& report);

// ---- Folders (folders.cpp) ----
// Removes folder, then each parent, innermost first, while it is empty: at
// most count of them (the folders an install made), and with a boundary only
// those strictly below it (for an install that kept no record of them). A
// folder that still holds something ends the walk and is noted as staying:
// the first one when noteFirst, a made one above it always.
void removeEmptyFolders(const WCHAR* folder, int count, const WCHAR* boundary, bool noteFirst,
                        RemovalReport& report);
// The Program Files directory as the registry records it; false when unreadable.
bool readProgramFilesFolder(WCHAR* out, int capacity);

// ---- Desktop shortcuts (desktop_link.cpp, desktop_search.cpp) ----
constexpr int linkSearchDepth = 6;        // folder levels searched below a desktop directory
constexpr int linkSearchFolders = 2000;   // folders opened at most per desktop directory

// Searches desktop's tree for files named linkName whose target lies directly in
// bookFolder, deletes them and then their folders while empty, never desktop
// itself. A search that stops at its bounds is logged and noted, not a
// failure; a link that cannot be deleted is one. COM must be initialised on
// the calling thread.
void removeBookLinks(const WCHAR* desktop, const WCHAR* bookFolder, const WCHAR* linkName, RemovalReport& report);
// The same on the current user's and, where it differs, all users' desktop:
// the shortcuts of an install that recorded none. The uninstaller, which
// removes only installs of its own release, defines it as a line of the log.
void removeSearchedLinks(const WCHAR* bookFolder, const WCHAR* linkName, RemovalReport& report);
// Deletes the link at linkPath in folder while the folder is held: a link
// swapped in on the way cannot turn the delete elsewhere. True when it went.
bool removeLink(const WCHAR* folder, const WCHAR* linkPath, RemovalReport& report);
// Deletes the file linkName in linkFolder (ending in a backslash) if it is a
// shell link whose target lies directly in bookFolder; one that is not is
// left as not the book's. Then removes made folders of linkFolder while
// empty. COM must be initialised on the calling thread.
void removeRecordedLink(const WCHAR* linkFolder, int made, const WCHAR* bookFolder, const WCHAR* linkName,
                        RemovalReport& report);
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
// The uninstall key's full name, "HKEY_LOCAL_MACHINE\..." (pathCapacity characters).
void uninstallKeyName(WCHAR* name);
// Logs action on the uninstall key with the registry's result status.
void logKeyResult(const char* action, LONG status);

// ---- What an install keeps for its removal (installed_book.cpp) ----
// The value of the uninstall key that records where the install put its
// shortcut and which folders it made.
constexpr char keptFoldersName[] = "InstallFolders";

// The folders an install made, counted from its deepest folder up (a chain
// made below an existing folder), and where its shortcut lies.
struct KeptFolders {
    int pagesMade;                   // of the pages folder and those above it
    int iconMade;                    // of the icon folder and those above it
    WCHAR iconFolder[pathCapacity];  // the shortcut's folder, ending in a backslash; empty: none
};

// An installed book as its removal needs it.
struct InstalledBook {
    WCHAR exePath[pathCapacity];  // its uninstaller, whose folder holds the pages
    bool kept;                    // folders holds what the install kept; without it (an install of a
                                  // release before the record) links are searched for on the desktops,
                                  // and the folders go while empty up to the Program Files directory
    KeptFolders folders;
};

// The value's bytes for folders into data (at least 8 + 2 * pathCapacity
// bytes); returns their size.
DWORD composeKeptFolders(const KeptFolders& folders, BYTE* data);
// Reads the value's bytes as composeKeptFolders wrote them; false for
// anything else: another type, sizes or counts out of range, a folder that
// is not a full path ending in a backslash or runs past the data.
bool parseKeptFolders(DWORD type, const BYTE* data, DWORD size, KeptFolders& folders);
// The install the uninstall key names, when its uninstaller is exePath:
// true, with what it kept. False when the key names another uninstaller or
// none: no install was registered at exePath.
bool readRegisteredBook(const WCHAR* exePath, InstalledBook& book);
// How many of folder and the folders above it were made, counting made by
// this run and, where the chain this run made begins in the earlier
// install's folder earlierFolder or in one of the earlierMade folders that
// install made, those too. Both folders are full paths.
int madeWithEarlier(const WCHAR* folder, int made, const WCHAR* earlierFolder, int earlierMade);

// ---- The whole removal (removal.cpp) ----
enum class SelfRemoval {
    now,          // the uninstaller's file is not running: delete it and its folders
    atNextStart,  // it is running: have the system delete it at the next start
};

// Removes the book's shortcut and files, and then its key unless
// something failed to go: everything but the uninstaller and its folder. A
// key that stays keeps the book in Add/Remove Programs, so that the
// uninstaller can simply run again.
void removeBook(const InstalledBook& book, RemovalReport& report);
// Removes the uninstaller, then the folders the install made while empty.
void removeUninstaller(const InstalledBook& book, SelfRemoval selfRemoval, RemovalReport& report);
// Both, in that order; the uninstaller stays when anything of the book did.
void removeInstalledBook(const InstalledBook& book, SelfRemoval selfRemoval, RemovalReport& report);
// True when path names a file of the uninstaller's name in a folder: only
// such a path names an install of the book.
bool isUninstallerPath(const WCHAR* path);

// ---- The install that another one replaces (replaced_install.cpp) ----
// Removes the earlier install as its own uninstaller would (the book's files,
// its shortcut, the uninstaller, the folders it made), unless its folder is
// newFolder itself. A folder that is gone has nothing to remove, and one
// reached through a link is refused. True when everything went that is the
// book's; false when a book file stayed or, with unreachable set, the folder
// could not be reached or checked.
// report holds what stayed.
bool removeEarlierInstall(const InstalledBook& earlier, const WCHAR* newFolder, RemovalReport& report,
                          bool& unreachable);
