// bookpack, run as a program on generated books: every archive round-trips
// through zlib and unzip, output is reproducible, bad input fails cleanly with
// one line naming the culprit, and the generated manifest compiles into the
// exact name lists.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int mainCount = 76;
constexpr int extraCount = 11;
constexpr int replacedIndex = 70;   // the 71st main name
constexpr size_t severalMegabytes = 3 * 1024 * 1024 + 17;

// ---- files and processes

std::string makeTempDir()
{
    char pattern[] = "/tmp/bookpack_test.XXXXXX";
    const char* dir = mkdtemp(pattern);
    EXPECT_NE(dir, nullptr);
    return dir ? dir : "";
}

void removeTree(const std::string& dir)
{
    if (!dir.empty() && dir.rfind("/tmp/bookpack_test.", 0) == 0)
        std::system(("rm -rf '" + dir + "'").c_str());
}

bool exists(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

Bytes readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string readText(const std::string& path)
{
    const Bytes bytes = readBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

void writeBytes(const std::string& path, const Bytes& data)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    ASSERT_TRUE(out.good()) << path;
}

void writeText(const std::string& path, const std::string& text)
{
    writeBytes(path, Bytes(text.begin(), text.end()));
}

struct RunResult {
    int exitCode;
    std::string output;   // stdout
    std::string errors;   // stderr
};

// Runs a shell command line; paths in these tests never hold quotes.
RunResult runCommand(const std::string& command, const std::string& scratchDir)
{
    const std::string out = scratchDir + "/stdout.txt";
    const std::string err = scratchDir + "/stderr.txt";
    const int status = std::system((command + " >'" + out + "' 2>'" + err + "'").c_str());
    RunResult result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, readText(out), readText(err)};
    unlink(out.c_str());
    unlink(err.c_str());
    return result;
}

RunResult runBookpack(const std::string& arguments, const std::string& scratchDir)
{
    return runCommand(std::string("'") + BOOKPACK_PATH + "' " + arguments, scratchDir);
}

uint32_t crcOf(const Bytes& data)
{
    return static_cast<uint32_t>(crc32_z(crc32(0, nullptr, 0), data.data(), data.size()));
}

uint16_t get16(const Bytes& b, size_t at)
{
    return static_cast<uint16_t>(b.at(at) | (b.at(at + 1) << 8));
}

uint32_t get32(const Bytes& b, size_t at)
{
    return get16(b, at) | (static_cast<uint32_t>(get16(b, at + 2)) << 16);
}

bool inflateRaw(const uint8_t* data, size_t size, Bytes& out)
{
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
        return false;
    stream.next_in = const_cast<Bytef*>(data);
    stream.avail_in = static_cast<uInt>(size);
    uint8_t buffer[65536];
    int status;
    do {
        stream.next_out = buffer;
        stream.avail_out = sizeof buffer;
        status = inflate(&stream, Z_NO_FLUSH);
        out.insert(out.end(), buffer, buffer + (sizeof buffer - stream.avail_out));
    } while (status == Z_OK);
    const bool consumedAll = stream.avail_in == 0;
    inflateEnd(&stream);
    return status == Z_STREAM_END && consumedAll;
}

// ---- the fixture book

// Deterministic bytes that do not compress.
Bytes noise(size_t size, uint32_t seed)
{
    Bytes data(size);
    for (uint8_t& byte : data) {
        seed = seed * 1664525u + 1013904223u;
        byte = static_cast<uint8_t>(seed >> 24);
    }
    return data;
}

// Text with long repeats and scattered noise: compresses well, but not trivially.
Bytes largeText(size_t size)
{
    Bytes data;
    const std::string line = "<p>Tolm binds names with let; a binding is immutable unless marked var.</p>\n";
    const Bytes scatter = noise(size / 64 + 1, 7);
    for (size_t i = 0; data.size() < size; ++i) {
        data.insert(data.end(), line.begin(), line.end());
        data.push_back(scatter[i % scatter.size()]);
    }
    data.resize(size);
    return data;
}

