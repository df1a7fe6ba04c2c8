// The rollback deletes only what the install wrote. Files of the book's names
// that were already in an existing pages folder, at names the install never
// reached (after the failing one, or skipped by the variant), keep their bytes.
#include "install_test_base.h"

#include <sddl.h>
#include <string.h>

#include <cstddef>
#include <functional>

#include "install.h"
#include "install_record.h"
#include "page_manifest.h"
#include "product.h"
#include "registration.h"
#include "safe_folder.h"
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

// Gives the uninstall key the rights that sddl describes.
bool setUninstallKeyRights(const char* sddl)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, uninstallKeyPath, 0, WRITE_DAC, &key) != ERROR_SUCCESS)
        return false;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const bool set = ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr) &&
                     RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
    LocalFree(descriptor);
    RegCloseKey(key);
    return set;
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

// A file already bearing a set-aside name is not the run's: the run stops
// before anything moves, and a rollback never puts that file in the place of
// the one it could not set aside. The same for a read-only book file, which a
// rename could move but the install must not replace.
TEST_F(InstallTest, aBookFileThatCannotBeSetAsideStopsTheRunBeforeAnythingMoves)
{
    struct BlockedCase {
        const char* label;
        std::string blocker;   // made beside the earlier install
        bool readOnly;         // the first page is read-only instead
        bool keyLocked;        // the key refuses the journal instead
    };
    const BlockedCase cases[] = {
        {"a set-aside name taken by a file of the user's", mainNames()[40] + ".htm~tolm", false, false},
        {"the uninstaller's set-aside name taken", "Kestrun.exe~tolm", false, false},
        {"a read-only page", "", true, false},
        {"a journal that cannot be written", "", false, true},
    };
    for (const BlockedCase& test : cases) {
        SCOPED_TRACE(test.label);
        writeEarlierInstall(false);
        const std::string firstPage = pagesFolder() + "\\" + mainNames().front() + ".htm";
        if (test.readOnly)
            SetFileAttributesW(wideText(firstPage).c_str(), FILE_ATTRIBUTE_READONLY);
        else if (test.keyLocked)
            ASSERT_TRUE(setUninstallKeyRights("D:P(D;;0x6;;;WD)(A;;KA;;;WD)"));   // no value may be set
        else
            writeFile(pagesFolder() + "\\" + test.blocker, "the user's own file");
        const std::map<std::string, std::string> filesBefore = filesBelow(root);
        const KeyValues valuesBefore = readUninstallValues();
        setDestinations(pagesFolder(), "", iconFolder(), "");
        startCatchingMessages();

        runInstall();

        expectMessages({copyFailedMessage});
        EXPECT_EQ(filesBelow(root), filesBefore);
        EXPECT_EQ(readUninstallValues(), valuesBefore);
        SetFileAttributesW(wideText(firstPage).c_str(), FILE_ATTRIBUTE_NORMAL);
        setUninstallKeyRights("D:(A;;KA;;;WD)");
        removeTree(pagesFolder());
        removeTree(iconFolder());
        deleteUninstallKey();
    }
}

// A run killed halfway, over an earlier install: its files set aside and its
// journal written as a run does, then some of its own files written and its
// uninstaller registered. The next run settles it from the journal alone,
// and only a journal of the book's own install whose run has ended.
enum class Killed {
    open,            // rolled back
    committed,       // completed
    committedElsewhere,  // committed into another folder than the earlier install's: completed, and the earlier goes
    earlierLayout,   // open, its journal in the layout without the writer: rolled back
    unversioned,     // open, its journal in the layout before the version: rolled back
    thirdLayout,     // open, its journal in the layout of version 3: rolled back
    unknownVersion,  // a later release's layout: left alone unless forgotten
    pageHeld,        // open, and a page it wrote held open without delete sharing: kept until it is free
    pageHeldForgotten,  // the same, forgotten: the rest is rolled back, the held page stays
    keyLocked,       // open, and the key refuses every change: kept, naming the key, until it is writable
    journalDamaged,  // not a record: left alone
    foreignNames,    // the record names a file of the user's as the run's own
    otherFolder,     // the key names an uninstaller in another folder than the record's
    foreignLink,     // the record's shortcut is a file of the user's
    writerRuns,      // the process that wrote the journal still runs
};

enum class Outcome { restored, completed, completedElsewhere, leftAlone, restoredOnceFree, restoredButHeld };

