// Save files that show only when complete: unnamed until then where the file system allows, else hidden part files.
#include "core/platform/pending_file.h"

#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>

namespace pelldra {

namespace {

// Gives the unnamed file behind fd the name path: 0, EEXIST when the name is taken, or another errno.
int LinkUnnamed(int fd, const std::string& path)
{
    if (::linkat(fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0)
        return 0;
    if (errno != ENOENT)
        return errno;
    // Before Linux 6.10 only a privileged process may link a descriptor itself; its /proc entry links the same file
    // for everyone.
    char self[32];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    return ::linkat(AT_FDCWD, self, AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
}

} // namespace

PendingFile PendingFile::Create(const std::string& path, mode_t mode, PartTags* tags, Way way)
{
    PendingFile f;
    if (way == Way::Unnamed) {
        // Read access too, for the copy that a folder refusing the link needs.
        const int fd = ::open(FolderOf(path).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
        if (fd >= 0) {
            f.fd_.reset(fd);
            return f;
        }
        // Some file systems (FAT, network ones) have no unnamed files; if the folder itself is the trouble, the part
        // file meets it too and reports it.
    }
    ClaimedFile part = CreatePartFile(path, mode, tags);
    f.way_ = Way::Part;
    f.fd_ = std::move(part.fd);
    f.error_ = part.error;
    if (f.fd_.valid())
        f.partPath_ = std::move(part.path);
    return f;
}

PendingFile::PendingFile(PendingFile&& other) noexcept
    : fd_(std::move(other.fd_)), partPath_(std::exchange(other.partPath_, {})), way_(other.way_), error_(other.error_)
{
}

PendingFile& PendingFile::operator=(PendingFile&& other) noexcept
{
    if (this != &other) {
        Discard();
        fd_ = std::move(other.fd_);
        partPath_ = std::exchange(other.partPath_, {});
        way_ = other.way_;
        error_ = other.error_;
    }
    return *this;
}

void PendingFile::Discard()
{
    fd_.reset();
    if (!partPath_.empty()) {
        ::unlink(partPath_.c_str());
        partPath_.clear();
    }
}

int PendingFile::Finish(const std::string& path, std::string& finalPath)
{
    if (!fd_.valid())
        return EBADF;
    int error = 0;
    if (way_ == Way::Unnamed) {
        error = ClaimFirstFreeName(path, finalPath, [this](const std::string& name) { return LinkUnnamed(fd(), name); });
        if (error == 0) {
            // The last chance to hear of a write that never reached the disk; the name must not stay on such a file.
            if (::close(fd_.release()) != 0) {
                error = errno;
                ::unlink(finalPath.c_str());
            }
            return error;
        }
        // A folder that takes new files but no links to them (some network and FUSE file systems) still gets the
        // body, as a part file.
        error = BecomePartFile(path);
    }
    if (error == 0)
        error = ::close(fd_.release()) == 0 ? 0 : errno;
    if (error == 0)
        error = ClaimFinalName(partPath_, path, finalPath);
    if (error == 0)
        partPath_.clear();
    Discard();
    return error;
}

int PendingFile::BecomePartFile(const std::string& path)
{
    struct stat st
    {
    };
    if (::fstat(fd(), &st) != 0)
        return errno;
    ClaimedFile part = CreatePartFile(path, st.st_mode & 07777);
    if (!part.fd.valid())
        return part.error;
    const UniqueFd unnamed = std::move(fd_);
    fd_ = std::move(part.fd);
    partPath_ = std::move(part.path);
    way_ = Way::Part;
    off_t offset = 0;
    while (offset < st.st_size) {
        const ssize_t n = ::sendfile(fd(), unnamed.get(), &offset, static_cast<size_t>(st.st_size - offset));
        if (n == 0)
            return EIO; // shorter than it was a moment ago
        if (n < 0 && errno != EINTR)
            return errno;
    }
    const timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
    ::futimens(fd(), times);
    return 0;
}

} // namespace pelldra
