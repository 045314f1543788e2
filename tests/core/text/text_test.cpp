// Tests of the text helpers: URL form encoding, Base64, path and URL parts, ASCII case and blanks.

#include "core/text/encoding.h"
#include "core/text/text_utils.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
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
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"}, {"\xff", "/w=="}, {"\xff\xfe", "//4="}, {"\xff\xfe\xfd", "//79"},
        {std::string("\0\0\0", 3), "AAAA"}, {"ユーザ:パス", "44Om44O844K2OuODkeOCuQ=="}};
    // clang-format on
    for (const auto& [plain, encoded] : cases)
        EXPECT_EQ(Base64(plain), encoded) << encoded;
}

TEST(TextUtils, AfterLastAndUpToLast)
{
    // The text, what AfterLast gives, what UpToLast gives.
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"http://host/dir/a.jpg", "a.jpg", "http://host/dir/"},
        {"a.jpg", "a.jpg", "a.jpg"},
        {"dir/", "", "dir/"},
        {"", "", ""},
        {"連番/画像.jpg", "画像.jpg", "連番/"}};
    for (const auto& [s, after, upTo] : cases) {
        EXPECT_EQ(AfterLast(s, '/'), after) << s;
        EXPECT_EQ(UpToLast(s, '/'), upTo) << s;
    }
}

TEST(TextUtils, ServerPartUrlExtensionAndChangeExtension)
{
    using Fn = std::string (*)(const std::string&);
    const Fn toPng = [](const std::string& path) { return ChangeExtension(path, "png"); };
    const std::tuple<Fn, std::string, std::string> cases[] = {
        {ServerPart, "http://example.com:8080/a", "http://example.com:8080"},
        {ServerPart, "https://user:pw@example.com/a", "https://user:pw@example.com"},
        {ServerPart, "http://example.com", "http://example.com"},
        {ServerPart, "http://example.com?q=/x", "http://example.com?q="},
        {ServerPart, "example.com/dir/a.jpg", ""},
        {UrlExtension, "http://host/dir/img.php?id=3", "php"},
        {UrlExtension, "http://host/dir/a.tar.gz", "gz"},
        {UrlExtension, "http://host/dir.x/name", ""},
        {UrlExtension, "http://host/dir/", ""},
        {UrlExtension, "http://host/a.JPG?x", "JPG"},
        {UrlExtension, "http://host/a.?x", ""},
        {UrlExtension, "C:\\dl\\pic.png", "png"},
        {UrlExtension, "http://host/dir\\odd.gif", "gif"},
        {toPng, "/dl/a.jpg", "/dl/a.png"},
        {toPng, "/dl/a", "/dl/a.png"},
        {toPng, "/dl/a.tar.gz", "/dl/a.tar.png"},
        {toPng, "/d.x/file", "/d.x/file.png"},
        {toPng, "C:\\d.x\\file", "C:\\d.x\\file.png"},
        {toPng, "/dl/a.", "/dl/a.png"}};
    for (const auto& [fn, in, out] : cases)
        EXPECT_EQ(fn(in), out) << in;
}

TEST(TextUtils, CountOccurrencesCountsOverlaps)
{
    const std::tuple<std::string, std::string, int> cases[] = {
        {"aaaa", "aa", 3}, {"ababa", "aba", 2}, {"a*b*c", "*", 2}, {"連番連番", "連番", 2},
        {"", "a", 0},      {"abc", "", 0},      {"ab", "abc", 0}};
    for (const auto& [s, sub, count] : cases)
        EXPECT_EQ(CountOccurrences(s, sub), count) << s << " / " << sub;
}

TEST(TextUtils, CaseAndBlanksOfAsciiHeaderText)
{
    // Only ASCII letters fold; UTF-8 bytes and the rest stay as they are.
    EXPECT_EQ(AsciiLower("Content-Type: IMAGE/JPEG 連番"), "content-type: image/jpeg 連番");
    const std::tuple<std::string, std::string, bool> names[] = {
        {"Content-Length", "content-length", true},
        {"LOCATION", "Location", true},
        {"location", "locations", false},
        {"", "", true},
        {"連番", "連番", true},
        {"[", "{", false},
        {"@", "`", false},
        // eight bytes at a time, and the overlapping last eight
        {"APPLICATION/OCTET-STREAM", "application/octet-stream", true},
        {"content-type[x", "CONTENT-TYPE{x", false},
        {"last-modified\xC1", "LAST-MODIFIED\xE1", false}};
    for (const auto& [a, b, equal] : names)
        EXPECT_EQ(EqualsNoCase(a, b), equal) << a << " / " << b;
    const std::pair<std::string, std::string> trims[] = {
        {"  image/jpeg \r\n", "image/jpeg"}, {"\t\v\f", ""}, {"", ""}, {"a b", "a b"}, {" 連番\n", "連番"}};
    for (const auto& [in, out] : trims)
        EXPECT_EQ(TrimBlanks(in), out) << in;
}

} // namespace
} // namespace pelldra
