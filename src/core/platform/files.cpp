// Unique save names and atomic file replacement.
#include "core/platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace pelldra {

namespace {

struct NameParts
{
    std::string base;
    std::string ext; // without the dot; empty when there is none
};

NameParts SplitName(const std::string& path)
{
    const size_t dot = path.rfind('.');
    const size_t slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {path, ""};
    return {path.substr(0, dot), path.substr(dot + 1)};
}

std::string Candidate(const NameParts& n, int number)
{
    std::string name = n.base;
    if (number > 0)
        name += "_" + std::to_string(number);
    if (!n.ext.empty())
        name += "." + n.ext;
    return name;
}

bool Exists(const std::string& path)
{
    struct stat st{};
    return ::lstat(path.c_str(), &st) == 0;
}

} // namespace

std::string MakeUniqueFileName(const std::string& path)
{
    const NameParts n = SplitName(path);
    for (int i = 0;; ++i) {
        std::string c = Candidate(n, i);
        if (!Exists(c))
            return c;
    }
}

ClaimedFile ClaimUniqueFile(const std::string& path, mode_t mode)
{
    const NameParts n = SplitName(path);
    ClaimedFile out;
    for (int i = 0;; ++i) {
        std::string c = Candidate(n, i);
        const int fd = ::open(c.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0) {
            out.fd.reset(fd);
            out.path = std::move(c);
            return out;
        }
        if (errno != EEXIST) {
            out.error = errno;
            out.path = std::move(c);
            return out;
        }
    }
}

int ReplaceFileAtomically(const std::string& path, const std::string& contents, mode_t mode)
{
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    std::string tmp = path + ".XXXXXX";
    UniqueFd fd(::mkstemp(tmp.data()));
    if (!fd.valid())
        return errno;
    int err = 0;
    if (::fchmod(fd.get(), mode) != 0 || !WriteAll(fd.get(), contents) || ::fsync(fd.get()) != 0)
        err = errno ? errno : EIO;
    if (err == 0 && ::close(fd.release()) != 0)
        err = errno;
    if (err == 0 && ::rename(tmp.c_str(), path.c_str()) != 0)
        err = errno;
    if (err != 0) {
        ::unlink(tmp.c_str());
        return err;
    }
    // Make the rename itself durable.
    UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid())
        ::fsync(dir.get());
    return 0;
}

bool WriteAll(int fd, std::string_view data)
{
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool ReadWholeFile(const std::string& path, std::string& out)
{
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid())
        return false;
    out.clear();
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            return true;
        out.append(buf, static_cast<size_t>(n));
    }
}

} // namespace pelldra
