// The rollback deletes only what the install wrote. Files of the book's names
// that were already in an existing pages folder, at names the install never
// reached (after the failing one, or skipped by the variant), keep their bytes.
#include "install_test_base.h"

#include "install.h"
#include "settings.h"

namespace {

enum class List { main, extra };

struct UnreachedCase {
    const char* label;
    bool variant;
    List heldList;                    // the file held open, where the install stops
    size_t heldIndex;
    std::vector<std::string> before;  // files already there that the install never reaches
};

std::string fileName(List list, size_t index)
{
    return list == List::main ? mainNames()[index] + ".htm" : extraNames()[index];
}

TEST_F(InstallTest, rollbackKeepsFilesAtNamesItNeverReached)
{
    const std::vector<UnreachedCase> cases = {
        {"main list, later pages", false, List::main, 10, {fileName(List::main, 11), fileName(List::main, 75)}},
        // The variant skips pages 71 to 73; the extra list's second file has page 71's
        // name, but the install fails before reaching it.
        {"variant, skipped pages", true, List::extra, 0,
         {fileName(List::main, 70), fileName(List::main, 72), fileName(List::extra, 10)}},
        {"extra list, later files", true, List::extra, 5, {fileName(List::extra, 6), fileName(List::extra, 10)}},
    };
    for (const UnreachedCase& test : cases) {
        SCOPED_TRACE(test.label);
        makeFolder(pagesFolder());
        setDestinations(pagesFolder(), "", desktop, "Tolm");
        installSettings.specificBook = test.variant;
        std::set<std::string> expected(test.before.begin(), test.before.end());
        for (const std::string& name : test.before)
            writeFile(pagesFolder() + "\\" + name, "the user's own " + name);
        const std::string heldName = fileName(test.heldList, test.heldIndex);
        const std::string held = pagesFolder() + "\\" + heldName;
        writeFile(held, "held by another program");
        expected.insert(heldName);
        HANDLE holder = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        startCatchingMessages();

        runInstall();
        CloseHandle(holder);

        expectMessages({copyFailedMessage});
        EXPECT_EQ(listFiles(pagesFolder()), expected);
        for (const std::string& name : test.before)
            EXPECT_EQ(readFile(pagesFolder() + "\\" + name), "the user's own " + name) << name;
        EXPECT_EQ(readFile(held), std::string("held by another program"));
        EXPECT_FALSE(folderExists(iconFolder()));
        EXPECT_FALSE(uninstallKeyExists());
        removeTree(pagesFolder());
    }
}

} // namespace