struct FixtureBook {
    std::string dir;
    std::vector<std::string> mainNames;
    std::vector<std::string> extraNames;
    std::map<int, Bytes> sources;   // entry number -> the bytes it must carry
    std::string uninstaller;
};

std::string manifestText(const FixtureBook& book)
{
    std::string text = "\xEF\xBB\xBF# fixture book, saved with a byte order mark\n\n[main]\n";
    for (const std::string& name : book.mainNames)
        text += name + "\n";
    text += "  # the variant's files\n[extra]\r\n";   // a CRLF line and an indented comment
    for (const std::string& name : book.extraNames)
        text += name + "\n";
    return text;
}

// Names cover digits first (a digit after "\0" in one literal would be an
// octal escape), '-', '_', upper case and the full 9 characters.
FixtureBook makeFixtureBook(const std::string& dir)
{
    FixtureBook book;
    book.dir = dir + "/book";
    mkdir(book.dir.c_str(), 0755);
    mkdir((book.dir + "/extra").c_str(), 0755);
    for (int i = 0; i < mainCount; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, i % 3 == 0 ? "%dpage" : (i % 3 == 1 ? "Ch_%02d-x" : "section%02d"), i);
        book.mainNames.push_back(name);
    }
    book.extraNames = {"cv-a.htm", book.mainNames[replacedIndex] + ".htm", "cv_c.htm"};
    for (int i = 0; i < 8; ++i)
        book.extraNames.push_back("fig" + std::to_string(i) + ".gif");

    for (int i = 0; i < mainCount; ++i) {
        Bytes content;
        if (i == 1)
            content = {};                                  // empty
        else if (i == 2)
            content = noise(300000, 2);                    // binary, incompressible
        else if (i == 3)
            content = largeText(severalMegabytes);         // several MB
        else if (i == 4)
            for (int b = 0; b < 256; ++b) content.push_back(static_cast<uint8_t>(b));
        else {
            const std::string text = "<html><title>Page " + std::to_string(i) + "</title><p>Text of page " +
                                     std::to_string(i) + ".</p></html>\n";
            content.assign(text.begin(), text.end());
        }
        writeBytes(book.dir + "/" + book.mainNames[i] + ".htm", content);
        book.sources[901 + i] = content;
    }
    for (int i = 0; i < extraCount; ++i) {
        const Bytes content = i < 3 ? Bytes(100 + i, static_cast<uint8_t>('a' + i)) : noise(1000 + 37 * i, 100 + i);
        writeBytes(book.dir + "/extra/" + book.extraNames[i], content);
        book.sources[1020 + i] = content;
    }
    writeText(book.dir + "/manifest.txt", manifestText(book));
    book.uninstaller = dir + "/Kestrun-build.exe";
    book.sources[900] = noise(40000, 900);
    writeBytes(book.uninstaller, book.sources[900]);
    return book;
}

std::string storedNameOf(const FixtureBook& book, int entry)
{
    if (entry == 900)
        return "Kestrun.exe";
    if (entry >= 1020)
        return book.extraNames[entry - 1020];
    return book.mainNames[entry - 901] + ".htm";
}

std::string packArguments(const FixtureBook& book, const std::string& outDir, const std::string& options = "")
{
    return "pack " + options + " '" + book.dir + "' '" + book.uninstaller + "' '" + outDir + "'";
}

