// The uninstaller's operations against the real disk, registry and shell links
// under Wine, each in a folder tree or key of its own.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "uninstall.h"

namespace {

const std::string testRoot = "C:\\kestrun-unit";

bool exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void makeFolders(const std::string& path)
{
    for (size_t at = path.find('\\', 3); ; at = path.find('\\', at + 1)) {
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
        if (at == std::string::npos)
            break;
    }
}

void writeFile(const std::string& path, const char* text = "x")
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    WriteFile(file, text, DWORD(lstrlenA(text)), &written, nullptr);
    CloseHandle(file);
}

// Deletes a test tree bottom-up; only ever called on folders below testRoot.
void removeTree(const std::string& folder)
{
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string path = folder + "\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

// A fresh, empty folder below testRoot for one test.
std::string freshFolder(const char* name)
{
    std::string folder = testRoot + "\\" + name;
    removeTree(folder);
    makeFolders(folder);
    return folder;
}

// Packs names into the installer's list form: NUL-terminated, ending with an empty name.
std::string packedList(const std::vector<std::string>& names)
{
    std::string packed;
    for (const std::string& name : names)
        packed += name + '\0';
    return packed + '\0';
}

std::vector<std::string> reportLines(const RemovalReport& report)
{
    std::vector<std::string> lines;
    std::string text(report.text, report.length);
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

bool saveLink(const std::string& linkPath, const std::string& target)
{
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link))))
        return false;
    bool saved = false;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->SetPath(target.c_str()))
        && SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        WCHAR wide[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide, MAX_PATH);
        saved = SUCCEEDED(file->Save(wide, TRUE));
        file->Release();
    }
    link->Release();
    return saved;
}

// ---- path text ----

TEST(PathText, appendPathNameAddsOneSeparatorAndRefusesOverflow)
{
    struct Case {
        const char* path;
        const char* name;
        int capacity;
        const char* expected;   // the path afterwards
        int result;
    } cases[] = {
        {"C:\\Books", "index.htm", 260, "C:\\Books\\index.htm", 18},
        {"C:\\Books\\", "index.htm", 260, "C:\\Books\\index.htm", 18},
        {"", "index.htm", 260, "index.htm", 9},
        {"C:\\Books", "index.htm", 19, "C:\\Books\\index.htm", 18},   // exactly fits with its NUL
        {"C:\\Books", "index.htm", 18, "C:\\Books", 0},               // one short: unchanged
        {"C:\\Books\\", "index.htm", 18, "C:\\Books\\", 0},
    };
    for (const Case& c : cases) {
        char path[260];
        lstrcpyA(path, c.path);
        EXPECT_EQ(appendPathName(path, c.capacity, c.name), c.result) << c.path << " + " << c.name;
        EXPECT_STREQ(path, c.expected);
    }
}

TEST(PathText, cutLastNameStepsToTheParent)
{
    struct Case {
        const char* path;
        const char* expected;
        int result;
    } cases[] = {
        {"C:\\Program Files\\Corvalin\\Kestrun.exe", "C:\\Program Files\\Corvalin", 25},
        {"C:\\Program Files\\Corvalin\\", "C:\\Program Files", 16},
        {"C:\\Books", "C:", 2},
        {"Books", "Books", 0},
        {"", "", 0},
    };
    for (const Case& c : cases) {
        char path[260];
        lstrcpyA(path, c.path);
        EXPECT_EQ(cutLastName(path), c.result) << c.path;
        EXPECT_STREQ(path, c.expected) << c.path;
    }
}

