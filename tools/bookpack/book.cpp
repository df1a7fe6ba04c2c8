// Reading and checking the book's manifest.
//
// manifest.txt holds a [main] section of page base names and an [extra]
// section of full file names, one per line; '#' starts a comment line and blank
// lines are ignored. The installer derives resource numbers and target file
// names from these lists, so every rule it depends on is checked here, before
// anything is written: counts, lengths, characters Windows accepts in a file
// name, uniqueness without regard to case, the replaced-page name, and that
// every named file exists.
#include "book.h"

#include "page_manifest.h"
#include "product.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <sys/stat.h>

namespace {

constexpr char mainSection[] = "[main]";
constexpr char extraSection[] = "[extra]";
constexpr size_t replacedMainIndex = firstReplacedResource - firstMainResource;   // the 71st name
constexpr size_t replacingExtraIndex = 1;                                          // the second name

// Windows refuses these as file names, with or without an extension.
constexpr const char* reservedDeviceNames[] = {
    "CON", "PRN", "AUX", "NUL",
    "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "COM9",
    "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9",
};

std::string upperCase(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string trim(const std::string& text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])))
        --end;
    return text.substr(begin, end - begin);
}

bool isNameCharacter(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-';
}

bool isReservedDeviceName(const std::string& base)
{
    const std::string upper = upperCase(base);
    for (const char* reserved : reservedDeviceNames)
        if (upper == reserved)
            return true;
    return false;
}

// Checks a main base name; returns the reason it is refused, or "" when it is fine.
std::string checkMainName(const std::string& name)
{
    if (name.size() > maxMainNameLength)
        return "is longer than " + std::to_string(maxMainNameLength) + " characters";
    for (char c : name)
        if (!isNameCharacter(c))
            return "has a character other than letters, digits, '_' and '-'";
    if (isReservedDeviceName(name))
        return "is a name Windows reserves for a device";
    return "";
}

// Checks an extra file name: BASE.EXT with the same characters as main names.
std::string checkExtraName(const std::string& name)
{
    if (name.size() > maxExtraNameLength)
        return "is longer than " + std::to_string(maxExtraNameLength) + " characters";
    const size_t dot = name.find('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == name.size() || name.find('.', dot + 1) != std::string::npos)
        return "is not of the form NAME.EXT";
    for (char c : name)
        if (c != '.' && !isNameCharacter(c))
            return "has a character other than letters, digits, '_', '-' and one '.'";
    if (isReservedDeviceName(name.substr(0, dot)))
        return "is a name Windows reserves for a device";
    return "";
}

bool readManifestLines(const std::string& path, std::vector<std::string>& lines, std::string& error)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        error = path + ": cannot read the manifest: " + std::strerror(errno);
        return false;
    }
    std::string text;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, got);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        error = path + ": cannot read the manifest";
        return false;
    }
    if (text.find('\0') != std::string::npos) {
        error = path + ": the manifest is not a text file (it holds a NUL byte)";
        return false;
    }
    // Editors on Windows may open a UTF-8 file with a byte order mark.
    const std::string byteOrderMark = "\xEF\xBB\xBF";
    size_t start = text.compare(0, byteOrderMark.size(), byteOrderMark) == 0 ? byteOrderMark.size() : 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return true;
}

bool isRegularFile(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool hasMainPageCount(const BookManifest& book, const std::string& path, std::string& error)
{
    if (book.mainNames.size() == mainPageCount)
        return true;
    error = path + ": main list has " + std::to_string(book.mainNames.size()) + " names, expected " +
            std::to_string(mainPageCount);
    return false;
}

}  // namespace

std::string mainFileName(const BookManifest& book, size_t index)
{
    return book.mainNames[index] + pageExtension;
}

std::string mainFilePath(const BookManifest& book, size_t index)
{
    return book.dir + "/" + mainFileName(book, index);
}

std::string extraFilePath(const BookManifest& book, size_t index)
{
    return book.dir + "/" + extraFolderName + "/" + book.extraNames[index];
}

bool readBookManifest(const std::string& bookDir, BookManifest& book, std::string& error)
{
    book = BookManifest{};
    book.dir = bookDir;
    const std::string path = bookDir + "/" + manifestFileName;
    std::vector<std::string> lines;
    if (!readManifestLines(path, lines, error))
        return false;

    std::vector<std::string>* section = nullptr;
    bool seenMain = false;
    bool seenExtra = false;
    // Upper-cased installed file name -> where it was first named, to find
    // names that would collide on a case-insensitive file system.
    std::map<std::string, std::string> installedNames;
    installedNames[upperCase(uninstallerFileName)] = "the uninstaller's name";

    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string where = path + ":" + std::to_string(i + 1) + ": ";
        const std::string line = trim(lines[i]);
        if (line.empty() || line[0] == '#')
            continue;
        if (line[0] == '[') {
            bool& seen = line == mainSection ? seenMain : seenExtra;
            if (line != mainSection && line != extraSection) {
                error = where + "unknown section " + line + " (expected " + mainSection + " or " + extraSection + ")";
                return false;
            }
            if (seen) {
                error = where + "section " + line + " appears twice";
                return false;
            }
            if (line == mainSection && seenExtra) {
                error = where + "section " + mainSection + " must come before " + extraSection;
                return false;
            }
            seen = true;
            if (line == extraSection && !hasMainPageCount(book, path, error))
                return false;
            section = line == mainSection ? &book.mainNames : &book.extraNames;
            continue;
        }
        if (!section) {
            error = where + "name '" + line + "' before any section";
            return false;
        }
        const bool isMain = section == &book.mainNames;
        const std::string problem = isMain ? checkMainName(line) : checkExtraName(line);
        if (!problem.empty()) {
            error = where + (isMain ? "main name '" : "extra name '") + line + "' " + problem;
            return false;
        }
        const size_t limit = isMain ? mainPageCount : extraFileCount;
        if (section->size() == limit) {
            error = where + (isMain ? "main" : "extra") + " list has more than " + std::to_string(limit) +
                    " names (at '" + line + "')";
            return false;
        }
        const std::string fileName = isMain ? line + pageExtension : line;
        const bool replacesMain = !isMain && section->size() == replacingExtraIndex;
        const auto known = installedNames.find(upperCase(fileName));
        if (known != installedNames.end() && !replacesMain) {
            error = where + "name '" + line + "' duplicates " + known->second + " (names are compared without regard to case)";
            return false;
        }
        if (replacesMain) {
            const std::string expected = book.mainNames[replacedMainIndex] + pageExtension;
            if (fileName != expected) {
                error = where + "second extra name '" + line + "' must be the 71st main name + " + pageExtension +
                        ", '" + expected + "'";
                return false;
            }
        } else {
            installedNames[upperCase(fileName)] = "'" + line + "' on line " + std::to_string(i + 1);
        }
        section->push_back(line);
    }

    if (!hasMainPageCount(book, path, error))
        return false;
    if (book.extraNames.size() != extraFileCount) {
        error = path + ": extra list has " + std::to_string(book.extraNames.size()) + " names, expected " +
                std::to_string(extraFileCount);
        return false;
    }
    for (size_t i = 0; i < book.mainNames.size(); ++i) {
        const std::string file = mainFilePath(book, i);
        if (!isRegularFile(file)) {
            error = file + ": main page " + std::to_string(i + 1) + " is missing";
            return false;
        }
    }
    for (size_t i = 0; i < book.extraNames.size(); ++i) {
        const std::string file = extraFilePath(book, i);
        if (!isRegularFile(file)) {
            error = file + ": extra file " + std::to_string(i + 1) + " is missing";
            return false;
        }
    }
    return true;
}