// Checks one archive field by field, as ZIP readers and the installer read it.
void expectArchiveCarries(const Bytes& zip, const std::string& name, const Bytes& source, uint16_t method)
{
    ASSERT_GE(zip.size(), 30u + name.size() + 46 + name.size() + 22);
    EXPECT_EQ(get32(zip, 0), 0x04034B50u);
    EXPECT_EQ(get16(zip, 4), 20);
    EXPECT_EQ(get16(zip, 6), 0);
    EXPECT_EQ(get16(zip, 8), method);
    const uint32_t crc = get32(zip, 14);
    const uint32_t packedSize = get32(zip, 18);
    EXPECT_EQ(crc, crcOf(source));
    EXPECT_EQ(get32(zip, 22), source.size());
    ASSERT_EQ(get16(zip, 26), name.size());
    EXPECT_EQ(get16(zip, 28), 0) << "no extra field";
    EXPECT_EQ(std::string(zip.begin() + 30, zip.begin() + 30 + name.size()), name);

    const size_t dataAt = 30 + name.size();
    ASSERT_LE(dataAt + packedSize, zip.size());
    Bytes unpacked;
    if (method == 0) {
        EXPECT_EQ(packedSize, source.size());
        unpacked.assign(zip.begin() + dataAt, zip.begin() + dataAt + packedSize);
    } else {
        EXPECT_TRUE(inflateRaw(zip.data() + dataAt, packedSize, unpacked)) << name;
    }
    EXPECT_TRUE(unpacked == source) << name << ": " << unpacked.size() << " bytes against " << source.size();
}

std::vector<int> allEntries()
{
    std::vector<int> entries{900};
    for (int i = 0; i < mainCount; ++i)
        entries.push_back(901 + i);
    for (int i = 0; i < extraCount; ++i)
        entries.push_back(1020 + i);
    return entries;
}

// ---- tests

TEST(Bookpack, everyEntryRoundTripsThroughZlibAndUnzip)
{
    struct Mode {
        const char* options;
        uint16_t method;
    };
    const Mode modes[] = {{"", 8}, {"--store", 0}};
    const std::string dir = makeTempDir();
    const FixtureBook book = makeFixtureBook(dir);
    for (const Mode& mode : modes) {
        SCOPED_TRACE(mode.method == 0 ? "stored" : "deflated");
        const std::string out = dir + "/out" + std::to_string(mode.method);
        const RunResult run = runBookpack(packArguments(book, out, mode.options), dir);
        ASSERT_EQ(run.exitCode, 0) << run.errors;
        EXPECT_EQ(run.errors, "");

        std::string expectedScript;
        for (int entry : allEntries()) {
            SCOPED_TRACE("entry " + std::to_string(entry));
            const std::string zipPath = out + "/" + std::to_string(entry) + ".zip";
            const std::string name = storedNameOf(book, entry);
            const Bytes& source = book.sources.at(entry);
            const Bytes zip = readBytes(zipPath);
            expectArchiveCarries(zip, name, source, mode.method);

            const RunResult test = runCommand("unzip -tq '" + zipPath + "'", dir);
            EXPECT_EQ(test.exitCode, 0) << test.output << test.errors;
            const std::string extracted = dir + "/unzipped.bin";
            const RunResult pipe = runCommand("unzip -p '" + zipPath + "' '" + name + "' >'" + extracted + "'; true", dir);
            EXPECT_TRUE(readBytes(extracted) == source) << "unzip -p gives other bytes";

            const std::string number = std::to_string(entry);
            expectedScript += number + " " + number + " \"" + zipPath + "\"\n";
        }
        EXPECT_EQ(readText(out + "/payload.rc"), expectedScript);
        if (mode.method == 8) {
            const size_t packed = get32(readBytes(out + "/904.zip"), 18);
            EXPECT_LT(packed, severalMegabytes / 10) << "the large text page should compress well";
        }
    }
    removeTree(dir);
}

TEST(Bookpack, twoRunsGiveIdenticalBytes)
{
    const std::string dir = makeTempDir();
    const FixtureBook book = makeFixtureBook(dir);
    ASSERT_EQ(runBookpack(packArguments(book, dir + "/a"), dir).exitCode, 0);
    ASSERT_EQ(runBookpack(packArguments(book, dir + "/b"), dir).exitCode, 0);
    ASSERT_EQ(runBookpack("manifest '" + book.dir + "' '" + dir + "/a.cpp'", dir).exitCode, 0);
    ASSERT_EQ(runBookpack("manifest '" + book.dir + "' '" + dir + "/b.cpp'", dir).exitCode, 0);
    for (int entry : allEntries()) {
        const std::string file = "/" + std::to_string(entry) + ".zip";
        const Bytes first = readBytes(dir + "/a" + file);
        EXPECT_FALSE(first.empty());
        EXPECT_TRUE(first == readBytes(dir + "/b" + file)) << file;
    }
    EXPECT_EQ(readText(dir + "/a.cpp"), readText(dir + "/b.cpp"));
    removeTree(dir);
}

