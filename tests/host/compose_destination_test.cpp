// composeDestination against a fake file system, built natively under the
// sanitizers so that any write past the exact-size buffers fails the run.
// Cases are written in UTF-8 and composed as wide text; lengths count characters.
#include "compose_destination.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "wide_text.h"

namespace {

constexpr int pathSize = 260;
constexpr int chainSize = 80;

const std::string programFiles = "C:\\Program Files";
// Chosen folders near the 260-character limit.
const std::string long250 = "C:\\" + std::string(247, 'L');
const std::string long257 = "C:\\" + std::string(254, 'M');
const std::string long258 = "C:\\" + std::string(255, 'N');
const std::string greekFolder = "C:\\Παύλος";   // 9 characters

const std::set<std::string> fakeFolders = {
    programFiles, programFiles + "\\A", programFiles + "\\A\\B", "D:\\x",
    long250, long250 + "\\sub", long257, long258, greekFolder, greekFolder + "\\Έγγραφα",
};
const std::set<std::string> fakeFiles = {programFiles + "\\F", programFiles + "\\A\\B\\G"};

std::vector<std::string> queriedPaths;
std::vector<std::string> shownErrors;

bool isDriveRoot(const std::string& path)
{
    return path.size() == 3 && path[1] == ':' && path[2] == '\\';
}

PathKind queryFakePath(const wchar_t* widePath)
{
    const std::string path = narrow(widePath);
    queriedPaths.push_back(path);
    if (fakeFolders.count(path) || isDriveRoot(path))
        return PathKind::folder;
    return fakeFiles.count(path) ? PathKind::other : PathKind::absent;
}

void recordError(const char* message)
{
    shownErrors.push_back(message);
}

struct Composed {
    int existingLength;
    std::wstring path;
    std::wstring newFolder;
};

// Copies text into a buffer of size characters, cut to fit and terminated.
void fill(wchar_t* buffer, int size, const std::string& utf8)
{
    const std::wstring text = widen(utf8).substr(0, size - 1);
    std::wmemcpy(buffer, text.c_str(), text.size() + 1);
}

Composed compose(const std::string& chosen, const std::string& typed)
{
    wchar_t path[pathSize];
    wchar_t newFolder[chainSize];
    fill(path, pathSize, chosen);
    fill(newFolder, chainSize, typed);
    queriedPaths.clear();
    shownErrors.clear();
    const int existing = composeDestination(path, pathSize, newFolder, chainSize, queryFakePath,
                                            recordError);
    return {existing, path, newFolder};
}

// path's first existingLength characters name an existing folder or a drive
// root; newFolder is the rest of path after at most one separator, with single
// backslashes and none at either end.
void expectValidSplit(const Composed& result)
{
    ASSERT_GE(result.existingLength, 0);
    ASSERT_LE(static_cast<size_t>(result.existingLength), result.path.size());
    ASSERT_LT(result.path.size(), static_cast<size_t>(pathSize));
    const std::string existing = narrow(result.path.substr(0, result.existingLength));
    if (!existing.empty())
        EXPECT_TRUE(fakeFolders.count(existing) || isDriveRoot(existing)) << existing;
    std::wstring rest = result.path.substr(result.existingLength);
    if (!rest.empty() && rest[0] == L'\\' && !existing.empty() && existing.back() != '\\')
        rest.erase(0, 1);
    EXPECT_EQ(rest, result.newFolder);
    if (!result.newFolder.empty()) {
        EXPECT_NE(result.newFolder.front(), L'\\');
        EXPECT_NE(result.newFolder.back(), L'\\');
        EXPECT_EQ(result.newFolder.find(L"\\\\"), std::wstring::npos);
    }
}

struct CompositionCase {
    const char* label;
    std::string chosen;
    std::string typed;
    int existingLength;
    std::string path;
    std::string newFolder;
    bool conflictShown;
};

const std::string longChain79 = std::string(79, 'n');

const CompositionCase compositionCases[] = {
    {"absent default name", programFiles, "Corvalin", 16, programFiles + "\\Corvalin", "Corvalin", false},
    {"empty field", programFiles, "", 16, programFiles, "", false},
    {"only backslashes", programFiles, "\\\\\\", 16, programFiles, "", false},
    {"every folder exists", programFiles, "A\\B", 20, programFiles + "\\A\\B", "", false},
    {"doubled backslashes between existing folders", programFiles, "A\\\\B\\\\", 20,
     programFiles + "\\A\\B", "", false},
    {"leading backslash", programFiles, "\\A\\new", 18, programFiles + "\\A\\new", "new", false},
    {"chain normalised", programFiles, "A\\B\\new\\\\sub\\", 20, programFiles + "\\A\\B\\new\\sub",
     "new\\sub", false},
    {"nothing after the first absent folder is tested", programFiles, "A\\F\\x", 18,
     programFiles + "\\A\\F\\x", "F\\x", false},
    {"name taken by a file", programFiles, "F", 16, programFiles, "", true},
    {"name taken by a file deeper down", programFiles, "A\\B\\G\\x", 20, programFiles + "\\A\\B", "",
     true},
    {"drive root then existing folder", programFiles, "D:\\x\\y", 4, "D:\\x\\y", "y", false},
    {"drive root is not tested", programFiles, "Q:\\\\\\z", 3, "Q:\\z", "z", false},
    {"bare drive root", programFiles, "D:\\", 3, "D:\\", "", false},
    {"drive letter only", programFiles, "D:", 16, programFiles, "", false},
    {"drive letter without backslash", programFiles, "D:foo", 16, programFiles + "\\foo", "foo", false},
    {"colon further in", programFiles, "ab:foo", 16, programFiles + "\\foo", "foo", false},
    {"nothing after the colon", programFiles, "abc:", 16, programFiles, "", false},
    {"only the first colon counts", programFiles, "a:b:c", 16, programFiles + "\\b:c", "b:c", false},
    {"chosen folder ends in a backslash", "C:\\", "new", 3, "C:\\new", "new", false},
    {"empty path gets no separator", "", "x", 0, "x", "x", false},
    {"full-length typed chain", programFiles, longChain79, 16, programFiles + "\\" + longChain79,
     longChain79, false},
    // Near the 260-character limit: whole components that fit are kept.
    {"long chain cut after the components that fit", long250, "abc\\defgh\\ij", 250,
     long250 + "\\abc", "abc", false},
    {"last character of the buffer used", long257, "x", 257, long257 + "\\x", "x", false},
    {"no room for one more component", long258, "x", 258, long258, "", false},
    {"existing folder fits, the next one does not", long250, "sub\\toolong", 254, long250 + "\\sub",
     "", false},
    // Names that no ANSI code page holds: lengths count characters, not bytes.
    {"typed names outside the ANSI code page", programFiles, "Łódź\\東京", 16,
     programFiles + "\\Łódź\\東京", "Łódź\\東京", false},
    {"chosen folder outside the ANSI code page", greekFolder, "Έγγραφα\\νέος", 17,
     greekFolder + "\\Έγγραφα\\νέος", "νέος", false},
};

TEST(ComposeDestination, composesEveryCaseIntoAValidSplit)
{
    for (const CompositionCase& c : compositionCases) {
        SCOPED_TRACE(c.label);
        const Composed result = compose(c.chosen, c.typed);
        EXPECT_EQ(result.existingLength, c.existingLength);
        EXPECT_EQ(narrow(result.path), c.path);
        EXPECT_EQ(narrow(result.newFolder), c.newFolder);
        if (c.conflictShown) {
            ASSERT_EQ(shownErrors.size(), 1u);
            EXPECT_STREQ(shownErrors[0].c_str(), fileNameConflictMessage);
        } else {
            EXPECT_TRUE(shownErrors.empty());
        }
        expectValidSplit(result);
    }
}

TEST(ComposeDestination, walksDownOnlyWhileFoldersExist)
{
    compose(programFiles, "A\\B\\new\\more\\deeper");
    const std::vector<std::string> expected = {
        programFiles + "\\A", programFiles + "\\A\\B", programFiles + "\\A\\B\\new"};
    EXPECT_EQ(queriedPaths, expected);
}

TEST(ComposeDestination, leavesAnUnterminatedChainBufferTerminated)
{
    wchar_t path[pathSize];
    wchar_t newFolder[chainSize];
    fill(path, pathSize, programFiles);
    std::wmemset(newFolder, L'q', chainSize);
    const int existing = composeDestination(path, pathSize, newFolder, chainSize, queryFakePath,
                                            recordError);
    EXPECT_EQ(existing, 16);
    EXPECT_EQ(std::wstring(newFolder), std::wstring(chainSize - 1, L'q'));
    EXPECT_EQ(narrow(path), programFiles + "\\" + std::string(chainSize - 1, 'q'));
}

TEST(ComposeDestination, neverWritesPastSmallBuffers)
{
    // Exact-size heap buffers: the sanitizer reports any byte written beyond them.
    struct SmallCase {
        int pathSize;
        const char* chosen;
        const char* typed;
        int existingLength;
        const char* path;
    };
    const SmallCase cases[] = {
        {9, "C:\\ab", "cd\\e", 5, "C:\\ab\\cd"},
        {8, "C:\\ab", "cd\\e", 5, "C:\\ab"},
        {4, "C:\\", "Q:\\x", 3, "Q:\\"},
        {3, "C:", "Q:\\x", 2, "C:"},
    };
    for (const SmallCase& c : cases) {
        SCOPED_TRACE(c.typed);
        const std::wstring chosen = widen(c.chosen);
        const std::wstring typed = widen(c.typed);
        std::vector<wchar_t> path(c.pathSize);
        std::vector<wchar_t> newFolder(typed.begin(), typed.end());
        newFolder.push_back(L'\0');
        std::wmemcpy(path.data(), chosen.c_str(), chosen.size() + 1);
        const int existing = composeDestination(path.data(), c.pathSize, newFolder.data(),
                                                static_cast<int>(newFolder.size()), queryFakePath,
                                                recordError);
        EXPECT_EQ(existing, c.existingLength);
        EXPECT_EQ(narrow(path.data()), c.path);
    }
}

} // namespace
