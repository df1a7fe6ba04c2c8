// Moves a PE image's headers over its DOS stub so that they take fewer file
// blocks: the linker always puts the PE header at 0x80, behind a 64-byte DOS
// program, which pushes five section headers past the first 512-byte block.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Rewrites `image` in place: the PE header follows the 64-byte DOS header
// directly, SizeOfHeaders shrinks to the file blocks the headers now need, and
// every section's file data moves down by what was saved. Section contents,
// virtual layout and every other header field stay as they were, but for a
// checksum, which is computed again when the image has one. An image
// whose headers would take as many blocks as before is left untouched.
//
// Refuses, leaving `image` unchanged and setting `error`, anything it cannot
// move safely: a malformed or truncated image, bytes other than zeros between
// the headers and the first section, and data that records file offsets (a
// signature, a debug directory, a COFF symbol table).
bool compactPeHeaders(std::vector<uint8_t>& image, std::string& error);
