// The sample book as the installer lays it out: both installs (plain: the 76
// main pages; variant: main pages without the 71st to 73rd, plus the 11 extra
// files) must be complete webs whose every link and image resolves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int mainCount = 76;
constexpr int extraCount = 11;
constexpr int extraPageCount = 3;
constexpr int hubIndex = 70;               // the 71st main page heads its section
constexpr int firstReplacedIndex = 70;     // the variant installs neither the 71st...
constexpr int lastReplacedIndex = 72;      // ...nor the 73rd main page
constexpr int variantHubIndex = 1;         // the second extra file replaces the 71st page
constexpr size_t maxBaseLength = 9;
constexpr size_t maxPageBytes = 8 * 1024;
constexpr size_t maxImageBytes = 8 * 1024;
constexpr int maxImageSide = 1024;
constexpr char bookDir[] = TOLM_BOOK_DIR;
constexpr char extraFolder[] = "/extra/";
constexpr char pageExtension[] = ".htm";
constexpr char imageExtension[] = ".gif";

struct Manifest {
    std::vector<std::string> mainNames;
    std::vector<std::string> extraNames;
};

// One install: the files that end up in the pages folder. Keys are lower case,
// because the folder lives on a case-insensitive file system.
struct Install {
    std::string name;
    std::string startPage;                  // key of the start page
    std::string hub;                        // key of the page that heads the special section
    std::set<std::string> hubLeaves;        // keys of the pages only the hub may link to
    std::map<std::string, std::string> files;
};

struct Link {
    std::string attribute;
    std::string target;
};

std::string lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool endsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool isPage(const std::string& key) { return endsWith(key, pageExtension); }

std::string readFile(const std::string& path, bool& found)
{
    std::ifstream in(path, std::ios::binary);
    found = static_cast<bool>(in);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Reads the manifest's two sections; anything else but comments and blank lines is an error.
bool parseManifest(const std::string& text, Manifest& manifest, std::string& error)
{
    std::istringstream in(text);
    std::vector<std::string>* section = nullptr;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        if (line == "[main]") {
            section = &manifest.mainNames;
        } else if (line == "[extra]") {
            section = &manifest.extraNames;
        } else if (section == nullptr) {
            error = "line " + std::to_string(number) + ": name before any section";
            return false;
        } else {
            section->push_back(line);
        }
    }
    return true;
}

const Manifest& bookManifest()
{
    static const Manifest manifest = [] {
        Manifest m;
        bool found = false;
        const std::string text = readFile(std::string(bookDir) + "/manifest.txt", found);
        std::string error;
        EXPECT_TRUE(found) << "manifest.txt missing in " << bookDir;
        EXPECT_TRUE(parseManifest(text, m, error)) << error;
        return m;
    }();
    return manifest;
}

bool hasFullLists(const Manifest& m)
{
    return m.mainNames.size() == mainCount && m.extraNames.size() == extraCount;
}

std::string mainFile(const Manifest& m, int index) { return m.mainNames[index] + pageExtension; }

void addFile(Install& install, const std::string& name, const std::string& path)
{
    bool found = false;
    install.files[lower(name)] = readFile(path, found);
    EXPECT_TRUE(found) << install.name << ": cannot read " << path;
}

Install plainInstall(const Manifest& m)
{
    Install install{"plain", lower(mainFile(m, 0)), lower(mainFile(m, hubIndex)), {}, {}};
    for (int i = 0; i < mainCount; ++i)
        addFile(install, mainFile(m, i), std::string(bookDir) + "/" + mainFile(m, i));
    for (int i = hubIndex + 1; i <= lastReplacedIndex; ++i)
        install.hubLeaves.insert(lower(mainFile(m, i)));
    return install;
}

