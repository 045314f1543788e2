// Tests of the decimal digit-string arithmetic: stepping, comparing, zero fill and star replacement.
#include "core/sequence/digits.h"

#include <chrono>
#include <string>

#include <gtest/gtest.h>

namespace pelldra {
namespace {

std::string Rep(char c, size_t n)
{
    return std::string(n, c);
}

struct StepCase
{
    std::string in;
    bool keepWidth;
    std::string out;
};

TEST(DigitsTest, IncDigits)
{
    const StepCase cases[] = {
        {"0099", true, "0100"},
        {"0099", false, "100"},
        {"999", true, "1000"},
        {"999", false, "1000"},
        {"09", false, "10"},
        {"0", false, "1"},
        {"000000", true, "000001"},
        {"000000", false, "1"},
        {"999999", true, "1000000"},
        {"", false, ""},
        {"", true, ""},
        // Longer than one 6-digit chunk: leading zeros stay even without keepWidth.
        {"1234999999", false, "1235000000"},
        {"0000999", false, "0001000"},
        {"9999999", false, "10000000"},
        {"0999999", false, "1000000"},
        {"0000000999999", false, "0000001000000"},
        {"999999999999", true, "1000000000000"},
        {"000001999999999999", true, "000002000000000000"},
        // A carry into a head of at most six digits writes the head without its leading zeros.
        {"000001999999999999", false, "2000000000000"},
    };
    for (const StepCase& c : cases)
        EXPECT_EQ(IncDigits(c.in, c.keepWidth), c.out) << c.in << " keepWidth " << c.keepWidth;
}

TEST(DigitsTest, DecDigits)
{
    const StepCase cases[] = {
        {"1000000", false, "0999999"},
        {"1000000", true, "0999999"},
        {"10", false, "9"},
        {"10", true, "09"},
        {"0010000000", false, "9999999"},
        {"0010000000", true, "0009999999"},
        {"1", false, "0"},
        {"100", true, "099"},
        {"100", false, "99"},
        {"", false, ""},
        {"1000000000000", false, "0999999999999"},
        {"1000001000000", false, "1000000999999"},
        {"000002000000000000", true, "000001999999999999"},
    };
    for (const StepCase& c : cases)
        EXPECT_EQ(DecDigits(c.in, c.keepWidth), c.out) << c.in << " keepWidth " << c.keepWidth;
}

TEST(DigitsTest, FortyDigitNumbersStepAndCompare)
{
    const std::string x = "1234567890123456789012345678901234567890";
    const std::string up = IncDigits(x, true);
    EXPECT_EQ(up, "1234567890123456789012345678901234567891");
    EXPECT_EQ(CompareDigits(up, x), 1);
    EXPECT_EQ(CompareDigits(x, up), -1);
    EXPECT_EQ(DecDigits(up, true), x);

    // A carry that runs through six chunks and into the head.
    const std::string nines = "12" + Rep('9', 38);
    EXPECT_EQ(IncDigits(nines, false), "13" + Rep('0', 38));
    EXPECT_EQ(DecDigits("13" + Rep('0', 38), false), nines);
    EXPECT_EQ(IncDigits(Rep('9', 40), false), "1" + Rep('0', 40));
    // The borrow shrinks the 5-digit head; the chunks below keep their width.
    EXPECT_EQ(DecDigits("1" + Rep('0', 40), false), Rep('9', 40));
    EXPECT_EQ(DecDigits("1" + Rep('0', 40), true), "0" + Rep('9', 40));

    // Stepping up across a chunk border keeps the order at every step.
    std::string v = "7" + Rep('9', 33) + "99998";
    for (int k = 0; k < 4; ++k) {
        const std::string next = IncDigits(v, true);
        ASSERT_EQ(CompareDigits(next, v), 1) << v;
        ASSERT_EQ(DecDigits(next, true), v);
        v = next;
    }
    EXPECT_EQ(v, "8" + Rep('0', 33) + "00002");
}

TEST(DigitsTest, VeryLongNumbersStepInLinearTime)
{
    // 200 000 nines carry through every chunk; each step must not copy the whole string once per chunk.
    const std::string big = Rep('9', 200000);
    const auto t0 = std::chrono::steady_clock::now();
    const std::string up = IncDigits(big, false);
    const std::string down = DecDigits(up, false);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    ASSERT_EQ(up.size(), big.size() + 1);
    EXPECT_EQ(up, "1" + Rep('0', 200000));
    EXPECT_EQ(down, big);
    EXPECT_LT(seconds, 2.0);
}

TEST(DigitsTest, CompareDigits)
{
    struct Case
    {
        std::string a;
        std::string b;
        int expected;
    };
    const Case cases[] = {
        {"007", "7", 0},
        {"", "000", 0},
        {"", "", 0},
        {"0", "", 0},
        {"10", "9", 1},
        {"123", "124", -1},
        {"0010", "9", 1},
        {"1", "0000", 1},
        {"0999", "1000", -1},
        {"1" + Rep('0', 39), Rep('9', 39), 1},
        {"00" + Rep('5', 38), Rep('5', 38), 0},
        {Rep('5', 38) + "4", Rep('5', 38) + "6", -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CompareDigits(c.a, c.b), c.expected) << c.a << " vs " << c.b;
        EXPECT_EQ(CompareDigits(c.b, c.a), -c.expected) << c.b << " vs " << c.a;
    }
}

TEST(DigitsTest, IsAllZerosAndPadZeros)
{
    EXPECT_TRUE(IsAllZeros(""));
    EXPECT_TRUE(IsAllZeros("0000"));
    EXPECT_FALSE(IsAllZeros("0100"));
    EXPECT_FALSE(IsAllZeros("a"));

    struct Case
    {
        std::string s;
        int width;
        std::string out;
    };
    const Case cases[] = {
        {"7", 3, "007"}, {"1234", 3, "1234"}, {"", 2, "00"}, {"5", 0, "5"}, {"5", -4, "5"}, {"12", 2, "12"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PadZeros(c.s, c.width), c.out) << c.s << " width " << c.width;
}

TEST(DigitsTest, ReplaceStar)
{
    struct Case
    {
        std::string templ;
        std::string digits;
        int width;
        std::string out;
    };
    const Case cases[] = {
        {"a*b*c", "5", 3, "a*b005c"}, // the last star takes the number
        {"abc", "5", 3, "abc"},       // no star: unchanged
        {"*", "12", 0, "12"},         // width 0: no fill
        {"x*", "1234", 2, "x1234"},   // never cut to the width
        {"p*/*.jpg", "7", 2, "p*/07.jpg"},
        {"*a", "", 2, "00a"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReplaceStar(c.templ, c.digits, c.width), c.out) << c.templ;
}

} // namespace
} // namespace pelldra
