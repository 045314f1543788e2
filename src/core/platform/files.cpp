// Unique save names, part files and atomic file replacement.
#include "core/platform/files.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>

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
    struct stat st
    {
    };
    return ::lstat(path.c_str(), &st) == 0;
}

} // namespace

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string MakeUniqueFileName(const std::string& path)
{
    const NameParts n = SplitName(path);
    for (int i = 0;; ++i) {
        std::string c = Candidate(n, i);
        if (!Exists(c))
            return c;
    }
}

PartTags::PartTags()
{
    if (::getrandom(&base_, sizeof base_, 0) != sizeof base_)
        base_ = static_cast<uint32_t>(::getpid()) * 2654435761u;
}

ClaimedFile CreatePartFile(const std::string& path, mode_t mode, PartTags* tags)
{
    const size_t slash = path.rfind('/');
    const std::string_view folder = slash == std::string::npos ? "" : std::string_view(path).substr(0, slash + 1);
    std::string_view name = slash == std::string::npos ? path : std::string_view(path).substr(slash + 1);
    // Room for the marks within a file name's 255 bytes; the cut never splits a UTF-8 character.
    constexpr size_t kMaxStem = 200;
    if (name.size() > kMaxStem) {
        size_t n = kMaxStem;
        while (n > 0 && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80)
            --n;
        name = name.substr(0, n);
    }
    ClaimedFile out;
    for (int attempt = 0; attempt < 100; ++attempt) {
        uint32_t random = 0;
        if (attempt == 0 && tags)
            random = tags->Next();
        else if (::getrandom(&random, sizeof random, 0) != sizeof random)
            random = static_cast<uint32_t>(attempt) ^ static_cast<uint32_t>(::getpid());
        char tag[8];
        for (int i = 7; i >= 0; --i, random >>= 4)
            tag[i] = "0123456789abcdef"[random & 15u];
        std::string candidate;
        candidate.reserve(folder.size() + name.size() + 10 + std::string_view(kPartFileSuffix).size());
        candidate.append(folder).append(".").append(name).append(".").append(tag, sizeof tag).append(kPartFileSuffix);
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        out.path = std::move(candidate);
        if (fd >= 0) {
            out.fd.reset(fd);
            return out;
        }
        if (errno != EEXIST) {
            out.error = errno;
            return out;
        }
    }
    out.error = EEXIST;
    return out;
}

namespace {

// Claims candidate for the part file in one way: 0, EEXIST when the name is taken, or another errno.
int ClaimAs(NameClaim way, const std::string& partPath, const std::string& candidate)
{
    switch (way) {
    case NameClaim::Rename:
        return ::renameat2(AT_FDCWD, partPath.c_str(), AT_FDCWD, candidate.c_str(), RENAME_NOREPLACE) == 0 ? 0 : errno;
    case NameClaim::Link:
        if (::link(partPath.c_str(), candidate.c_str()) != 0)
            return errno;
        ::unlink(partPath.c_str());
        return 0;
    case NameClaim::EmptyFile:
        break;
    }
    const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return errno;
    ::close(fd);
    if (::rename(partPath.c_str(), candidate.c_str()) != 0) {
        const int error = errno;
        ::unlink(candidate.c_str());
        return error;
    }
    return 0;
}

// Whether error says the file system cannot claim a name that way, so the next way is tried.
bool CannotClaimThatWay(NameClaim way, int error)
{
    if (way == NameClaim::Rename)
        return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
    if (way == NameClaim::Link)
        return error == EPERM || error == EOPNOTSUPP || error == ENOSYS || error == EMLINK;
    return false;
}

} // namespace

int ClaimFirstFreeName(const std::string& path, std::string& finalPath,
                       const std::function<int(const std::string&)>& claim)
{
    // Most names are free: the name asked for is tried before it is taken apart for numbered ones.
    std::optional<NameParts> parts;
    std::string numbered;
    for (int i = 0;; ++i) {
        if (i > 0) {
            if (!parts)
                parts = SplitName(path);
            numbered = Candidate(*parts, i);
        }
        const std::string& name = i == 0 ? path : numbered;
        const int error = claim(name);
        if (error == 0)
            finalPath = name;
        if (error != EEXIST)
            return error;
    }
}

int ClaimFinalName(const std::string& partPath, const std::string& path, std::string& finalPath, NameClaim way)
{
    return ClaimFirstFreeName(path, finalPath, [&](const std::string& name) {
        for (;;) {
            const int error = ClaimAs(way, partPath, name);
            if (error == 0 || error == EEXIST || !CannotClaimThatWay(way, error))
                return error;
            way = static_cast<NameClaim>(static_cast<int>(way) + 1); // the same name, claimed the next way
        }
    });
}

int ReplaceFileAtomically(const std::string& path, const std::string& contents, mode_t mode)
{
    const std::string folder = FolderOf(path);
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

UniqueFd OpenPrivateForAppend(const std::string& path)
{
    UniqueFd fd(
        ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, kPrivateFileMode));
    struct stat st
    {
    };
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    if ((st.st_mode & 077) != 0) {
        // Another user's file in a shared folder, which others may read: nothing private goes into it.
        if (st.st_uid != ::geteuid())
            return {};
        // Written by an older version, or by hand: it may hold what the newer files keep private.
        ::fchmod(fd.get(), st.st_mode & kPrivateFileMode);
    }
    return fd;
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
    return ReadToEnd(fd.get(), 0, out);
}

bool ReadToEnd(int fd, off_t offset, std::string& out, off_t end)
{
    char buf[65536];
    while (offset < end) {
        const ssize_t n = ::pread(fd, buf, static_cast<size_t>(std::min<off_t>(sizeof buf, end - offset)), offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        out.append(buf, static_cast<size_t>(n));
        offset += n;
    }
    return true;
}

UniqueFd OpenPlainFile(const std::string& path, int flags, mode_t mode, struct stat* st)
{
    UniqueFd fd(::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, mode));
    struct stat own = {};
    struct stat& s = st ? *st : own;
    if (!fd.valid() || ::fstat(fd.get(), &s) != 0)
        return UniqueFd();
    if (!S_ISREG(s.st_mode)) {
        errno = EINVAL;
        return UniqueFd();
    }
    return fd;
}

} // namespace pelldra