Install variantInstall(const Manifest& m)
{
    Install install{"variant", lower(mainFile(m, 0)), lower(m.extraNames[variantHubIndex]), {}, {}};
    for (int i = 0; i < mainCount; ++i) {
        if (i < firstReplacedIndex || i > lastReplacedIndex)
            addFile(install, mainFile(m, i), std::string(bookDir) + "/" + mainFile(m, i));
    }
    for (int i = 0; i < extraCount; ++i) {
        addFile(install, m.extraNames[i], std::string(bookDir) + extraFolder + m.extraNames[i]);
        if (i < extraPageCount && i != variantHubIndex)
            install.hubLeaves.insert(lower(m.extraNames[i]));
    }
    return install;
}

std::vector<Link> findLinks(const std::string& html)
{
    static const std::regex pattern(R"re(\b(href|src)\s*=\s*"([^"]*)")re", std::regex::icase);
    std::vector<Link> links;
    for (std::sregex_iterator it(html.begin(), html.end(), pattern), end; it != end; ++it)
        links.push_back({lower((*it)[1]), (*it)[2]});
    return links;
}

std::string findTitle(const std::string& html)
{
    static const std::regex pattern(R"(<title>\s*([^<]*?)\s*</title>)", std::regex::icase);
    std::smatch match;
    return std::regex_search(html, match, pattern) ? std::string(match[1]) : std::string();
}

// The navigation links whose text starts with `label`, as (target, text after "label: ").
std::vector<std::pair<std::string, std::string>> navLinks(const std::string& html, const std::string& label)
{
    const std::regex pattern("<a href=\"([^\"]*)\">" + label + "\\b(?::\\s*([^<]*))?</a>");
    std::vector<std::pair<std::string, std::string>> links;
    for (std::sregex_iterator it(html.begin(), html.end(), pattern), end; it != end; ++it)
        links.emplace_back(lower((*it)[1]), (*it)[2]);
    return links;
}

// The target of the navigation link whose text starts with `label`; every such
// link on the page must agree, else the result is "<conflict>".
std::string navTarget(const std::string& html, const std::string& label)
{
    std::string target;
    for (const auto& link : navLinks(html, label)) {
        if (!target.empty() && target != link.first)
            return "<conflict>";
        target = link.first;
    }
    return target;
}

// Returns the install key a link reaches, or an empty string with `problem`
// set when the link can not work in a folder holding only the installed files.
std::string resolve(const Install& install, const std::string& target, std::string& problem)
{
    const std::string file = lower(target.substr(0, target.find('#')));
    if (file.empty() || file.find_first_of(":/\\") != std::string::npos) {
        problem = "link \"" + target + "\" leaves the pages folder";
        return {};
    }
    if (install.files.count(file) == 0) {
        problem = "link \"" + target + "\" names a file the install lacks";
        return {};
    }
    return file;
}

std::vector<std::string> checkLinks(const Install& install)
{
    std::vector<std::string> problems;
    for (const auto& [key, html] : install.files) {
        if (!isPage(key))
            continue;
        for (const Link& link : findLinks(html)) {
            std::string problem;
            const std::string target = resolve(install, link.target, problem);
            if (target.empty())
                problems.push_back(key + ": " + link.attribute + " " + problem);
            else if (install.hubLeaves.count(target) != 0 && key != install.hub)
                problems.push_back(key + ": links to " + target + ", which only " + install.hub + " may reach");
        }
    }
    return problems;
}

std::vector<std::string> checkPages(const Install& install)
{
    std::vector<std::string> problems;
    for (const auto& [key, html] : install.files) {
        if (!isPage(key))
            continue;
        if (findTitle(html).empty())
            problems.push_back(key + ": no title");
        if (html.find("<pre>") == std::string::npos)
            problems.push_back(key + ": no example");
        if (html.find("<style type=\"text/css\">") == std::string::npos)
            problems.push_back(key + ": no inline style");
        if (html.size() > maxPageBytes)
            problems.push_back(key + ": " + std::to_string(html.size()) + " bytes, over the page budget");
        for (const char* label : {"Previous", "Contents", "Next"}) {
            if (navTarget(html, label).empty())
                problems.push_back(key + ": no " + label + " link");
        }
        if (navTarget(html, "Contents") != install.startPage)
            problems.push_back(key + ": Contents does not lead to " + install.startPage);
        // A step's label names the page it leads to in this install.
        for (const char* label : {"Previous", "Next"}) {
            for (const auto& [target, text] : navLinks(html, label)) {
                const auto it = install.files.find(target);
                if (it != install.files.end() && text != findTitle(it->second))
                    problems.push_back(key + ": " + label + " says \"" + text + "\" but leads to \"" +
                                       findTitle(it->second) + "\"");
            }
        }
    }
    return problems;
}

// Following Next from the start page must visit every page except the hub's
// leaves once and come back; Previous must retrace the same steps. A leaf steps
// back to its hub and on to the page after the hub.
std::vector<std::string> checkNavigation(const Install& install)
{
    std::vector<std::string> problems;
    std::set<std::string> visited;
    std::string page = install.startPage;
    for (size_t steps = 0; steps <= install.files.size(); ++steps) {
        if (!visited.insert(page).second)
            break;
        const auto here = install.files.find(page);
        if (here == install.files.end()) {
            problems.push_back("Next chain reaches " + page + ", which the install lacks");
            return problems;
        }
        const std::string next = navTarget(here->second, "Next");
        const auto there = install.files.find(next);
        if (there == install.files.end() || install.hubLeaves.count(next) != 0) {
            problems.push_back(page + ": Next leads to " + next + ", outside the reading order");
            return problems;
        }
        if (navTarget(there->second, "Previous") != page)
            problems.push_back(next + ": Previous does not lead back to " + page);
        page = next;
    }
    if (page != install.startPage)
        problems.push_back("Next chain loops without returning to " + install.startPage);
    for (const auto& [key, html] : install.files) {
        if (!isPage(key) || visited.count(key) != 0 || install.hubLeaves.count(key) != 0)
            continue;
        problems.push_back(key + ": not in the Next chain");
    }
    const auto hub = install.files.find(install.hub);
    const std::string afterHub = hub == install.files.end() ? "" : navTarget(hub->second, "Next");
    for (const std::string& leaf : install.hubLeaves) {
        const auto it = install.files.find(leaf);
        if (it == install.files.end())
            continue;
        if (navTarget(it->second, "Previous") != install.hub || navTarget(it->second, "Next") != afterHub)
            problems.push_back(leaf + ": should step back to " + install.hub + " and on to " + afterHub);
    }
    return problems;
}

std::set<std::string> linkedFrom(const Install& install, const std::string& page)
{
    std::set<std::string> targets;
    const auto it = install.files.find(page);
    if (it == install.files.end())
        return targets;
    for (const Link& link : findLinks(it->second)) {
        std::string problem;
        const std::string target = resolve(install, link.target, problem);
        if (!target.empty())
            targets.insert(target);
    }
    return targets;
}

// Every installed file, images included, must be reachable from the start page.
std::vector<std::string> checkReachable(const Install& install)
{
    std::set<std::string> seen{install.startPage};
    std::vector<std::string> todo{install.startPage};
    while (!todo.empty()) {
        const std::string page = todo.back();
        todo.pop_back();
        for (const std::string& target : linkedFrom(install, page)) {
            if (seen.insert(target).second)
                todo.push_back(target);
        }
    }
    std::vector<std::string> problems;
    for (const auto& entry : install.files) {
        if (seen.count(entry.first) == 0)
            problems.push_back(entry.first + ": unreachable from " + install.startPage);
    }
    return problems;
}

std::string joined(const std::vector<std::string>& problems)
{
    std::string text;
    for (const std::string& p : problems)
        text += "\n  " + p;
    return text;
}

// ---- the manifest

TEST(BookManifest, HasBothListsInFull)
{
    const Manifest& m = bookManifest();
    EXPECT_EQ(m.mainNames.size(), static_cast<size_t>(mainCount));
    EXPECT_EQ(m.extraNames.size(), static_cast<size_t>(extraCount));
}

bool isNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

bool isBaseName(const std::string& base)
{
    return !base.empty() && base.size() <= maxBaseLength && std::all_of(base.begin(), base.end(), isNameChar);
}

TEST(BookManifest, NamesFollowTheRules)
{
    const Manifest& m = bookManifest();
    ASSERT_TRUE(hasFullLists(m));
    for (const std::string& name : m.mainNames)
        EXPECT_TRUE(isBaseName(name)) << "main name '" << name << "'";
    for (int i = 0; i < extraCount; ++i) {
        const std::string& name = m.extraNames[i];
        const std::string extension = i < extraPageCount ? pageExtension : imageExtension;
        ASSERT_TRUE(endsWith(name, extension)) << "extra " << i + 1 << " '" << name << "' should end in " << extension;
        EXPECT_TRUE(isBaseName(name.substr(0, name.size() - extension.size()))) << "extra name '" << name << "'";
    }
    EXPECT_EQ(m.extraNames[variantHubIndex], mainFile(m, hubIndex));
}

// Installed names must differ even on a case-insensitive file system; the one
// allowed clash is the variant's replacement of the hub page.
TEST(BookManifest, InstalledNamesAreUnique)
{
    const Manifest& m = bookManifest();
    ASSERT_TRUE(hasFullLists(m));
    std::map<std::string, std::string> owner;
    for (int i = 0; i < mainCount; ++i) {
        const auto [it, fresh] = owner.emplace(lower(mainFile(m, i)), "main " + std::to_string(i + 1));
        EXPECT_TRUE(fresh) << mainFile(m, i) << " is both " << it->second << " and main " << i + 1;
    }
    std::set<std::string> extras;
    for (int i = 0; i < extraCount; ++i) {
        const std::string key = lower(m.extraNames[i]);
        EXPECT_TRUE(extras.insert(key).second) << "extra name '" << m.extraNames[i] << "' repeats";
        if (i != variantHubIndex)
            EXPECT_EQ(owner.count(key), 0u) << "extra '" << m.extraNames[i] << "' clashes with a main page";
    }
}

// ---- both installs

class BookInstall : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(hasFullLists(bookManifest()));
        install = std::string(GetParam()) == "plain" ? plainInstall(bookManifest()) : variantInstall(bookManifest());
    }
    Install install;
};

