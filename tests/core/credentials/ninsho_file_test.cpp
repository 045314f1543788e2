// Tests of reading and writing the credentials data file.
#include "core/credentials/ninsho_center.h"
#include "core/credentials/ninsho_file.h"
#include "core/credentials/scramble.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

namespace pelldra {
namespace {

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
    struct Case
    {
        const char* what;
        std::string bytes;
        bool headerOk;
        std::vector<std::string> keys;
    };
    const std::string g1 = Group("one", "u", "p", "http://h/a/", "http://h/a/1.jpg");
    const std::string g2 = Group("two", "u", "q", "http://h/b/", "http://h/b/1.jpg");
    const Case cases[] = {
        {"empty file", "", true, {}},
        {"header only", "NCFile version 1\r\n", true, {}},
        {"other version", "NCFile version 7\r\n" + g1, true, {"http://h/a/"}},
        {"no number", "NCFile version\n" + g1, true, {"http://h/a/"}},
        {"short header", "NCFile\r\n" + g1, false, {}},
        {"blank first line", "\r\n" + g1, false, {}},
        {"header cut by NUL", std::string("NCFile\0version 1\r\n", 18) + g1, false, {}},
        {"seven lines", "NCFile version 1\r\n" + g1 + "x\r\ny\r\n", true, {"http://h/a/"}},
        {"no final line end",
         "NCFile version 1\r\n" + g1 + g2.substr(0, g2.size() - 2),
         true,
         {"http://h/a/", "http://h/b/"}},
        {"LF only", "NCFile version 1\n" + Group("one", "u", "p", "http://h/a/", "", "\n"), true, {"http://h/a/"}},
        {"file order does not matter", "NCFile version 1\r\n" + g2 + g1, true, {"http://h/a/", "http://h/b/"}},
        {"empty site URL skipped", "NCFile version 1\r\n" + Group("n", "u", "p", "", "x") + g1, true, {"http://h/a/"}},
    };
    for (const Case& c : cases) {
        const NinshoFileContents got = ParseNinshoFile(c.bytes);
        EXPECT_EQ(got.headerOk, c.headerOk) << c.what;
        EXPECT_EQ(Keys(got), c.keys) << c.what;
    }
}

TEST(NinshoFile, SameKeyCollapsesToTheLastReadAndPrefixTakesOver)
{
    const std::string bytes = "NCFile version 1\r\n" + Group("first", "u", "p", "http://h/a/", "") +
                              Group("second", "v", "q", "http://h/a/", "") +
                              Group("deep", "w", "r", "http://h/x/y/", "") +
                              Group("general", "w", "r", "http://h/x/", "");
    const NinshoFileContents got = ParseNinshoFile(bytes);
    ASSERT_EQ(got.records.size(), 2u);
    EXPECT_EQ(got.records[0].GetSiteName(), "second");
    EXPECT_EQ(got.records[0].GetPassword(), "q");
    EXPECT_EQ(got.records[1].GetSiteName(), "general");
    EXPECT_EQ(got.records[1].GetSiteUrl(), "http://h/x/");
}

TEST(NinshoFile, LinesAreReadThroughA1024ByteBuffer)
{
    // 1022 bytes fit before CR LF; a longer line arrives in pieces and shifts the fields after it.
    const std::string fits(1022, 'n');
    NinshoFileContents got = ParseNinshoFile("NCFile version 1\r\n" + Group(fits, "u", "p", "http://h/", ""));
    ASSERT_EQ(got.records.size(), 1u);
    EXPECT_EQ(got.records[0].GetSiteName(), fits);

    const std::string tooLong(1023, 'n');
    got = ParseNinshoFile("NCFile version 1\r\n" + tooLong + "\r\nu\r\nhttp://h/\r\np\r\n");
    ASSERT_EQ(got.records.size(), 1u);
    EXPECT_EQ(got.records[0].GetSiteName(), tooLong.substr(0, 1022));
    EXPECT_EQ(got.records[0].GetUserId(), ""); // the line end that did not fit
    EXPECT_EQ(got.records[0].GetPassword(), "");
    EXPECT_EQ(got.records[0].GetSiteUrl(), "http://h/");
    EXPECT_EQ(got.records[0].GetPageUrl(), "p");
}

TEST(NinshoFile, NulEndsTheValue)
{
    const std::string bytes = "NCFile version 1\r\n" + std::string("na\0me\r\n", 7) + "u\r\n\r\n" +
                              std::string("http://h/\0junk\r\n", 16) + "p\r\n";
    const NinshoFileContents got = ParseNinshoFile(bytes);
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
              "NCFile version 1\r\nサイト\r\nuser\r\n9%9a%82\r\nhttp://h/\r\n\r\n\r\n\r\n\r\nhttp://i/\r\n\r\n");
}

