// RunOnOwnBus: the test program run again inside a session bus of its own, so that its broadcasts reach no window of
// another test program running beside it, and theirs none of its windows.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace pelldra::test {

// Call first in main: it returns only in the program that runs on its own bus (or, when no bus can be started, on
// whatever bus there is).
inline void RunOnOwnBus(int argc, char* argv[])
{
    constexpr const char* kOwnBus = "PELLDRA_TEST_OWN_BUS";
    if (std::getenv(kOwnBus))
        return;
    ::setenv(kOwnBus, "1", 1);
    std::vector<char*> args{const_cast<char*>("dbus-run-session"), const_cast<char*>("--")};
    args.insert(args.end(), argv, argv + argc);
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    std::perror("dbus-run-session");
}

} // namespace pelldra::test
