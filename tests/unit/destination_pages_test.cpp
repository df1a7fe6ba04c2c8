// The destination pages' defaults, with the real registry, shell and disk:
// each case writes "ProgramFilesDir" (or the desktop folder) and the folders
// below it, then creates the page in a real dialog so that its WM_INITDIALOG
// runs, and reads the destination the page proposed. Paths are UTF-8 here;
// some cases name folders that no ANSI code page holds.
#include "install_fixture.h"
#include "pages.h"
#include "product.h"
#include "resource_ids.h"
#include "settings.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>
#include <vector>

namespace {

const std::string testRoot = "C:\\tolmdest";
const std::string programFiles = testRoot + "\\pf";
const std::string cyrillicProgramFiles = testRoot + "\\Программы";   // 21 characters

// The record as the program starts with it; every case begins from it.
const InstallSettings startingSettings = (initInstallSettings(), installSettings);

// A dialog template with one static display control, enough for a page procedure.
std::vector<WORD> pageTemplate(int displayId)
{
    std::vector<WORD> words(sizeof(DLGTEMPLATE) / sizeof(WORD));
    auto* dialog = reinterpret_cast<DLGTEMPLATE*>(words.data());
    dialog->style = WS_POPUP;
    dialog->cdit = 1;
    dialog->cx = 259;
    dialog->cy = 47;
    words.insert(words.end(), {0, 0, 0});   // no menu, default class, no title
    if (words.size() % 2)
        words.push_back(0);                 // items start on a DWORD boundary
    std::vector<WORD> item(sizeof(DLGITEMTEMPLATE) / sizeof(WORD));
    auto* control = reinterpret_cast<DLGITEMTEMPLATE*>(item.data());
    control->style = WS_CHILD | WS_VISIBLE | SS_SIMPLE;
    control->x = 57;
    control->y = 30;
    control->cx = 156;
    control->cy = 11;
    control->id = static_cast<WORD>(displayId);
    words.insert(words.end(), item.begin(), item.end());
    words.insert(words.end(), {0xFFFF, 0x0082, 0, 0});   // class Static, no text, no data
    return words;
}

HWND createPage(DLGPROC procedure, int displayId)
{
    const std::vector<WORD> words = pageTemplate(displayId);
    return CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                      reinterpret_cast<const DLGTEMPLATE*>(words.data()), nullptr,
                                      procedure, 0);
}

enum class Entry { none, folder, file };

void makeEntry(const std::string& path, Entry entry)
{
    if (entry == Entry::folder)
        ASSERT_TRUE(CreateDirectoryW(wideText(path).c_str(), nullptr)) << path;
    else if (entry == Entry::file) {
        writeFile(path, "");
        ASSERT_TRUE(fileExists(path)) << path;
    }
}

// ---- pages page -------------------------------------------------------------

enum class Stored { text, rawBytes, missing };

struct PagesCase {
    const char* label;
    Stored stored;
    std::string value;      // for rawBytes: exactly the characters stored, no terminator added
    Entry corvalin;         // what stands at <value>\Corvalin
    std::string path;
    int existingLength;
    const char* newFolder;
};

class PagesDefaults : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, programFilesKeyPath, 0, KEY_ALL_ACCESS, &key),
                  ERROR_SUCCESS);
        original.resize(MAX_PATH * 2);
        DWORD size = static_cast<DWORD>(original.size());
        hadValue = RegQueryValueExW(key, programFilesValueName, nullptr, &originalType,
                                    reinterpret_cast<BYTE*>(&original[0]), &size) == ERROR_SUCCESS;
        original.resize(size);
        removeTree(testRoot);
        makeFolder(testRoot);
        makeFolder(programFiles);
        makeFolder(cyrillicProgramFiles);
        removeTree("C:\\Corvalin");
    }

    void TearDown() override
    {
        if (hadValue)
            RegSetValueExW(key, programFilesValueName, 0, originalType,
                           reinterpret_cast<const BYTE*>(original.data()),
                           static_cast<DWORD>(original.size()));
        RegCloseKey(key);
        removeTree(testRoot);
        installSettings = startingSettings;
    }

    void store(Stored stored, const std::string& value)
    {
        if (stored == Stored::missing) {
            RegDeleteValueW(key, programFilesValueName);
            return;
        }
        const std::wstring text = wideText(value);
        const DWORD size = static_cast<DWORD>((text.size() + (stored == Stored::text ? 1 : 0)) * sizeof(WCHAR));
        ASSERT_EQ(RegSetValueExW(key, programFilesValueName, 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(text.c_str()), size),
                  ERROR_SUCCESS);
    }

    HKEY key = nullptr;
    bool hadValue = false;
    DWORD originalType = REG_SZ;
    std::string original;
};

