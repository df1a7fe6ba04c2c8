// The folders and files an elevated run acts on, held so that no other user
// can turn the run against the machine.
//
// Both programs run as administrator. A folder a standard user may change, or
// a link (junction, symbolic link, mount point) on the way to it, would let
// that user choose what the run writes, renames or deletes. So a run holds
// its folder open before its first change, without delete sharing, which
// keeps the folder from being renamed or replaced until the run ends, and
// only after it has found that neither the folder nor any folder above it is
// a link and that the open folder is the one its path names. A file is
// renamed or deleted only through a handle that was opened without following
// a link and found to be a plain file.
#pragma once

#include <windows.h>

// ---- Holding a folder (safe_folder.cpp) ----

enum class FolderVerdict {
    usable,        // held and reached without a link; its rights, when checked, let only administrators change it
    missing,       // the folder, or one above it, does not exist
    linked,        // a junction, symbolic link or mount point below the root on the way (folderRootEnd), or
                   // the open folder is not the one the path names
    openToOthers,  // someone other than the administrators and the installing account may change it, or owns it
    unreadable,    // it cannot be checked: not a full path, its drive or share cannot be reached, a folder
                   // above it cannot be read, or the system would not say which folder it is or who may change it
};

// Opens folder (a full path, with or without a trailing backslash) as above,
// asking for access besides what holding takes. Returns usable with the open
// handle in held, which the caller releases; any other verdict leaves held
// INVALID_HANDLE_VALUE. A held folder cannot be removed by anyone but
// through the holding handle: release it first, or remove it through one
// that has DELETE access.
FolderVerdict holdFolder(const WCHAR* folder, HANDLE& held, DWORD access = 0);
// holdFolder, with a refusal logged: "folder refused", the folder, and
// "reached through a link" or "cannot be checked". A missing folder is not
// refused, and not logged.
FolderVerdict holdFolderLogged(const WCHAR* folder, HANDLE& held, DWORD access = 0);

// Where the first name below path's root begins: after the user's or all
// users' desktop folder, as the system reports it, when path is in it or is
// it, else after its drive or share ("X:\", "\\server\share\"); 0 when path
// is not a full path. A root is whatever it is mounted or linked as: only
// the folders below it are checked for links.
int folderRootEnd(const WCHAR* path);

// True when both name the same folder on disk, whatever the spelling: a short
// name, another case or a trailing backslash must never make one install look
// like another.
bool isSameFolder(const WCHAR* first, const WCHAR* second);

// Closes a held folder handle, if any, and marks it released.
void releaseFolder(HANDLE& held);

// Whether path (a full path) reaches the open file or folder, as folders,
// not as text: usable when the system's final path for the handle is path
// with its short names expanded, below its root as that is mounted (a
// substituted or mapped drive names the folder or share underneath), letters
// compared as the file system compares them; linked when it is another one;
// unreadable when a folder of path cannot be listed or the system would not
// say which file the handle is.
FolderVerdict reachedVerdict(HANDLE handle, const WCHAR* path);

// True when a reparse point of this tag is a link: the tag is a name
// surrogate (a symbolic link, junction or mount point), or it reads 0, as
// Wine reports its folder links. Other reparse points (deduplicated,
// compressed, cloud files) are ordinary files and folders.
inline bool isLinkTag(DWORD tag)
{
    return tag == 0 || IsReparseTagNameSurrogate(tag);
}
// The same for the open reparse point, whose tag the system is asked for
// (FileAttributeTagInfo); one whose tag cannot be read counts as a link.
bool reparseIsLink(HANDLE handle);

enum class FolderRemoval {
    removed,
    missing,   // nothing there to remove
    notEmpty,  // it holds something: it stays
    refused,   // reached through a link: what lies there is not ours, and stays
    failed,    // it cannot be checked or removed (the log says why)
};

