// The uninstaller's operations against the real disk, registry and shell links
// under Wine, each in a folder tree or key of its own. Paths are UTF-16; the
// cases with foreign names use letters that no ANSI code page holds together
// (Cyrillic, Greek, Polish and CJK), which an ANSI call would turn into '?'.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "page_manifest.h"
#include "removal.h"
#include "safe_folder.h"
#include "self_removal.h"

namespace {

const std::wstring testRoot = L"C:\\kestrun-unit";
// Folder names outside the ANSI code page: a desktop tree and a pages folder.
const std::wstring foreignDesktop = L"Рабочий стол Επιφάνεια";
const std::wstring foreignPages = L"Łódź 東京";

std::wstring wideOf(const std::string& utf8)
{
    WCHAR wide[1024];
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide, 1024);
    return wide;
}

// True when the ANSI code page cannot hold text: an ANSI call would mangle it.
bool ansiCodePageLacks(const std::wstring& text)
{
    char narrow[1024];
    BOOL usedDefault = FALSE;
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, narrow, sizeof narrow, nullptr, &usedDefault);
    return usedDefault != FALSE;
}

bool exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void makeFolders(const std::wstring& path)
{
    for (size_t at = path.find(L'\\', 3); ; at = path.find(L'\\', at + 1)) {
        CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
        if (at == std::wstring::npos)
            break;
    }
}

void writeFile(const std::wstring& path, const char* text = "x")
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    WriteFile(file, text, DWORD(lstrlenA(text)), &written, nullptr);
    CloseHandle(file);
}

// Deletes a test tree bottom-up; only ever called on folders below testRoot.
void removeTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring path = folder + L"\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(path);
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