TEST(Bookpack, omitAndRawShapeTestPayloads)
{
    const std::string dir = makeTempDir();
    const FixtureBook book = makeFixtureBook(dir);
    const Bytes damaged = {'P', 'K', 3, 4, 20, 0, 0, 0, 8, 0, 0xFF, 0xFF};
    writeBytes(dir + "/damaged.bin", damaged);
    const std::string out = dir + "/out";
    const RunResult run =
        runBookpack(packArguments(book, out, "--omit 976 --raw 901=" + dir + "/damaged.bin --omit 1030"), dir);
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_FALSE(exists(out + "/976.zip"));
    EXPECT_FALSE(exists(out + "/1030.zip"));
    EXPECT_TRUE(readBytes(out + "/901.zip") == damaged);
    const std::string script = readText(out + "/payload.rc");
    EXPECT_EQ(script.find("976 976"), std::string::npos);
    EXPECT_EQ(script.find("1030 1030"), std::string::npos);
    EXPECT_NE(script.find("901 901 \"" + out + "/901.zip\"\n"), std::string::npos);
    EXPECT_EQ(std::count(script.begin(), script.end(), '\n'), 1 + mainCount + extraCount - 2);
    removeTree(dir);
}

struct BadInput {
    const char* label;
    std::function<void(FixtureBook&)> damage;
    std::string extraOptions;   // for pack
    std::string culprit;        // must appear in the one error line
    bool affectsManifest;       // `bookpack manifest` must fail too
};

using Damage = std::function<void(FixtureBook&)>;

Damage renameMain(size_t index, std::string name)
{
    return [=](FixtureBook& b) { b.mainNames[index] = name; writeText(b.dir + "/manifest.txt", manifestText(b)); };
}

Damage renameExtra(size_t index, std::string name)
{
    return [=](FixtureBook& b) { b.extraNames[index] = name; writeText(b.dir + "/manifest.txt", manifestText(b)); };
}

Damage removeFile(std::string relativePath)
{
    return [=](FixtureBook& b) { unlink((b.dir + "/" + relativePath).c_str()); };
}

Damage rewriteManifest(std::function<std::string(const FixtureBook&)> text)
{
    return [=](FixtureBook& b) { writeText(b.dir + "/manifest.txt", text(b)); };
}

const Damage noDamage = [](FixtureBook&) {};

