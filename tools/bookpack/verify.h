// Checks a packed entry by decoding it the way the installer does, with the
// installer's own decoder, and comparing the result with the source bytes.
#pragma once

#include "files.h"

#include <string>

// True when `archive` yields exactly `source`, with matching CRC-32 and sizes.
// On failure sets `error` to what differs.
bool verifyPackedEntry(const Bytes& archive, const Bytes& source, std::string& error);
