// Tests of the credential record's setters and the password scrambling.
#include "core/credentials/auth_record.h"
#include "core/credentials/scramble.h"

#include <gtest/gtest.h>

#include <string>

namespace pelldra {
namespace {

TEST(AuthRecord, PlainSettersTrimAndKeepOneLine)
{
    const std::string longAscii(1500, 'a');
    // Three-byte characters: the 1022-byte cut falls inside one, which must go whole.
    std::string longUtf8;
    for (int i = 0; i < 400; ++i)
        longUtf8 += "\xe3\x81\x82"; // あ
    const std::pair<std::string, std::string> cases[] = {
        {" \t user \r\n", "user"},
        {" \r\n\t ", ""},
        {"first\r\nsecond", "first"},
        {"first \nsecond", "first"}, // a blank left before the cut goes too
        {"\nvalue", "value"},
        {std::string("ab\0cd", 5), "ab"},
        {std::string("\0ab", 3), ""},
        {longAscii, longAscii.substr(0, 1022)},
        {longUtf8, longUtf8.substr(0, 1020)},
        {"ユーザー", "ユーザー"}};
    for (const auto& [in, out] : cases) {
        CAuthRecord r;
        r.SetSiteName(in);
        r.SetSiteUrl(in);
        r.SetUserId(in);
        r.SetPageUrl(in);
        for (const std::string& got : {r.GetSiteName(), r.GetSiteUrl(), r.GetUserId(), r.GetPageUrl()})
            EXPECT_EQ(got, out) << in;
    }
}

TEST(AuthRecord, PasswordIsKeptAsGivenUpToItsBound)
{
    CAuthRecord r;
    r.SetPassword(" pass word \t");
    EXPECT_EQ(r.GetPassword(), " pass word \t");
    r.SetPassword(std::string("a\nb\0c", 5));
    EXPECT_EQ(r.GetPassword(), std::string("a\nb\0c", 5));
    r.SetPassword(std::string(500, 'x'));
    EXPECT_EQ(r.GetPassword().size(), CAuthRecord::kMaxPasswordBytes);
    // Even the worst case of the bound must fit the file's line after scrambling.
    r.SetPassword(std::string(500, '\xff'));
    EXPECT_LE(ScramblePassword(r.GetPassword(), 0).size(), CAuthRecord::kMaxValueBytes);
}

TEST(Scramble, KnownOutputAndRoundTripsAtManyClockValues)
{
    // Start key 32 (a blank, encoded "+"), then 'a' + 32; start key 57 ('9') wraps to 32 for the second byte.
    EXPECT_EQ(ScramblePassword("a", 0), "+%81");
    EXPECT_EQ(ScramblePassword("a", 26), "+%81");
    EXPECT_EQ(ScramblePassword("ab", 25), "9%9a%82");
    EXPECT_EQ(UnscramblePassword("  9%9a%82 \r\n"), "ab");
    EXPECT_NE(ScramblePassword("same", 3), ScramblePassword("same", 4));

    std::string everyByte;
    for (int b = 0; b < 256; ++b)
        everyByte += static_cast<char>(b);
    const std::string texts[] = {"", " leading space", "trailing ", "パスワード", "\x80\xff\xfe\x81", everyByte};
    for (const std::int64_t now : {0L, 1L, 25L, 26L, 27L, 51L, 1700000013L, -1L, -27L, INT64_MAX}) {
        for (const std::string& t : texts) {
            const std::string s = ScramblePassword(t, now);
            EXPECT_EQ(s.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_+%"),
                      std::string::npos)
                << s;
            EXPECT_EQ(UnscramblePassword(s), t) << "at " << now;
        }
    }
}

} // namespace
} // namespace pelldra
