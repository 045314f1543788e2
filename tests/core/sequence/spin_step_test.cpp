// Tests of stepping a box's number by one and by ten, with widths and bounds, and of the held-button schedule.
#include "core/sequence/spin_step.h"

#include <optional>
#include <string>

#include <gtest/gtest.h>

namespace pelldra {
namespace {

struct StepCase
{
    const char* what;
    std::string in;
    bool tens;
    int width;
    std::optional<std::string> out; // nullopt: the box is left alone
};

TEST(SpinStepTest, StepUp)
{
    const StepCase cases[] = {
        {"empty box shows zero filled", "", false, 3, "000"},
        {"carry keeps the width", "0099", false, 4, "0100"},
        {"carry without width drops zeros", "0099", false, 0, "100"},
        {"ten step keeps the units digit", "095", true, 3, "105"},
        {"ten step without width", "095", true, 0, "105"},
        {"ten step on one digit is a one step", "7", true, 0, "8"},
        {"ten step on an empty box", "", true, 2, "00"},
        {"ten step on a long number carries far", "99999999995", true, 0, "100000000005"},
    };
    for (const StepCase& c : cases)
        EXPECT_EQ(StepUpText(c.in, c.tens, c.width), c.out) << c.what;
}

TEST(SpinStepTest, StepDown)
{
    const StepCase cases[] = {
        {"zero empties the box", "0", false, 0, ""},
        {"ten step from zero empties too", "00", true, 2, ""},
        {"empty box stays", "", false, 3, std::nullopt},
        {"borrow keeps the width", "0100", false, 4, "0099"},
        {"ten step keeps the units digit", "105", true, 3, "095"},
        {"ten step without width", "105", true, 0, "95"},
        {"ten step with zero tens is a one step", "05", true, 2, "04"},
        {"borrow zero beyond the width is dropped", "1005", true, 2, "995"},
        {"borrow zero within the width stays", "1005", true, 4, "0995"},
        {"one step to zero keeps the zero", "1", false, 0, "0"},
        {"one step to zero from a padded one", "01", false, 0, "0"},
        {"ten step to zero keeps the zero", "10", true, 0, "0"},
        {"long borrow drops the zero beyond the width", "1000000", false, 0, "999999"},
        {"long borrow keeps the zero within the width", "1000000", false, 7, "0999999"},
    };
    for (const StepCase& c : cases)
        EXPECT_EQ(StepDownText(c.in, c.tens, c.width), c.out) << c.what;
}

TEST(SpinStepTest, BoundsStopTheStep)
{
    const DigitBounds b{"050", "10"};
    EXPECT_EQ(StepUpText("50", false, 0, b), std::nullopt);
    EXPECT_EQ(StepUpText("49", false, 0, b), "50");
    EXPECT_EQ(StepDownText("010", false, 3, b), std::nullopt); // at the lower bound: stays, is not emptied
    EXPECT_EQ(StepDownText("11", false, 0, b), "10");
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
