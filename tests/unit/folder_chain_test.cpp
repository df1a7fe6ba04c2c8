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
        {"second of three fails", "", false, "a\\b?\\c", "", false, 1, "\\a\\", {"a"}, {"a\\c"}},
        {"a component that exists as a file fails", "", false, "f\\g", "", false, 0, "\\", {}, {"f\\g"}},
        {"below a deeper existing part", "x", false, "y", "x", true, 1, "\\x\\y\\", {"x\\y"}, {}},
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

        char path[pathCapacity];
        strcpy(path, existing.c_str());
        int outLength = -1;
        int counter = 0;
        EXPECT_EQ(createFolderChain(outLength, test.chain, path, counter), test.result);
        EXPECT_EQ(counter, test.created);
        const std::string through = root + test.lengthThrough;
        EXPECT_EQ(outLength, int(through.size()));
        EXPECT_EQ(std::string(path, strnlen(path, pathCapacity)).substr(0, outLength), through);
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
    char previous[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(root.c_str()));

    char path[pathCapacity] = "";
    int outLength = -1;
    int counter = 0;
    const bool result = createFolderChain(outLength, "rel", path, counter);
    SetCurrentDirectoryA(previous);

    EXPECT_TRUE(result);
    EXPECT_EQ(outLength, 4);
    EXPECT_STREQ(path, "rel\\");
    EXPECT_TRUE(folderExists(root + "\\rel"));
    removeTree(root);
}

// A component that would not fit is refused before anything is written past the buffer.
TEST(FolderChain, componentBeyondTheBufferFailsWithoutOverrun)
{
    struct Guarded {
        char path[pathCapacity];
        char guard[16];
    } buffer;
    memset(buffer.guard, 'G', sizeof buffer.guard);
    const int existingLength = pathCapacity - 8;   // a name of 6 plus backslash and NUL just fit
    memset(buffer.path, 'p', existingLength);
    buffer.path[0] = 'C';
    buffer.path[1] = ':';
    buffer.path[2] = '\\';
    buffer.path[existingLength - 1] = '\\';
    buffer.path[existingLength] = '\0';

    int outLength = -1;
    int counter = 0;
    EXPECT_FALSE(createFolderChain(outLength, "abcdefghijklmnopqrstu", buffer.path, counter));
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
        char path[pathCapacity];
        strcpy(path, root.c_str());
        int end = 0;
        int counter = 0;
        ASSERT_TRUE(createFolderChain(end, "a\\b\\c", path, counter));
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
