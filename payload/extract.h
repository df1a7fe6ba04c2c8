// Turning one embedded payload entry into one file on disk.
#pragma once

#include <windows.h>

// Writes the entry found as `resource` (a one-file ZIP archive in this module's
// resources) to the file named by installSettings.pagesDestination.path.
//   0 the file was created, written completely, and its CRC-32 and size match
//     the entry's header
//   1 the header or its data runs past the entry, the file cannot be created
//     (anything of its name exists: it is created new, with the protected
//     rights of the pages folder),
//     the compressed data is bad, a window write failed, or the written bytes
//     do not match the header's CRC-32 or size
//   2 a stored entry's write failed or came up short, or a set of code lengths
//     was over-subscribed
//   3 memory for a decoding table was exhausted
// A partly written file is left on disk; removing it is the caller's business.
int extractPayloadEntry(HRSRC resource);
