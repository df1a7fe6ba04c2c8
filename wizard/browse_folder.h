// The folder browser of the destination pages: the shell's folder-browse
// dialog, extended by a "New Folder:" field in which the user types a chain of
// folders that do not exist yet.
#pragma once

#include <windows.h>

#include "compose_destination.h"

// What path names on the real disk, for composeDestination.
PathKind queryDiskPath(const wchar_t* path);

constexpr int browseTitleCapacity = 64;   // characters of a title, NUL included

// title: the dialog's title, ASCII, within browseTitleCapacity. path: a
// 260-character buffer holding the folder to select first. newFolder: an
// 80-character buffer holding the chain to offer in the field. rootFolder: the
// shell special-folder id the tree starts at. Returns 0 when nothing was
// chosen (Cancel, or the dialog could not open); path and newFolder are then
// untouched. Otherwise returns the new existingLength, with path and newFolder
// rewritten as a valid split.
int browseForDestination(const char* title, WCHAR* path, WCHAR* newFolder, int rootFolder);
