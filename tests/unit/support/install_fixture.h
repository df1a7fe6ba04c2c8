// Real-disk, real-registry helpers shared by the engine's Windows tests.
// Paths are UTF-8 in std::string, so that a test can name a folder in any
// script; every helper reaches the system through its wide functions.
#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

// UTF-8 and the system's UTF-16, both ways.
std::wstring wideText(const std::string& utf8);
std::string utf8Text(const std::wstring& wide);
// The text in a path buffer, up to its terminator or its end.
std::string bufferText(const WCHAR* buffer, int capacity = 260);
// Copies a UTF-8 path into a buffer of capacity characters, cut to fit.
void copyPath(WCHAR* buffer, int capacity, const std::string& utf8);

// A test's own folder under C:\, made empty.
std::string freshTestFolder(const char* testName);
// Removes a folder with everything in it, or a plain file, at path.
void removeTree(const std::string& path);

bool folderExists(const std::string& path);
bool fileExists(const std::string& path);
void makeFolder(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
std::optional<std::string> readFile(const std::string& path);
// Names of the files (not folders) directly in folder.
std::set<std::string> listFiles(const std::string& folder);

// The source bytes of a book file, by its manifest name (main: without ".htm").
std::string bookPage(const std::string& mainName);
std::string bookExtraFile(const std::string& extraName);

// The manifest compiled into the program, as lists.
std::vector<std::string> mainNames();
std::vector<std::string> extraNames();

void deleteUninstallKey();
bool uninstallKeyExists();
std::optional<std::string> readUninstallValue(const char* name);

// Every value of the uninstall key: name (UTF-8) -> its type, then its raw bytes.
using KeyValues = std::map<std::string, std::pair<DWORD, std::string>>;
KeyValues readUninstallValues();
// A REG_SZ value's type and bytes.
std::pair<DWORD, std::string> textValue(const std::string& utf8);
void writeUninstallValues(const KeyValues& values);

// Every file below folder, by its path relative to folder, with its bytes.
std::map<std::string, std::string> filesBelow(const std::string& folder);

struct ShortcutInfo {
    std::string target;
    std::string description;
};
// Reads a link file back through the shell link object.
std::optional<ShortcutInfo> readShortcut(const std::string& linkPath);

// Points installSettings at pagesParent (+ pagesChain) and iconParent (+ iconChain),
// as the wizard leaves them: both parents exist, owner is ownerWindow.
void setDestinations(const std::string& pagesParent, const char* pagesChain,
                     const std::string& iconParent, const char* iconChain);

// A hidden top-level window to own the install's message boxes.
void* createOwnerWindow();
