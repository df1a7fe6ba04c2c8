// Holding folders, judging who may change them, acting on plain files only,
// and the lock that no one but an administrator may hold, against the real
// disk and objects under Wine. Links on the way to a folder are Unix symbolic
// links, which only a script can make: the end-to-end scenario
// untrusted_folders has those.
#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>

#include <string>
#include <thread>

#include "change_lock.h"
#include "descriptor_layout.h"
#include "install_log.h"
#include "install_fixture.h"
#include "safe_folder.h"

namespace {

// Lets Everyone modify path, as a folder on a drive's root lets its users.
void openToEveryone(const std::string& path)
{
    EXPLICIT_ACCESSW grant = {};
    grant.grfAccessPermissions = FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE | DELETE;
    grant.grfAccessMode = GRANT_ACCESS;
    grant.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
    grant.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
    grant.Trustee.ptstrName = const_cast<wchar_t*>(L"Everyone");
    PACL dacl = nullptr;
    ASSERT_EQ(SetEntriesInAclW(1, &grant, nullptr, &dacl), DWORD(ERROR_SUCCESS));
    ASSERT_EQ(SetNamedSecurityInfoW(const_cast<wchar_t*>(wideText(path).c_str()), SE_FILE_OBJECT,
                                    DACL_SECURITY_INFORMATION, nullptr, nullptr, dacl, nullptr),
              DWORD(ERROR_SUCCESS));
    LocalFree(dacl);
}

// The system's short name for path (8.3 names, as %TEMP% holds them).
std::string shortName(const std::string& path)
{
    WCHAR name[MAX_PATH];
    const DWORD length = GetShortPathNameW(wideText(path).c_str(), name, MAX_PATH);
    return length > 0 && length < MAX_PATH ? utf8Text(name) : std::string();
}

TEST(HoldFolder, aFolderIsHeldOnlyWhereItIsAndAsItIsNamed)
{
    const std::string root = freshTestFolder("hold");
    makeFolder(root + "\\folder");
    makeFolder(root + "\\a folder with a long name");
    writeFile(root + "\\file", "not a folder");
    const std::string shortSpelling = shortName(root + "\\a folder with a long name");
    const std::string shortProgramFiles = shortName("C:\\Program Files");
    ASSERT_NE(shortSpelling.find('~'), std::string::npos) << "no short name: " << shortSpelling;
    ASSERT_NE(shortProgramFiles.find('~'), std::string::npos) << "no short name: " << shortProgramFiles;
    struct Case {
        const char* label;
        std::string path;
        FolderVerdict verdict;
    } cases[] = {
        {"a folder", root + "\\folder", FolderVerdict::usable},
        {"with a trailing backslash", root + "\\folder\\", FolderVerdict::usable},
        {"in other letter case", "c:\\TOLM-UNIT\\hold\\FOLDER", FolderVerdict::usable},
        // Another spelling of the same folder is the same folder.
        {"by its short name", shortSpelling, FolderVerdict::usable},
        {"below the short name of Program Files", shortProgramFiles + "\\Common Files",
         FolderVerdict::usable},
        {"a drive's root", "C:\\", FolderVerdict::usable},
        {"missing", root + "\\missing", FolderVerdict::missing},
        {"below a missing folder", root + "\\missing\\below", FolderVerdict::missing},
        {"a file", root + "\\file", FolderVerdict::missing},
        // Not gone: its drive may come back, and what lies there with it.
        {"on a drive that is not there", "Q:\\Books\\Tolm", FolderVerdict::unreadable},
        {"a relative path", "tolm-unit\\hold", FolderVerdict::unreadable},
        {"forward slashes, which the system reads as another path", "C:/tolm-unit/hold/folder",
         FolderVerdict::unreadable},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.label);
        HANDLE held;
        EXPECT_EQ(holdFolder(wideText(test.path).c_str(), held), test.verdict);
        EXPECT_EQ(held != INVALID_HANDLE_VALUE, test.verdict == FolderVerdict::usable);
        if (held == INVALID_HANDLE_VALUE)
            continue;
        // Held: it can be neither renamed nor replaced.
        const std::string moved = root + "\\moved";
        if (test.path.size() > 3) {
            EXPECT_FALSE(MoveFileW(wideText(test.path).c_str(), wideText(moved).c_str()));
            EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
        }
        releaseFolder(held);
        EXPECT_EQ(held, INVALID_HANDLE_VALUE);
    }
    removeTree(root);
}

