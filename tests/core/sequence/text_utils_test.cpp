// Tests of the path and URL string helpers.
#include "core/sequence/text_utils.h"

#include <gtest/gtest.h>

#include <vector>

namespace pelldra {
namespace {

TEST(TextUtils, AfterLastAndUpToLast)
{
    struct Case
    {
        std::string s;
        char ch;
        std::string after;
        std::string upTo;
    };
    const std::vector<Case> cases = {
        {"http://host/dir/a.jpg", '/', "a.jpg", "http://host/dir/"},
        {"a.jpg", '/', "a.jpg", "a.jpg"},
        {"dir/", '/', "", "dir/"},
        {"/", '/', "", "/"},
        {"", '/', "", ""},
        {"連番/画像.jpg", '/', "画像.jpg", "連番/"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AfterLast(c.s, c.ch), c.after) << c.s;
        EXPECT_EQ(UpToLast(c.s, c.ch), c.upTo) << c.s;
    }
}

TEST(TextUtils, ServerPart)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"http://example.com/dir/a.jpg", "http://example.com"},
        {"http://example.com:8080/a", "http://example.com:8080"},
        {"https://user:pw@example.com/a", "https://user:pw@example.com"},
        {"http://example.com", "http://example.com"},
        {"http://example.com?q=/x", "http://example.com?q="},
        {"example.com/dir/a.jpg", ""},
        {"", ""},
    };
    for (const auto& [url, server] : cases)
        EXPECT_EQ(ServerPart(url), server) << url;
}

TEST(TextUtils, UrlExtension)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"http://host/dir/img.php?id=3", "php"},
        {"http://host/dir/a.jpg", "jpg"},
        {"http://host/dir/a.tar.gz", "gz"},
        {"http://host/dir.x/name", ""},
        {"http://host/dir/name", ""},
        {"http://host/dir/", ""},
        {"http://host/a.JPG?x", "JPG"},
        {"http://host/a.?x", ""},
        {"C:\\dl\\pic.png", "png"},
        {"http://host/dir\\odd.gif", "gif"},
    };
    for (const auto& [url, ext] : cases)
        EXPECT_EQ(UrlExtension(url), ext) << url;
}

TEST(TextUtils, ChangeExtension)
{
    struct Case
    {
        std::string path;
        std::string ext;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"/dl/a.jpg", "png", "/dl/a.png"},
        {"/dl/a", "png", "/dl/a.png"},
        {"/dl/a.tar.gz", "zip", "/dl/a.tar.zip"},
        {"/d.x/file", "jpg", "/d.x/file.jpg"},
        {"C:\\d.x\\file", "jpg", "C:\\d.x\\file.jpg"},
        {"/dl/a.", "jpg", "/dl/a.jpg"},
        {"a", "", "a."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChangeExtension(c.path, c.ext), c.expected) << c.path;
}

TEST(TextUtils, CountOccurrencesCountsOverlaps)
{
    struct Case
    {
        std::string s;
        std::string sub;
        int count;
    };
    const std::vector<Case> cases = {
        {"aaaa", "aa", 3}, {"a*b*c", "*", 2}, {"abc", "x", 0},   {"", "a", 0},
        {"abc", "", 0},    {"ab", "abc", 0},  {"ababa", "aba", 2}, {"連番連番", "連番", 2},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CountOccurrences(c.s, c.sub), c.count) << c.s << " / " << c.sub;
}

} // namespace
} // namespace pelldra
