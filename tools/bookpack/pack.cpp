// Packing: every entry is built and verified in memory first, and only then
// are the archives and the resource script written, all or nothing.
#include "pack.h"

#include "book.h"
#include "files.h"
#include "page_manifest.h"
#include "product.h"
#include "verify.h"
#include "zip_archive.h"

#include <algorithm>
#include <sys/stat.h>

namespace {

constexpr char archiveExtension[] = ".zip";

struct PlannedEntry {
    int resource;
    std::string storedName;   // the name inside the archive
    std::string sourcePath;
};

std::vector<PlannedEntry> planEntries(const BookManifest& book, const std::string& uninstallerPath)
{
    std::vector<PlannedEntry> plan;
    plan.push_back({uninstallerResource, uninstallerFileName, uninstallerPath});
    for (size_t i = 0; i < book.mainNames.size(); ++i)
        plan.push_back({firstMainResource + static_cast<int>(i), mainFileName(book, i), mainFilePath(book, i)});
    for (size_t i = 0; i < book.extraNames.size(); ++i)
        plan.push_back({firstExtraResource + static_cast<int>(i), book.extraNames[i], extraFilePath(book, i)});
    return plan;
}

const RawEntry* findRawEntry(const PackOptions& options, int resource)
{
    for (const RawEntry& raw : options.rawEntries)
        if (raw.resource == resource)
            return &raw;
    return nullptr;
}

// The resource script names each archive by its path in a string literal, so
// the folder's path must not hold what would end or escape it.
bool checkOutputFolder(const std::string& dir, std::string& error)
{
    if (dir.find_first_of("\"\\\n") != std::string::npos) {
        error = dir + ": the output folder's path holds a quote, backslash or line break";
        return false;
    }
    struct stat info;
    if (stat(dir.c_str(), &info) == 0 && !S_ISDIR(info.st_mode)) {
        error = dir + ": exists and is not a folder";
        return false;
    }
    return true;
}

bool buildEntry(const PackOptions& options, const PlannedEntry& entry, Bytes& archive, std::string& error)
{
    const std::string label = "entry " + std::to_string(entry.resource) + " (" + entry.storedName + ")";
    if (const RawEntry* raw = findRawEntry(options, entry.resource))
        return readWholeFile(raw->path, archive, error);
    Bytes source;
    if (!readWholeFile(entry.sourcePath, source, error))
        return false;
    std::string problem;
    if (!makeZipArchive(entry.storedName, source, options.store ? ZipMethod::stored : ZipMethod::deflated, archive,
                        problem)) {
        error = entry.sourcePath + ": " + label + " " + problem;
        return false;
    }
    if (!verifyPackedEntry(archive, source, problem)) {
        error = entry.sourcePath + ": " + label + " failed verification: " + problem;
        return false;
    }
    return true;
}

}  // namespace

bool isPayloadResource(int resource)
{
    return resource == uninstallerResource ||
           (resource >= firstMainResource && resource < firstMainResource + mainPageCount) ||
           (resource >= firstExtraResource && resource < firstExtraResource + extraFileCount);
}

bool runPack(const PackOptions& options, std::string& error)
{
    BookManifest book;
    if (!readBookManifest(options.bookDir, book, error))
        return false;
    // The output folder is checked before the slow part, compression.
    std::string outputDir;
    if (!absolutePath(options.outputDir, outputDir, error) || !checkOutputFolder(outputDir, error))
        return false;

    std::vector<OutputFile> outputs;
    std::vector<int> written;
    for (const PlannedEntry& entry : planEntries(book, options.uninstallerPath)) {
        if (std::find(options.omitted.begin(), options.omitted.end(), entry.resource) != options.omitted.end())
            continue;
        OutputFile output;
        output.path = std::to_string(entry.resource) + archiveExtension;   // made absolute below
        if (!buildEntry(options, entry, output.data, error))
            return false;
        outputs.push_back(std::move(output));
        written.push_back(entry.resource);
    }

    std::string script;
    for (size_t i = 0; i < outputs.size(); ++i) {
        outputs[i].path = outputDir + "/" + outputs[i].path;
        // Type and name are the same number: the installer finds "#N" as both.
        const std::string number = std::to_string(written[i]);
        script += number + " " + number + " \"" + outputs[i].path + "\"\n";
    }
    outputs.push_back({outputDir + "/" + resourceScriptName, Bytes(script.begin(), script.end())});
    return makeDirectories(outputDir, error) && writeFilesAtomically(outputs, error);
}
