// The built-in lists of installed file names. bookpack generates their definition
// from the book's manifest, so installer, uninstaller and payload always agree.
#pragma once

#include <stdint.h>

// Packed runs of NUL-terminated names, each list ending with an empty name.
extern const char mainPageNames[];    // base names; pageSuffix is appended
extern const char extraFileNames[];   // full file names of the variant's extra files
// Each main page's, then each extra file's size and CRC-32, in list order:
// what the uninstaller carries (its own library, tolm_signatures).
extern const uint32_t bookFileSignatures[][2];

#define TOLM_PAGE_SUFFIX ".htm"
inline constexpr char pageSuffix[] = TOLM_PAGE_SUFFIX;   // a main page's file name is its base name and this

constexpr int uninstallerResource = 900;
constexpr int firstMainResource = 901;   // main name i is resource 901 + i
constexpr int firstExtraResource = 1020; // extra name i is resource 1020 + i
// In the variant, the extra list replaces these three main pages (71st to 73rd).
constexpr int firstReplacedResource = 971;
constexpr int lastReplacedResource = 973;
