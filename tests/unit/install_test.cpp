// runInstall with the complete book as shipped: what a good install leaves, and
// how it fails on a locked target, a blocked pages chain, a broken icon chain
// and targets too long for the path buffers.
#include "install_test_base.h"

#include <objbase.h>

#include <string.h>

#include <algorithm>

#include "install.h"
#include "settings.h"

namespace {

const ExpectedMessage pagesFolderMessage = {"Error during install:",
                                            "Can't create the new directory for program files!"};
const ExpectedMessage iconFolderMessage = {"Error during install:", "Didn't create the new Desktop Folder!"};
const ExpectedMessage shortcutMessage = {"ERROR: Didn't save the Desktop icon for", "The Tolm Language.lnk"};

// Also into folders whose names no ANSI code page holds: the files, the
// registered path and the link's target keep every letter.
TEST_F(InstallTest, installsTheBookWithOrWithoutTheVariant)
{
    struct BookCase {
        const char* label;
        bool variant;
        const char* programsFolder;   // below the test folder
        const char* desktopFolder;
    };
    const BookCase cases[] = {
        {"plain book", false, "Programs", "Desktop"},
        {"variant", true, "Programs", "Desktop"},
        {"folders in Cyrillic, Polish and Japanese, a Greek desktop", true, "Программы Łódź 東京",
         "Παύλος\\Επιφάνεια εργασίας"},
    };
    const std::string testFolder = root;
    for (const BookCase& test : cases) {
        SCOPED_TRACE(test.label);
        programs = testFolder + "\\" + test.programsFolder;
        desktop = testFolder + "\\" + test.desktopFolder;
        makeFolder(programs);
        makeFolder(testFolder + "\\Παύλος");
        makeFolder(desktop);
        setDestinations(programs, "Corvalin", desktop, "Tolm");
        installSettings.specificBook = test.variant;
        startCatchingMessages();

        runInstall();

        expectMessages({});
        expectBookFiles(test.variant);
        expectRegisteredWithShortcut();
        removeTree(pagesFolder());
        removeTree(iconFolder());
        deleteUninstallKey();
    }
}

// The folder browser leaves COM initialised on the wizard's thread, so the
// shortcut's CoInitialize answers S_FALSE; the shortcut must still be made.
TEST_F(InstallTest, shortcutIsMadeWhenComIsAlreadyInitialised)
{
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    runInstall();
    const bool stillInitialised = CoInitialize(nullptr) == S_FALSE;
    CoUninitialize();
    CoUninitialize();

    expectMessages({});
    EXPECT_TRUE(stillInitialised);
    expectBookFiles(true);
    expectRegisteredWithShortcut();
}

// A target held open by another program cannot be replaced: the install rolls
// back everything else it wrote, from either list, and keeps the existing folder.
TEST_F(InstallTest, lockedTargetRollsBackAroundIt)
{
    struct LockedCase {
        const char* label;
        bool variant;
        std::string lockedName;
    };
    const std::vector<LockedCase> cases = {
        {"a page of the main list", false, mainNames()[10] + ".htm"},
        {"a file of the variant's list", true, extraNames()[5]},
    };
    for (const LockedCase& test : cases) {
        SCOPED_TRACE(test.label);
        makeFolder(pagesFolder());
        setDestinations(pagesFolder(), "", desktop, "Tolm");
        installSettings.specificBook = test.variant;
        const std::string locked = pagesFolder() + "\\" + test.lockedName;
        writeFile(locked, "held by another program");
        HANDLE holder = CreateFileA(locked.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        startCatchingMessages();

        runInstall();
        CloseHandle(holder);

        expectMessages({copyFailedMessage});
        EXPECT_EQ(listFiles(pagesFolder()), std::set<std::string>{test.lockedName});
        EXPECT_EQ(readFile(locked), std::string("held by another program"));
        EXPECT_FALSE(folderExists(iconFolder()));
        EXPECT_FALSE(uninstallKeyExists());
        removeTree(pagesFolder());
    }
}

TEST_F(InstallTest, pagesChainBlockedByAFileStopsBeforeAnything)
{
    writeFile(pagesFolder(), "a file named like the pages folder");
    runInstall();
    expectMessages({pagesFolderMessage});
    EXPECT_EQ(listFiles(programs), std::set<std::string>{"Corvalin"});
    EXPECT_FALSE(uninstallKeyExists());
    EXPECT_FALSE(folderExists(iconFolder()));
}

// A name the system would change or refuse anywhere in a chain: no folder of
// it is made.
TEST_F(InstallTest, pagesChainWithABadNameMakesNothing)
{
    for (const char* chain : {"Corvalin\\bad?name", "Corvalin\\CON", "Corvalin\\lpt1.htm"}) {
        setDestinations(programs, chain, desktop, "Tolm");
        runInstall();
        expectMessages({pagesFolderMessage});
        EXPECT_FALSE(folderExists(pagesFolder())) << chain;
        EXPECT_FALSE(uninstallKeyExists()) << chain;
        startCatchingMessages();
    }
}

TEST_F(InstallTest, iconChainWithABadNamePutsTheShortcutOnTheDesktop)
{
    for (const char* chain : {"Tolm\\Books.", "Tolm\\AUX"}) {
        setDestinations(programs, "Corvalin", desktop, chain);
        runInstall();
        expectMessages({iconFolderMessage});
        expectBookFiles(true);
        EXPECT_FALSE(folderExists(iconFolder())) << chain;
        expectRegisteredWithShortcut(desktop + "\\The Tolm Language.lnk");
        removeTree(pagesFolder());
        DeleteFileA((desktop + "\\The Tolm Language.lnk").c_str());
        deleteUninstallKey();
        startCatchingMessages();
    }
}

// Targets that do not fit the 260-character buffers fail like files that cannot
// be created: the same rollback and message, and nothing written past a buffer.
TEST_F(InstallTest, targetsTooLongForThePathBufferRollBack)
{
    struct LongCase {
        const char* label;
        int pagesRoom;   // characters left after the pages folder's backslash, NUL included
        int iconRoom;    // the same for the icon folder
        std::vector<ExpectedMessage> messages;
    };
    // "Kestrun.exe" and the first page fit in 12; longer page names do not.
    // The link name needs 22.
    const std::vector<LongCase> cases = {
        {"page names", 12, 40, {copyFailedMessage}},
        {"link name", 40, 21, {shortcutMessage, copyFailedMessage}},
    };
    for (const LongCase& test : cases) {
        SCOPED_TRACE(test.label);
        // Deep existing folders whose paths leave exactly the room wanted.
        auto deepFolder = [](std::string base, int room) {
            const int wanted = pathCapacity - room - 1;   // length without the trailing backslash
            for (int remaining = wanted - int(base.size()); remaining >= 2; remaining = wanted - int(base.size())) {
                int name = std::min(60, remaining - 1);
                if (remaining - (name + 1) == 1)
                    name--;   // never leave a single character: a component needs two
                base += "\\" + std::string(name, 'd');
                makeFolder(base);
            }
            return base;
        };
        const std::string pagesBase = deepFolder(programs, test.pagesRoom);
        const std::string iconBase = deepFolder(desktop, test.iconRoom);
        ASSERT_TRUE(folderExists(pagesBase));
        ASSERT_TRUE(folderExists(iconBase));
        setDestinations(pagesBase, "", iconBase, "");
        const DestinationPath pagesBefore = installSettings.pagesDestination;
        startCatchingMessages();

        runInstall();

        expectMessages(test.messages);
        EXPECT_EQ(listFiles(pagesBase), std::set<std::string>());
        EXPECT_EQ(listFiles(iconBase), std::set<std::string>());
        EXPECT_FALSE(uninstallKeyExists());
        // The fields behind the path buffer are intact.
        EXPECT_EQ(memcmp(installSettings.pagesDestination.newFolder, pagesBefore.newFolder, sizeof pagesBefore.newFolder), 0);
        removeTree(programs);
        removeTree(desktop);
        makeFolder(programs);
        makeFolder(desktop);
    }
}

} // namespace