const std::string corvalin = std::string("\\") + defaultPagesFolder;
const std::string longDirectory = "C:\\" + std::string(252, 'p');   // 255 characters

const PagesCase pagesCases[] = {
    {"normal directory", Stored::text, programFiles, Entry::none, programFiles + corvalin, 14, "Corvalin"},
    {"directory named outside the ANSI code page", Stored::text, cyrillicProgramFiles, Entry::none,
     cyrillicProgramFiles + corvalin, 21, "Corvalin"},
    {"default folder present", Stored::text, programFiles, Entry::folder, programFiles + corvalin, 23, ""},
    {"default folder name taken by a file", Stored::text, programFiles, Entry::file,
     programFiles + corvalin, 14, "Corvalin"},
    {"directory ending in a backslash", Stored::text, programFiles + "\\", Entry::none,
     programFiles + corvalin, 15, "Corvalin"},
    {"value stored without its terminator", Stored::rawBytes, programFiles, Entry::none,
     programFiles + corvalin, 14, "Corvalin"},
    {"value missing", Stored::missing, "", Entry::none, "C:" + corvalin, 3, "Corvalin"},
    {"empty value", Stored::text, "", Entry::none, "C:" + corvalin, 3, "Corvalin"},
    {"value longer than the buffer", Stored::text, "C:\\" + std::string(300, 'x'), Entry::none,
     "C:" + corvalin, 3, "Corvalin"},
    {"260 characters without a terminator", Stored::rawBytes, "C:\\" + std::string(257, 'y'), Entry::none,
     "C:" + corvalin, 3, "Corvalin"},
    {"no room left for the default folder", Stored::text, longDirectory, Entry::none,
     "C:" + corvalin, 3, "Corvalin"},
};

TEST_F(PagesDefaults, proposesTheDefaultBelowTheProgramFilesDirectory)
{
    for (const PagesCase& c : pagesCases) {
        SCOPED_TRACE(c.label);
        installSettings = startingSettings;
        store(c.stored, c.value);
        makeEntry(programFiles + corvalin, c.corvalin);

        HWND page = createPage(pagesPageProc, IDC_PAGES_PATH);
        ASSERT_NE(page, nullptr);
        const DestinationPath& destination = installSettings.pagesDestination;
        EXPECT_EQ(bufferText(destination.path), c.path);
        EXPECT_EQ(destination.existingLength, c.existingLength);
        EXPECT_EQ(bufferText(destination.newFolder, chainCapacity), c.newFolder);
        DestroyWindow(page);
        removeTree(programFiles + corvalin);
    }
}

// ---- icon page --------------------------------------------------------------

std::string desktopDirectory()
{
    WCHAR path[MAX_PATH];
    EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, path), S_OK);
    return bufferText(path, MAX_PATH);
}

struct IconCase {
    const char* label;
    Entry tolm;                 // what stands at <desktop>\Tolm
    int existingAfterBase;      // existingLength - desktopBaseLength
    const char* newFolder;
};

const IconCase iconCases[] = {
    {"default folder absent", Entry::none, 0, "Tolm"},
    {"default folder present", Entry::folder, 4, ""},
    {"default folder name taken by a file", Entry::file, 0, "Tolm"},
};

