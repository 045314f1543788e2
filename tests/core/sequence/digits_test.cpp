// Tests of the decimal digit-string arithmetic: stepping, comparing, zero fill and star replacement.
#include "core/sequence/digits.h"

#include <chrono>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

namespace pelldra {
namespace {

std::string Rep(char c, size_t n)
{
    return std::string(n, c);
}

TEST(DigitsTest, StepsUpAndDown)
{
    // Up or down, the digits, the result with keepWidth, and without it. Beyond one 6-digit chunk leading zeros
    // stay even without keepWidth, but a carry into (or a borrow from) a head of at most six digits writes the head
    // without its leading zeros.
    const std::tuple<bool, std::string, std::string, std::string> cases[] = {
        {true, "0099", "0100", "100"},
        {true, "999999", "1000000", "1000000"},
        {true, "", "", ""},
        {true, "0999999", "1000000", "1000000"},
        {true, "0000000999999", "0000001000000", "0000001000000"},
        {true, "000001999999999999", "000002000000000000", "2000000000000"},
        {true, Rep('9', 40), "1" + Rep('0', 40), "1" + Rep('0', 40)},
        {false, "1000000", "0999999", "0999999"},
        {false, "10", "09", "9"},
        {false, "", "", ""},
        {false, "000002000000000000", "000001999999999999", "1999999999999"},
        {false, "1" + Rep('0', 40), "0" + Rep('9', 40), Rep('9', 40)}};
    for (const auto& [up, in, kept, free] : cases) {
        EXPECT_EQ((up ? IncDigits : DecDigits)(in, true), kept) << in;
        EXPECT_EQ((up ? IncDigits : DecDigits)(in, false), free) << in;
    }
}

TEST(DigitsTest, VeryLongNumbersStepInLinearTime)
{
    // 200 000 nines carry through every chunk; each step must not copy the whole string once per chunk.
    const std::string big = Rep('9', 200000);
    const auto t0 = std::chrono::steady_clock::now();
    const std::string up = IncDigits(big, false);
    const std::string down = DecDigits(up, false);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 2.0);
    EXPECT_EQ(up, "1" + Rep('0', 200000));
    EXPECT_EQ(down, big);
}

TEST(DigitsTest, CompareDigits)
{
    // Leading zeros do not count; the order's consistency on any input is a property of the digit_strings fuzz
    // target.
    const std::tuple<std::string, std::string, int> cases[] = {
        {"007", "7", 0}, {"", "000", 0}, {"0010", "9", 1}, {"0999", "1000", -1}, {"1" + Rep('0', 39), Rep('9', 39), 1}};
    for (const auto& [a, b, expected] : cases)
        EXPECT_EQ(CompareDigits(a, b), expected) << a << " vs " << b;
}

TEST(DigitsTest, ZerosAndStars)
{
    EXPECT_FALSE(IsAllZeros("a"));
    EXPECT_EQ(PadZeros("5", -4), "5");
    // The last star takes the number; width 0 fills nothing, and a longer number is never cut to the width.
    const std::tuple<std::string, std::string, int, std::string> cases[] = {{"a*b*c", "5", 3, "a*b005c"},
                                                                            {"abc", "5", 3, "abc"},
                                                                            {"*", "12", 0, "12"},
                                                                            {"x*", "1234", 2, "x1234"},
                                                                            {"*a", "", 2, "00a"}};
    for (const auto& [templ, digits, width, out] : cases)
        EXPECT_EQ(ReplaceStar(templ, digits, width), out) << templ;
}

} // namespace
} // namespace pelldra