InstallRecord killedRun;

std::string killedRunUninstaller(const std::string& pagesFolder)
{
    return "\"" + pagesFolder + "\\Kestrun.exe\"";
}

// The writer's identity ends the journal: its process id and start time.
// The version follows the magic number and the size.
constexpr size_t writerBytes = 3 * sizeof(uint32_t);
constexpr size_t versionAt = 2 * sizeof(uint32_t);
constexpr size_t recordAt = versionAt + sizeof(uint32_t);

// The journal as an earlier release wrote it: with one uninstall key value
// fewer (the last slot, unused by those releases), at version 3; before
// that without the version, and first without the writer's identity too.
void toEarlierLayout(std::string& journal, bool version, bool identity)
{
    const size_t lastSlot = recordAt + offsetof(InstallRecord, values) + (savedValueCount - 1) * sizeof(SavedValue);
    journal.erase(lastSlot, sizeof(SavedValue));
    if (version)
        journal[versionAt] = 3;
    else
        journal.erase(versionAt, sizeof(uint32_t));
    if (!identity)
        journal.resize(journal.size() - writerBytes);
    const uint32_t size = uint32_t(journal.size());
    memcpy(&journal[4], &size, sizeof size);   // after the magic number
}

HANDLE heldPage = INVALID_HANDLE_VALUE;

void rewriteJournal(const std::function<void(std::string&)>& change)
{
    std::string journal = readUninstallValues().at("InstallJournal").second;
    change(journal);
    writeUninstallValues({{"InstallJournal", {REG_BINARY, journal}}});
}

// A process that runs, suspended, until the test ends it.
PROCESS_INFORMATION runningProcess()
{
    char command[] = "cmd.exe /c exit 0";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, CREATE_SUSPENDED | CREATE_NO_WINDOW, nullptr, nullptr,
                   &startup, &process);
    return process;
}