std::vector<BadInput> badInputs()
{
    const auto listsResized = [](int mainDelta, int extraDelta) {
        return rewriteManifest([=](const FixtureBook& b) {
            FixtureBook changed = b;
            changed.mainNames.resize(b.mainNames.size() + mainDelta, "spare");
            changed.extraNames.resize(b.extraNames.size() + extraDelta, "more.gif");
            return manifestText(changed);
        });
    };
    return {
        {"missing main page", removeFile("section05.htm"), "", "section05.htm", true},
        {"missing extra file", removeFile("extra/fig3.gif"), "", "extra/fig3.gif", true},
        {"main page is a folder",
         [](FixtureBook& b) { unlink((b.dir + "/section05.htm").c_str()); mkdir((b.dir + "/section05.htm").c_str(), 0755); },
         "", "section05.htm", true},
        {"main name too long", renameMain(9, "abcdefghij"), "", "abcdefghij", true},
        {"main name with extension", renameMain(9, "page.htm"), "", "page.htm", true},
        {"main name with a slash", renameMain(9, "../up"), "", "../up", true},
        {"main name with a space", renameMain(9, "two words"), "", "two words", true},
        {"device name", renameMain(9, "con"), "", "'con'", true},
        {"extra name too long", renameExtra(5, "abcdefghij.gif"), "", "abcdefghij.gif", true},
        {"extra name without extension", renameExtra(5, "figure"), "", "figure", true},
        {"too few main names", listsResized(-1, 0), "", "75", true},
        {"too many main names", listsResized(1, 0), "", "spare", true},
        {"too few extra names", listsResized(0, -1), "", "10", true},
        {"too many extra names", listsResized(0, 1), "", "more.gif", true},
        {"second extra is not the 71st page", renameExtra(1, "other.htm"), "", "other.htm", true},
        {"duplicate main name ignoring case", renameMain(20, "ch_01-X"), "", "ch_01-X", true},
        {"extra name repeats a main page", renameExtra(2, "3page.HTM"), "", "3page.HTM", true},
        {"extra name repeats another extra", renameExtra(10, "Fig0.gif"), "", "Fig0.gif", true},
        {"extra name takes the uninstaller's", renameExtra(0, "kestrun.exe"), "", "kestrun.exe", true},
        {"unknown section", rewriteManifest([](const FixtureBook& b) { return manifestText(b) + "[images]\n"; }), "",
         "[images]", true},
        {"name before any section", rewriteManifest([](const FixtureBook& b) { return "stray\n" + manifestText(b); }),
         "", "stray", true},
        {"missing manifest", removeFile("manifest.txt"), "", "manifest.txt", true},
        {"missing uninstaller", [](FixtureBook& b) { unlink(b.uninstaller.c_str()); }, "", "Kestrun-build.exe", false},
        {"unknown entry to omit", noDamage, "--omit 977", "977", false},
        {"raw entry file missing", noDamage, "--raw 1025=/nonexistent/raw.bin", "/nonexistent/raw.bin", false},
        {"raw entry without a file", noDamage, "--raw 1025", "1025", false},
    };
}

TEST(Bookpack, badInputFailsWithOneLineAndNoOutput)
{
    for (const BadInput& bad : badInputs()) {
        SCOPED_TRACE(bad.label);
        const std::string dir = makeTempDir();
        FixtureBook book = makeFixtureBook(dir);
        bad.damage(book);
        const std::string out = dir + "/out";
        const RunResult pack = runBookpack(packArguments(book, out, bad.extraOptions), dir);
        EXPECT_NE(pack.exitCode, 0);
        EXPECT_NE(pack.errors.find(bad.culprit), std::string::npos) << pack.errors;
        if (bad.extraOptions.empty())
            EXPECT_EQ(std::count(pack.errors.begin(), pack.errors.end(), '\n'), 1) << pack.errors;
        EXPECT_FALSE(exists(out)) << "pack left output behind";
        if (bad.affectsManifest) {
            const std::string source = dir + "/manifest.cpp";
            const RunResult manifest = runBookpack("manifest '" + book.dir + "' '" + source + "'", dir);
            EXPECT_NE(manifest.exitCode, 0);
            EXPECT_EQ(manifest.errors, pack.errors);
            EXPECT_FALSE(exists(source));
        }
        removeTree(dir);
    }
}

TEST(Bookpack, failedPackLeavesAnEarlierPayloadUntouched)
{
    const std::string dir = makeTempDir();
    FixtureBook book = makeFixtureBook(dir);
    const std::string out = dir + "/out";
    ASSERT_EQ(runBookpack(packArguments(book, out), dir).exitCode, 0);
    const Bytes script = readBytes(out + "/payload.rc");
    const Bytes first = readBytes(out + "/901.zip");
    writeText(book.dir + "/" + book.mainNames[0] + ".htm", "changed");
    unlink((book.dir + "/extra/fig7.gif").c_str());   // the last entry fails after all others were built
    EXPECT_NE(runBookpack(packArguments(book, out), dir).exitCode, 0);
    EXPECT_TRUE(readBytes(out + "/payload.rc") == script);
    EXPECT_TRUE(readBytes(out + "/901.zip") == first);
    const RunResult listing = runCommand("ls '" + out + "'", dir);
    EXPECT_EQ(listing.output.find("tmp"), std::string::npos) << listing.output;
    removeTree(dir);
}

