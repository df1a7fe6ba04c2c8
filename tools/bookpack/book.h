// The book as bookpack sees it: the two ordered name lists of its manifest,
// checked against every rule the installer relies on.
#pragma once

#include <string>
#include <vector>

constexpr int mainPageCount = 76;
constexpr int extraFileCount = 11;
constexpr size_t maxMainNameLength = 9;                         // base name, ".htm" appended
constexpr size_t maxExtraNameLength = maxMainNameLength + 4;   // a full name as long as "NAME.htm"
constexpr char manifestFileName[] = "manifest.txt";
constexpr char pageExtension[] = ".htm";
// The extra files live in a folder of their own: the second one is installed
// under the same name as main page 71 but has different contents.
constexpr char extraFolderName[] = "extra";

struct BookManifest {
    std::string dir;                       // the book folder, as given
    std::vector<std::string> mainNames;    // base names, in order; the first is the start page
    std::vector<std::string> extraNames;   // full file names, in order
};

// Reads BOOKDIR/manifest.txt and checks the names and that every named file
// exists: main pages as BOOKDIR/NAME.htm, extra files as BOOKDIR/extra/NAME. On failure returns false and sets `error` to one line naming the culprit.
bool readBookManifest(const std::string& bookDir, BookManifest& book, std::string& error);

// Installed file name of main page `index`, and where in the book each source lies.
std::string mainFileName(const BookManifest& book, size_t index);
std::string mainFilePath(const BookManifest& book, size_t index);
std::string extraFilePath(const BookManifest& book, size_t index);