// The comparison of the path a handle was opened by with the folder or file
// the system says it is: spellings of the same one pass, another one is a
// link, and what the system cannot name cannot be checked.
TEST(ReachedAs, aPathReachesOnlyWhatTheSystemSaysItIs)
{
    const std::string root = freshTestFolder("reached");
    const std::string folder = root + "\\a folder with a long name";
    makeFolder(folder);
    makeFolder(root + "\\other");
    writeFile(folder + "\\file.txt", "a file");
    HANDLE opened = CreateFileW(wideText(folder).c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    HANDLE file = CreateFileW(wideText(folder + "\\file.txt").c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(opened, INVALID_HANDLE_VALUE);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    struct Case {
        const char* label;
        HANDLE handle;
        std::string path;
        FolderVerdict verdict;
    } cases[] = {
        {"the folder's own path", opened, folder, FolderVerdict::usable},
        {"with a trailing backslash", opened, folder + "\\", FolderVerdict::usable},
        {"in other letter case", opened, "C:\\TOLM-UNIT\\REACHED\\A FOLDER WITH A LONG NAME", FolderVerdict::usable},
        {"by its short name", opened, shortName(folder), FolderVerdict::usable},
        {"a file by its folder's short name", file, shortName(folder) + "\\file.txt", FolderVerdict::usable},
        {"another folder", opened, root + "\\other", FolderVerdict::linked},
        {"the folder above", opened, root, FolderVerdict::linked},
        {"the folder, for its file", file, folder, FolderVerdict::linked},
        {"a path that names nothing", opened, root + "\\missing", FolderVerdict::unreadable},
        {"a handle the system names no path for", event, folder, FolderVerdict::unreadable},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.label);
        EXPECT_EQ(reachedVerdict(test.handle, wideText(test.path).c_str()), test.verdict) << test.path;
    }
    CloseHandle(event);
    CloseHandle(file);
    CloseHandle(opened);
    removeTree(root);
}

TEST(FolderRights, onlyAFolderOthersCannotChangeIsTheInstallsToUse)
{
    const std::string root = freshTestFolder("rights");
    const std::string made = root + "\\made";
    ASSERT_TRUE(CreateDirectoryW(wideText(made).c_str(), const_cast<SECURITY_ATTRIBUTES*>(&protectedAttributes)));
    const std::string open = root + "\\open";
    makeFolder(open);
    openToEveryone(open);
    struct Case {
        const char* label;
        std::string folder;
        FolderVerdict before;
    } cases[] = {
        {"made with the protected rights", made, FolderVerdict::usable},
        {"open to everyone", open, FolderVerdict::openToOthers},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.label);
        HANDLE held;
        ASSERT_EQ(holdFolder(wideText(test.folder).c_str(), held), FolderVerdict::usable);
        EXPECT_EQ(checkFolderRights(held), test.before);
        // Protected, any folder is the install's to use.
        EXPECT_TRUE(protectFolder(held));
        EXPECT_EQ(checkFolderRights(held), FolderVerdict::usable);
        releaseFolder(held);
    }
    removeTree(root);
}

