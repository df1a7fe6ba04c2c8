// runInstall with one payload entry left out (TOLM_MISSING_ENTRY: 900, the
// uninstaller; 901, the first page; 976, the last page). Whatever was made
// before the gap is removed again, and only folders the install created go;
// over an earlier install, everything it replaced comes back as it was.
#include "install_test_base.h"

#include "install.h"
#include "messages.h"
#include "settings.h"

namespace {

TEST_F(InstallTest, missingEntryLeavesNothingBehind)
{
    for (const bool variant : {false, true}) {
        SCOPED_TRACE(variant ? "variant" : "plain book");
        setDestinations(programs, "Corvalin\\Books", desktop, "Tolm");
        installSettings.specificBook = variant;
        startCatchingMessages();

        runInstall();

        expectMessages({copyFailedMessage});
        expectNothingLeft();
    }
}

// With both chains empty the install creates no folder, so it removes none.
// A shortcut left by an earlier install comes back as it was, also when this
// one had replaced it.
TEST_F(InstallTest, existingFoldersAndAnEarlierShortcutSurviveTheRollback)
{
    makeFolder(pagesFolder());
    makeFolder(iconFolder());
    writeFile(linkPath(), "an earlier install's shortcut");
    setDestinations(pagesFolder(), "", iconFolder(), "");

    runInstall();

    expectMessages({copyFailedMessage});
    EXPECT_TRUE(folderExists(pagesFolder()));
    EXPECT_TRUE(folderExists(iconFolder()));
    EXPECT_EQ(listFiles(pagesFolder()), std::set<std::string>());
    EXPECT_EQ(readFile(linkPath()), std::string("an earlier install's shortcut"));
    EXPECT_EQ(listFiles(iconFolder()), std::set<std::string>({"The Tolm Language.lnk"}));
    EXPECT_FALSE(uninstallKeyExists());
}

// An update that fails: whichever variant was there and whichever the run
// installs, the earlier files, shortcut and key values are back byte for
// byte, and nothing set aside or journalled is left. An earlier value too
// large for the run to keep is not replaced, so the registration fails, and
// the rollback must not take it for a value the run added.
TEST_F(InstallTest, aFailedUpdateRestoresTheEarlierInstallExactly)
{
    struct UpdateCase {
        const char* label;
        bool earlierVariant;
        bool variant;
        bool valueTooLargeToKeep;
    };
    const UpdateCase cases[] = {
        {"plain over plain", false, false, false},
        {"variant over variant", true, true, false},
        {"variant over plain", false, true, false},
        {"plain over variant", true, false, false},
        {"plain over plain, a value too large to keep", false, false, true},
    };
    const ExpectedMessage registrationFailedMessage = {"Error during install:", registrationFailedText};
    for (const UpdateCase& test : cases) {
        SCOPED_TRACE(test.label);
        writeEarlierInstall(test.earlierVariant);
        if (test.valueTooLargeToKeep)
            writeUninstallValues({{"Publisher", textValue(std::string(400, 'p'))}});
        const std::map<std::string, std::string> filesBefore = filesBelow(root);
        const KeyValues valuesBefore = readUninstallValues();
        setDestinations(pagesFolder(), "", iconFolder(), "");
        installSettings.specificBook = test.variant;
        startCatchingMessages();

        runInstall();

        // Without the uninstaller the run stops before it registers anything.
        if (test.valueTooLargeToKeep && TOLM_MISSING_ENTRY != 900)
            expectMessages({registrationFailedMessage, copyFailedMessage});
        else
            expectMessages({copyFailedMessage});
        EXPECT_EQ(filesBelow(root), filesBefore);
        EXPECT_EQ(readUninstallValues(), valuesBefore);
        removeTree(pagesFolder());
        removeTree(iconFolder());
        deleteUninstallKey();
    }
}

} // namespace
