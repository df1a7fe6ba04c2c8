// Composing file names into the fixed path buffers.
#pragma once

// Writes name, then suffix, terminated, at position in a path buffer of
// pathCapacity characters. False, with the buffer unchanged, when position lies
// outside the buffer or the result would not fit: such a target cannot be made.
bool writeNameAt(char* path, int position, const char* name, const char* suffix);

// Cuts path to its first length characters. False when length lies outside the buffer.
bool cutPathAt(char* path, int length);