void killRunOverEarlierInstall(const std::string& pagesFolder, const std::string& iconFolder, Killed state,
                               const PROCESS_INFORMATION& writer)
{
    memset(&killedRun, 0, sizeof killedRun);
    copyPath(killedRun.pagesFolder, pathCapacity, pagesFolder + "\\");
    ASSERT_TRUE(recordBookNames(killedRun));
    ASSERT_TRUE(saveUninstallValues(killedRun, registeredValueNames, registeredValueCount));
    HANDLE folder;
    ASSERT_EQ(holdFolder(killedRun.pagesFolder, folder), FolderVerdict::usable);
    const bool setAside = setAsideBookFiles(killedRun, folder);
    releaseSetAsideFiles();   // the killed run's handles go with it
    releaseFolder(folder);
    ASSERT_TRUE(setAside);
    writeFile(pagesFolder + "\\Kestrun.exe", "the killed run's uninstaller");
    writeFile(pagesFolder + "\\" + mainNames().front() + ".htm", "the killed run's first page");
    writeUninstallValues({{"UninstallString", textValue(killedRunUninstaller(pagesFolder))},
                          {"DisplayName", textValue("The Tolm Language")}});
    switch (state) {
    case Killed::committed:
        killedRun.committed = 1;
        writeJournal(killedRun);
        break;
    case Killed::committedElsewhere:
        killedRun.committed = 1;
        writeJournal(killedRun);
        break;
    case Killed::earlierLayout:
        rewriteJournal([](std::string& journal) { toEarlierLayout(journal, false, false); });
        break;
    case Killed::unversioned:
        rewriteJournal([](std::string& journal) { toEarlierLayout(journal, false, true); });
        break;
    case Killed::thirdLayout:
        rewriteJournal([](std::string& journal) { toEarlierLayout(journal, true, true); });
        break;
    case Killed::unknownVersion:
        rewriteJournal([](std::string& journal) { journal[versionAt] = 99; });
        break;
    case Killed::pageHeld:
    case Killed::pageHeldForgotten:
        heldPage = CreateFileW(wideText(pagesFolder + "\\" + mainNames().front() + ".htm").c_str(), GENERIC_READ,
                               FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(heldPage, INVALID_HANDLE_VALUE);
        break;
    case Killed::keyLocked:
        ASSERT_TRUE(setUninstallKeyRights("D:P(D;;0x6;;;WD)(A;;KA;;;WD)"));   // no value may be set or deleted
        break;
    case Killed::journalDamaged:
        writeUninstallValues({{"InstallJournal", {REG_BINARY, "not a record"}}});
        break;
    case Killed::foreignNames:
        // As a file the run wrote: a rollback would delete it.
        memset(killedRun.names, 0, sizeof killedRun.names);
        memset(killedRun.existed, 0, sizeof killedRun.existed);
        strcpy(killedRun.names, "notes.txt");
        killedRun.nameCount = 1;
        writeJournal(killedRun);
        break;
    case Killed::otherFolder:
        writeUninstallValues({{"UninstallString", textValue("\"C:\\elsewhere\\Kestrun.exe\"")}});
        break;
    case Killed::foreignLink:
        copyPath(killedRun.iconFolder, pathCapacity, iconFolder + "\\");
        copyPath(killedRun.linkPath, pathCapacity, pagesFolder + "\\notes.txt");
        writeJournal(killedRun);
        break;
    case Killed::writerRuns:
        rewriteJournal([&writer](std::string& journal) {
            FILETIME started, exited, kernel, user;
            ASSERT_TRUE(GetProcessTimes(writer.hProcess, &started, &exited, &kernel, &user));
            const uint32_t identity[] = {uint32_t(writer.dwProcessId), started.dwLowDateTime, started.dwHighDateTime};
            memcpy(&journal[journal.size() - writerBytes], identity, writerBytes);
        });
        break;
    case Killed::open:
        break;
    }
}

std::set<std::string> setAsideFiles(const std::string& folder)
{
    std::set<std::string> found;
    for (const std::string& name : listFiles(folder))
        if (name.size() > 5 && name.compare(name.size() - 5, 5, "~tolm") == 0)
            found.insert(name);
    return found;
}

TEST_F(InstallTest, aKilledRunIsSettledFromItsJournal)
{
    struct KilledCase {
        const char* label;
        Killed state;
        Settling settling;
        Outcome outcome;
    };
    const KilledCase cases[] = {
        {"open: rolled back", Killed::open, Settling::settled, Outcome::restored},
        {"committed: completed", Killed::committed, Settling::settled, Outcome::completed},
        {"committed into another folder: the earlier install goes", Killed::committedElsewhere, Settling::settled,
         Outcome::completedElsewhere},
        {"a journal of the earlier layout: rolled back", Killed::earlierLayout, Settling::settled, Outcome::restored},
        {"a journal without a version: rolled back", Killed::unversioned, Settling::settled, Outcome::restored},
        {"a journal of version 3: rolled back", Killed::thirdLayout, Settling::settled, Outcome::restored},
        {"a version this release does not know: left alone", Killed::unknownVersion, Settling::newer,
         Outcome::leftAlone},
        {"a page held open: kept, then rolled back once free", Killed::pageHeld, Settling::unfinished,
         Outcome::restoredOnceFree},
        {"a page held open, forgotten: the rest rolled back", Killed::pageHeldForgotten, Settling::unfinished,
         Outcome::restoredButHeld},
        {"a key that refuses changes: kept, then rolled back once writable", Killed::keyLocked,
         Settling::unfinished, Outcome::restoredOnceFree},
        {"damaged journal: left alone", Killed::journalDamaged, Settling::refused, Outcome::leftAlone},
        {"names that are not the book's", Killed::foreignNames, Settling::refused, Outcome::leftAlone},
        {"a folder the key does not name", Killed::otherFolder, Settling::refused, Outcome::leftAlone},
        {"a shortcut that is not the book's", Killed::foreignLink, Settling::refused, Outcome::leftAlone},
        {"its writer still runs", Killed::writerRuns, Settling::running, Outcome::leftAlone},
    };
    for (const KilledCase& test : cases) {
        SCOPED_TRACE(test.label);
        const PROCESS_INFORMATION writer = runningProcess();
        ASSERT_NE(writer.hProcess, nullptr);
        writeEarlierInstall(true, test.state == Killed::committedElsewhere);
        const std::map<std::string, std::string> earlierFiles = filesBelow(root);
        const KeyValues earlierValues = readUninstallValues();
        const std::string runFolder =
            test.state == Killed::committedElsewhere ? programs + "\\Elsewhere" : pagesFolder();
        makeFolder(runFolder);
        killRunOverEarlierInstall(runFolder, iconFolder(), test.state, writer);
        const std::map<std::string, std::string> killedFiles = filesBelow(root);
        const KeyValues killedValues = readUninstallValues();

        EXPECT_EQ(settleInterruptedInstall(), test.settling);

        switch (test.outcome) {
        case Outcome::restored:
            EXPECT_EQ(filesBelow(root), earlierFiles);
            EXPECT_EQ(readUninstallValues(), earlierValues);
            break;
        case Outcome::completed:
            EXPECT_EQ(setAsideFiles(pagesFolder()), std::set<std::string>());
            EXPECT_EQ(listFiles(pagesFolder()),
                      std::set<std::string>({"Kestrun.exe", mainNames().front() + ".htm", "notes.txt"}));
            EXPECT_EQ(readFile(pagesFolder() + "\\Kestrun.exe"), std::string("the killed run's uninstaller"));
            EXPECT_EQ(readUninstallValues().count("InstallJournal"), 0u);
            EXPECT_EQ(readUninstallValue("UninstallString"), killedRunUninstaller(pagesFolder()));
            break;
        case Outcome::completedElsewhere:
            // The earlier install went as its uninstaller removes it: only
            // the user's file stays in its folder.
            EXPECT_EQ(listFiles(pagesFolder()), std::set<std::string>({"notes.txt"}));
            EXPECT_EQ(listFiles(runFolder), std::set<std::string>({"Kestrun.exe", mainNames().front() + ".htm"}));
            EXPECT_EQ(readUninstallValues().count("InstallJournal"), 0u);
            EXPECT_EQ(readUninstallValue("UninstallString"), killedRunUninstaller(runFolder));
            break;
        case Outcome::leftAlone: {
            EXPECT_EQ(filesBelow(root), killedFiles);
            EXPECT_EQ(readUninstallValues(), killedValues);
            // Forgetting takes the journal only, and only where its writer is
            // known to have ended.
            const bool forgettable = test.settling != Settling::running;
            EXPECT_EQ(forgetInterruptedInstall(test.settling), forgettable);
            KeyValues left = killedValues;
            if (forgettable)
                left.erase("InstallJournal");
            EXPECT_EQ(readUninstallValues(), left);
            EXPECT_EQ(filesBelow(root), killedFiles);
            break;
        }
        case Outcome::restoredOnceFree:
            // Nothing else is lost meanwhile, what blocks is named, and the
            // next start finishes once it is free.
            EXPECT_EQ(readUninstallValues().count("InstallJournal"), 1u);
            if (test.state == Killed::keyLocked) {
                EXPECT_EQ(std::wstring(settleBlocker()), wideText(std::string("HKEY_LOCAL_MACHINE\\") + uninstallKeyPath));
                ASSERT_TRUE(setUninstallKeyRights("D:(A;;KA;;;WD)"));
            } else {
                EXPECT_EQ(std::wstring(settleBlocker()), wideText(pagesFolder() + "\\" + mainNames().front() + ".htm"));
                CloseHandle(heldPage);
                heldPage = INVALID_HANDLE_VALUE;
            }
            EXPECT_EQ(settleInterruptedInstall(), Settling::settled);
            EXPECT_EQ(filesBelow(root), earlierFiles);
            EXPECT_EQ(readUninstallValues(), earlierValues);
            break;
        case Outcome::restoredButHeld: {
            // Said to be in use, not unreachable; forgotten while it is held,
            // everything else goes back, and the journal goes.
            EXPECT_EQ(settleBlockReason(), BlockReason::inUse);
            EXPECT_TRUE(forgetInterruptedInstall(test.settling));
            CloseHandle(heldPage);
            heldPage = INVALID_HANDLE_VALUE;
            std::map<std::string, std::string> expected = earlierFiles;
            const std::string page = "Programs\\Corvalin\\" + mainNames().front() + ".htm";
            expected[page] = "the killed run's first page";
            expected[page + "~tolm"] = earlierFiles.at(page);
            EXPECT_EQ(filesBelow(root), expected);
            EXPECT_EQ(readUninstallValues(), earlierValues);
            break;
        }
        }
        TerminateProcess(writer.hProcess, 0);
        CloseHandle(writer.hThread);
        CloseHandle(writer.hProcess);
        removeTree(pagesFolder());
        removeTree(programs + "\\Elsewhere");
        removeTree(iconFolder());
        deleteUninstallKey();
    }
}

} // namespace
