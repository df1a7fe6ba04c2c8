// createFolderChain and removeCreatedFolders on the real disk.
#include <gtest/gtest.h>

#include <windows.h>

#include <string.h>

#include "folder_chain.h"
#include "install_fixture.h"
#include "settings.h"

namespace {

struct ChainCase {
    const char* label;
    const char* existing;            // below the test folder; "" is the test folder itself
    bool trailingBackslash;          // the existing part as given ends in a backslash
    const char* chain;
    const char* before;              // a folder that exists beforehand, or ""
    bool result;
    int created;                     // folders made, as counted
    const char* lengthThrough;       // outLength covers the test folder plus this
    std::vector<const char*> folders;// must exist afterwards
    std::vector<const char*> absent; // must not exist afterwards
};

TEST(FolderChain, createsEachComponentAndReportsWhereItStopped)
{
    const std::vector<ChainCase> cases = {
        {"empty chain adds the missing backslash", "", false, "", "", true, 0, "\\", {}, {}},
        {"empty chain after a backslash", "", true, "", "", true, 0, "\\", {}, {}},
        {"three new components", "", false, "a\\b\\c", "", true, 3, "\\a\\b\\c\\",
         {"a", "a\\b", "a\\b\\c"}, {}},
        {"existing components count as success, not as created", "", true, "a\\b", "a", true, 1,
         "\\a\\b\\", {"a", "a\\b"}, {}},
        // A name the system would change or refuse: nothing of the chain is made.
        {"a wildcard in the second of three", "", false, "a\\b?\\c", "", false, 0, "\\", {}, {"a"}},
        {"a trailing dot", "", false, "a\\b.", "", false, 0, "\\", {}, {"a"}},
        {"a trailing space", "", false, "a \\b", "", false, 0, "\\", {}, {"a", "a "}},
        {"a forward slash", "", false, "a/b", "", false, 0, "\\", {}, {"a"}},
        {"a component that exists as a file fails", "", false, "f\\g", "", false, 0, "\\", {}, {"f\\g"}},
        {"below a deeper existing part", "x", false, "y", "x", true, 1, "\\x\\y\\", {"x\\y"}, {}},
        {"names outside the ANSI code page", "Παύλος", false, "Łódź\\東京", "Παύλος", true, 2,
         "\\Παύλος\\Łódź\\東京\\", {"Παύλος\\Łódź", "Παύλος\\Łódź\\東京"}, {}},
    };
    for (const ChainCase& test : cases) {
        SCOPED_TRACE(test.label);
        const std::string root = freshTestFolder("chain");
        if (*test.before)
            makeFolder(root + "\\" + test.before);
        writeFile(root + "\\f", "a file where a folder is wanted");
        std::string existing = root;
        if (*test.existing)
            existing += std::string("\\") + test.existing;
        if (test.trailingBackslash)
            existing += "\\";

        WCHAR path[pathCapacity];
        copyPath(path, pathCapacity, existing);
        int outLength = -1;
        int counter = 0;
        EXPECT_EQ(createFolderChain(outLength, wideText(test.chain).c_str(), path, counter, nullptr), test.result);
        EXPECT_EQ(counter, test.created);
        const std::wstring through = wideText(root + test.lengthThrough);
        EXPECT_EQ(outLength, int(through.size()));
        EXPECT_EQ(wideText(bufferText(path)).substr(0, outLength), through);
        for (const char* folder : test.folders)
            EXPECT_TRUE(folderExists(root + "\\" + folder)) << folder;
        for (const char* folder : test.absent)
            EXPECT_FALSE(folderExists(root + "\\" + folder)) << folder;
    }
    removeTree("C:\\tolm-unit\\chain");
}

TEST(FolderChain, emptyPathCreatesRelativeToCurrentFolder)
{
    const std::string root = freshTestFolder("relative");
    WCHAR previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(wideText(root).c_str()));

    WCHAR path[pathCapacity] = L"";
    int outLength = -1;
    int counter = 0;
    const bool result = createFolderChain(outLength, L"rel", path, counter, nullptr);
    SetCurrentDirectoryW(previous);

    EXPECT_TRUE(result);
    EXPECT_EQ(outLength, 4);
    EXPECT_EQ(bufferText(path), "rel\\");
    EXPECT_TRUE(folderExists(root + "\\rel"));
    removeTree(root);
}

// A component that would not fit is refused before anything is written past the buffer.
TEST(FolderChain, componentBeyondTheBufferFailsWithoutOverrun)
{
    struct Guarded {
        WCHAR path[pathCapacity];
        char guard[16];
    } buffer;
    memset(buffer.guard, 'G', sizeof buffer.guard);
    const int existingLength = pathCapacity - 8;   // a name of 6 plus backslash and NUL just fit
    for (int i = 0; i < existingLength; i++)
        buffer.path[i] = L'p';
    buffer.path[0] = L'C';
    buffer.path[1] = L':';
    buffer.path[2] = L'\\';
    buffer.path[existingLength - 1] = L'\\';
    buffer.path[existingLength] = L'\0';

    int outLength = -1;
    int counter = 0;
    EXPECT_FALSE(createFolderChain(outLength, L"abcdefghijklmnopqrstu", buffer.path, counter, nullptr));
    EXPECT_EQ(outLength, existingLength);
    EXPECT_EQ(counter, 0);
    EXPECT_EQ(std::string(buffer.guard, sizeof buffer.guard), std::string(sizeof buffer.guard, 'G'));
}

TEST(FolderChain, removalTakesDeepestFirstAndOnlyEmptyFolders)
{
    struct RemovalCase {
        const char* label;
        int count;
        const char* fileIn;              // a file placed in this folder first, or ""
        std::vector<const char*> remain;
        std::vector<const char*> gone;
    };
    const std::vector<RemovalCase> cases = {
        {"all three", 3, "", {}, {"a"}},
        {"only the two deepest", 2, "", {"a"}, {"a\\b"}},
        {"a folder holding a file stays, and so do its parents", 3, "a\\b", {"a", "a\\b"}, {"a\\b\\c"}},
        {"nothing", 0, "", {"a\\b\\c"}, {}},
    };
    for (const RemovalCase& test : cases) {
        SCOPED_TRACE(test.label);
        const std::string root = freshTestFolder("removal");
        WCHAR path[pathCapacity];
        copyPath(path, pathCapacity, root);
        int end = 0;
        int counter = 0;
        ASSERT_TRUE(createFolderChain(end, L"a\\b\\c", path, counter, nullptr));
        if (*test.fileIn)
            writeFile(root + "\\" + test.fileIn + "\\keep.txt", "keep");
        removeCreatedFolders(path, end, test.count);
        for (const char* folder : test.remain)
            EXPECT_TRUE(folderExists(root + "\\" + folder)) << folder;
        for (const char* folder : test.gone)
            EXPECT_FALSE(folderExists(root + "\\" + folder)) << folder;
        EXPECT_TRUE(folderExists(root));
    }
    removeTree("C:\\tolm-unit\\removal");
}

} // namespace
