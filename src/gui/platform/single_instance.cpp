// The single-instance lock.
#include "gui/platform/single_instance.h"

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

SingleInstanceLock::SingleInstanceLock(std::string path) : m_path(std::move(path)) {}

SingleInstanceLock::State SingleInstanceLock::Acquire()
{
    if (m_state == State::Held)
        return m_state;
    // O_NOFOLLOW: in a shared temporary folder the name must not lead somewhere else.
    UniqueFd fd(::open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd.valid()) {
        m_error = errno;
        m_state = State::Failed;
        return m_state;
    }
    int rc;
    do
        rc = ::flock(fd.get(), LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        m_error = errno;
        m_state = errno == EWOULDBLOCK ? State::AlreadyRunning : State::Failed;
        return m_state;
    }
    m_fd = std::move(fd);
    m_error = 0;
    m_state = State::Held;
    return m_state;
}

} // namespace pelldra
