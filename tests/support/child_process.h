// Running test code in a forked child process.
#pragma once

#include <sys/types.h>

#include <functional>

namespace pelldra::test {

// Forks; the child runs body and ends with its return value without running any exit handlers of the test
// program. The child must not use gtest assertions: it reports through its exit code.
pid_t ForkChild(const std::function<int()>& body);

// Waits for a child: its exit code, 128 + the signal that ended it, or -1 when it cannot be waited for.
int WaitChild(pid_t pid);

} // namespace pelldra::test
