// File helpers: whole-file reads and all-or-nothing writes of a set of files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

struct OutputFile {
    std::string path;
    Bytes data;
};

// Reads a whole regular file. On failure sets `error` to a line naming the file.
bool readWholeFile(const std::string& path, Bytes& data, std::string& error);

// Writes every file to a temporary name beside it, then renames them all into
// place. On failure removes the temporaries, so no partial output is left.
bool writeFilesAtomically(const std::vector<OutputFile>& files, std::string& error);

// Creates `dir` and any missing parents.
bool makeDirectories(const std::string& dir, std::string& error);

// The absolute form of a path, made without touching the file system.
bool absolutePath(const std::string& path, std::string& result, std::string& error);
