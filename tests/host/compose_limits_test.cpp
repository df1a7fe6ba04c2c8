// composeDestination swept across its buffer limits: chosen folders of 258 to
// 261 characters against a 260-character path buffer, and typed chains of 78
// to 81 characters against an 80-character chain buffer, in several shapes.
// The buffers are exact-size heap blocks, so AddressSanitizer stops the run at
// the first byte read or written past either of them; every result must be a
// destination the install can use.
#include "compose_destination.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "wide_text.h"

namespace {

constexpr int pathSize = 260;
constexpr int chainSize = 80;
const std::string chosenRoot = "C:\\";

// The fake disk: the chosen folder and everything above it exist; below it, a
// component whose name starts with 'E' is a folder, one starting with 'F' is a
// file, and anything else is absent.
std::string chosenFolder;
int errorsShown = 0;

PathKind queryFakePath(const wchar_t* path)
{
    const std::string text = narrow(path);
    if (chosenFolder.compare(0, text.size(), text) == 0 &&
        (text.size() == chosenFolder.size() || chosenFolder[text.size()] == '\\'))
        return PathKind::folder;
    if (text.compare(0, chosenFolder.size(), chosenFolder) != 0)
        return PathKind::absent;
    const size_t lastSeparator = text.find_last_of('\\');
    const char first = text[lastSeparator + 1];
    if (first == 'E')
        return PathKind::folder;
    return first == 'F' ? PathKind::other : PathKind::absent;
}

void countError(const char*)
{
    errorsShown++;
}

// A chosen folder of exactly length characters: C:\ then components of at
// most 200 characters, never ending in a backslash.
std::string folderOfLength(size_t length)
{
    std::string folder = chosenRoot;
    while (folder.size() < length) {
        const size_t room = length - folder.size();
        if (folder.back() == '\\' || room == 1) {
            folder += 'c';   // one more character of the last component
            continue;
        }
        folder += '\\';
        folder += std::string(room - 1 < 200 ? room - 1 : 200, 'c');
    }
    return folder;
}

// Typed chains of exactly length characters.
std::string oneComponent(size_t length) { return std::string(length, 'n'); }

std::string shortComponents(size_t length)
{
    std::string chain;
    while (chain.size() < length)
        chain += chain.size() % 4 == 3 ? '\\' : 'n';
    return chain;
}

std::string existingThenNew(size_t length)
{
    std::string chain = "E1\\E2\\E3\\";
    chain += std::string(length - chain.size(), 'n');
    return chain;
}

std::string backslashRuns(size_t length)
{
    std::string chain = "\\\\\\E1\\\\\\";
    while (chain.size() < length)
        chain += chain.size() % 7 == 0 ? "\\\\" : "n";
    chain.resize(length);
    return chain;
}

std::string fileInTheMiddle(size_t length)
{
    std::string chain = "E1\\Fx\\";
    chain += std::string(length - chain.size(), 'n');
    return chain;
}

std::string drivePrefixed(size_t length)
{
    std::string chain = "Q:\\";
    while (chain.size() < length)
        chain += chain.size() % 9 == 8 ? '\\' : 'd';
    return chain;
}

struct ChainShape {
    const char* label;
    std::string (*make)(size_t length);
};

const ChainShape chainShapes[] = {
    {"one long component", oneComponent},
    {"many short components", shortComponents},
    {"existing folders then a new one", existingThenNew},
    {"runs of backslashes", backslashRuns},
    {"a file name in the middle", fileInTheMiddle},
    {"drive root prefix", drivePrefixed},
};

// Copies text into an exact-size heap buffer as a fixed-size field would hold
// it: cut to fit, and without a terminator when it fills the buffer exactly.
std::unique_ptr<wchar_t[]> fixedBuffer(const std::string& ascii, int size)
{
    const std::wstring text = widen(ascii);
    std::unique_ptr<wchar_t[]> buffer(new wchar_t[size]);
    const size_t copied = text.size() < size_t(size) ? text.size() : size_t(size);
    std::wmemcpy(buffer.get(), text.data(), copied);
    if (copied < size_t(size))
        buffer[copied] = L'\0';
    return buffer;
}

bool isDriveRoot(const std::string& path)
{
    return path.size() == 3 && path[1] == ':' && path[2] == '\\';
}

// The split must be usable as it stands: a terminated path within its buffer,
// an existing part the fake disk confirms, and a normalised chain that is
// exactly the rest of the path.
void expectUsableSplit(const wchar_t* path, const wchar_t* newFolder, int existing)
{
    ASSERT_NE(std::wmemchr(path, L'\0', pathSize), nullptr) << "path left unterminated";
    ASSERT_NE(std::wmemchr(newFolder, L'\0', chainSize), nullptr) << "chain left unterminated";
    const std::string whole = narrow(path);
    const std::string chain = narrow(newFolder);
    ASSERT_GE(existing, 0);
    ASSERT_LE(size_t(existing), whole.size());

    const std::string existingPart = whole.substr(0, existing);
    if (!existingPart.empty() && !isDriveRoot(existingPart))
        EXPECT_EQ(queryFakePath(widen(existingPart).c_str()), PathKind::folder) << existingPart;

    std::string rest = whole.substr(existing);
    if (!rest.empty() && rest[0] == '\\' && existing > 0 && whole[existing - 1] != '\\')
        rest.erase(0, 1);
    EXPECT_EQ(rest, chain);
    if (!chain.empty()) {
        EXPECT_NE(chain.front(), '\\');
        EXPECT_NE(chain.back(), '\\');
        EXPECT_EQ(chain.find("\\\\"), std::string::npos);
        // The first component of the chain is one the disk does not have.
        const std::string first = existingPart + (existingPart.back() == '\\' ? "" : "\\") +
                                  chain.substr(0, chain.find('\\'));
        EXPECT_EQ(queryFakePath(widen(first).c_str()), PathKind::absent) << first;
    }
}

TEST(ComposeLimits, everyLengthAroundBothLimitsGivesAUsableSplit)
{
    const size_t chosenLengths[] = {200, 250, 258, 259, 260, 261};
    const size_t chainLengths[] = {78, 79, 80, 81};
    for (const size_t chosenLength : chosenLengths) {
        for (const ChainShape& shape : chainShapes) {
            for (const size_t chainLength : chainLengths) {
                SCOPED_TRACE(std::string(shape.label) + ", chosen " + std::to_string(chosenLength) +
                             ", typed " + std::to_string(chainLength));
                const std::string chosen = folderOfLength(chosenLength);
                ASSERT_EQ(chosen.size(), chosenLength);
                // What the buffer holds is what the disk has: a longer name was cut.
                chosenFolder = chosen.substr(0, chosenLength < size_t(pathSize) ? chosenLength : pathSize - 1);
                auto path = fixedBuffer(chosen, pathSize);
                auto newFolder = fixedBuffer(shape.make(chainLength), chainSize);
                errorsShown = 0;
                const int existing = composeDestination(path.get(), pathSize, newFolder.get(), chainSize,
                                                        queryFakePath, countError);
                expectUsableSplit(path.get(), newFolder.get(), existing);
                EXPECT_LE(errorsShown, 1);
            }
        }
    }
}

// With room to spare, nothing of a typed chain is lost: up to its 79 characters
// (the buffer's terminator included) reach the destination.
TEST(ComposeLimits, aChainThatFitsIsKeptWhole)
{
    const size_t chainLengths[] = {1, 78, 79};
    for (const size_t chainLength : chainLengths) {
        SCOPED_TRACE(chainLength);
        chosenFolder = folderOfLength(259 - 1 - chainLength);
        auto path = fixedBuffer(chosenFolder, pathSize);
        auto newFolder = fixedBuffer(shortComponents(chainLength), chainSize);
        const std::string typed = narrow(newFolder.get());
        const int existing = composeDestination(path.get(), pathSize, newFolder.get(), chainSize,
                                                queryFakePath, countError);
        EXPECT_EQ(existing, int(chosenFolder.size()));
        EXPECT_EQ(narrow(path.get()), chosenFolder + "\\" + typed);
        EXPECT_EQ(narrow(newFolder.get()), typed);
    }
}

} // namespace
