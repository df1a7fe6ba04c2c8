// Composition of a browsed destination. The typed chain is walked one
// component at a time while the folders exist; the first absent component
// and everything after it become the chain to create, untested.
//
// Invariants while composing:
//   existing: the length of path's leading part that names an existing folder
//             (or a drive root); path[existing..] is only ever scratch space.
//   newFolder always starts at its buffer's first character: every removal
//   from its front is an overlapping move towards the start.
//   Every write into path is checked against pathSize first, so a chain too
//   long for path loses whole trailing components instead of overrunning it.
#include "compose_destination.h"

#include <cstring>

const char fileNameConflictMessage[] = "New Folder name can't be the same as some file's name!";

namespace {

constexpr wchar_t separator = L'\\';
constexpr int driveRootLength = 3;   // "D:\"

// Length of the text in a buffer of size characters; a text that fills the
// buffer without a terminator is cut to size - 1 so that it has one.
int terminatedLength(wchar_t* text, int size)
{
    for (int length = 0; length < size; length++) {
        if (text[length] == L'\0')
            return length;
    }
    text[size - 1] = L'\0';
    return size - 1;
}

void removeFront(wchar_t* text, int count)
{
    const wchar_t* from = text + count;
    while ((*text++ = *from++) != L'\0') {
    }
}

int componentLength(const wchar_t* chain)
{
    int length = 0;
    while (chain[length] != L'\0' && chain[length] != separator)
        length++;
    return length;
}

// A text that starts with a drive root ("D:\...") replaces the chosen folder
// by that root. Any other colon drops everything up to and including it.
// Returns the new length of path.
int takeDrivePrefix(wchar_t* path, int pathSize, wchar_t* newFolder, int pathLength)
{
    int colonIndex = 0;
    while (newFolder[colonIndex] != L':') {
        if (newFolder[colonIndex++] == L'\0')
            return pathLength;
    }
    if (colonIndex == 1 && newFolder[2] == separator && driveRootLength < pathSize) {
        std::memcpy(path, newFolder, driveRootLength * sizeof *path);
        path[driveRootLength] = L'\0';
        removeFront(newFolder, driveRootLength);
        return driveRootLength;
    }
    removeFront(newFolder, colonIndex + 1);
    return pathLength;
}

// Writes the chain from its first component on into path at start and
// normalises it in place: runs of backslashes become one, none remain at
// either end. Components that would not fit in path are dropped from both.
void appendNormalisedChain(wchar_t* path, int pathSize, int start, wchar_t* chain)
{
    int read = 0;
    int written = 0;
    int end = start;
    for (;;) {
        while (chain[read] == separator)
            ++read;
        if (chain[read] == L'\0')
            break;
        const int length = componentLength(chain + read);
        const int sep = written > 0 ? 1 : 0;
        if (end + sep + length >= pathSize)
            break;
        // written < read whenever sep is 1: at least one backslash was skipped.
        if (sep) {
            chain[written++] = separator;
            path[end++] = separator;
        }
        std::memcpy(path + end, chain + read, length * sizeof *path);
        for (int i = 0; i < length; i++)   // towards the start: written <= read
            chain[written + i] = chain[read + i];
        written += length;
        end += length;
        read += length;
    }
    chain[written] = L'\0';
    path[end] = L'\0';
}

} // namespace

int composeDestination(wchar_t* path, int pathSize, wchar_t* newFolder, int chainSize,
                       PathQuery queryPath, ErrorDisplay showError)
{
    int existing = terminatedLength(path, pathSize);
    terminatedLength(newFolder, chainSize);
    existing = takeDrivePrefix(path, pathSize, newFolder, existing);

    for (;;) {
        while (newFolder[0] == separator)
            removeFront(newFolder, 1);
        if (newFolder[0] == L'\0')
            return existing;

        const int sep = (existing != 0 && path[existing - 1] != separator) ? 1 : 0;
        const int length = componentLength(newFolder);
        if (existing + sep + length >= pathSize) {
            // Not even this component fits: keep what exists, create nothing.
            path[existing] = L'\0';
            newFolder[0] = L'\0';
            return existing;
        }
        if (sep)
            path[existing] = separator;
        std::memcpy(path + existing + sep, newFolder, length * sizeof *path);
        path[existing + sep + length] = L'\0';

        switch (queryPath(path)) {
        case PathKind::folder:
            existing += sep + length;
            removeFront(newFolder, length);
            break;
        case PathKind::absent:
            appendNormalisedChain(path, pathSize, existing + sep, newFolder);
            return existing;
        case PathKind::other:
            path[existing] = L'\0';
            newFolder[0] = L'\0';
            showError(fileNameConflictMessage);
            return existing;
        }
    }
}