// A fresh, empty folder below testRoot for one test.
std::wstring freshFolder(const std::wstring& name)
{
    std::wstring folder = testRoot + L"\\" + name;
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

std::vector<std::wstring> reportLines(const RemovalReport& report)
{
    std::vector<std::wstring> lines;
    std::wstring text(report.text, report.length);
    for (size_t start = 0, end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

bool saveLink(const std::wstring& linkPath, const std::wstring& target)
{
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return false;
    bool saved = false;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->SetPath(target.c_str()))
        && SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        saved = SUCCEEDED(file->Save(linkPath.c_str(), TRUE));
        file->Release();
    }
    link->Release();
    return saved;
}

TEST(ForeignNames, theTestNamesLieOutsideTheAnsiCodePage)
{
    // Otherwise the cases with foreign names would pass through ANSI calls too.
    EXPECT_TRUE(ansiCodePageLacks(foreignDesktop));
    EXPECT_TRUE(ansiCodePageLacks(foreignPages));
}

// ---- path text ----

TEST(PathText, appendPathNameAddsOneSeparatorAndRefusesOverflow)
{
    struct Case {
        const WCHAR* path;
        const WCHAR* name;
        int capacity;
        const WCHAR* expected;   // the path afterwards
        int result;
    } cases[] = {
        {L"C:\\Books", L"index.htm", 260, L"C:\\Books\\index.htm", 18},
        {L"C:\\Books\\", L"index.htm", 260, L"C:\\Books\\index.htm", 18},
        {L"", L"index.htm", 260, L"index.htm", 9},
        {L"C:\\Books", L"index.htm", 19, L"C:\\Books\\index.htm", 18},   // exactly fits with its NUL
        {L"C:\\Books", L"index.htm", 18, L"C:\\Books", 0},               // one short: unchanged
        {L"C:\\Books\\", L"index.htm", 18, L"C:\\Books\\", 0},
        // Limits count characters, not the bytes an encoding would need.
        {L"C:\\Łódź 東京", L"Книги.htm", 21, L"C:\\Łódź 東京\\Книги.htm", 20},
        {L"C:\\Łódź 東京", L"Книги.htm", 20, L"C:\\Łódź 東京", 0},
    };
    for (const Case& c : cases) {
        WCHAR path[260];
        lstrcpyW(path, c.path);
        EXPECT_EQ(appendPathName(path, c.capacity, c.name), c.result) << c.path << L" + " << c.name;
        EXPECT_STREQ(path, c.expected);
    }
}

TEST(PathText, composePathMessagePutsThePathInPlaceAndStaysInItsBuffer)
{
    struct Case {
        const char* format;
        const WCHAR* path;
        int capacity;
        const WCHAR* expected;   // null: nothing written
    } cases[] = {
        {"cannot reach\n%s\n\nnow.", L"C:\\Books", 260, L"cannot reach\nC:\\Books\n\nnow."},
        {"%s", L"C:\\Łódź 東京", 260, L"C:\\Łódź 東京"},
        {"no path", L"C:\\Books", 260, L"no path"},
        {"100% sure: %s", L"D:", 260, L"100% sure: D:"},   // a lone % stays
        {"ab%scd", L"XY", 7, L"abXYcd"},                     // exactly fits with its NUL
        {"ab%scd", L"XY", 6, L"abXYc"},                      // cut, still terminated
        {"ab%scd", L"XYZW", 4, L"abX"},                      // cut inside the path
        {"ab%scd", L"XY", 1, L""},
        {"ab%scd", L"XY", 0, nullptr},                       // no room at all: untouched
    };
    for (const Case& c : cases) {
        WCHAR buffer[300];
        for (WCHAR& w : buffer)
            w = L'#';
        composePathMessage(buffer, c.capacity, c.format, c.path);
        if (c.expected)
            EXPECT_STREQ(buffer, c.expected) << c.format;
        for (int i = c.capacity; i < 300; ++i)
            ASSERT_EQ(buffer[i], L'#') << c.format << ": written past its capacity at " << i;
    }
}

TEST(PathText, cutLastNameStepsToTheParent)
{
    struct Case {
        const WCHAR* path;
        const WCHAR* expected;
        int result;
    } cases[] = {
        {L"C:\\Program Files\\Corvalin\\Kestrun.exe", L"C:\\Program Files\\Corvalin", 25},
        {L"C:\\Program Files\\Corvalin\\", L"C:\\Program Files", 16},
        {L"C:\\Books", L"C:", 2},
        {L"Books", L"Books", 0},
        {L"", L"", 0},
        {L"C:\\Łódź 東京\\Corvalin\\Kestrun.exe", L"C:\\Łódź 東京\\Corvalin", 19},
    };
    for (const Case& c : cases) {
        WCHAR path[260];
        lstrcpyW(path, c.path);
        EXPECT_EQ(cutLastName(path), c.result) << c.path;
        EXPECT_STREQ(path, c.expected) << c.path;
    }
}

// A file's folder, and the root it lies on: a drive's or a share's root is a
// folder only with its backslash, so that "R:\Kestrun.exe" lies in "R:\".
TEST(PathText, aFilesFolderKeepsTheBackslashOfARoot)
{
    struct Case {
        const WCHAR* path;
        const WCHAR* folder;   // cutToFolder
        int root;              // firstFolderStart
    } cases[] = {
        {L"C:\\Program Files\\Corvalin\\Kestrun.exe", L"C:\\Program Files\\Corvalin", 3},
        {L"R:\\Kestrun.exe", L"R:\\", 3},
        {L"r:\\", L"r:\\", 3},
        {L"\\\\server\\share\\Kestrun.exe", L"\\\\server\\share\\", 15},
        {L"\\\\server\\share\\Books\\Kestrun.exe", L"\\\\server\\share\\Books", 15},
        {L"\\\\server\\share", L"\\\\server", 14},
        // Not full paths: no root, and a cut like cutLastName's.
        {L"\\\\server", L"\\", 0},
        {L"\\\\\\share\\x", L"\\\\\\share", 0},
        {L"1:\\x", L"1:", 0},
        {L"Books\\Kestrun.exe", L"Books", 0},
        {L"Kestrun.exe", L"Kestrun.exe", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(firstFolderStart(c.path), c.root) << c.path;
        WCHAR path[260];
        lstrcpyW(path, c.path);
        cutToFolder(path);
        EXPECT_STREQ(path, c.folder) << c.path;
    }
}

// The names the system would change (it drops a trailing dot or space) or
// refuse as a folder's, found wherever they stand in a chain.
TEST(PathText, namesTheSystemWouldChangeOrRefuseAreFound)
{
    struct Case {
        const WCHAR* names;
        int badAt;   // where the first bad name begins; -1 when none is
    } cases[] = {
        {L"Books\\Tolm", -1},
        {L"Łódź 東京\\Corvalin 1.5", -1},
        {L"", -1},
        {L"Books\\\\Tolm\\", -1},   // empty names are the composition's, not bad
        {L"Books\\Tolm.", 6},
        {L"Books \\Tolm", 0},
        {L"Books\\..\\Tolm", 6},
        {L".", 0},
        {L"Books/Tolm", 0},
        {L"x:y", 0},
        {L"Books\\Tol*m", 6},
        {L"Books\\Tol?m", 6},
        {L"Books\\T<o>l|m", 6},
        {L"Books\\\"Tolm\"", 6},
        {L"Books\\Tolm\tTab", 6},
        // Device names, whatever follows their first dot, in any case.
        {L"Books\\CON", 6},
        {L"aux.txt\\Tolm", 0},
        {L"Books\\com1.htm", 6},
        {L"LPT9", 0},
        {L"Nul .tar.gz", 0},
        {L"COM\u00B2", 0},
        {L"COM10\\CONSOLE\\LPT0\\PRN1\\AUXILIARY\\xNUL", -1},
    };
    for (const Case& c : cases) {
        const WCHAR* bad = findBadName(c.names);
        EXPECT_EQ(bad ? int(bad - c.names) : -1, c.badAt) << c.names;
    }
}

TEST(PathText, folderRelationsFollowWholeNamesAndFoldCase)
{
    struct Case {
        const WCHAR* path;
        const WCHAR* folder;
        bool below;
        bool directlyIn;
    } cases[] = {
        {L"C:\\Program Files\\Corvalin", L"C:\\Program Files", true, true},
        {L"C:\\Program Files\\Corvalin", L"C:\\Program Files\\", true, true},
        {L"c:\\program files\\Corvalin\\Sub", L"C:\\Program Files", true, false},
        {L"C:\\Program Files", L"C:\\Program Files", false, false},
        {L"C:\\Program Files\\", L"C:\\Program Files", false, false},
        {L"C:\\Program FilesX\\Corvalin", L"C:\\Program Files", false, false},
        {L"C:\\Program", L"C:\\Program Files", false, false},
        {L"D:\\Program Files\\Corvalin", L"C:\\Program Files", false, false},
        {L"C:\\Books\\index.htm", L"", false, false},
        {L"c:\\program files\\Łódź 東京\\index.htm", L"C:\\Program Files\\Łódź 東京", true, true},
        {L"C:\\Рабочий стол\\Tolm\\x.lnk", L"C:\\Рабочий стол", true, false},
        // Letters beyond ASCII compare whole: 'Ł' (U+0141) is not 'A' (0x41) cut to a byte.
        {L"C:\\Łódź\\index.htm", L"C:\\Aódź", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isBelowFolder(c.path, c.folder), c.below) << c.path << L" / " << c.folder;
        EXPECT_EQ(isDirectlyInFolder(c.path, c.folder), c.directlyIn) << c.path << L" / " << c.folder;
    }
}

// ---- the temp copy's command line ----

TEST(RemovalCommand, onlyACompleteCommandIsAccepted)
{
    const std::wstring longPath = L"C:\\" + std::wstring(pathCapacity, L'a');
    struct Case {
        std::wstring commandLine;
        bool accepted;
        unsigned original, pipe, log, copyFile, copyFolder;
        bool silent;
        const WCHAR* exePath;
        bool forget = false;
    } cases[] = {
        {L"\"C:\\Temp\\kst1\\Kestrun.exe\" /remove 132 140 0 20 24 0 C:\\Program Files\\Corvalin\\Kestrun.exe", true,
         132, 140, 0, 20, 24, false, L"C:\\Program Files\\Corvalin\\Kestrun.exe"},
        {L"C:\\Temp\\kst1\\Kestrun.exe /remove 4294967295 4 8 12 4294967295 1 \\\\server\\share\\Kestrun.exe", true,
         4294967295u, 4, 8, 12, 4294967295u, true, L"\\\\server\\share\\Kestrun.exe"},
        {L"  \"C:\\a b\\k.exe\"   /remove 8 12 16 20 24 0 D:\\x", true, 8, 12, 16, 20, 24, false, L"D:\\x"},
        {L"\"C:\\users\\Ζωή\\Temp\\kst1\\Kestrun.exe\" /remove 8 12 0 20 24 1 C:\\Program Files\\Łódź 東京\\Kestrun.exe",
         true, 8, 12, 0, 20, 24, true, L"C:\\Program Files\\Łódź 東京\\Kestrun.exe"},
        {L"\"C:\\Program Files\\Corvalin\\Kestrun.exe\"", false, 0, 0, 0, 0, 0, false, L""},
        {L"Kestrun.exe /removex 8 12 0 20 24 0 C:\\x", false, 0, 0, 0, 0, 0, false, L""},
        {L"Kestrun.exe /REMOVE 8 12 0 20 24 0 C:\\x", false, 0, 0, 0, 0, 0, false, L""},
        {L"Kestrun.exe /remove 0 12 0 20 24 0 C:\\x", false, 0, 0, 0, 0, 0, false, L""},
        {L"Kestrun.exe /remove 8 0 0 20 24 0 C:\\x", false, 0, 0, 0, 0, 0, false, L""},
        {L"Kestrun.exe /remove 8 12 0 0 24 0 C:\\x", false, 0, 0, 0, 0, 0, false, L""},
        {L"Kestrun.exe /remove 8 12 0 20 0 0 C:\\x", false, 0, 0, 0, 0, 0, false, L""},
        {L"Kestrun.exe /remove 8 12 0 20 24 2 C:\\x", true, 8, 12, 0, 20, 24, false, L"C:\\x", true},
        {L"Kestrun.exe /remove 8 12 0 20 24 3 C:\\x", true, 8, 12, 0, 20, 24, true, L"C:\\x", true},
        {L"Kestrun.exe /remove 8 12 0 20 24 4 C:\\x", false, 0, 0, 0, 0, 0, false, L""},
        {L"Kestrun.exe /remove -8 12 0 20 24 0 C:\\x", false, 0, 0, 0, 0, 0, false, L""},
        {L"Kestrun.exe /remove 8x 12 0 20 24 0 C:\\x", false, 0, 0, 0, 0, 0, false, L""},
        {L"Kestrun.exe /remove 4294967296 12 0 20 24 0 C:\\x", false, 0, 0, 0, 0, 0, false, L""},
        {L"Kestrun.exe /remove 12345678901 12 0 20 24 0 C:\\x", false, 0, 0, 0, 0, 0, false, L""},
        {L"Kestrun.exe /remove 8 12 0 20 24 0 Kestrun.exe", false, 0, 0, 0, 0, 0, false, L""},
        {L"Kestrun.exe /remove 8 12 0 20 24 0 Łódź\\Kestrun.exe", false, 0, 0, 0, 0, 0, false, L""},
        {L"Kestrun.exe /remove 8 12 0 20 24 0 ", false, 0, 0, 0, 0, 0, false, L""},
        // The layout without the copy's file and folder, as an earlier release composed it.
        {L"Kestrun.exe /remove 8 12 0 0 C:\\x", false, 0, 0, 0, 0, 0, false, L""},
        {L"Kestrun.exe /remove 8 12 0 20 24 C:\\x", false, 0, 0, 0, 0, 0, false, L""},
        {L"Kestrun.exe /remove 8 C:\\x", false, 0, 0, 0, 0, 0, false, L""},
        {L"Kestrun.exe /remove 8 12 0 20 24 0 " + longPath, false, 0, 0, 0, 0, 0, false, L""},
        // Digits from other scripts are not a handle number.
        {L"Kestrun.exe /remove ٨ 12 0 20 24 0 C:\\x", false, 0, 0, 0, 0, 0, false, L""},
    };
    for (const Case& c : cases) {
        RemovalCommand command = {};
        EXPECT_EQ(parseRemovalCommand(c.commandLine.c_str(), command), c.accepted) << c.commandLine;
        if (c.accepted) {
            EXPECT_EQ(reinterpret_cast<ULONG_PTR>(command.original), c.original) << c.commandLine;
            EXPECT_EQ(reinterpret_cast<ULONG_PTR>(command.resultPipe), c.pipe) << c.commandLine;
            EXPECT_EQ(reinterpret_cast<ULONG_PTR>(command.log), c.log) << c.commandLine;
            EXPECT_EQ(reinterpret_cast<ULONG_PTR>(command.copyFile), c.copyFile) << c.commandLine;
            EXPECT_EQ(reinterpret_cast<ULONG_PTR>(command.copyFolder), c.copyFolder) << c.commandLine;
            EXPECT_EQ(command.silent, c.silent) << c.commandLine;
            EXPECT_EQ(command.forget, c.forget) << c.commandLine;
            EXPECT_STREQ(command.exePath, c.exePath);
        }
    }
}

TEST(RemovalCommand, aComposedCommandIsParsedBackToTheSameHandlesAndPath)
{
    const std::wstring longestPath = L"C:\\" + std::wstring(pathCapacity - 4, L'ж');   // 259 characters
    struct Case {
        std::wstring copyPath;
        ULONG_PTR original, pipe, log, copyFile, copyFolder;
        bool silent, forget;
        std::wstring exePath;
        bool fits;
    } cases[] = {
        {L"C:\\users\\root\\Temp\\kst0123456789abcdef\\Kestrun.exe", 132, 140, 0, 20, 24, false, false,
         L"C:\\Program Files\\Corvalin\\Kestrun.exe", true},
        {L"C:\\users\\Рабочий\\Temp\\kst0123456789abcdef\\Kestrun.exe", 4294967295u, 4294967295u, 4294967295u,
         4294967295u, 4294967295u, true, true, L"C:\\Program Files\\Łódź 東京\\Corvalin\\Kestrun.exe", true},
        {L"C:\\Temp\\kst2\\Kestrun.exe", 8, 12, 16, 20, 24, false, true, L"\\\\server\\Επιφάνεια\\Kestrun.exe",
         true},
        {L"C:\\Temp\\" + std::wstring(pathCapacity - 9, L'東'), 8, 4294967295u, 4294967295u, 4294967295u,
         4294967295u, true, false, longestPath, true},
        // A copy path longer than a path buffer ever holds: refused, not overrun.
        {L"C:\\" + std::wstring(removalCommandCapacity, L'東'), 8, 12, 0, 20, 24, false, false, L"C:\\x", false},
    };
    for (const Case& c : cases) {
        WCHAR commandLine[removalCommandCapacity + 16];
        commandLine[removalCommandCapacity] = L'#';
        RemovalCommand sent = {};
        sent.original = reinterpret_cast<HANDLE>(c.original);
        sent.resultPipe = reinterpret_cast<HANDLE>(c.pipe);
        sent.log = reinterpret_cast<HANDLE>(c.log);
        sent.copyFile = reinterpret_cast<HANDLE>(c.copyFile);
        sent.copyFolder = reinterpret_cast<HANDLE>(c.copyFolder);
        sent.silent = c.silent;
        sent.forget = c.forget;
        lstrcpyW(sent.exePath, c.exePath.c_str());
        ASSERT_EQ(composeRemovalCommand(commandLine, c.copyPath.c_str(), sent), c.fits) << c.exePath;
        EXPECT_EQ(commandLine[removalCommandCapacity], L'#') << "written past the capacity";
        if (!c.fits)
            continue;
        RemovalCommand command = {};
        ASSERT_TRUE(parseRemovalCommand(commandLine, command)) << commandLine;
        EXPECT_EQ(command.original, sent.original) << commandLine;
        EXPECT_EQ(command.resultPipe, sent.resultPipe) << commandLine;
        EXPECT_EQ(command.log, sent.log) << commandLine;
        EXPECT_EQ(command.copyFile, sent.copyFile) << commandLine;
        EXPECT_EQ(command.copyFolder, sent.copyFolder) << commandLine;
        EXPECT_EQ(command.silent, sent.silent) << commandLine;
        EXPECT_EQ(command.forget, sent.forget) << commandLine;
        EXPECT_EQ(std::wstring(command.exePath), c.exePath);
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
    for (const std::wstring& name : {std::wstring(L"copies"), foreignPages}) {
        const std::wstring folder = freshFolder(name);
        const std::wstring original = folder + L"\\original.exe";
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
            const std::wstring copyPath = folder + L"\\copy.tmp";
            writeFile(copyPath, c.copy);
            HANDLE copy = CreateFileW(copyPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                      nullptr);
            ASSERT_NE(copy, INVALID_HANDLE_VALUE);
            EXPECT_EQ(copyIsIntact(copy, original.c_str()), c.intact) << name << L": " << c.copy;
            CloseHandle(copy);
        }
        HANDLE copy = CreateFileW(original.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_FALSE(copyIsIntact(copy, (folder + L"\\missing.exe").c_str()));
        CloseHandle(copy);
    }
}

// ---- the report ----

// ---- the private copy ----

// The SIDs an entry of a DACL grants anything to, as text.
std::vector<std::wstring> granteesOf(const std::wstring& path)
{
    std::vector<std::wstring> grantees;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                              nullptr, &descriptor) != ERROR_SUCCESS)
        return {L"(unreadable)"};
    for (DWORD i = 0; dacl && i < dacl->AceCount; i++) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        wchar_t* sid = nullptr;
        if (GetAce(dacl, i, reinterpret_cast<void**>(&ace)) && ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE &&
            ConvertSidToStringSidW(&ace->SidStart, &sid)) {
            grantees.push_back(sid);
            LocalFree(sid);
        }
    }
    LocalFree(descriptor);
    return dacl ? grantees : std::vector<std::wstring>{L"(no DACL: everyone)"};
}