TEST(NinshoFile, WrittenRecordsReadBackUnchanged)
{
    std::vector<CAuthRecord> records;
    auto add = [&](const std::string& key, const std::string& user, const std::string& pass) {
        CAuthRecord r;
        r.SetSiteName("name " + key);
        r.SetSiteUrl(key);
        r.SetUserId(user);
        r.SetPassword(pass);
        r.SetPageUrl(key + "page.html");
        records.push_back(r);
    };
    add("http://h/", "u", " leading space");
    add("http://h/a/", "ユーザー", "");
    add("http://h/b/", "u", std::string("\x80\xff\n\0\r", 5));
    add("http://h/c/", "u", std::string(400, '\xee')); // cut to the bound, still one line
    for (const std::int64_t now : {0, 1, 13, 1700000000}) {
        const NinshoFileContents got = ParseNinshoFile(FormatNinshoFile(records, now));
        EXPECT_TRUE(got.headerOk);
        EXPECT_EQ(got.records, records) << "at " << now;
    }
}

TEST(NinshoFile, LoadingEqualsInsertingInFileOrder)
{
    // The loader sorts with a map; the store inserts into its array. Both must follow the same rule.
    std::mt19937 rng(12345);
    const char* parts[] = {"a/", "b/", "a/b/", "x", "a/c.jpg"};
    for (int round = 0; round < 50; ++round) {
        std::string file = "NCFile version 1\r\n";
        CNinshoCenter store{CNinshoCenter::InMemory{}};
        for (int i = 0; i < 12; ++i) {
            std::string key = "http://h/";
            const int depth = static_cast<int>(rng() % 3);
            for (int d = 0; d < depth; ++d)
                key += parts[rng() % 5];
            const std::string user = rng() % 2 ? "u" : "v";
            const std::string name = "n" + std::to_string(i);
            file += Group(name, user, "p", key, "");
            CAuthRecord r;
            r.SetSiteName(name);
            r.SetUserId(user);
            r.SetPassword("p");
            r.SetSiteUrl(key);
            int index = -1;
            store.Add(r, index);
        }
        const NinshoFileContents got = ParseNinshoFile(file);
        ASSERT_EQ(static_cast<int>(got.records.size()), store.GetCount()) << file;
        for (int i = 0; i < store.GetCount(); ++i)
            EXPECT_EQ(got.records[static_cast<size_t>(i)], store.GetAt(i)) << file;
    }
}

TEST(NinshoFile, HundredThousandRecordsInReverseOrderLoadQuickly)
{
    const auto fileOf = [](int count) {
        std::string file = "NCFile version 1\r\n";
        for (int i = count; i > 0; --i)
            file += "n\r\nu\r\n\r\nhttp://h/" + std::to_string(i) + "/\r\n\r\n";
        return file;
    };
    const auto timeToLoad = [](const std::string& file, size_t& count) {
        const auto start = std::chrono::steady_clock::now();
        const NinshoFileContents got = ParseNinshoFile(file);
        count = got.records.size();
        EXPECT_EQ(got.records.front().GetSiteUrl(), "http://h/1/");
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    size_t small = 0;
    size_t large = 0;
    const double tSmall = timeToLoad(fileOf(10000), small);
    const double tLarge = timeToLoad(fileOf(100000), large);
    EXPECT_EQ(small, 10000u);
    EXPECT_EQ(large, 100000u);
    // Ten times the records: a little over ten times the work. Shifting the array on every insert would make it 100.
    EXPECT_LT(tLarge, 40 * tSmall + 0.05) << tSmall << " s, then " << tLarge << " s";
}

} // namespace
} // namespace pelldra
