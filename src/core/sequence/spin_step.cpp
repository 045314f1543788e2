// Stepping a box's digit string and the held-button schedule.
#include "core/sequence/spin_step.h"

#include <algorithm>

#include "core/sequence/digits.h"

namespace pelldra {

namespace {

// The tens step works on the digits left of the units digit and leaves the units digit alone.
constexpr size_t kTensSplit = 1;

} // namespace

std::optional<std::string> StepUpText(const std::string& t, bool tens, int width, const DigitBounds& bounds)
{
    if (!bounds.upper.empty() && CompareDigits(t, bounds.upper) == 0)
        return std::nullopt;
    if (bounds.upper.empty() && t.empty())
        return PadZeros("0", width);
    const size_t k = tens ? kTensSplit : 0;
    if (t.size() > k) {
        const std::string left = t.substr(0, t.size() - k);
        const int leftWidth = std::max(width - static_cast<int>(k), 0);
        return IncDigits(left, leftWidth != 0) + t.substr(t.size() - k);
    }
    return IncDigits(t, width != 0);
}

std::optional<std::string> StepDownText(const std::string& t, bool tens, int width, const DigitBounds& bounds)
{
    if (CompareDigits(t, bounds.lower) == 0) {
        // At the lower bound. Without one that is zero, and below zero lies only "no value".
        if (bounds.lower.empty() && !t.empty())
            return std::string();
        return std::nullopt;
    }
    const size_t k = tens ? kTensSplit : 0;
    if (t.size() > k) {
        const std::string left = t.substr(0, t.size() - k);
        if (!IsAllZeros(left)) {
            const int leftWidth = std::max(width - static_cast<int>(k), 0);
            std::string r = DecDigits(left, leftWidth != 0) + t.substr(t.size() - k);
            // The borrow can leave a zero that the width does not ask for (1005 -> 0995 with width 2). A lone "0"
            // is the value zero, not such a zero: dropping it would skip from one straight to "no value".
            if (!r.empty() && r[0] == '0' && r.size() > static_cast<size_t>(std::max(width, 1)))
                r.erase(0, 1);
            return r;
        }
    }
    // A tens step whose tens part is zero falls back to a units step.
    return DecDigits(t, width != 0);
}

int RepeatDelayBeforeStep(long long n)
{
    if (n <= 0)
        return 0;
    if (n == 1)
        return 1000;
    if (n <= 11)
        return 100;
    if (n <= 111)
        return 10;
    return 1;
}

} // namespace pelldra
