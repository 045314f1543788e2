// The single-instance lock.
#include "core/platform/single_instance.h"

#include "core/platform/folders.h"

#include <fcntl.h>
#include <sys/file.h>
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
