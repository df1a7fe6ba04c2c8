// The installer's command line, natively under AddressSanitizer and UBSan:
// Windows quoting, each option's value and limits, and the argument a bad
// command line is reported by.
#include "command_line.h"

#include <gtest/gtest.h>

#include <string>

#include "arguments.h"
#include "wide_text.h"

namespace {

struct Parsed {
    bool understood;
    InstallOptions options;
};

Parsed parse(const std::string& arguments)
{
    const std::wstring line = L"\"C:\\Users\\me\\Downloads\\TolmSetup.exe\" " + widen(arguments);
    Parsed parsed;
    parsed.understood = parseInstallOptions(line.c_str(), parsed.options);
    return parsed;
}

struct GoodCase {
    const char* label;
    std::string arguments;
    bool silent;
    bool usage;
    int variant;
    std::string pages;   // "-": not given
    std::string icons;
    std::string log;
    bool forget = false;
};

const GoodCase goodCases[] = {
    {"no arguments", "", false, false, -1, "-", "-", "-"},
    {"silent, any case", "/s", true, false, -1, "-", "-", "-"},
    {"usage", "/?", false, true, -1, "-", "-", "-"},
    {"forget, any case", "/Forget /S", true, false, -1, "-", "-", "-", true},
    {"everything", "/S /LOG=C:\\install.log /VARIANT=0 /ICONS=Books\\Tolm /D=C:\\Program Files\\Corvalin", true,
     false, 0, "C:\\Program Files\\Corvalin", "Books\\Tolm", "C:\\install.log"},
    {"options in any case and order", "/variant=1 /log=x.log /s", true, false, 1, "-", "-", "x.log"},
    {"/D= takes the rest of the line, spaces and all", "/D=C:\\My Books\\Tolm  /S", false, false, -1,
     "C:\\My Books\\Tolm  /S", "-", "-"},
    {"/D= drops blanks at the end", "/D=C:\\Books \t ", false, false, -1, "C:\\Books", "-", "-"},
    {"/D= drops quotes around the whole of it", "/D=\"C:\\My Books\"", false, false, -1, "C:\\My Books", "-", "-"},
    {"an argument quoted whole", "\"/D=C:\\My Books\"", false, false, -1, "C:\\My Books", "-", "-"},
    {"quoted values", "\"/ICONS=Tolm Books\" \"/LOG=C:\\a b\\log.txt\"", false, false, -1, "-", "Tolm Books",
     "C:\\a b\\log.txt"},
    {"a quote inside a quoted part", "\"/ICONS=say \"\"hi\"\"\"", false, false, -1, "-", "say \"hi\"", "-"},
    {"backslashes before a quote", "/ICONS=a\\\\\"b c\"", false, false, -1, "-", "a\\b c", "-"},
    {"letters outside any one code page", "/ICONS=Ярлыки\\Książki /D=C:\\Program Files\\Łódź 東京", false, false, -1,
     "C:\\Program Files\\Łódź 東京", "Ярлыки\\Książki", "-"},
    {"a chain of 79 characters", "/ICONS=" + std::string(79, 'c'), false, false, -1, "-", std::string(79, 'c'), "-"},
    {"a folder of 259 characters", "/D=C:\\" + std::string(256, 'p'), false, false, -1,
     "C:\\" + std::string(256, 'p'), "-", "-"},
};

std::string given(bool isGiven, const wchar_t* text)
{
    return isGiven ? narrow(text) : "-";
}

TEST(CommandLine, readsEveryOptionAsWindowsQuotesIt)
{
    for (const GoodCase& c : goodCases) {
        SCOPED_TRACE(c.label);
        const Parsed parsed = parse(c.arguments);
        ASSERT_TRUE(parsed.understood) << parsed.options.problem << ": " << narrow(parsed.options.badArgument);
        EXPECT_EQ(parsed.options.silent, c.silent);
        EXPECT_EQ(parsed.options.usage, c.usage);
        EXPECT_EQ(parsed.options.variant, c.variant);
        EXPECT_EQ(given(parsed.options.pagesGiven, parsed.options.pages), c.pages);
        EXPECT_EQ(given(parsed.options.iconsGiven, parsed.options.icons), c.icons);
        EXPECT_EQ(given(parsed.options.logGiven, parsed.options.log), c.log);
        EXPECT_EQ(parsed.options.forget, c.forget);
    }
}

struct BadCase {
    const char* label;
    std::string arguments;
    std::string badArgument;   // as the message names it
    std::string problem;
    bool silent;
};

const BadCase badCases[] = {
    {"an unknown switch", "/S /Q", "/Q", "unknown option", true},
    {"a stray word", "install", "install", "unknown option", false},
    {"/S with more after it", "/Silent", "/Silent", "unknown option", false},
    {"/FORGET with more after it", "/FORGETALL", "/FORGETALL", "unknown option", false},
    {"an empty /D=", "/S /D=", "/D=", "needs a value", true},
    {"a /D= of blanks", "/D=   ", "/D=", "needs a value", false},
    {"a chain of 80 characters", "/ICONS=" + std::string(80, 'c'), "/ICONS=" + std::string(72, 'c'),
     "is longer than 79 characters", false},
    {"a folder of 260 characters", "/D=C:\\" + std::string(257, 'p'), "/D=C:\\" + std::string(73, 'p'),
     "is longer than its buffer", false},
    {"a log path too long", "/LOG=" + std::string(300, 'l'), "/LOG=" + std::string(74, 'l'),
     "is longer than its buffer", false},
    {"/VARIANT=2", "/VARIANT=2", "/VARIANT=2", "must be 0 or 1", false},
    {"/VARIANT=", "/VARIANT=", "/VARIANT=", "must be 0 or 1", false},
    {"/VARIANT=01", "/VARIANT=01", "/VARIANT=01", "must be 0 or 1", false},
    {"an option given twice", "/ICONS=a /ICONS=b", "/ICONS=b", "is given twice", false},
    {"the first problem is the one named, /S after it still counts", "/X /Y /S", "/X", "unknown option", true},
};

TEST(CommandLine, namesTheFirstBadArgument)
{
    for (const BadCase& c : badCases) {
        SCOPED_TRACE(c.label);
        const Parsed parsed = parse(c.arguments);
        EXPECT_FALSE(parsed.understood);
        ASSERT_NE(parsed.options.problem, nullptr);
        EXPECT_EQ(std::string(parsed.options.problem), c.problem);
        EXPECT_EQ(narrow(parsed.options.badArgument), c.badArgument);
        EXPECT_EQ(parsed.options.silent, c.silent);
    }
}

// The program name ends at its closing quote or at the first blank, and
// whatever it holds is never read as an option.
TEST(CommandLine, theProgramNameIsNeverAnOption)
{
    const std::wstring names[] = {L"TolmSetup.exe", L"\"C:\\a b\\/S.exe\"", L"C:\\/D=x\\TolmSetup.exe",
                                  L"\"C:\\Program Files\\TolmSetup.exe\""};
    for (const std::wstring& name : names) {
        InstallOptions options;
        EXPECT_TRUE(parseInstallOptions((name + L" /S").c_str(), options)) << narrow(name);
        EXPECT_TRUE(options.silent);
        EXPECT_FALSE(options.pagesGiven);
    }
}

} // namespace