// Removes the empty folder at path through a handle that holds it as
// holdFolder does, so that no link swapped in on the way can turn the
// removal elsewhere. Logs the removal, or why the folder stays, unless it
// was missing or not empty (holdFolderLogged).
FolderRemoval removeHeldFolder(const WCHAR* folder);

// ---- Rights (folder_rights.cpp) ----

// What Program Files grants: full control for the system and the
// administrators, read and execute for users, inherited by everything below,
// protected from what the parent grants; owned by the administrators. Folders
// the install creates get it, and so does every file it writes into the pages
// folder (Wine applies no inheritance; on Windows a file would inherit the
// same grants).
extern const SECURITY_ATTRIBUTES protectedAttributes;

// True when only the system, the administrators, the installer service,
// CREATOR OWNER and the installing account may write, delete, change the
// rights of or take the held folder, and one of them but CREATOR OWNER owns it.
// Grants through inheritance count, as do grants that only pass to what is
// created below.
FolderVerdict checkFolderRights(HANDLE held);

// Gives the held folder the protected rights above, and the administrators as
// its owner where they may take it. True when the rights are set.
bool protectFolder(HANDLE held);

// ---- Plain files (plain_file.cpp) ----

enum class FileKind {
    absent,  // nothing of the name, in a folder that was found
    plain,   // a file that is not a link
    other,   // a folder, a link of any kind, or what cannot be looked at
};

// What is at path, a name in the folder the caller holds, without following
// a link: plain only when it is a file that is not a link, and the very file
// the folder's path and its name name.
FileKind fileKindAt(HANDLE folder, const WCHAR* path);
// The same, opened with access added to what reading its attributes needs:
// the handle, which the caller closes, or INVALID_HANDLE_VALUE when nothing
// is there (absent) or what is there cannot be opened so (other: a file
// another program holds, a folder that cannot be reached).
HANDLE openFileAt(HANDLE folder, const WCHAR* path, DWORD access, FileKind& kind);
// True when the open file is the one named by the held folder's final path
// and the last name of path: one query per file tells a link (Wine shows a
// link to a file as a plain one) or a file that moved.
bool isNamedInFolder(HANDLE file, HANDLE folder, const WCHAR* path);

enum class FileOutcome {
    untouched,  // nothing there
    left,       // a folder, a link or a file that is not the book's: it stays, and the log says so
    done,
    failed,     // a plain file that could not be deleted or moved, or nothing could be
                // looked at: its folder was not reached (GetLastError says why)
};

// The outcomes that acted on a plain file, and are logged as done or failed.
inline bool actedOn(FileOutcome outcome)
{
    return outcome == FileOutcome::done || outcome == FileOutcome::failed;
}

// A further check of an open plain file (opened with read access too) and
// its path: false leaves it as not the caller's to change.
using FileCheck = bool (*)(HANDLE file, const WCHAR* path);

// Deletes the file at path in the held folder, if it is a plain file there
// and isOurs, when given, says so, through the handle that showed it.
FileOutcome deletePlainFile(HANDLE folder, const WCHAR* path, FileCheck isOurs = nullptr);

// Renames the file at from in the held folder, if it is a plain file there,
// to to, through the handle that showed it to be one: within one folder this
// keeps the file's bytes and is atomic. With replace, a file at to is
// replaced; without, the rename fails when to is taken.
FileOutcome movePlainFile(HANDLE folder, const WCHAR* from, const WCHAR* to, bool replace);

// Deletes the open file or empty folder (opened with DELETE access): its
// name goes at once where the system has POSIX semantics, otherwise once its
// last handle closes.
bool deleteThrough(HANDLE handle);

// Renames the open file (opened with DELETE access) to to, a full path.
bool renameOpenFile(HANDLE file, const WCHAR* to, bool replace);

// Creates a new file at path for writing, with the protected rights; fails
// when anything of the name exists. INVALID_HANDLE_VALUE on failure.
HANDLE createBookFile(const WCHAR* path);
