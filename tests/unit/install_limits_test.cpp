// runInstall swept across the path buffer's limit: destinations whose longest
// target, link file or folder chain ends at 258, 259, 260 or 261 characters,
// and folder chains of 79 and 80 characters. Up to 259 characters (the
// terminator makes 260) the book installs completely; past that the install
// fails with its message and leaves nothing behind, whichever target it
// stopped at.
#include "install_test_base.h"

#include <string.h>

#include <algorithm>

#include "install.h"
#include "settings.h"

namespace {

const ExpectedMessage pagesFolderMessage = {"Error during install:",
                                            "Can't create the new directory for program files!"};
const ExpectedMessage iconFolderMessage = {"Error during install:", "Didn't create the new Desktop Folder!"};
const ExpectedMessage shortcutMessage = {"ERROR: Didn't save the Desktop icon for", "The Tolm Language.lnk"};

constexpr char pagesChain[] = "Corvalin";
constexpr char iconChain[] = "Tolm";
constexpr int linkNameLength = 21;   // "The Tolm Language.lnk"

// Creates folders below base until the path is exactly length characters long
// (no trailing backslash) and returns it.
std::string folderOfLength(std::string base, size_t length)
{
    while (base.size() < length) {
        const size_t room = length - base.size();
        // A separator and at least one character; never leave room for only a separator.
        size_t name = std::min<size_t>(room - 1, 100);
        if (room - (name + 1) == 1)
            name--;
        base += "\\" + std::string(name, 'd');
        makeFolder(base);
    }
    return base;
}

// Everything below folder: files and folders alike.
std::vector<std::string> entriesBelow(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

size_t longestTargetName()
{
    size_t longest = strlen("Kestrun.exe");
    for (const std::string& name : mainNames())
        longest = std::max(longest, name.size() + strlen(".htm"));
    for (const std::string& name : extraNames())
        longest = std::max(longest, name.size());
    return longest;
}

enum class Outcome { complete, nothingLeft };

struct LimitCase {
    const char* label;
    size_t pagesParent;   // length of the existing folder below which "Corvalin" goes
    size_t iconParent;    // length of the existing folder below which "Tolm" goes
    Outcome outcome;
    std::vector<ExpectedMessage> messages;
};

// Lengths of the parents that put the longest target, the uninstaller or the
// link file at a given total length.
size_t pagesParentFor(size_t targetLength, size_t nameLength)
{
    return targetLength - nameLength - 1 - strlen(pagesChain) - 1;
}

size_t iconParentFor(size_t linkLength)
{
    return linkLength - linkNameLength - 1 - strlen(iconChain) - 1;
}

TEST_F(InstallTest, installsUpToTheLastCharacterAndFailsCleanlyPastIt)
{
    const size_t longest = longestTargetName();
    const size_t uninstallerName = strlen("Kestrun.exe");
    // Longer than either root folder, far from every limit.
    const size_t shortParent = std::max(programs.size(), desktop.size()) + 10;
    const std::vector<LimitCase> cases = {
        {"longest target 258", pagesParentFor(258, longest), iconParentFor(258), Outcome::complete, {}},
        {"longest target and link 259", pagesParentFor(259, longest), iconParentFor(259), Outcome::complete, {}},
        {"longest target 260", pagesParentFor(260, longest), shortParent, Outcome::nothingLeft,
         {copyFailedMessage}},
        {"longest target 261", pagesParentFor(261, longest), shortParent, Outcome::nothingLeft,
         {copyFailedMessage}},
        {"uninstaller 260", pagesParentFor(260, uninstallerName), shortParent, Outcome::nothingLeft,
         {copyFailedMessage}},
        {"pages folder with its backslash 260", 260 - 1 - strlen(pagesChain) - 1, shortParent,
         Outcome::nothingLeft, {pagesFolderMessage}},
        {"link 260", shortParent, iconParentFor(260), Outcome::nothingLeft,
         {shortcutMessage, copyFailedMessage}},
        {"link 261", shortParent, iconParentFor(261), Outcome::nothingLeft,
         {shortcutMessage, copyFailedMessage}},
        // The shortcut then goes into the desktop folder itself, where it does not fit either.
        {"icon folder with its backslash 260", shortParent, 260 - 1 - strlen(iconChain) - 1,
         Outcome::nothingLeft, {iconFolderMessage, shortcutMessage, copyFailedMessage}},
    };
    const std::string pagesRoot = programs;
    const std::string iconRoot = desktop;
    for (const LimitCase& test : cases) {
        SCOPED_TRACE(test.label);
        programs = folderOfLength(pagesRoot, test.pagesParent);
        desktop = folderOfLength(iconRoot, test.iconParent);
        ASSERT_EQ(programs.size(), test.pagesParent);
        ASSERT_EQ(desktop.size(), test.iconParent);
        setDestinations(programs, pagesChain, desktop, iconChain);
        deleteUninstallKey();
        startCatchingMessages();

        runInstall();

        expectMessages(test.messages);
        if (test.outcome == Outcome::complete) {
            expectBookFiles(true);
            expectRegisteredWithShortcut();
        } else {
            EXPECT_EQ(entriesBelow(programs), std::vector<std::string>());
            EXPECT_EQ(entriesBelow(desktop), std::vector<std::string>());
            EXPECT_FALSE(uninstallKeyExists());
        }
        removeTree(pagesRoot);
        removeTree(iconRoot);
        makeFolder(pagesRoot);
        makeFolder(iconRoot);
    }
}

// The chain buffer holds 79 characters and a terminator. A full-length chain
// of several new folders is made and then removed again by a failing install;
// a buffer with no terminator is refused before anything is made.
TEST_F(InstallTest, chainOfTheFullBufferLengthIsMadeAndAnUnterminatedOneRefused)
{
    // Components of 11 characters, one that takes up the rest, then "Corvalin".
    const size_t tail = 1 + strlen(pagesChain);
    std::string chain;
    while (chain.size() + 12 + 2 + tail <= size_t(chainCapacity - 1))
        chain += std::string(11, char('a' + chain.size() / 12)) + "\\";
    chain += std::string(chainCapacity - 1 - chain.size() - tail, 'z');
    chain += std::string("\\") + pagesChain;
    ASSERT_EQ(chain.size(), size_t(chainCapacity - 1));
    const std::string pagesRoot = programs;

    // Complete: the pages folder is the chain's last component.
    setDestinations(pagesRoot, chain.c_str(), desktop, iconChain);
    programs = pagesRoot + "\\" + chain.substr(0, chain.size() - strlen(pagesChain) - 1);
    runInstall();
    expectMessages({});
    expectBookFiles(true);
    expectRegisteredWithShortcut();
    removeTree(pagesRoot);
    removeTree(desktop);
    makeFolder(pagesRoot);
    makeFolder(desktop);
    deleteUninstallKey();

    // Unterminated: nothing is created, nothing written.
    setDestinations(pagesRoot, chain.c_str(), desktop, iconChain);
    for (WCHAR& c : installSettings.pagesDestination.newFolder)
        c = L'q';
    startCatchingMessages();
    runInstall();
    expectMessages({pagesFolderMessage});
    EXPECT_EQ(entriesBelow(pagesRoot), std::vector<std::string>());
    EXPECT_EQ(entriesBelow(desktop), std::vector<std::string>());
    EXPECT_FALSE(uninstallKeyExists());
}

} // namespace