TEST(IconDefaults, proposesTheDefaultBelowTheDesktopDirectory)
{
    const std::string desktop = desktopDirectory();
    const std::string tolm = desktop + "\\" + defaultIconFolder;
    removeTree(tolm);
    for (const IconCase& c : iconCases) {
        SCOPED_TRACE(c.label);
        installSettings = startingSettings;
        makeEntry(tolm, c.tolm);

        HWND page = createPage(iconPageProc, IDC_ICON_PATH);
        ASSERT_NE(page, nullptr);
        const DestinationPath& destination = installSettings.iconDestination;
        EXPECT_EQ(bufferText(destination.path), tolm);
        EXPECT_EQ(installSettings.desktopBaseLength, static_cast<int>(wideText(desktop).size()) + 1);
        EXPECT_EQ(destination.existingLength, installSettings.desktopBaseLength + c.existingAfterBase);
        EXPECT_EQ(bufferText(destination.newFolder, chainCapacity), c.newFolder);
        DestroyWindow(page);
        removeTree(tolm);
    }
    installSettings = startingSettings;
}

// ---- icon page with the desktop moved ------------------------------------------

constexpr char shellFoldersKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
constexpr WCHAR desktopValue[] = L"Desktop";

// Creates every folder of path in turn.
void createFolders(const std::string& path)
{
    for (size_t end = path.find('\\', 3); ; end = path.find('\\', end + 1)) {
        makeFolder(path.substr(0, end));
        if (end == std::string::npos)
            break;
    }
}

// A desktop directory of exactly length characters below the test root.
std::string desktopOfLength(size_t length)
{
    std::string path = testRoot;
    while (path.size() < length) {
        const size_t room = length - path.size() - 1;
        path += "\\" + std::string(room < 60 ? room : 60, 'd');
    }
    return path;
}

struct MovedDesktopCase {
    const char* label;
    std::string desktop;
    std::string path;
    int desktopBaseLength;
};

const MovedDesktopCase movedDesktopCases[] = {
    {"ordinary folder", testRoot + "\\desk", testRoot + "\\desk\\Tolm", 17},
    {"a Greek user's desktop", testRoot + "\\Παύλος\\Επιφάνεια εργασίας",
     testRoot + "\\Παύλος\\Επιφάνεια εργασίας\\Tolm", 38},
    {"drive root: no separator added", "C:\\", "C:\\Tolm", 3},
    {"longest desktop that takes the folder name", desktopOfLength(254),
     desktopOfLength(254) + "\\Tolm", 255},
    {"one character too long: the built-in desktop", desktopOfLength(255),
     "C:\\WINDOWS\\Desktop\\Tolm", 19},
};

TEST(IconDefaults, fallsBackWhenTheDesktopLeavesNoRoomForTheFolderName)
{
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, shellFoldersKey, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    WCHAR original[MAX_PATH * 2] = L"";
    DWORD originalSize = sizeof original;
    DWORD originalType = REG_EXPAND_SZ;
    const bool hadValue = RegQueryValueExW(key, desktopValue, nullptr, &originalType,
                                           reinterpret_cast<BYTE*>(original), &originalSize) == ERROR_SUCCESS;
    for (const MovedDesktopCase& c : movedDesktopCases) {
        SCOPED_TRACE(c.label);
        installSettings = startingSettings;
        removeTree(testRoot);
        createFolders(c.desktop);
        const std::wstring desktop = wideText(c.desktop);
        ASSERT_EQ(RegSetValueExW(key, desktopValue, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(desktop.c_str()),
                                 static_cast<DWORD>((desktop.size() + 1) * sizeof(WCHAR))),
                  ERROR_SUCCESS);

        HWND page = createPage(iconPageProc, IDC_ICON_PATH);
        ASSERT_NE(page, nullptr);
        const DestinationPath& destination = installSettings.iconDestination;
        EXPECT_EQ(bufferText(destination.path), c.path);
        EXPECT_EQ(installSettings.desktopBaseLength, c.desktopBaseLength);
        EXPECT_EQ(destination.existingLength, c.desktopBaseLength);
        EXPECT_EQ(bufferText(destination.newFolder, chainCapacity), "Tolm");
        DestroyWindow(page);
    }
    if (hadValue)
        RegSetValueExW(key, desktopValue, 0, originalType, reinterpret_cast<const BYTE*>(original),
                       originalSize);
    RegCloseKey(key);
    removeTree(testRoot);
    installSettings = startingSettings;
}

} // namespace
