// Running test code in a forked child process.
#include "support/child_process.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <exception>

namespace pelldra::test {

pid_t ForkChild(const std::function<int()>& body)
{
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    int code = 99;
    try {
        code = body();
    } catch (const std::exception&) {
        code = 98;
    }
    ::_exit(code);
}

int WaitChild(pid_t pid)
{
    if (pid <= 0)
        return -1;
    int status = 0;
    pid_t r;
    while ((r = ::waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
    if (r != pid)
        return -1;
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

} // namespace pelldra::test
