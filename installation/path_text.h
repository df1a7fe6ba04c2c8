// Paths in fixed buffers: their capacities, composing names into them, and
// comparing them.
//
// Paths and folder chains are UTF-16, so that a folder whose name the system's
// ANSI code page cannot hold (a user profile in Cyrillic on a Western system,
// say) is carried intact from the shell to the disk, the link and the
// registry. Capacities count characters, as the system's MAX_PATH does. A
// folder may or may not end in a backslash.
#pragma once

#include <windows.h>

constexpr int pathCapacity = 260;   // characters in every path buffer, NUL included
constexpr int chainCapacity = 80;   // characters in a folder-name chain, NUL included

// Writes name, then suffix, terminated, at position in a path buffer of
// capacity characters. Both are ASCII texts built into the program (the
// book's file names, the uninstaller's and the link's), widened as they are
// copied. False, with the buffer unchanged, when position lies outside the
// buffer or the result would not fit: such a target cannot be made.
bool writeNameAt(WCHAR* path, int position, const char* name, const char* suffix, int capacity = pathCapacity);

// Length of a text inside a buffer of capacity characters, stopping at the end
// of the buffer if no terminator comes first (wcsnlen without the C runtime's
// static copy, which brings unwind tables along).
int boundedLength(const WCHAR* text, int capacity);

// Cuts path to its first length characters. False when length lies outside the buffer.
bool cutPathAt(WCHAR* path, int length);

// Appends a backslash when needed, then name. Returns the new length, or 0 and
// leaves path unchanged when the result would not fit in capacity.
int appendPathName(WCHAR* path, int capacity, const WCHAR* name);
// Cuts path at its last backslash (a trailing one is ignored first). Returns the
// new length, or 0 and leaves path unchanged when it has no backslash.
int cutLastName(WCHAR* path);
// Cuts a file's path to its folder's, which keeps a trailing backslash only
// where it is a drive's or a share's root ("R:\"). Returns the new length, or
// 0 and leaves path unchanged when it has no backslash.
int cutToFolder(WCHAR* path);
// Where the first name below the root begins: after "X:\", or after
// "\\server\share\". 0 when path is neither, and so not a full path.
int firstFolderStart(const WCHAR* path);
// The number of names in path from position start on (at most its length).
int namesFrom(const WCHAR* path, int start);
// The first of the names, separated by backslashes, that Windows would change
// or refuse as a folder's: one that ends in a dot or a space (the system
// drops those), holds a character no name may hold (a control character,
// / : * ? " < > |), or is a device's (CON, PRN, AUX, NUL, COM1 to COM9,
// LPT1 to LPT9, with or without an extension). Null when every name is good.
const WCHAR* findBadName(const WCHAR* names);
// True when path names something strictly below folder. Comparisons here fold
// ASCII case only, which is enough for paths that all come from one install.
bool isBelowFolder(const WCHAR* path, const WCHAR* folder);
// True when path names an entry directly in folder (not in a subfolder).
bool isDirectlyInFolder(const WCHAR* path, const WCHAR* folder);
// True when both texts are equal apart from ASCII case.
bool samePath(const WCHAR* first, const WCHAR* second);
// Copies ASCII text (the built-in names, key paths and value names) into out as
// UTF-16. False, with out holding as much as fits, when it does not fit.
bool widenAscii(WCHAR* out, int capacity, const char* text);
// The same, after the text already in out.
bool appendAscii(WCHAR* out, int capacity, const char* text);
// Composes a message into out (capacity characters): format, ASCII text built
// into the program, widened, with each "%s" replaced by path. Cut to fit, and
// terminated; a capacity of 0 or less leaves out untouched.
void composePathMessage(WCHAR* out, int capacity, const char* format, const WCHAR* path);