TEST(PathText, folderRelationsFollowWholeNamesAndFoldCase)
{
    struct Case {
        const char* path;
        const char* folder;
        bool below;
        bool directlyIn;
    } cases[] = {
        {"C:\\Program Files\\Corvalin", "C:\\Program Files", true, true},
        {"C:\\Program Files\\Corvalin", "C:\\Program Files\\", true, true},
        {"c:\\program files\\Corvalin\\Sub", "C:\\Program Files", true, false},
        {"C:\\Program Files", "C:\\Program Files", false, false},
        {"C:\\Program Files\\", "C:\\Program Files", false, false},
        {"C:\\Program FilesX\\Corvalin", "C:\\Program Files", false, false},
        {"C:\\Program", "C:\\Program Files", false, false},
        {"D:\\Program Files\\Corvalin", "C:\\Program Files", false, false},
        {"C:\\Books\\index.htm", "", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isBelowFolder(c.path, c.folder), c.below) << c.path << " / " << c.folder;
        EXPECT_EQ(isDirectlyInFolder(c.path, c.folder), c.directlyIn) << c.path << " / " << c.folder;
    }
}

// ---- the temp copy's command line ----

TEST(RemovalCommand, onlyACompleteCommandIsAccepted)
{
    const std::string longPath = "C:\\" + std::string(pathCapacity, 'a');
    struct Case {
        std::string commandLine;
        bool accepted;
        unsigned handle;
        const char* exePath;
    } cases[] = {
        {"\"C:\\Temp\\kst1.tmp\" /remove 132 C:\\Program Files\\Corvalin\\Kestrun.exe", true, 132,
         "C:\\Program Files\\Corvalin\\Kestrun.exe"},
        {"C:\\Temp\\kst1.tmp /remove 4294967295 \\\\server\\share\\Kestrun.exe", true, 4294967295u,
         "\\\\server\\share\\Kestrun.exe"},
        {"  \"C:\\a b\\k.exe\"   /remove 8 D:\\x", true, 8, "D:\\x"},
        {"\"C:\\Program Files\\Corvalin\\Kestrun.exe\"", false, 0, ""},
        {"Kestrun.exe /removex 8 C:\\x", false, 0, ""},
        {"Kestrun.exe /REMOVE 8 C:\\x", false, 0, ""},
        {"Kestrun.exe /remove 0 C:\\x", false, 0, ""},
        {"Kestrun.exe /remove -8 C:\\x", false, 0, ""},
        {"Kestrun.exe /remove 8x C:\\x", false, 0, ""},
        {"Kestrun.exe /remove 4294967296 C:\\x", false, 0, ""},
        {"Kestrun.exe /remove 12345678901 C:\\x", false, 0, ""},
        {"Kestrun.exe /remove 8 Kestrun.exe", false, 0, ""},
        {"Kestrun.exe /remove 8 ", false, 0, ""},
        {"Kestrun.exe /remove 8", false, 0, ""},
        {"Kestrun.exe /remove 8 " + longPath, false, 0, ""},
    };
    for (const Case& c : cases) {
        RemovalCommand command = {};
        EXPECT_EQ(parseRemovalCommand(c.commandLine.c_str(), command), c.accepted) << c.commandLine;
        if (c.accepted) {
            EXPECT_EQ(reinterpret_cast<ULONG_PTR>(command.original), c.handle) << c.commandLine;
            EXPECT_STREQ(command.exePath, c.exePath);
        }
    }
}

TEST(RemovalCommand, waitRefusesAHandleThatIsNotAProcess)
{
    HANDLE event = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_FALSE(waitForOriginal(event));
    // Refused handles stay open: they belong to whoever passed them.
    EXPECT_TRUE(CloseHandle(event));

    HANDLE self = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self,
                                SYNCHRONIZE, FALSE, 0));
    // A process handle without query access cannot be told from other objects either.
    EXPECT_FALSE(waitForOriginal(self));
    CloseHandle(self);
    // Waiting for itself would only delay the removal: the pseudo-handle is refused.
    EXPECT_FALSE(waitForOriginal(GetCurrentProcess()));
}

TEST(RemovalCommand, waitReturnsOnceTheOriginalHasEnded)
{
    char command[] = "cmd.exe /c exit 0";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    ASSERT_TRUE(CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                               &startup, &process));
    CloseHandle(process.hThread);
    EXPECT_TRUE(waitForOriginal(process.hProcess));
    DWORD exitCode = STILL_ACTIVE;
    // The handle was closed by the wait: querying it now fails.
    EXPECT_FALSE(GetExitCodeProcess(process.hProcess, &exitCode));
}

