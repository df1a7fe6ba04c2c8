// Whole-file reads and all-or-nothing multi-file writes.
#include "files.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string describeErrno()
{
    return std::strerror(errno);
}

// Writes all of `data` to a new file at `path`, flushed to disk.
bool writeNewFile(const std::string& path, const Bytes& data, std::string& error)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = path + ": cannot create: " + describeErrno();
        return false;
    }
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t wrote = write(fd, data.data() + done, data.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0) {
            error = path + ": cannot write: " + describeErrno();
            close(fd);
            return false;
        }
        done += static_cast<size_t>(wrote);
    }
    if (close(fd) != 0) {
        error = path + ": cannot write: " + describeErrno();
        return false;
    }
    return true;
}

}  // namespace

bool readWholeFile(const std::string& path, Bytes& data, std::string& error)
{
    data.clear();
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = path + ": cannot read: " + describeErrno();
        return false;
    }
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = path + ": cannot read: not a regular file";
        close(fd);
        return false;
    }
    data.reserve(static_cast<size_t>(info.st_size));
    uint8_t buffer[65536];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            error = path + ": cannot read: " + describeErrno();
            close(fd);
            return false;
        }
        if (got == 0)
            break;
        data.insert(data.end(), buffer, buffer + got);
    }
    close(fd);
    return true;
}

bool writeFilesAtomically(const std::vector<OutputFile>& files, std::string& error)
{
    const std::string suffix = ".tmp" + std::to_string(getpid());
    std::vector<std::string> temporaries;
    bool ok = true;
    for (const OutputFile& file : files) {
        const std::string temporary = file.path + suffix;
        temporaries.push_back(temporary);
        if (!writeNewFile(temporary, file.data, error)) {
            ok = false;
            break;
        }
    }
    // Renames only begin once every temporary is complete; a rename within one
    // folder does not fail for want of space.
    for (size_t i = 0; ok && i < files.size(); ++i) {
        if (std::rename(temporaries[i].c_str(), files[i].path.c_str()) != 0) {
            error = files[i].path + ": cannot replace: " + describeErrno();
            ok = false;
        }
    }
    if (!ok)
        for (const std::string& temporary : temporaries)
            unlink(temporary.c_str());
    return ok;
}

bool makeDirectories(const std::string& dir, std::string& error)
{
    if (dir.empty())
        return true;
    struct stat info;
    if (stat(dir.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            return true;
        error = dir + ": exists and is not a folder";
        return false;
    }
    const size_t slash = dir.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !makeDirectories(dir.substr(0, slash), error))
        return false;
    if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) {
        error = dir + ": cannot create the folder: " + describeErrno();
        return false;
    }
    return true;
}

bool absolutePath(const std::string& path, std::string& result, std::string& error)
{
    result = path;
    if (path.empty() || path[0] != '/') {
        char buffer[PATH_MAX];
        if (!getcwd(buffer, sizeof buffer)) {
            error = path + ": cannot find the current folder: " + describeErrno();
            return false;
        }
        result = std::string(buffer) + "/" + path;
    }
    while (result.size() > 1 && result.back() == '/')
        result.pop_back();
    return true;
}