TEST_P(BookInstall, HasTheExpectedFiles)
{
    const size_t expected = GetParam() == std::string("plain")
                                ? mainCount
                                : mainCount - (lastReplacedIndex - firstReplacedIndex + 1) + extraCount;
    EXPECT_EQ(install.files.size(), expected);
    EXPECT_EQ(install.files.count(install.hub), 1u);
    EXPECT_EQ(install.hubLeaves.size(), 2u);
}

TEST_P(BookInstall, EveryLinkResolves)
{
    const std::vector<std::string> problems = checkLinks(install);
    EXPECT_TRUE(problems.empty()) << install.name << ":" << joined(problems);
}

TEST_P(BookInstall, EveryPageHasTitleExampleStyleAndNavigation)
{
    const std::vector<std::string> problems = checkPages(install);
    EXPECT_TRUE(problems.empty()) << install.name << ":" << joined(problems);
}

TEST_P(BookInstall, NextAndPreviousFormOneReadingOrder)
{
    const std::vector<std::string> problems = checkNavigation(install);
    EXPECT_TRUE(problems.empty()) << install.name << ":" << joined(problems);
}

TEST_P(BookInstall, EveryFileIsReachable)
{
    const std::vector<std::string> problems = checkReachable(install);
    EXPECT_TRUE(problems.empty()) << install.name << ":" << joined(problems);
}

