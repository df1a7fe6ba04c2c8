// pecompact: moves a linked program's PE headers over its DOS stub, in place.
//
//     pecompact FILE
//
// A refusal prints one line naming the file and the reason, exits 1 and leaves
// the file as it was.
#include "files.h"
#include "pe_compact.h"

#include <cstdio>
#include <string>
#include <sys/stat.h>

namespace {

int fail(const std::string& message)
{
    std::fprintf(stderr, "pecompact: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: pecompact FILE\n");
        return 2;
    }
    const std::string path = argv[1];
    Bytes image;
    std::string error;
    struct stat info;
    if (stat(path.c_str(), &info) != 0)
        return fail(path + ": cannot read");
    if (!readWholeFile(path, image, error))
        return fail(error);
    const size_t before = image.size();
    if (!compactPeHeaders(image, error))
        return fail(path + ": " + error);
    if (image.size() == before)
        return 0;
    if (!writeFilesAtomically({{path, image}}, error))
        return fail(error);
    // The replacement keeps the program's permissions.
    if (chmod(path.c_str(), info.st_mode & 07777) != 0)
        return fail(path + ": cannot restore its permissions");
    return 0;
}
