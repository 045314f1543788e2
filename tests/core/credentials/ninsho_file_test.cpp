// Tests of reading and writing the credentials data file.
#include "core/credentials/ninsho_file.h"
#include "core/credentials/scramble.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <tuple>
#include <vector>

namespace pelldra {
namespace {

using namespace std::string_literals;

const std::string kHeader = "NCFile version 1\r\n";

std::string Group(const std::string& name, const std::string& user, const std::string& pass, const std::string& site,
                  const std::string& page, const char* eol = "\r\n")
{
    return name + eol + user + eol + ScramblePassword(pass, 5) + eol + site + eol + page + eol;
}

std::vector<std::string> Keys(const NinshoFileContents& c)
{
    std::vector<std::string> keys;
    for (const CAuthRecord& r : c.records)
        keys.push_back(r.GetSiteUrl());
    return keys;
}

TEST(NinshoFile, HeaderAndGroups)
{
    const std::string g1 = Group("one", "u", "p", "http://h/a/", "http://h/a/1.jpg");
    const std::string g2 = Group("two", "u", "q", "http://h/b/", "http://h/b/1.jpg");
    const std::vector<std::string> a = {"http://h/a/"}, ab = {"http://h/a/", "http://h/b/"};
    // What the file is, its bytes, whether its header is good, the keys read.
    const std::tuple<const char*, std::string, bool, std::vector<std::string>> cases[] = {
        {"empty file", "", true, {}},
        {"header only", kHeader, true, {}},
        {"other version", "NCFile version 7\r\n" + g1, true, a},
        {"no number", "NCFile version\n" + g1, true, a},
        {"short header", "NCFile\r\n" + g1, false, {}},
        {"blank first line", "\r\n" + g1, false, {}},
        {"header cut by NUL", "NCFile\0version 1\r\n"s + g1, false, {}},
        {"seven lines", kHeader + g1 + "x\r\ny\r\n", true, a},
        {"no final line end", kHeader + g1 + g2.substr(0, g2.size() - 2), true, ab},
        {"LF only", "NCFile version 1\n" + Group("one", "u", "p", "http://h/a/", "", "\n"), true, a},
        {"file order does not matter", kHeader + g2 + g1, true, ab},
        {"empty site URL skipped", kHeader + Group("n", "u", "p", "", "x") + g1, true, a}};
    for (const auto& [what, bytes, headerOk, keys] : cases) {
        const NinshoFileContents got = ParseNinshoFile(bytes);
        EXPECT_EQ(got.headerOk, headerOk) << what;
        EXPECT_EQ(Keys(got), keys) << what;
    }
}

TEST(NinshoFile, SameKeyCollapsesToTheLastReadAndPrefixTakesOver)
{
    const NinshoFileContents got = ParseNinshoFile(
        kHeader + Group("first", "u", "p", "http://h/a/", "") + Group("second", "v", "q", "http://h/a/", "") +
        Group("deep", "w", "r", "http://h/x/y/", "") + Group("general", "w", "r", "http://h/x/", ""));
    ASSERT_EQ(Keys(got), (std::vector<std::string>{"http://h/a/", "http://h/x/"}));
    EXPECT_EQ(got.records[0].GetSiteName(), "second");
    EXPECT_EQ(got.records[0].GetPassword(), "q");
    EXPECT_EQ(got.records[1].GetSiteName(), "general");
}

TEST(NinshoFile, LinesAreReadThroughA1024ByteBufferAndNulEndsAValue)
{
    // 1022 bytes fit before CR LF; a longer line arrives in pieces and shifts the fields after it.
    const std::string fits(1022, 'n');
    NinshoFileContents got = ParseNinshoFile(kHeader + Group(fits, "u", "p", "http://h/", ""));
    ASSERT_EQ(got.records.size(), 1u);
    EXPECT_EQ(got.records[0].GetSiteName(), fits);

    got = ParseNinshoFile(kHeader + fits + "n\r\nu\r\nhttp://h/\r\np\r\n");
    ASSERT_EQ(got.records.size(), 1u);
    EXPECT_EQ(got.records[0].GetSiteName(), fits);
    EXPECT_EQ(got.records[0].GetUserId(), ""); // the line end that did not fit
    EXPECT_EQ(got.records[0].GetPassword(), "");
    EXPECT_EQ(got.records[0].GetSiteUrl(), "http://h/");
    EXPECT_EQ(got.records[0].GetPageUrl(), "p");

    got = ParseNinshoFile(kHeader + "na\0me\r\nu\r\n\r\nhttp://h/\0junk\r\np\r\n"s);
    ASSERT_EQ(got.records.size(), 1u);
    EXPECT_EQ(got.records[0].GetSiteName(), "na");
    EXPECT_EQ(got.records[0].GetSiteUrl(), "http://h/");
    EXPECT_EQ(got.records[0].GetPageUrl(), "p");
}

TEST(NinshoFile, FormatIsExact)
{
    CAuthRecord r;
    r.SetSiteName("サイト");
    r.SetUserId("user");
    r.SetPassword("ab");
    r.SetSiteUrl("http://h/");
    CAuthRecord empty;
    empty.SetSiteUrl("http://i/");
    EXPECT_EQ(FormatNinshoFile({r, empty}, 25),
              kHeader + "サイト\r\nuser\r\n9%9a%82\r\nhttp://h/\r\n\r\n\r\n\r\n\r\nhttp://i/\r\n\r\n");
}

TEST(NinshoFile, HundredThousandRecordsInReverseOrderLoadQuickly)
{
    // CPU time of this thread, so that a busy machine does not count against the parser.
    const auto cpuSeconds = [] {
        timespec t{};
        ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
    };
    const auto timeToLoad = [&](int count) {
        std::string file = kHeader;
        for (int i = count; i > 0; --i)
            file += "n\r\nu\r\n\r\nhttp://h/" + std::to_string(i) + "/\r\n\r\n";
        const double start = cpuSeconds();
        const NinshoFileContents got = ParseNinshoFile(file);
        const double seconds = cpuSeconds() - start;
        EXPECT_EQ(got.records.size(), static_cast<size_t>(count));
        EXPECT_EQ(got.records.front().GetSiteUrl(), "http://h/1/");
        return seconds;
    };
    const double tSmall = timeToLoad(10000);
    const double tLarge = timeToLoad(100000);
    // Ten times the records: a little over ten times the work. Shifting the array on every insert would make it 100.
    EXPECT_LT(tLarge, 40 * tSmall + 0.05) << tSmall << " s, then " << tLarge << " s";
}

} // namespace
} // namespace pelldra