// The contents page lists every chapter and section except the hub's leaves,
// which the hub introduces itself.
TEST_P(BookInstall, StartPageListsEveryPageButTheHubLeaves)
{
    const std::set<std::string> listed = linkedFrom(install, install.startPage);
    for (const auto& entry : install.files) {
        const std::string& key = entry.first;
        if (isPage(key) && key != install.startPage && install.hubLeaves.count(key) == 0)
            EXPECT_EQ(listed.count(key), 1u) << install.name << ": contents does not link " << key;
    }
    const std::set<std::string> fromHub = linkedFrom(install, install.hub);
    for (const std::string& leaf : install.hubLeaves)
        EXPECT_EQ(fromHub.count(leaf), 1u) << install.name << ": " << install.hub << " does not link " << leaf;
}

INSTANTIATE_TEST_SUITE_P(Book, BookInstall, ::testing::Values("plain", "variant"));

// ---- the images

uint16_t littleEndian16(const std::string& bytes, size_t at)
{
    return static_cast<uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                 static_cast<unsigned char>(bytes[at + 1]) << 8);
}

// Each image is a small GIF89a whose size the pages showing it state exactly.
TEST(BookImages, AreSmallGif89aShownAtTheirOwnSize)
{
    const Manifest& m = bookManifest();
    ASSERT_TRUE(hasFullLists(m));
    const Install variant = variantInstall(m);
    static const std::regex image(R"re(<img src="([^"]*)" width="(\d+)" height="(\d+)")re");
    std::map<std::string, std::pair<int, int>> shown;
    for (const auto& [key, html] : variant.files) {
        for (std::sregex_iterator it(html.begin(), html.end(), image), end; it != end; ++it)
            shown[lower((*it)[1])] = {std::stoi((*it)[2]), std::stoi((*it)[3])};
    }
    for (int i = extraPageCount; i < extraCount; ++i) {
        const std::string key = lower(m.extraNames[i]);
        const std::string& bytes = variant.files.at(key);
        ASSERT_GE(bytes.size(), 13u) << key;
        EXPECT_EQ(bytes.substr(0, 6), "GIF89a") << key;
        EXPECT_LE(bytes.size(), maxImageBytes) << key;
        EXPECT_EQ(bytes.back(), ';') << key << ": no GIF trailer";
        const int width = littleEndian16(bytes, 6);
        const int height = littleEndian16(bytes, 8);
        EXPECT_TRUE(width > 0 && width <= maxImageSide && height > 0 && height <= maxImageSide)
            << key << ": " << width << "x" << height;
        ASSERT_EQ(shown.count(key), 1u) << key << " is shown by no page with its size";
        EXPECT_EQ(shown[key], std::make_pair(width, height)) << key << ": shown at another size";
    }
}

// ---- the checker itself catches broken books

constexpr char goodStart[] =
    "<html><head><title>A</title><style type=\"text/css\"></style></head><body>"
    "<a href=\"b.htm\">Previous: B</a><a href=\"a.htm\">Contents</a><a href=\"b.htm\">Next: B</a>"
    "<pre>x</pre><a href=\"b.htm\">B</a></body></html>";
constexpr char goodHub[] =
    "<html><head><title>B</title><style type=\"text/css\"></style></head><body>"
    "<a href=\"a.htm\">Previous: A</a><a href=\"a.htm\">Contents</a><a href=\"a.htm\">Next: A</a>"
    "<pre>x</pre><a href=\"c.htm\">C</a><img src=\"d.gif\" width=\"1\" height=\"1\"></body></html>";
constexpr char goodLeaf[] =
    "<html><head><title>C</title><style type=\"text/css\"></style></head><body>"
    "<a href=\"b.htm\">Previous: B</a><a href=\"a.htm\">Contents</a><a href=\"a.htm\">Next: A</a>"
    "<pre>x</pre></body></html>";

Install tinyBook()
{
    return Install{"tiny", "a.htm", "b.htm", {"c.htm"},
                   {{"a.htm", goodStart}, {"b.htm", goodHub}, {"c.htm", goodLeaf}, {"d.gif", "GIF89a"}}};
}

std::string replaced(std::string text, const std::string& from, const std::string& to)
{
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

TEST(BookChecker, PassesAWellFormedBook)
{
    const Install book = tinyBook();
    EXPECT_TRUE(checkLinks(book).empty()) << joined(checkLinks(book));
    EXPECT_TRUE(checkPages(book).empty()) << joined(checkPages(book));
    EXPECT_TRUE(checkNavigation(book).empty()) << joined(checkNavigation(book));
    EXPECT_TRUE(checkReachable(book).empty()) << joined(checkReachable(book));
}

TEST(BookChecker, CatchesEachKindOfFault)
{
    struct Case {
        const char* what;
        const char* page;
        const char* from;
        const char* to;
        const char* expected;
    };
    const Case cases[] = {
        {"broken link", "b.htm", "href=\"c.htm\"", "href=\"x.htm\"", "lacks"},
        {"link by another case still works", "b.htm", "href=\"c.htm\"", "href=\"C.HTM\"", nullptr},
        {"broken image", "b.htm", "src=\"d.gif\"", "src=\"e.gif\"", "lacks"},
        {"link out of the folder", "a.htm", "href=\"b.htm\">B", "href=\"../b.htm\">B", "leaves the pages folder"},
        {"absolute link", "a.htm", "href=\"b.htm\">B", "href=\"http://x/b.htm\">B", "leaves the pages folder"},
        {"leaf linked from elsewhere", "a.htm", "href=\"b.htm\">B", "href=\"c.htm\">B", "only b.htm may reach"},
        {"no title", "a.htm", "<title>A</title>", "", "no title"},
        {"no example", "c.htm", "<pre>x</pre>", "", "no example"},
        {"no style", "c.htm", "<style type=\"text/css\"></style>", "", "no inline style"},
        {"no next link", "c.htm", "Next: A", "Onward", "no Next link"},
        {"stale step label", "c.htm", "Next: A", "Next: Start page", "but leads to"},
        {"contents elsewhere", "c.htm", "href=\"a.htm\">Contents", "href=\"b.htm\">Contents", "Contents does not"},
        {"next into a leaf", "b.htm", "href=\"a.htm\">Next", "href=\"c.htm\">Next", "outside the reading order"},
        {"previous not the way back", "b.htm", "href=\"a.htm\">Previous", "href=\"b.htm\">Previous",
         "does not lead back"},
        {"leaf steps elsewhere", "c.htm", "href=\"b.htm\">Previous", "href=\"a.htm\">Previous", "should step back"},
        {"orphan image", "b.htm", "<img src=\"d.gif\" width=\"1\" height=\"1\">", "", "unreachable"},
    };
    for (const Case& c : cases) {
        Install book = tinyBook();
        book.files[c.page] = replaced(book.files[c.page], c.from, c.to);
        std::vector<std::string> problems;
        for (const auto& found : {checkLinks(book), checkPages(book), checkNavigation(book), checkReachable(book)})
            problems.insert(problems.end(), found.begin(), found.end());
        if (c.expected == nullptr) {
            EXPECT_TRUE(problems.empty()) << c.what << ":" << joined(problems);
            continue;
        }
        const bool caught = std::any_of(problems.begin(), problems.end(), [&](const std::string& p) {
            return p.find(c.expected) != std::string::npos;
        });
        EXPECT_TRUE(caught) << c.what << ": expected \"" << c.expected << "\" among:" << joined(problems);
    }
}

TEST(BookChecker, ManifestParserRejectsNamesOutsideASection)
{
    const struct {
        const char* text;
        bool ok;
        size_t mainNames;
        size_t extraNames;
    } cases[] = {
        {"# c\n\n[main]\na\nb\n[extra]\nc.htm\n", true, 2, 1},
        {"[main]\r\na\r\n", true, 1, 0},
        {"a\n[main]\n", false, 0, 0},
    };
    for (const auto& c : cases) {
        Manifest m;
        std::string error;
        EXPECT_EQ(parseManifest(c.text, m, error), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(m.mainNames.size(), c.mainNames) << c.text;
            EXPECT_EQ(m.extraNames.size(), c.extraNames) << c.text;
        }
    }
}

} // namespace
