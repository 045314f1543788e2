// CoarseClock: a steady clock that reads the kernel's last tick, a few milliseconds coarse. Time limits of
// transfers are seconds long, and libcurl asks about them many times per file: a full clock read each time costs
// more than the limits need.
#pragma once

#include <time.h>

#include <chrono>

namespace pelldra {

struct CoarseClock
{
    using duration = std::chrono::nanoseconds;
    using rep = duration::rep;
    using period = duration::period;
    using time_point = std::chrono::time_point<CoarseClock>;
    static constexpr bool is_steady = true;

    static time_point now() noexcept
    {
        timespec ts{};
        ::clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
        return time_point(std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec));
    }
};

} // namespace pelldra