// Made and checked, the copy can be neither renamed, replaced nor written,
// nor its folder renamed; the folder grants nothing to Everyone or Users;
// the process started from it
// runs that very file, and one whose file is not the copy's does not run;
// discarded, both go.
TEST(PrivateCopy, cannotBeChangedAndRunsItsVeryFile)
{
    WCHAR self[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    PrivateCopy copy;
    ASSERT_TRUE(makePrivateCopy(self, copy));
    const std::wstring path = copy.path;
    const std::wstring folder = path.substr(0, path.rfind(L'\\'));
    const std::wstring temp = folder.substr(0, folder.rfind(L'\\'));
    const std::wstring replacement = temp + L"\\replacement.exe";
    writeFile(replacement, "MZ not the uninstaller");
    struct Attempt {
        const char* what;
        bool done;
    } attempts[] = {
        {"rename the copy", MoveFileW(path.c_str(), (folder + L"\\renamed.exe").c_str()) != FALSE},
        {"replace the copy", MoveFileExW(replacement.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE},
        {"write the copy", CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, 0, nullptr) != INVALID_HANDLE_VALUE},
        {"rename its folder", MoveFileW(folder.c_str(), (folder + L"x").c_str()) != FALSE},
    };
    for (const Attempt& attempt : attempts)
        EXPECT_FALSE(attempt.done) << attempt.what;
    DeleteFileW(replacement.c_str());
    for (const std::wstring& grantee : granteesOf(folder))
        EXPECT_TRUE(grantee != L"S-1-1-0" && grantee != L"S-1-5-32-545") << "the folder lets in " << grantee;

    // The copy of this test program lists its tests and ends.
    std::wstring commandLine = L"\"" + path + L"\" --gtest_list_tests";
    PROCESS_INFORMATION process;
    ASSERT_TRUE(startPrivateCopy(copy, &commandLine[0], temp.c_str(), process));
    WCHAR image[MAX_PATH];
    DWORD length = MAX_PATH;
    EXPECT_TRUE(QueryFullProcessImageNameW(process.hProcess, 0, image, &length));
    EXPECT_EQ(lstrcmpiW(image, path.c_str()), 0) << image;
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    EXPECT_EQ(exitCode, 0u);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    PrivateCopy another = copy;
    another.file = CreateFileW(self, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(another.file, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(startPrivateCopy(another, &commandLine[0], temp.c_str(), process));
    CloseHandle(another.file);

    discardPrivateCopy(copy);
    EXPECT_FALSE(exists(path));
    EXPECT_FALSE(exists(folder));
}

TEST(RemovalReport, namesThatDoNotFitAreCountedAndTheTextStaysBounded)
{
    RemovalReport report = {};
    EXPECT_FALSE(hasFailures(report));
    const std::wstring name(200, L'ж');
    int noted = 0;
    for (; noted < 30; ++noted)
        noteFailure(report, name.c_str());
    EXPECT_TRUE(hasFailures(report));
    const int listed = int(reportLines(report).size());
    EXPECT_EQ(listed, (reportCapacity - 1) / 201);
    EXPECT_EQ(report.unlisted, noted - listed);
    EXPECT_LT(report.length, reportCapacity);

    WCHAR text[reportCapacity + 100];
    composeReportText(report, text, reportCapacity + 100);
    std::wstring composed = text;
    EXPECT_EQ(composed.rfind(L"These could not be removed:\n\n" + name + L"\n", 0), 0u);
    EXPECT_NE(composed.find(L"and " + std::to_wstring(noted - listed) + L" more.\n"), std::wstring::npos);

    WCHAR small[64];
    for (WCHAR& c : small)
        c = L'#';
    composeReportText(report, small, 40);
    EXPECT_EQ(lstrlenW(small), 39);
    EXPECT_EQ(small[40], L'#');   // nothing written past the capacity
}

TEST(RemovalReport, aShortNameAfterAnOverflowIsNotListedOutOfOrder)
{
    RemovalReport report = {};
    const std::wstring longName(reportCapacity, L'q');
    noteFailure(report, longName.c_str());
    noteFailure(report, L"short");
    EXPECT_EQ(report.length, 0);
    EXPECT_EQ(report.unlisted, 2);
}

// ---- files of the book ----

// The bytes of a file of the book as it ships (relative to the book folder).
std::string bookBytes(const std::string& relative)
{
    const std::wstring path = wideOf(std::string(TOLM_TEST_BOOK_DIR) + "/" + relative);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    std::string bytes;
    char chunk[4096];
    DWORD read = 0;
    while (file != INVALID_HANDLE_VALUE && ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0)
        bytes.append(chunk, read);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return bytes;
}

// The n-th name of a packed list.
std::string listName(const char* names, int n)
{
    for (; n > 0; n--)
        names += lstrlenA(names) + 1;
    return names;
}

void writeBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

// Only files of the book's names that hold the book's bytes go: a page the
// user changed, a file of theirs of a book name or a folder of one stays and
// is counted as kept, a held book file is the one failure.
TEST(BookFiles, onlyTheBooksOwnBytesGoAndAHeldOneIsReported)
{
    auto page = [](int n) { return listName(mainPageNames, n) + ".htm"; };
    const std::string variantPage = listName(extraFileNames, 1);   // a main page's name, the variant's bytes
    ASSERT_EQ(variantPage, page(70));
    enum Content { asShipped, edited, longer, aFolder, heldOpen, theUsers };
    const struct Entry {
        std::string name;
        std::string source;   // the book's file of that name
        Content content;
        bool remains;
    } entries[] = {
        {page(0), listName(mainPageNames, 0) + ".htm", asShipped, false},
        {page(1), listName(mainPageNames, 1) + ".htm", edited, true},
        {page(2), listName(mainPageNames, 2) + ".htm", longer, true},
        {page(3), "", aFolder, true},
        {page(4), listName(mainPageNames, 4) + ".htm", heldOpen, true},
        {variantPage, "extra/" + variantPage, asShipped, false},
        {listName(extraFileNames, 3), "extra/" + listName(extraFileNames, 3), asShipped, false},
        {"notes.txt", "", theUsers, true},
        {page(5) + "~tolm", "", theUsers, false},   // set aside by a run: goes whatever it holds
    };
    for (const std::wstring& name : {std::wstring(L"book"), foreignPages + L"\\Corvalin"}) {
        const std::wstring folder = freshFolder(name);
        HANDLE holder = INVALID_HANDLE_VALUE;
        for (const Entry& e : entries) {
            const std::wstring path = folder + L"\\" + wideOf(e.name);
            const std::string bytes = e.source.empty() ? std::string("the user's") : bookBytes(e.source);
            if (e.content == aFolder)
                makeFolders(path);
            else
                writeBytes(path, e.content == edited ? bytes + "<!-- edited -->" : e.content == longer ? bytes + " " : bytes);
            if (e.content == heldOpen)
                holder = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        }
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        HANDLE held;
        ASSERT_EQ(holdFolder(folder.c_str(), held), FolderVerdict::usable);
        RemovalReport report = {};
        removeListedFiles(folder.c_str(), held, mainPageNames, ".htm", 901, report);
        removeListedFiles(folder.c_str(), held, extraFileNames, "", 1020, report);
        removeListedFiles(folder.c_str(), held, mainPageNames, ".htm~tolm", 0, report);
        releaseFolder(held);
        CloseHandle(holder);

        EXPECT_EQ(reportLines(report), std::vector<std::wstring>{folder + L"\\" + wideOf(page(4))});
        EXPECT_EQ(report.kept, 3) << "the edited, the longer and the folder";
        for (const Entry& e : entries)
            EXPECT_EQ(exists(folder + L"\\" + wideOf(e.name)), e.remains) << name << L": " << wideOf(e.name);
    }
}

// ---- folders ----

// Up to the boundary for an install that kept no record of its folders,
// exactly the folders it made otherwise; a folder that stays because it
// holds what is not the book's is named once (stays), and is no failure.
TEST(Folders, emptiedChainGoesUpToButNotIncludingTheBoundary)
{
    struct Case {
        const char* description;
        const WCHAR* keep;          // a file placed in this subfolder of the base, or ""
        const WCHAR* removeFrom;    // the folder removal starts at, below the base
        std::vector<const WCHAR*> remaining;   // subfolders that must still exist
        std::vector<const WCHAR*> gone;
        int made;                   // folders the install made, from removeFrom up; -1: up to the boundary "pf"
        const WCHAR* stays;         // the folder named as staying, or ""
    } cases[] = {
        {"whole chain", L"", L"pf\\a\\b\\c", {L"pf"}, {L"pf\\a"}, -1, L""},
        {"user file in the middle", L"pf\\a\\mine.txt", L"pf\\a\\b\\c", {L"pf\\a"}, {L"pf\\a\\b"}, -1, L""},
        {"user file beside the start", L"pf\\a\\b\\c\\mine.txt", L"pf\\a\\b\\c", {L"pf\\a\\b\\c"}, {}, -1,
         L"pf\\a\\b\\c"},
        {"outside the boundary", L"", L"other\\a", {L"other\\a"}, {}, -1, L""},
        {"boundary is a prefix of a name", L"", L"pfx\\a", {L"pfx\\a"}, {}, -1, L""},
        {"start is the boundary", L"", L"pf", {L"pf"}, {}, -1, L""},
        {"foreign names", L"", L"pf\\Łódź 東京\\Επιφάνεια\\Рабочий", {L"pf"}, {L"pf\\Łódź 東京"}, -1, L""},
        {"user file in a foreign folder", L"pf\\Łódź 東京\\mine.txt", L"pf\\Łódź 東京\\Επιφάνεια\\Рабочий",
         {L"pf\\Łódź 東京"}, {L"pf\\Łódź 東京\\Επιφάνεια"}, -1, L""},
        {"two made, anywhere", L"", L"other\\a\\b", {L"other"}, {L"other\\a"}, 2, L""},
        {"two made, not the one above", L"", L"pf\\a\\b\\c", {L"pf\\a"}, {L"pf\\a\\b"}, 2, L""},
        {"none made", L"", L"pf\\a", {L"pf\\a"}, {}, 0, L""},
        {"a made one holds a file", L"other\\a\\mine.txt", L"other\\a\\b", {L"other\\a"}, {L"other\\a\\b"}, 3,
         L"other\\a"},
    };
    for (const Case& c : cases) {
        const std::wstring base = freshFolder(L"folders");
        makeFolders(base + L"\\" + c.removeFrom);
        makeFolders(base + L"\\pf");
        if (*c.keep) {
            std::wstring keep = base + L"\\" + c.keep;
            makeFolders(keep.substr(0, keep.rfind(L'\\')));
            writeFile(keep);
        }
        RemovalReport report = {};
        if (c.made >= 0)
            removeEmptyFolders((base + L"\\" + c.removeFrom).c_str(), c.made, nullptr, true, report);
        else
            removeEmptyFolders((base + L"\\" + c.removeFrom).c_str(), pathCapacity, (base + L"\\pf").c_str(), true,
                               report);
        EXPECT_FALSE(hasFailures(report)) << c.description;
        EXPECT_EQ(std::wstring(report.stays), *c.stays ? base + L"\\" + c.stays : L"") << c.description;
        for (const WCHAR* folder : c.remaining)
            EXPECT_TRUE(exists(base + L"\\" + folder)) << c.description << ": " << folder;
        for (const WCHAR* folder : c.gone)
            EXPECT_FALSE(exists(base + L"\\" + folder)) << c.description << ": " << folder;
    }
}

TEST(Folders, theProgramFilesFolderIsReadWholeAndWithinTheBuffer)
{
    const char keyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion";
    const WCHAR valueName[] = L"ProgramFilesDir";
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key), ERROR_SUCCESS);
    WCHAR saved[pathCapacity];
    DWORD savedType = 0;
    DWORD savedSize = sizeof saved;
    ASSERT_EQ(RegQueryValueExW(key, valueName, nullptr, &savedType, reinterpret_cast<BYTE*>(saved), &savedSize),
              ERROR_SUCCESS);
    // The value and its NUL fill the buffer: 258 characters.
    const std::wstring longest = L"C:\\" + std::wstring(pathCapacity - 5, L'東');
    struct Case {
        std::wstring stored;
        DWORD type;
        bool read;   // read back, and equal to stored
    } cases[] = {
        {L"C:\\Program Files", REG_SZ, true},
        {L"C:\\Programme Łódź 東京", REG_SZ, true},
        {longest, REG_SZ, true},
        {longest + std::wstring(pathCapacity, L'x'), REG_SZ, false},
        {L"", REG_SZ, false},
        {L"%ProgramFiles%", REG_EXPAND_SZ, false},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(RegSetValueExW(key, valueName, 0, c.type, reinterpret_cast<const BYTE*>(c.stored.c_str()),
                                 DWORD((c.stored.size() + 1) * sizeof(WCHAR))),
                  ERROR_SUCCESS);
        WCHAR folder[pathCapacity + 1];
        folder[pathCapacity] = L'#';
        EXPECT_EQ(readProgramFilesFolder(folder, pathCapacity), c.read) << c.stored;
        EXPECT_EQ(folder[pathCapacity], L'#') << "written past the buffer";
        if (c.read)
            EXPECT_EQ(std::wstring(folder), c.stored);
    }
    RegSetValueExW(key, valueName, 0, savedType, reinterpret_cast<const BYTE*>(saved), savedSize);
    RegCloseKey(key);
}

// ---- desktop links ----

class DesktopLinks : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
    void TearDown() override { CoUninitialize(); }
};

