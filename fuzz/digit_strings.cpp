// Fuzz target: URL decoding and the digit-string arithmetic on random text, with properties that must hold.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>

#include "core/sequence/digits.h"
#include "core/text/encoding.h"
#include "require.h"

using namespace pelldra;

namespace {

bool AllDigits(const std::string& s)
{
    return s.find_first_not_of("0123456789") == std::string::npos;
}

void CheckSteps(const std::string& x)
{
    for (const bool keepWidth : {false, true}) {
        const std::string up = IncDigits(x, keepWidth);
        Require(AllDigits(up) && !up.empty(), "IncDigits gives digits");
        Require(CompareDigits(up, x) == 1, "IncDigits is greater");
        if (keepWidth)
            Require(up.size() >= x.size(), "IncDigits with keepWidth keeps the width");
        const std::string back = DecDigits(up, keepWidth);
        Require(AllDigits(back), "DecDigits gives digits");
        Require(CompareDigits(back, x) == 0, "DecDigits undoes IncDigits");
        if (keepWidth && up.size() == x.size())
            Require(back == x, "DecDigits(IncDigits(x)) is x when the width did not grow");
        if (!IsAllZeros(x)) {
            const std::string down = DecDigits(x, keepWidth);
            Require(CompareDigits(down, x) == -1, "DecDigits is smaller");
            Require(CompareDigits(IncDigits(down, keepWidth), x) == 0, "IncDigits undoes DecDigits");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const std::string a = in.ConsumeRandomLengthString(512);
    const std::string b = in.ConsumeRandomLengthString(512);
    const int width = in.ConsumeIntegralInRange<int>(-2, 40);

    const std::string decoded = UrlDecode(a);
    Require(decoded.size() <= a.size(), "UrlDecode never grows");
    Require(UrlDecode(UrlEncode(a)) == a, "UrlDecode undoes UrlEncode");

    // Arbitrary bytes: the comparison is still a consistent order.
    const int ab = CompareDigits(a, b);
    Require(ab >= -1 && ab <= 1, "CompareDigits range");
    Require(CompareDigits(b, a) == -ab, "CompareDigits antisymmetric");
    Require(CompareDigits(a, a) == 0, "CompareDigits reflexive");
    (void)IncDigits(a, true);
    (void)DecDigits(b, false);

    // The same bytes read as digit strings.
    std::string x;
    std::string y;
    for (const char c : a)
        x += static_cast<char>('0' + static_cast<unsigned char>(c) % 10);
    for (const char c : b)
        y += static_cast<char>('0' + static_cast<unsigned char>(c) % 10);
    if (!x.empty())
        CheckSteps(x);
    Require(IsAllZeros(x) == (CompareDigits(x, "") == 0), "all zeros equals the empty string");
    const int xy = CompareDigits(x, y);
    Require(CompareDigits(y, x) == -xy, "CompareDigits antisymmetric on digits");
    Require(CompareDigits(PadZeros(x, width), x) == 0, "zero fill keeps the value");
    if (xy < 0 && !y.empty())
        Require(CompareDigits(IncDigits(x, false), y) <= 0, "nothing lies between x and x + 1");

    const std::string r = ReplaceStar(b, x, width);
    if (b.find('*') == std::string::npos)
        Require(r == b, "ReplaceStar without a star");
    else
        Require(r.size() == b.size() - 1 + PadZeros(x, width).size(), "ReplaceStar length");
    return 0;
}
