// Creating a destination's chain of new folders, and removing it again.
#pragma once

#include <windows.h>

// True when path names an existing folder (not a file).
bool isFolder(const WCHAR* path);

// Creates each folder of chain (components separated by single backslashes)
// below the existing folder that path names, extending path as it goes. A
// component that already exists as a folder counts as success; one that exists
// as a file is a failure. counter grows by one for
// each folder actually created. outLength receives the length of path up to
// and including the backslash after the last folder that now exists; path is
// kept terminated at that length. False at the first component that cannot be
// created, including one that would not fit in the path buffer; and before
// any, when a name of the chain is one the system would change or refuse
// (findBadName). Each folder is created with security (null: it inherits its
// parent's rights).
bool createFolderChain(int& outLength, const WCHAR* chain, WCHAR* path, int& counter,
                       const SECURITY_ATTRIBUTES* security);

// Removes the count deepest folders of path[0, end), where path[end - 1] is the
// backslash after the deepest one, deepest first. Each is removed only when
// empty, and through a handle that holds it (removeHeldFolder); results are
// ignored. path is cut in the process.
void removeCreatedFolders(WCHAR* path, int end, int count);
