// Tests of stepping a box's number by one and by ten, with widths and bounds, and of the held-button schedule.
#include "core/sequence/spin_step.h"

#include <optional>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

namespace pelldra {
namespace {

TEST(SpinStepTest, Steps)
{
    // Up, the box's text, ten step, width, the text after (nullopt: the box is left alone), the box's bounds.
    const DigitBounds none;
    const DigitBounds b{"050", "10"};
    const std::tuple<bool, std::string, bool, int, std::optional<std::string>, DigitBounds> cases[] = {
        {true, "", false, 3, "000", none}, // an empty box shows zero filled
        {true, "0099", false, 4, "0100", none},
        {true, "0099", false, 0, "100", none},
        {true, "095", true, 3, "105", none}, // a ten step keeps the units digit
        {true, "7", true, 0, "8", none},     // a ten step on one digit is a one step
        {true, "", true, 2, "00", none},
        {true, "99999999995", true, 0, "100000000005", none},
        {true, "50", false, 0, std::nullopt, b},
        {true, "49", false, 0, "50", b},
        {false, "0", false, 0, "", none}, // zero empties the box
        {false, "00", true, 2, "", none},
        {false, "", false, 3, std::nullopt, none},
        {false, "0100", false, 4, "0099", none},
        {false, "105", true, 3, "095", none},
        {false, "105", true, 0, "95", none},
        {false, "05", true, 2, "04", none}, // zero tens: a one step
        // A zero that the borrow leaves beyond the width is dropped, but a lone zero is the value zero.
        {false, "1005", true, 2, "995", none},
        {false, "1005", true, 4, "0995", none},
        {false, "01", false, 0, "0", none},
        {false, "10", true, 0, "0", none},
        {false, "1000000", false, 0, "999999", none},
        {false, "1000000", false, 7, "0999999", none},
        {false, "010", false, 3, std::nullopt, b}, // at the lower bound: stays, is not emptied
        {false, "11", false, 0, "10", b}};
    for (const auto& [up, in, tens, width, out, bounds] : cases)
        EXPECT_EQ((up ? StepUpText : StepDownText)(in, tens, width, bounds), out) << in << (up ? " up" : " down");
}

TEST(SpinStepTest, HeldButtonTimeline)
{
    // When each step happens, counted from the press.
    struct
    {
        long long step;
        long long atMs;
    } const cases[] = {{0, 0}, {1, 1000}, {2, 1100}, {11, 2000}, {12, 2010}, {111, 3000}, {112, 3001}, {1000, 3889}};
    long long at = 0;
    long long step = 0;
    for (const auto& c : cases) {
        while (step < c.step)
            at += RepeatDelayBeforeStep(++step);
        EXPECT_EQ(at, c.atMs) << "step " << c.step;
    }
    EXPECT_EQ(RepeatDelayBeforeStep(0), 0);
}

} // namespace
} // namespace pelldra
