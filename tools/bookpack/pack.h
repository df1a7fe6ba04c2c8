// `bookpack pack`: the payload entries and their resource script.
#pragma once

#include <string>
#include <vector>

struct RawEntry {
    int resource;
    std::string path;
};

struct PackOptions {
    bool store = false;                // method 0 instead of DEFLATE
    std::vector<int> omitted;          // entries left out
    std::vector<RawEntry> rawEntries;  // entries whose archive bytes are taken verbatim from a file
    std::string bookDir;
    std::string uninstallerPath;
    std::string outputDir;
};

constexpr char resourceScriptName[] = "payload.rc";

// True when `resource` names a payload entry: 900, 901-976 or 1020-1030.
bool isPayloadResource(int resource);

// Packs the book; on failure returns false with `error` set and writes nothing.
bool runPack(const PackOptions& options, std::string& error);
