// The single-instance lock.
#include "core/platform/single_instance.h"

#include "core/platform/folders.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace pelldra {

std::string SingleInstanceLock::DefaultPath()
{
    const std::string folder = GetRuntimeFolder();
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime == '/')
        return folder + "/Pelldra_Existing.lock";
    return folder + "/Pelldra_Existing-" + std::to_string(::getuid()) + ".lock";
}

SingleInstanceLock::SingleInstanceLock(std::string path) : path_(std::move(path)) {}

SingleInstanceLock::State SingleInstanceLock::Acquire()
{
    if (state_ == State::Held)
        return state_;
    // O_NOFOLLOW: in a shared temporary folder the name must not lead somewhere else.
    UniqueFd fd(::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd.valid()) {
        error_ = errno;
        state_ = State::Failed;
        return state_;
    }
    // Another user's file in the shared temporary folder, held by them, would pass for a running window: the
    // window would hand its orders over and end, and nothing would run.
    struct stat st = {};
    if (::fstat(fd.get(), &st) != 0 || st.st_uid != ::geteuid()) {
        error_ = EPERM;
        state_ = State::Failed;
        return state_;
    }
    int rc;
    do
        rc = ::flock(fd.get(), LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        error_ = errno;
        state_ = errno == EWOULDBLOCK ? State::AlreadyRunning : State::Failed;
        return state_;
    }
    fd_ = std::move(fd);
    error_ = 0;
    state_ = State::Held;
    return state_;
}

} // namespace pelldra
