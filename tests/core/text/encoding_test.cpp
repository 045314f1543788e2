// Tests of URL form encoding and Base64.
#include "core/text/encoding.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace pelldra {
namespace {

TEST(Encoding, UrlEncodeKeepsOnlyLettersDigitsAndUnderscore)
{
    const std::pair<std::string, std::string> cases[] = {
        {"a b/c", "a+b%2fc"}, {"AZaz09_", "AZaz09_"}, {"-.~*", "%2d%2e%7e%2a"},
        {"+%", "%2b%25"},     {"日", "%e6%97%a5"},    {std::string("\0\xff", 2), "%00%ff"}};
    for (const auto& [plain, encoded] : cases) {
        EXPECT_EQ(UrlEncode(plain), encoded) << encoded;
        EXPECT_EQ(UrlDecode(encoded), plain) << encoded;
    }
}

TEST(Encoding, UrlDecodeStopsAtAPercentWithoutTwoCharacters)
{
    const std::pair<std::string, std::string> cases[] = {{"%2F%2f", "//"}, {"ab%4", "ab"}, {"ab%", "ab"},
                                                         {"%41%", "A"},    {"%4", ""},     {"x%41y", "xAy"}};
    for (const auto& [encoded, plain] : cases)
        EXPECT_EQ(UrlDecode(encoded), plain) << encoded;
}

TEST(Encoding, Base64)
{
    // The test vectors of RFC 4648, then bytes above 0x7f, which must not be sign-extended into their neighbours.
    const std::pair<std::string, std::string> cases[] = {{"", ""},
                                                         {"f", "Zg=="},
                                                         {"fo", "Zm8="},
                                                         {"foo", "Zm9v"},
                                                         {"foob", "Zm9vYg=="},
                                                         {"fooba", "Zm9vYmE="},
                                                         {"foobar", "Zm9vYmFy"},
                                                         {"\xff", "/w=="},
                                                         {"\xff\xfe", "//4="},
                                                         {"\xff\xfe\xfd", "//79"},
                                                         {std::string("\0\0\0", 3), "AAAA"},
                                                         {"ユーザ:パス", "44Om44O844K2OuODkeOCuQ=="}};
    for (const auto& [plain, encoded] : cases)
        EXPECT_EQ(Base64(plain), encoded) << encoded;
}

} // namespace
} // namespace pelldra
