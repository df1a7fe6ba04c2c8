// Joins the folder chosen in the browse dialog and the chain typed into its
// "New Folder:" field into one destination, split into the part that exists
// and the chain still to be created. It touches no window and no file itself:
// the caller passes the existence query and the error display, so the same
// code runs against the real disk and against a test's fake file system.
// Paths are wide text (UTF-16 on Windows), and sizes count characters.
#pragma once

// What a path names on disk.
enum class PathKind {
    absent,   // nothing of that name
    folder,   // an existing folder
    other,    // an ordinary file or anything else that is not a folder
};

using PathQuery = PathKind (*)(const wchar_t* path);
using ErrorDisplay = void (*)(const char* message);

// Shown through the ErrorDisplay when a typed folder name is taken by a file.
extern const char fileNameConflictMessage[];

// path: buffer of pathSize characters holding the chosen folder; newFolder:
// buffer of chainSize characters holding the typed chain. Rewrites both and
// returns the new existingLength: path's first existingLength characters name
// an existing folder (or a drive root, or nothing when the result is 0), and
// newFolder holds the rest of path after the one separator that follows them,
// with single backslashes and none at either end.
// Neither buffer is ever overrun. A chain that would not fit in path keeps
// only its leading whole components that do; the split stays valid.
int composeDestination(wchar_t* path, int pathSize, wchar_t* newFolder, int chainSize,
                       PathQuery queryPath, ErrorDisplay showError);