TEST_F(DesktopLinks, onlyLinksIntoTheBookFolderGoWithTheirEmptiedFolders)
{
    const WCHAR linkName[] = L"The Tolm Language.lnk";
    struct Tree {
        std::wstring desktop;      // below testRoot
        std::wstring book;
        const WCHAR* linkFolder;   // below the desktop, a chain that holds only the link
    } trees[] = {
        {L"desktop", testRoot + L"\\Program Files\\Corvalin", L"Tolm\\Books"},
        {foreignDesktop, testRoot + L"\\Program Files\\" + foreignPages + L"\\Corvalin", L"Tolm Ζωή\\Книги 書"},
    };
    for (const Tree& tree : trees) {
        const std::wstring desktop = freshFolder(tree.desktop);
        const std::wstring& book = tree.book;
        struct Link {
            const WCHAR* folder;    // below the desktop
            const WCHAR* name;
            std::wstring target;
            bool removed;
        } links[] = {
            {tree.linkFolder, linkName, book + L"\\index.htm", true},
            {L"", linkName, book + L"\\start.htm", true},
            {L"Other", linkName, L"C:\\Elsewhere\\index.htm", false},
            {L"Deeper", linkName, book + L"\\old\\index.htm", false},
            {L"Named", L"Another.lnk", book + L"\\index.htm", false},
            {L"Prefix", linkName, book + L"X\\index.htm", false},
        };
        for (const Link& link : links) {
            std::wstring folder = *link.folder ? desktop + L"\\" + link.folder : desktop;
            makeFolders(folder);
            ASSERT_TRUE(saveLink(folder + L"\\" + link.name, link.target)) << folder;
        }
        writeFile(desktop + L"\\Other\\readme.txt");

        RemovalReport report = {};
        removeBookLinks(desktop.c_str(), book.c_str(), linkName, report);
        EXPECT_FALSE(hasFailures(report)) << desktop;
        for (const Link& link : links) {
            std::wstring folder = *link.folder ? desktop + L"\\" + link.folder : desktop;
            EXPECT_NE(exists(folder + L"\\" + link.name), link.removed) << folder;
        }
        const std::wstring chain = tree.linkFolder;
        EXPECT_FALSE(exists(desktop + L"\\" + chain.substr(0, chain.find(L'\\'))))
            << desktop << L": the emptied link folder chain stays";
        EXPECT_TRUE(exists(desktop)) << desktop << L": the desktop itself was removed";
    }
}