TEST(Bookpack, unusableOutputFolderIsRefused)
{
    const std::string dir = makeTempDir();
    const FixtureBook book = makeFixtureBook(dir);
    writeText(dir + "/taken", "a file");
    // A quote or backslash would end or escape the path in the resource script.
    const std::string outputs[] = {dir + "/taken", dir + "/say\"cheese\"", dir + "/back\\slash"};
    for (const std::string& out : outputs) {
        SCOPED_TRACE(out);
        const RunResult run = runBookpack(packArguments(book, out), dir);
        EXPECT_NE(run.exitCode, 0);
        EXPECT_NE(run.errors.find(out), std::string::npos) << run.errors;
        EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << run.errors;
    }
    EXPECT_EQ(readText(dir + "/taken"), "a file");
    EXPECT_FALSE(exists(outputs[1]));
    EXPECT_FALSE(exists(outputs[2]));
    removeTree(dir);
}

// Compiles the generated manifest with a driver that prints both lists back,
// one name per line, and checks that each array holds exactly the names and
// the final empty name, nothing more.
TEST(Bookpack, generatedManifestCompilesToTheNameLists)
{
    const std::string dir = makeTempDir();
    const FixtureBook book = makeFixtureBook(dir);
    const std::string source = dir + "/page_manifest.cpp";
    const RunResult run = runBookpack("manifest '" + book.dir + "' '" + source + "'", dir);
    ASSERT_EQ(run.exitCode, 0) << run.errors;

    writeText(dir + "/driver.cpp",
              "#include \"page_manifest.h\"\n"
              "#include <cstdio>\n"
              "#include <cstring>\n"
              "static void print(const char* list) {\n"
              "    for (const char* p = list; *p; p += std::strlen(p) + 1)\n"
              "        std::printf(\"%s\\n\", p);\n"
              "    std::printf(\"end\\n\");\n"
              "}\n"
              "int main() {\n"
              "    print(mainPageNames);\n"
              "    print(extraFileNames);\n"
              "}\n");
    size_t mainSize = 1;   // the empty name's NUL ends each list
    size_t extraSize = 1;
    std::string expected;
    for (const std::string& name : book.mainNames) {
        expected += name + "\n";
        mainSize += name.size() + 1;
    }
    expected += "end\n";
    for (const std::string& name : book.extraNames) {
        expected += name + "\n";
        extraSize += name.size() + 1;
    }
    expected += "end\n";
    const std::string compile = std::string("'") + HOST_CXX + "' -std=c++17 -Wall -Werror -I'" + MANIFEST_DIR + "' '" +
                                source + "' '" + dir + "/driver.cpp' -o '" + dir + "/driver'";
    const RunResult built = runCommand(compile, dir);
    ASSERT_EQ(built.exitCode, 0) << built.errors;
    const RunResult printed = runCommand("'" + dir + "/driver'", dir);
    EXPECT_EQ(printed.exitCode, 0);
    EXPECT_EQ(printed.output, expected);

    writeText(dir + "/sizes.cpp", "#include \"" + source + "\"\n"
              "static_assert(sizeof mainPageNames == " + std::to_string(mainSize) + ");\n"
              "static_assert(sizeof extraFileNames == " + std::to_string(extraSize) + ");\n");
    const std::string sizes = std::string("'") + HOST_CXX + "' -std=c++17 -fsyntax-only -I'" + MANIFEST_DIR + "' '" +
                              dir + "/sizes.cpp'";
    const RunResult checked = runCommand(sizes, dir);
    EXPECT_EQ(checked.exitCode, 0) << "the lists have other sizes: " << checked.errors;
    removeTree(dir);
}

}  // namespace
