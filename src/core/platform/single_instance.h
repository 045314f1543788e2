// The single-instance lock: an exclusive flock held for the process's life.
#pragma once

#include "core/platform/unique_fd.h"

#include <string>

namespace pelldra {

class SingleInstanceLock final
{
public:
    enum class State {
        NotTried,
        Held,           // this process is the running instance
        AlreadyRunning, // another process holds the lock
        Failed,         // the lock file cannot be opened or locked
    };

    // $XDG_RUNTIME_DIR/Pelldra_Existing.lock; without a runtime folder the temporary folder, with the user id in the
    // name so that users do not share one lock.
    static std::string DefaultPath();

    explicit SingleInstanceLock(std::string path = DefaultPath());
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    // Tries once, without waiting. A process that already holds it keeps Held.
    State Acquire();
    State GetState() const { return state_; }
    const std::string& GetPath() const { return path_; }
    // The errno of a Failed attempt.
    int GetError() const { return error_; }

private:
    std::string path_;
    // flock belongs to the open file description: the descriptor is close-on-exec, so programs this one starts do
    // not keep the lock alive after it ends.
    UniqueFd fd_;
    State state_ = State::NotTried;
    int error_ = 0;
};

} // namespace pelldra