TEST_F(DesktopLinks, anEmptiedDesktopItselfStays)
{
    const std::wstring desktop = freshFolder(L"bare-desktop");
    const std::wstring book = testRoot + L"\\Books";
    ASSERT_TRUE(saveLink(desktop + L"\\The Tolm Language.lnk", book + L"\\index.htm"));
    RemovalReport report = {};
    removeBookLinks(desktop.c_str(), book.c_str(), L"The Tolm Language.lnk", report);
    EXPECT_FALSE(exists(desktop + L"\\The Tolm Language.lnk"));
    EXPECT_TRUE(exists(desktop));
}

TEST_F(DesktopLinks, linksBelowTheSearchDepthAreNotTouched)
{
    const std::wstring desktop = freshFolder(L"deep-desktop");
    const std::wstring book = testRoot + L"\\Books";
    std::wstring reachable = desktop;
    for (int level = 0; level < linkSearchDepth; ++level)
        reachable += L"\\d";
    const std::wstring tooDeep = reachable + L"\\d";
    makeFolders(tooDeep);
    ASSERT_TRUE(saveLink(reachable + L"\\The Tolm Language.lnk", book + L"\\index.htm"));
    ASSERT_TRUE(saveLink(tooDeep + L"\\The Tolm Language.lnk", book + L"\\index.htm"));
    RemovalReport report = {};
    removeBookLinks(desktop.c_str(), book.c_str(), L"The Tolm Language.lnk", report);
    EXPECT_FALSE(exists(reachable + L"\\The Tolm Language.lnk"));
    EXPECT_TRUE(exists(tooDeep + L"\\The Tolm Language.lnk"));
    EXPECT_EQ(std::wstring(report.searched), L"");

    // A desktop wider than the search may open: the search stops, says
    // where, and that is no failure.
    for (int i = 0; i <= linkSearchFolders; i++)
        CreateDirectoryW((desktop + L"\\w" + std::to_wstring(i)).c_str(), nullptr);
    report = RemovalReport{};
    removeBookLinks(desktop.c_str(), book.c_str(), L"The Tolm Language.lnk", report);
    EXPECT_FALSE(hasFailures(report));
    EXPECT_EQ(std::wstring(report.searched), desktop);
}