TEST(PlainFiles, onlyAPlainFileIsDeletedOrMoved)
{
    const std::string root = freshTestFolder("plain");
    const std::string file = root + "\\file.htm";
    const std::string taken = root + "\\taken.htm";
    const std::string folder = root + "\\folder.htm";
    const std::string held = root + "\\held.htm";
    const std::string missing = root + "\\missing.htm";
    const std::string target = root + "\\target.htm";
    auto reset = [&]() {
        writeFile(file, "plain");
        writeFile(taken, "taken");
        makeFolder(folder);
        DeleteFileW(wideText(target).c_str());
    };
    const std::string shared = root + "\\shared.htm";
    const std::string elsewhere = root + "\\elsewhere";
    makeFolder(elsewhere);
    writeFile(held, "held");
    HANDLE holder = CreateFileW(wideText(held).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    HANDLE folderHeld;
    HANDLE otherHeld;
    ASSERT_EQ(holdFolder(wideText(root).c_str(), folderHeld), FolderVerdict::usable);
    ASSERT_EQ(holdFolder(wideText(elsewhere).c_str(), otherHeld), FolderVerdict::usable);
    struct Case {
        const char* label;
        std::string from;
        std::string to;   // empty: delete
        bool replace;
        FileOutcome outcome;
        std::string left;  // what is at from afterwards: "" for nothing
        bool otherFolder;  // the held folder is not the one from lies in
    } cases[] = {
        {"delete a plain file", file, "", false, FileOutcome::done, ""},
        {"delete nothing", missing, "", false, FileOutcome::untouched, ""},
        {"delete a folder", folder, "", false, FileOutcome::left, "folder"},
        {"delete a file another program holds", held, "", false, FileOutcome::failed, "held"},
        // Its name goes at once where the system has POSIX deletes (Wine 8
        // has not: there it goes as the other program closes it).
        {"delete a file another program holds with delete sharing", shared, "", false, FileOutcome::done, ""},
        // Only a file that is where the held folder is, by its name, is acted on.
        {"delete a file of another folder than the held one", file, "", false, FileOutcome::left, "plain", true},
        {"move a plain file", file, target, false, FileOutcome::done, ""},
        {"move onto a taken name", file, taken, false, FileOutcome::failed, "plain"},
        {"move onto a taken name, replacing it", file, taken, true, FileOutcome::done, ""},
        {"move nothing", missing, target, false, FileOutcome::untouched, ""},
        {"move a folder", folder, target, false, FileOutcome::left, "folder"},
        {"move a file another program holds", held, target, false, FileOutcome::failed, "held"},
        {"move a file of another folder than the held one", file, target, false, FileOutcome::left, "plain", true},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.label);
        reset();
        writeFile(shared, "shared");
        HANDLE sharer = CreateFileW(wideText(shared).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                    nullptr);
        const std::wstring from = wideText(test.from);
        HANDLE in = test.otherFolder ? otherHeld : folderHeld;
        const FileOutcome outcome = test.to.empty()
                                        ? deletePlainFile(in, from.c_str())
                                        : movePlainFile(in, from.c_str(), wideText(test.to).c_str(), test.replace);
        EXPECT_EQ(outcome, test.outcome);
        CloseHandle(sharer);
        if (test.left == "folder")
            EXPECT_TRUE(folderExists(test.from));
        else if (test.left.empty())
            EXPECT_FALSE(fileExists(test.from));
        else if (test.from == held)
            EXPECT_TRUE(fileExists(test.from));   // unreadable while it is held
        else
            EXPECT_EQ(readFile(test.from), test.left);
        if (!test.to.empty() && outcome == FileOutcome::done)
            EXPECT_EQ(readFile(test.to), std::string("plain"));
    }
    releaseFolder(otherHeld);
    releaseFolder(folderHeld);
    CloseHandle(holder);
    removeTree(root);
}

