#include "install_test_base.h"

#include <map>

#include "settings.h"

const ExpectedMessage copyFailedMessage = {"Error during install:",
                                           "Can't copy the program files to the desired directory!"};

void InstallTest::SetUp()
{
    root = freshTestFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    programs = root + "\\Programs";
    desktop = root + "\\Desktop";
    makeFolder(programs);
    makeFolder(desktop);
    deleteUninstallKey();
    owner = static_cast<HWND>(createOwnerWindow());
    installSettings.ownerWindow = owner;
    installSettings.specificBook = 1;
    setDestinations(programs, "Corvalin", desktop, "Tolm");
    startCatchingMessages();
}

void InstallTest::TearDown()
{
    stopCatchingMessages();
    DestroyWindow(owner);
    deleteUninstallKey();
    removeTree(root);
}

void InstallTest::expectMessages(const std::vector<ExpectedMessage>& expected)
{
    const std::vector<CaughtMessage> shown = stopCatchingMessages();
    std::string texts;
    for (const CaughtMessage& message : shown)
        texts += "\n  " + message.text;
    ASSERT_EQ(shown.size(), expected.size()) << "shown:" << texts;
    for (size_t i = 0; i < shown.size(); i++) {
        SCOPED_TRACE(expected[i].text);
        EXPECT_EQ(shown[i].caption, expected[i].caption);
        EXPECT_EQ(shown[i].text, expected[i].text);
        EXPECT_TRUE(shown[i].errorIcon);
        EXPECT_EQ(shown[i].owner, owner);
    }
}

void InstallTest::expectBookFiles(bool variant)
{
    const std::vector<std::string> main = mainNames();
    const std::vector<std::string> extra = extraNames();
    ASSERT_EQ(main.size(), 76u);
    ASSERT_EQ(extra.size(), 11u);

    // File name -> source bytes. The variant replaces main pages 71 to 73; its
    // second extra file has the 71st page's name and wins.
    std::map<std::string, std::string> expected;
    for (size_t i = 0; i < main.size(); i++)
        if (!variant || i < 70 || i > 72)
            expected[main[i] + ".htm"] = bookPage(main[i]);
    if (variant)
        for (const std::string& name : extra)
            expected[name] = bookExtraFile(name);

    std::set<std::string> names;
    for (const auto& entry : expected)
        names.insert(entry.first);
    names.insert("Kestrun.exe");
    EXPECT_EQ(listFiles(pagesFolder()), names);
    for (const auto& entry : expected)
        EXPECT_EQ(readFile(pagesFolder() + "\\" + entry.first), entry.second) << entry.first;
    EXPECT_EQ(readFile(pagesFolder() + "\\Kestrun.exe"), readFile(TOLM_TEST_UNINSTALLER));
}

void InstallTest::expectRegisteredWithShortcut(const std::string& linkAt)
{
    EXPECT_EQ(readUninstallValue("UninstallString"), "\"" + pagesFolder() + "\\Kestrun.exe\"");
    EXPECT_EQ(readUninstallValue("DisplayName"), std::string("The Tolm Language"));
    const std::optional<ShortcutInfo> link = readShortcut(linkAt.empty() ? linkPath() : linkAt);
    ASSERT_TRUE(link.has_value());
    EXPECT_EQ(link->target, pagesFolder() + "\\" + mainNames().front() + ".htm");
    EXPECT_EQ(link->description, "The Tolm Language");
}

void InstallTest::expectNothingLeft()
{
    EXPECT_FALSE(folderExists(pagesFolder()));
    EXPECT_FALSE(folderExists(iconFolder()));
    EXPECT_EQ(listFiles(programs), std::set<std::string>());
    EXPECT_EQ(listFiles(desktop), std::set<std::string>());
    EXPECT_FALSE(uninstallKeyExists());
}

void InstallTest::writeEarlierInstall(bool variant, bool booksBytes)
{
    const std::vector<std::string> main = mainNames();
    makeFolder(pagesFolder());
    makeFolder(iconFolder());
    for (size_t i = 0; i < main.size(); i++)
        if (!variant || i < 70 || i > 72)
            writeFile(pagesFolder() + "\\" + main[i] + ".htm", booksBytes ? bookPage(main[i]) : "earlier " + main[i]);
    if (variant)
        for (const std::string& name : extraNames())
            writeFile(pagesFolder() + "\\" + name, booksBytes ? bookExtraFile(name) : "earlier extra " + name);
    writeFile(pagesFolder() + "\\Kestrun.exe", "earlier uninstaller");
    writeFile(pagesFolder() + "\\notes.txt", "the user's own file");
    writeFile(linkPath(), "earlier shortcut");
    writeUninstallValues({{"UninstallString", textValue("\"" + pagesFolder() + "\\Kestrun.exe\"")},
                          {"DisplayName", textValue("The Tolm Language")},
                          {"Comments", textValue("a value the install does not write")}});
}