// The link where the install recorded it goes when it is the book's, with
// the folders the install made while they are empty; anything else there
// stays, and so does its folder.
TEST_F(DesktopLinks, aRecordedLinkGoesOnlyWhenItIsTheBooks)
{
    const std::wstring book = testRoot + L"\\Books";
    struct Case {
        const char* label;
        const WCHAR* target;   // of the link in Tolm\\Shelf, or nullptr for none
        bool userFile;         // a file of the user's beside it
        bool linkRemains;
        const WCHAR* folderLeft;   // the highest folder left below the desktop, or ""
        int kept;
    } cases[] = {
        {"the book's link", L"\\index.htm", false, false, L"", 0},
        {"no link any more", nullptr, false, false, L"", 0},
        {"a link elsewhere", L"X\\index.htm", false, true, L"Tolm", 1},
        {"the book's link beside a file of the user's", L"\\index.htm", true, false, L"Tolm", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::wstring desktop = freshFolder(L"recorded-desktop");
        const std::wstring shelf = desktop + L"\\Tolm\\Shelf";
        makeFolders(shelf);
        if (c.target)
            ASSERT_TRUE(saveLink(shelf + L"\\The Tolm Language.lnk", book + c.target));
        if (c.userFile)
            writeFile(shelf + L"\\mine.txt");
        RemovalReport report = {};
        removeRecordedLink((shelf + L"\\").c_str(), 2, book.c_str(), L"The Tolm Language.lnk", report);
        EXPECT_FALSE(hasFailures(report));
        EXPECT_EQ(exists(shelf + L"\\The Tolm Language.lnk"), c.linkRemains);
        EXPECT_EQ(exists(desktop + L"\\Tolm"), *c.folderLeft != L'\0');
        EXPECT_EQ(report.kept, c.kept);
        EXPECT_TRUE(exists(desktop));
    }
}

// ---- what an install keeps for its removal ----

// The value reads back only as the install writes it: any other type, size,
// count or folder is not a record to act on.
TEST(KeptFolders, aRecordReadsBackOnlyAsWritten)
{
    KeptFolders written = {2, 1, L"C:\\users\\Łódź\\Desktop\\Tolm\\"};
    BYTE data[8 + pathCapacity * sizeof(WCHAR)];
    const DWORD size = composeKeptFolders(written, data);
    ASSERT_EQ(size, 8 + (wcslen(written.iconFolder) + 1) * sizeof(WCHAR));
    KeptFolders read = {};
    ASSERT_TRUE(parseKeptFolders(REG_BINARY, data, size, read));
    EXPECT_EQ(read.pagesMade, 2);
    EXPECT_EQ(read.iconMade, 1);
    EXPECT_EQ(std::wstring(read.iconFolder), written.iconFolder);

    auto parses = [](DWORD type, std::vector<BYTE> bytes) {
        KeptFolders folders;
        return parseKeptFolders(type, bytes.data(), DWORD(bytes.size()), folders);
    };
    auto record = [](uint32_t pages, uint32_t icon, const std::wstring& folder, bool terminated = true) {
        std::vector<BYTE> bytes(8);
        memcpy(bytes.data(), &pages, 4);
        memcpy(bytes.data() + 4, &icon, 4);
        const BYTE* text = reinterpret_cast<const BYTE*>(folder.c_str());
        bytes.insert(bytes.end(), text, text + (folder.size() + (terminated ? 1 : 0)) * sizeof(WCHAR));
        return bytes;
    };
    EXPECT_TRUE(parses(REG_BINARY, record(0, 0, L"")));
    EXPECT_FALSE(parses(REG_SZ, record(0, 0, L"")));
    EXPECT_FALSE(parses(REG_BINARY, record(0, 0, L"", false)));
    EXPECT_FALSE(parses(REG_BINARY, record(1, 1, L"C:\\Tolm\\", false)));
    EXPECT_FALSE(parses(REG_BINARY, record(1, 1, L"C:\\Tolm")));        // not a folder's form
    EXPECT_FALSE(parses(REG_BINARY, record(1, 1, L"Tolm\\")));          // not a full path
    EXPECT_FALSE(parses(REG_BINARY, record(1000, 1, L"C:\\Tolm\\")));   // more folders than a path holds
    EXPECT_FALSE(parses(REG_BINARY, record(1, 1, std::wstring(pathCapacity, L'x'))));
    EXPECT_FALSE(parses(REG_BINARY, {1, 2, 3}));
}

// The folders an install made count those of the earlier install that its
// own chain begins in: an update in place keeps them, a chain below one of
// them takes the ones above, and an unrelated folder takes none.
TEST(KeptFolders, madeFoldersCountThroughTheEarlierInstalls)
{
    const struct {
        const WCHAR* folder;
        int made;
        const WCHAR* earlier;
        int earlierMade;
        int counted;
    } cases[] = {
        {L"C:\\Books\\Tolm\\", 0, L"C:\\Books\\Tolm", 2, 2},
        {L"C:\\Books\\Tolm\\New\\", 1, L"C:\\Books\\Tolm", 2, 3},
        {L"C:\\Books\\Other\\", 1, L"C:\\Books\\Tolm", 2, 2},   // Books is the earlier one's
        {L"C:\\Books\\Other\\", 1, L"C:\\Books\\Tolm", 1, 1},   // Books was there before
        {L"C:\\Elsewhere\\Tolm\\", 2, L"C:\\Books\\Tolm", 2, 2},
        {L"c:\\books\\tolm\\", 0, L"C:\\Books\\Tolm\\", 1, 1},
        {L"C:\\Books\\Tolm\\", 0, L"", 0, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(madeWithEarlier(c.folder, c.made, c.earlier, c.earlierMade), c.counted)
            << c.folder << L" / " << c.earlier;
}

// ---- the uninstall key ----

TEST(UninstallKey, removedOnlyWhenItNamesThisUninstaller)
{
    const char keyPath[] = "Software\\KestrunUnit\\Uninstall";
    const WCHAR plainPath[] = L"C:\\Program Files\\Corvalin\\Kestrun.exe";
    const WCHAR foreignPath[] = L"C:\\Program Files\\Łódź 東京\\Corvalin\\Kestrun.exe";
    struct Case {
        const WCHAR* exePath;
        const WCHAR* recorded;   // the UninstallString value, or nullptr for none
        bool removed;
    } cases[] = {
        {plainPath, L"\"C:\\Program Files\\Corvalin\\Kestrun.exe\"", true},
        {plainPath, L"C:\\Program Files\\Corvalin\\Kestrun.exe", true},
        {plainPath, L"\"c:\\program files\\corvalin\\KESTRUN.EXE\"", true},
        {plainPath, L"\"C:\\Spare\\Kestrun.exe\"", false},
        {plainPath, L"\"C:\\Program Files\\Corvalin\\Kestrun.exe", false},   // unterminated quote
        {plainPath, L"C:\\Program Files\\Corvalin\\Kestrun.exe /x", false},
        {plainPath, nullptr, false},
        {foreignPath, L"\"C:\\Program Files\\Łódź 東京\\Corvalin\\Kestrun.exe\"", true},
        {foreignPath, L"\"c:\\program files\\Łódź 東京\\corvalin\\kestrun.exe\"", true},
        // The same path after an ANSI round trip names another folder.
        {foreignPath, L"\"C:\\Program Files\\??d? ??\\Corvalin\\Kestrun.exe\"", false},
        {foreignPath, L"\"C:\\Program Files\\Łódź 東京\\Kestrun.exe\"", false},
    };
    for (const Case& c : cases) {
        const WCHAR* shown = c.recorded ? c.recorded : L"(no value)";
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, keyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        if (c.recorded)
            RegSetValueExW(key, L"UninstallString", 0, REG_SZ, reinterpret_cast<const BYTE*>(c.recorded),
                           DWORD((lstrlenW(c.recorded) + 1) * sizeof(WCHAR)));
        RegCloseKey(key);

        RemovalReport report = {};
        EXPECT_EQ(keyNamesUninstaller(HKEY_CURRENT_USER, keyPath, c.exePath), c.removed) << shown;
        removeUninstallKey(HKEY_CURRENT_USER, keyPath, c.exePath, report);
        EXPECT_FALSE(hasFailures(report));
        bool present = RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_READ, &key) == ERROR_SUCCESS;
        if (present)
            RegCloseKey(key);
        EXPECT_NE(present, c.removed) << shown;
        RegDeleteKeyA(HKEY_CURRENT_USER, keyPath);
    }
}

TEST(UninstallKey, aValueWithoutTerminatorIsReadWithinItsSize)
{
    const char keyPath[] = "Software\\KestrunUnit\\Unterminated";
    const WCHAR exePath[] = L"C:\\Łódź\\Kestrun.exe";
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, keyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    // Stored without its NUL and followed in memory by more text.
    const WCHAR stored[] = L"C:\\Łódź\\Kestrun.exeTRAILING";
    RegSetValueExW(key, L"UninstallString", 0, REG_SZ, reinterpret_cast<const BYTE*>(stored),
                   DWORD(lstrlenW(exePath) * sizeof(WCHAR)));
    RegCloseKey(key);
    EXPECT_TRUE(keyNamesUninstaller(HKEY_CURRENT_USER, keyPath, exePath));
    RegDeleteKeyA(HKEY_CURRENT_USER, keyPath);
}

} // namespace
