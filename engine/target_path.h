// Composing file names into the fixed path buffers.
#pragma once

#include <windows.h>

#include "settings.h"

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
