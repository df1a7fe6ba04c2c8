// bookpack: packs a book and the uninstaller into the installer's payload, and
// writes the page manifest the installer and uninstaller compile in.
//
// Every failure prints one line on stderr naming the file or entry at fault,
// exits non-zero and leaves no output behind.
#include "book.h"
#include "files.h"
#include "manifest_source.h"
#include "pack.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int exitFailure = 1;
constexpr int exitUsage = 2;

constexpr char usageText[] =
    "usage: bookpack manifest BOOKDIR OUT.cpp\n"
    "       bookpack signatures BOOKDIR OUT.cpp\n"
    "       bookpack pack [--store] [--omit N]... [--raw N=FILE]... BOOKDIR UNINSTALLER.exe OUTDIR\n";

int fail(const std::string& message)
{
    std::fprintf(stderr, "bookpack: %s\n", message.c_str());
    return exitFailure;
}

int usage(const std::string& message)
{
    std::fprintf(stderr, "bookpack: %s\n%s", message.c_str(), usageText);
    return exitUsage;
}

// Parses a payload entry number; false unless `text` is exactly one.
bool parseResource(const std::string& text, int& resource)
{
    if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    resource = std::atoi(text.c_str());
    return isPayloadResource(resource);
}

// manifest and signatures: a source rendered from the checked book.
int runSourceCommand(int argc, char** argv)
{
    if (argc != 4)
        return usage(std::string(argv[1]) + " takes BOOKDIR and OUT.cpp");
    BookManifest book;
    std::string error;
    std::string source;
    if (!readBookManifest(argv[2], book, error))
        return fail(error);
    if (std::strcmp(argv[1], "manifest") == 0)
        source = renderManifestSource(book);
    else if (!renderSignatureSource(book, source, error))
        return fail(error);
    if (!writeFilesAtomically({{argv[3], Bytes(source.begin(), source.end())}}, error))
        return fail(error);
    return 0;
}

int runPackCommand(int argc, char** argv)
{
    PackOptions options;
    std::vector<std::string> positional;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--store") {
            options.store = true;
        } else if (arg == "--omit" || arg == "--raw") {
            if (i + 1 == argc)
                return usage(arg + " needs a value");
            const std::string value = argv[++i];
            const size_t equals = value.find('=');
            const std::string number = arg == "--raw" ? value.substr(0, equals) : value;
            int resource = 0;
            if (!parseResource(number, resource))
                return usage(arg + " " + value + ": '" + number + "' is not a payload entry (900, 901-976, 1020-1030)");
            bool taken = false;
            for (int omitted : options.omitted)
                taken |= omitted == resource;
            for (const RawEntry& raw : options.rawEntries)
                taken |= raw.resource == resource;
            if (taken)
                return usage(arg + " " + value + ": entry " + number + " is already omitted or replaced");
            if (arg == "--omit") {
                options.omitted.push_back(resource);
            } else {
                if (equals == std::string::npos || equals + 1 == value.size())
                    return usage("--raw " + value + ": expected N=FILE");
                options.rawEntries.push_back({resource, value.substr(equals + 1)});
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usage("unknown option " + arg);
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 3)
        return usage("pack takes BOOKDIR, UNINSTALLER.exe and OUTDIR");
    options.bookDir = positional[0];
    options.uninstallerPath = positional[1];
    options.outputDir = positional[2];
    std::string error;
    if (!runPack(options, error))
        return fail(error);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && (std::strcmp(argv[1], "manifest") == 0 || std::strcmp(argv[1], "signatures") == 0))
        return runSourceCommand(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "pack") == 0)
        return runPackCommand(argc, argv);
    return usage(argc >= 2 ? std::string("unknown command ") + argv[1] : "no command given");
}
