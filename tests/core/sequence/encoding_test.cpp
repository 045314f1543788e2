// Tests of URL form encoding and Base64.
#include "core/sequence/encoding.h"

#include <gtest/gtest.h>

#include <vector>

namespace pelldra {
namespace {

TEST(Encoding, UrlEncodeKeepsOnlyLettersDigitsAndUnderscore)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"a b/c", "a+b%2fc"},
        {"AZaz09_", "AZaz09_"},
        {"-.~*", "%2d%2e%7e%2a"},
        {"+%", "%2b%25"},
        {"日", "%e6%97%a5"},
        {std::string("\0\xff", 2), "%00%ff"},
        {"", ""},
    };
    for (const auto& [plain, encoded] : cases) {
        EXPECT_EQ(UrlEncode(plain), encoded) << encoded;
        EXPECT_EQ(UrlDecode(encoded), plain) << encoded;
    }
}

TEST(Encoding, UrlDecodeOfEveryByteRoundTrips)
{
    std::string all;
    for (int c = 0; c < 256; ++c)
        all += static_cast<char>(c);
    EXPECT_EQ(UrlDecode(UrlEncode(all)), all);
}

TEST(Encoding, UrlDecodeStopsAtAPercentWithoutTwoCharacters)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"%2F%2f", "//"},
        {"a+b", "a b"},
        {"ab%4", "ab"},
        {"ab%", "ab"},
        {"%41%", "A"},
        {"%4", ""},
        {"100%", "100"},
        {"x%41y", "xAy"},
    };
    for (const auto& [encoded, plain] : cases)
        EXPECT_EQ(UrlDecode(encoded), plain) << encoded;
}

TEST(Encoding, Base64)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        // RFC 4648 test vectors
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        // bytes above 0x7f must not be sign-extended into the neighbouring characters
        {"\xff", "/w=="},
        {"\xff\xfe", "//4="},
        {"\xff\xfe\xfd", "//79"},
        {std::string("\0\0\0", 3), "AAAA"},
        {"user:pass", "dXNlcjpwYXNz"},
        {"ユーザ:パス", "44Om44O844K2OuODkeOCuQ=="},
    };
    for (const auto& [plain, encoded] : cases)
        EXPECT_EQ(Base64(plain), encoded) << encoded;
}

} // namespace
} // namespace pelldra
