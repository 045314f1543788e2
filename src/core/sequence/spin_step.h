// Stepping the number of a start or end box by one or by ten, and the timing of a held spin button.
#pragma once

#include <optional>
#include <string>

namespace pelldra {

// The box's optional bounds; "" means none. The program never sets them, but a box honours them when set.
struct DigitBounds
{
    std::string upper;
    std::string lower;
};

// The text a box shows after stepping its text t up, by one (tens = false) or by ten (tens = true, the units digit
// kept), zero-filled to width (0 = no fill). nullopt: the box stays as it is.
std::optional<std::string> StepUpText(const std::string& t, bool tens, int width, const DigitBounds& bounds = {});
// The same downwards. Stepping down from zero (or an empty box) empties the box, which is the "no value" of a bound.
std::optional<std::string> StepDownText(const std::string& t, bool tens, int width, const DigitBounds& bounds = {});

// How long a held spin button waits before its step number n (0 = the press itself, at once): 1000 ms before the
// second step, then 100 ms ten times, 10 ms a hundred times, and 1 ms from then on.
int RepeatDelayBeforeStep(long long n);

} // namespace pelldra
