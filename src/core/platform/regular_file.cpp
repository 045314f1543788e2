// The bounded reader of files named by others.
#include "core/platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/platform/unique_fd.h"

namespace pelldra {

RegularFileRead ReadRegularFile(const std::string& path, off_t limit, std::string& bytes)
{
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd.valid())
        return RegularFileRead::NotFound;
    struct stat st
    {
    };
    if (::fstat(fd.get(), &st) != 0)
        return RegularFileRead::Broken;
    if (S_ISDIR(st.st_mode))
        return RegularFileRead::NotFound;
    if (!S_ISREG(st.st_mode) || st.st_size > limit)
        return RegularFileRead::Broken;
    bytes.clear();
    bytes.reserve(static_cast<size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n == 0)
            return RegularFileRead::Ok;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return RegularFileRead::Broken;
        }
        // The file may grow while it is read.
        if (bytes.size() + static_cast<size_t>(n) > static_cast<size_t>(limit))
            return RegularFileRead::Broken;
        bytes.append(buffer, static_cast<size_t>(n));
    }
}

} // namespace pelldra
