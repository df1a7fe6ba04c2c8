// extractPayloadEntry on hand-made entries (extract_entries.rc).
#include <gtest/gtest.h>

#include <windows.h>

#include <string.h>

#include "extract.h"
#include "install_fixture.h"
#include "settings.h"

namespace {

HRSRC findEntry(int number)
{
    return FindResourceA(nullptr, MAKEINTRESOURCEA(number), MAKEINTRESOURCEA(number));
}

std::string targetIn(const std::string& folder)
{
    const std::string target = folder + "\\out.bin";
    copyPath(installSettings.pagesDestination.path, pathCapacity, target);
    return target;
}

TEST(ExtractPayloadEntry, storedEntriesAndBoundsChecks)
{
    struct ExtractCase {
        const char* label;
        int entry;
        int result;
        const char* written;   // the file's bytes afterwards; null: no file is created
    };
    const std::vector<ExtractCase> cases = {
        {"size 0 gives an empty file", 5001, 0, ""},
        {"name and extra field are skipped", 5002, 0, "Hello, payload!"},
        {"a method with low byte 0 is stored", 5003, 0, "method high byte"},
        {"header shorter than 30 bytes", 5004, 1, nullptr},
        {"name running past the end", 5005, 1, nullptr},
        {"extra field running past the end", 5006, 1, nullptr},
        {"stored size running past the end", 5007, 1, nullptr},
        {"DEFLATE data ending flush with the entry", 5009, 0, "deflated text, deflated text, deflated text!"},
    };
    for (const ExtractCase& test : cases) {
        SCOPED_TRACE(test.label);
        const std::string folder = freshTestFolder("extract");
        const std::string target = targetIn(folder);
        HRSRC entry = findEntry(test.entry);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(extractPayloadEntry(entry), test.result);
        if (test.written)
            EXPECT_EQ(readFile(target), std::string(test.written));
        else
            EXPECT_FALSE(fileExists(target));
    }
    removeTree("C:\\tolm-unit\\extract");
}

// Bytes that do not match the header's CRC-32 or size are never reported as installed.
TEST(ExtractPayloadEntry, writtenBytesMustMatchTheHeader)
{
    struct IntegrityCase {
        const char* label;
        int entry;
    };
    const std::vector<IntegrityCase> cases = {
        {"stored, wrong CRC-32", 5008},
        {"DEFLATE, wrong CRC-32", 5010},
        {"DEFLATE, wrong uncompressed size", 5011},
        {"DEFLATE, stream cut short", 5012},
    };
    for (const IntegrityCase& test : cases) {
        SCOPED_TRACE(test.label);
        const std::string folder = freshTestFolder("extract-integrity");
        targetIn(folder);
        EXPECT_EQ(extractPayloadEntry(findEntry(test.entry)), 1);
    }
    removeTree("C:\\tolm-unit\\extract-integrity");
}

// The install sets every book file aside first, so whatever has the name
// now is not the book's: it is never written through, and keeps its bytes.
TEST(ExtractPayloadEntry, anExistingFileIsNeverWrittenThrough)
{
    const std::string folder = freshTestFolder("extract-replace");
    const std::string target = targetIn(folder);
    writeFile(target, "older and much longer contents than the entry has");
    EXPECT_EQ(extractPayloadEntry(findEntry(5002)), 1);
    EXPECT_EQ(readFile(target), std::string("older and much longer contents than the entry has"));
    removeTree(folder);
}

TEST(ExtractPayloadEntry, targetHeldOpenElsewhereFailsAndStaysIntact)
{
    const std::string folder = freshTestFolder("extract-locked");
    const std::string target = targetIn(folder);
    writeFile(target, "held");
    HANDLE holder = CreateFileA(target.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_EQ(extractPayloadEntry(findEntry(5002)), 1);
    CloseHandle(holder);
    EXPECT_EQ(readFile(target), std::string("held"));
    removeTree(folder);
}

} // namespace
