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
    linked,        // a link on the way, or the open folder is not the one the path names
    openToOthers,  // someone other than the administrators and the installing account may change it, or owns it
    unreadable,    // not a full path, or the folder or its rights cannot be read
};

// Opens folder (a full path, with or without a trailing backslash) as above.
// Returns usable with the open handle in held, which the caller releases; any
// other verdict leaves held INVALID_HANDLE_VALUE. A held folder cannot be
// removed by anyone, the holder included: release it first.
FolderVerdict holdFolder(const WCHAR* folder, HANDLE& held);

// Closes a held folder handle, if any, and marks it released.
void releaseFolder(HANDLE& held);

// True when the system reached the open file or folder by path itself,
// whatever links, mount points or substituted drives may lie on the way.
// Letters are compared as the file system compares them, without regard to case.
bool isReachedAs(HANDLE handle, const WCHAR* path);

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

// What is at path, without following a link.
FileKind fileKindAt(const WCHAR* path);

enum class FileOutcome {
    untouched,  // no plain file there: nothing, or a folder or link, which is not the book's and stays
    done,
    failed,     // a plain file that could not be deleted or moved, or nothing could be
                // looked at: its folder was not reached (GetLastError says why)
};

// Deletes the file at path, if it is a plain file, through the handle that
// showed it to be one.
FileOutcome deletePlainFile(const WCHAR* path);

// Renames the file at from, if it is a plain file, to to, through the handle
// that showed it to be one: within one folder this keeps the file's bytes and
// is atomic. With replace, a file at to is replaced; without, the rename fails
// when to is taken.
FileOutcome movePlainFile(const WCHAR* from, const WCHAR* to, bool replace);

// Renames the open file (opened with DELETE access) to to, a full path.
bool renameOpenFile(HANDLE file, const WCHAR* to, bool replace);

// Creates a new file at path for writing, with the protected rights; fails
// when anything of the name exists. INVALID_HANDLE_VALUE on failure.
HANDLE createBookFile(const WCHAR* path);