TEST(RemovalCommand, aCopyThatDiffersFromTheOriginalIsNotStarted)
{
    const std::string folder = freshFolder("copies");
    const std::string original = folder + "\\original.exe";
    writeFile(original, "MZ original bytes");
    struct Case {
        const char* copy;
        bool intact;
    } cases[] = {
        {"MZ original bytes", true},
        {"MZ original byteS", false},
        {"MZ original bytes and more", false},
        {"MZ original", false},
        {"", false},
    };
    for (const Case& c : cases) {
        const std::string copyPath = folder + "\\copy.tmp";
        writeFile(copyPath, c.copy);
        HANDLE copy = CreateFileA(copyPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(copy, INVALID_HANDLE_VALUE);
        EXPECT_EQ(copyIsIntact(copy, original.c_str()), c.intact) << c.copy;
        CloseHandle(copy);
    }
    HANDLE copy = CreateFileA(original.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(copyIsIntact(copy, (folder + "\\missing.exe").c_str()));
    CloseHandle(copy);
}

// ---- the report ----

TEST(RemovalReport, namesThatDoNotFitAreCountedAndTheTextStaysBounded)
{
    RemovalReport report = {};
    EXPECT_FALSE(hasFailures(report));
    const std::string name(200, 'p');
    int noted = 0;
    for (; noted < 30; ++noted)
        noteFailure(report, name.c_str());
    EXPECT_TRUE(hasFailures(report));
    const int listed = int(reportLines(report).size());
    EXPECT_EQ(listed, (reportCapacity - 1) / 201);
    EXPECT_EQ(report.unlisted, noted - listed);
    EXPECT_LT(report.length, reportCapacity);

    char text[reportCapacity + 100];
    composeReportText(report, text, sizeof text);
    std::string composed = text;
    EXPECT_EQ(composed.rfind("These could not be removed:\n\n", 0), 0u);
    EXPECT_NE(composed.find("and " + std::to_string(noted - listed) + " more.\n"), std::string::npos);

    char small[64];
    std::memset(small, '#', sizeof small);
    composeReportText(report, small, 40);
    EXPECT_EQ(lstrlenA(small), 39);
    EXPECT_EQ(small[40], '#');   // nothing written past the capacity
}

TEST(RemovalReport, aShortNameAfterAnOverflowIsNotListedOutOfOrder)
{
    RemovalReport report = {};
    const std::string longName(reportCapacity, 'q');
    noteFailure(report, longName.c_str());
    noteFailure(report, "short");
    EXPECT_EQ(report.length, 0);
    EXPECT_EQ(report.unlisted, 2);
}

// ---- files of the book ----

TEST(BookFiles, onlyListedFilesGoAndAHeldOneIsReported)
{
    const std::string folder = freshFolder("book");
    const std::string mainList = packedList({"index", "start", "held", "absent"});
    const std::string extraList = packedList({"logo.gif", "start.htm"});
    for (const char* name : {"index.htm", "start.htm", "held.htm", "logo.gif", "notes.txt", "index.html", "start"})
        writeFile(folder + "\\" + name);
    makeFolders(folder + "\\absent.htm");   // a folder with a listed name is not the book's file

    EXPECT_TRUE(anyListedFilePresent(folder.c_str(), mainList.c_str(), ".htm"));
    HANDLE held = CreateFileA((folder + "\\held.htm").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    RemovalReport report = {};
    removeListedFiles(folder.c_str(), mainList.c_str(), ".htm", report);
    removeListedFiles(folder.c_str(), extraList.c_str(), "", report);
    CloseHandle(held);

    EXPECT_EQ(reportLines(report), std::vector<std::string>{folder + "\\held.htm"});
    struct Expectation {
        const char* name;
        bool remains;
    } expectations[] = {
        {"index.htm", false}, {"start.htm", false}, {"logo.gif", false}, {"held.htm", true},
        {"notes.txt", true},  {"index.html", true}, {"start", true},     {"absent.htm", true},
    };
    for (const Expectation& e : expectations)
        EXPECT_EQ(exists(folder + "\\" + e.name), e.remains) << e.name;
}

// ---- folders ----

TEST(Folders, emptiedChainGoesUpToButNotIncludingTheBoundary)
{
    struct Case {
        const char* description;
        const char* keep;          // a file placed in this subfolder of the base, or ""
        const char* removeFrom;    // the folder removal starts at, below the base
        const char* boundary;      // below the base
        std::vector<const char*> remaining;   // subfolders that must still exist
        std::vector<const char*> gone;
    } cases[] = {
        {"whole chain", "", "pf\\a\\b\\c", "pf", {"pf"}, {"pf\\a"}},
        {"user file in the middle", "pf\\a\\mine.txt", "pf\\a\\b\\c", "pf", {"pf\\a"}, {"pf\\a\\b"}},
        {"user file beside the start", "pf\\a\\b\\c\\mine.txt", "pf\\a\\b\\c", "pf", {"pf\\a\\b\\c"}, {}},
        {"outside the boundary", "", "other\\a", "pf", {"other\\a"}, {}},
        {"boundary is a prefix of a name", "", "pfx\\a", "pf", {"pfx\\a"}, {}},
        {"start is the boundary", "", "pf", "pf", {"pf"}, {}},
    };
    for (const Case& c : cases) {
        const std::string base = freshFolder("folders");
        makeFolders(base + "\\" + c.removeFrom);
        makeFolders(base + "\\pf");
        if (*c.keep) {
            std::string keep = base + "\\" + c.keep;
            makeFolders(keep.substr(0, keep.rfind('\\')));
            writeFile(keep);
        }
        RemovalReport report = {};
        removeEmptyFolders((base + "\\" + c.removeFrom).c_str(), (base + "\\pf").c_str(), report);
        EXPECT_FALSE(hasFailures(report)) << c.description;
        for (const char* folder : c.remaining)
            EXPECT_TRUE(exists(base + "\\" + folder)) << c.description << ": " << folder;
        for (const char* folder : c.gone)
            EXPECT_FALSE(exists(base + "\\" + folder)) << c.description << ": " << folder;
    }
}

// ---- desktop links ----

class DesktopLinks : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
    void TearDown() override { CoUninitialize(); }
};

TEST_F(DesktopLinks, onlyLinksIntoTheBookFolderGoWithTheirEmptiedFolders)
{
    const std::string desktop = freshFolder("desktop");
    const std::string book = testRoot + "\\Program Files\\Corvalin";
    const char linkName[] = "The Tolm Language.lnk";
    struct Link {
        const char* folder;    // below the desktop
        const char* name;
        std::string target;
        bool removed;
    } links[] = {
        {"Tolm\\Books", linkName, book + "\\index.htm", true},
        {"", linkName, book + "\\start.htm", true},
        {"Other", linkName, "C:\\Elsewhere\\index.htm", false},
        {"Deeper", linkName, book + "\\old\\index.htm", false},
        {"Named", "Another.lnk", book + "\\index.htm", false},
        {"Prefix", linkName, book + "X\\index.htm", false},
    };
    for (const Link& link : links) {
        std::string folder = *link.folder ? desktop + "\\" + link.folder : desktop;
        makeFolders(folder);
        ASSERT_TRUE(saveLink(folder + "\\" + link.name, link.target)) << link.folder;
    }
    writeFile(desktop + "\\Other\\readme.txt");

    RemovalReport report = {};
    removeBookLinks(desktop.c_str(), book.c_str(), linkName, report);
    EXPECT_FALSE(hasFailures(report));
    for (const Link& link : links) {
        std::string folder = *link.folder ? desktop + "\\" + link.folder : desktop;
        EXPECT_NE(exists(folder + "\\" + link.name), link.removed) << link.folder;
    }
    EXPECT_FALSE(exists(desktop + "\\Tolm")) << "the emptied link folder chain stays";
    EXPECT_TRUE(exists(desktop)) << "the desktop itself was removed";
}

TEST_F(DesktopLinks, anEmptiedDesktopItselfStays)
{
    const std::string desktop = freshFolder("bare-desktop");
    const std::string book = testRoot + "\\Books";
    ASSERT_TRUE(saveLink(desktop + "\\The Tolm Language.lnk", book + "\\index.htm"));
    RemovalReport report = {};
    removeBookLinks(desktop.c_str(), book.c_str(), "The Tolm Language.lnk", report);
    EXPECT_FALSE(exists(desktop + "\\The Tolm Language.lnk"));
    EXPECT_TRUE(exists(desktop));
}

TEST_F(DesktopLinks, linksBelowTheSearchDepthAreNotTouched)
{
    const std::string desktop = freshFolder("deep-desktop");
    const std::string book = testRoot + "\\Books";
    std::string reachable = desktop;
    for (int level = 0; level < linkSearchDepth; ++level)
        reachable += "\\d";
    const std::string tooDeep = reachable + "\\d";
    makeFolders(tooDeep);
    ASSERT_TRUE(saveLink(reachable + "\\The Tolm Language.lnk", book + "\\index.htm"));
    ASSERT_TRUE(saveLink(tooDeep + "\\The Tolm Language.lnk", book + "\\index.htm"));
    RemovalReport report = {};
    removeBookLinks(desktop.c_str(), book.c_str(), "The Tolm Language.lnk", report);
    EXPECT_FALSE(exists(reachable + "\\The Tolm Language.lnk"));
    EXPECT_TRUE(exists(tooDeep + "\\The Tolm Language.lnk"));
}

// ---- the uninstall key ----

TEST(UninstallKey, removedOnlyWhenItNamesThisUninstaller)
{
    const char keyPath[] = "Software\\KestrunUnit\\Uninstall";
    const char exePath[] = "C:\\Program Files\\Corvalin\\Kestrun.exe";
    struct Case {
        const char* recorded;   // the UninstallString value, or nullptr for none
        bool removed;
    } cases[] = {
        {"\"C:\\Program Files\\Corvalin\\Kestrun.exe\"", true},
        {"C:\\Program Files\\Corvalin\\Kestrun.exe", true},
        {"\"c:\\program files\\corvalin\\KESTRUN.EXE\"", true},
        {"\"C:\\Spare\\Kestrun.exe\"", false},
        {"\"C:\\Program Files\\Corvalin\\Kestrun.exe", false},   // unterminated quote
        {"C:\\Program Files\\Corvalin\\Kestrun.exe /x", false},
        {nullptr, false},
    };
    for (const Case& c : cases) {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, keyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        if (c.recorded)
            RegSetValueExA(key, "UninstallString", 0, REG_SZ, reinterpret_cast<const BYTE*>(c.recorded),
                           DWORD(lstrlenA(c.recorded) + 1));
        RegCloseKey(key);

        RemovalReport report = {};
        EXPECT_EQ(keyNamesUninstaller(HKEY_CURRENT_USER, keyPath, exePath), c.removed) << c.recorded;
        removeUninstallKey(HKEY_CURRENT_USER, keyPath, exePath, report);
        EXPECT_FALSE(hasFailures(report));
        bool present = RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_READ, &key) == ERROR_SUCCESS;
        if (present)
            RegCloseKey(key);
        EXPECT_NE(present, c.removed) << (c.recorded ? c.recorded : "(no value)");
        RegDeleteKeyA(HKEY_CURRENT_USER, keyPath);
    }
}

TEST(UninstallKey, aValueWithoutTerminatorIsReadWithinItsSize)
{
    const char keyPath[] = "Software\\KestrunUnit\\Unterminated";
    const char exePath[] = "C:\\B\\Kestrun.exe";
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, keyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    // Stored without its NUL and followed in memory by more text.
    const char stored[] = "C:\\B\\Kestrun.exeTRAILING";
    RegSetValueExA(key, "UninstallString", 0, REG_SZ, reinterpret_cast<const BYTE*>(stored), DWORD(lstrlenA(exePath)));
    RegCloseKey(key);
    EXPECT_TRUE(keyNamesUninstaller(HKEY_CURRENT_USER, keyPath, exePath));
    RegDeleteKeyA(HKEY_CURRENT_USER, keyPath);
}

} // namespace