// Only a name surrogate leads elsewhere. Wine cannot make the other kinds, so
// the tags stand in for them: a deduplicated or cloud book file must be
// deleted and replaced like a plain one, and a tag of 0 is how Wine reports a
// folder link.
TEST(PlainFiles, onlyNameSurrogateTagsAreLinks)
{
    const struct {
        DWORD tag;
        bool link;
    } cases[] = {
        {IO_REPARSE_TAG_SYMLINK, true},     {IO_REPARSE_TAG_MOUNT_POINT, true}, {0xA0000027 /* WCI link */, true},
        {0, true},                          {IO_REPARSE_TAG_DEDUP, false},      {IO_REPARSE_TAG_CLOUD, false},
        {IO_REPARSE_TAG_CLOUD_1, false},    {IO_REPARSE_TAG_WCI, false},        {IO_REPARSE_TAG_APPEXECLINK, false},
    };
    for (const auto& test : cases)
        EXPECT_EQ(isLinkTag(test.tag), test.link) << std::hex << test.tag;
}

// The token of this process without the Administrators group (kept only to
// deny), as a program of a user without administrator rights has it, for
// the calling thread until revertToSelf.
void impersonateStandardUser()
{
    HANDLE token = nullptr;
    HANDLE restricted = nullptr;
    SID_AND_ATTRIBUTES administrators = {const_cast<SidOf<2>*>(&administratorsSid), 0};
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &token));
    ASSERT_TRUE(CreateRestrictedToken(token, 0, 1, &administrators, 0, nullptr, 0, nullptr, &restricted));
    ASSERT_TRUE(ImpersonateLoggedOnUser(restricted));
    CloseHandle(restricted);
    CloseHandle(token);
}

// Whether another thread, as a run of another process would, finds the lock
// free: it makes or opens it by its name, takes it and lets it go.
bool otherRunFindsLockFree()
{
    bool free = false;
    std::thread other([&free]() {
        HANDLE lock = CreateMutexW(nullptr, FALSE, changeLockName);
        const DWORD result = lock ? WaitForSingleObject(lock, 0) : WAIT_FAILED;
        free = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
        if (free)
            ReleaseMutex(lock);
        if (lock)
            CloseHandle(lock);
    });
    other.join();
    return free;
}

TEST(ChangeLock, onlyAnAdministratorsRunHoldsIt)
{
    ASSERT_EQ(takeChangeLock(), ChangeLock::taken);
    EXPECT_EQ(takeChangeLock(), ChangeLock::taken) << "this process holds it already";
    EXPECT_FALSE(otherRunFindsLockFree()) << "held, another run must not get it";

    // A user without the Administrators group may not even open it.
    impersonateStandardUser();
    HANDLE opened = OpenMutexW(SYNCHRONIZE, FALSE, changeLockName);
    const DWORD error = GetLastError();
    RevertToSelf();
    EXPECT_EQ(opened, nullptr);
    EXPECT_EQ(error, DWORD(ERROR_ACCESS_DENIED));
    if (opened)
        CloseHandle(opened);

    releaseChangeLock();
    EXPECT_TRUE(otherRunFindsLockFree()) << "let go, another run gets it";

    // Such a user may make the name first, and hold it for good: it is not
    // the lock, and the runs go on without it instead of waiting for ever.
    impersonateStandardUser();
    HANDLE squatted = CreateMutexW(nullptr, TRUE, changeLockName);
    RevertToSelf();
    ASSERT_NE(squatted, nullptr);
    // Said once in the log, however often a run asks.
    const std::string log = freshTestFolder("lock-log") + "\\run.log";
    ASSERT_EQ(openLog(wideText(log).c_str()), LogOpening::opened);
    EXPECT_EQ(takeChangeLock(), ChangeLock::squatted);
    EXPECT_EQ(takeChangeLock(), ChangeLock::squatted);
    closeLog();
    const std::string logged = readFile(log).value_or("");
    EXPECT_NE(logged.find("squatted by another user"), std::string::npos) << logged;
    EXPECT_EQ(logged.find("squatted by another user"), logged.rfind("squatted by another user")) << logged;
    CloseHandle(squatted);
}

} // namespace
