// The series start command: ranges, widths, templates, subfolder and save name, folder, Referer and cookie.
#include "core/orders/sequential_order.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/queue/queue_item.h"
#include "core/sequence/seq_url.h"
#include "support/temp_env.h"

namespace pelldra {
namespace {

using Messages = std::vector<std::string>;

const std::string kFixed =
    "数値の桁を固定する場合は、ＵＲＬで選択されている数字と\n開始と終了の数字の桁数を同じにして下さい";
const std::string kUnsuitable = "  保存ファイル名が不適当なため、中止";

TEST(CheckFixedWidthTest, LeadingZerosMustAgreeWithTheUrlDigits)
{
    struct Case
    {
        const char* digits;
        const char* from;
        const char* to;
        int result;
        int width; // FixedWidth afterwards
    };
    const Case cases[] = {
        {"007", "1", "20", 1, 3},    // the URL asks for width 3; "1" is too short
        {"007", "", "", 0, 3},       // empty texts are always fine
        {"007", "001", "020", 0, 3}, // all agree
        {"007", "005", "", 0, 3},    // one text agreeing is enough
        {"7", "01", "20", 1, 0},     // a hint of 2 against one URL digit
        {"7", "1", "20", 0, 0},      // no leading zero anywhere: no fixed width
        {"12", "01", "20", 0, 2},    // the from text asks for width 2 and all are 2 long
        {"12", "01", "100", 1, 0},   // to is longer than the width asked for
        {"12", "01", "002", 1, 0},   // two different hints
        {"", "01", "5", 0, 7},       // nothing marked: passes and leaves the width alone
        {"0012", "", "0099", 0, 4},  // URL and to agree on 4
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.digits) + " " + c.from + ".." + c.to);
        int width = 7;
        EXPECT_EQ(CheckFixedWidth(c.digits, c.from, c.to, width), c.result);
        if (c.result == 0) {
            EXPECT_EQ(width, c.width);
        }
    }
}

// One start pressed on a window whose controls hold these values.
struct Press
{
    std::string url{};
    bool upper = false;
    std::string lowerFrom{};
    std::string lowerTo{};
    std::string upperFrom{};
    std::string upperTo{};
    bool subfolderOn = false;
    std::string subfolder{};
    std::string saveName{};
};

struct Expect
{
    Messages messages{}; // empty: accepted
    std::string St1{};
    std::string Ed1{};
    std::string St2{};
    std::string Ed2{};
    int Fx1 = 0; // -1: nothing marked, the width does not matter
    std::string Targ{};
    std::string Sub{};
    std::string destTail{}; // Dest after the folder
};

class SequentialOrderTest : public ::testing::Test
{
protected:
    OrderResult Build(const Press& p, CQueueItem& item)
    {
        return BuildSequentialItem(Controls(p), DetailSettings{}, state_, item);
    }

    SequentialControls Controls(const Press& p)
    {
        url_.SetText(p.url);
        url_.SetUpperEnabled(p.upper);
        SequentialControls c;
        c.url = &url_;
        c.lowerFrom = p.lowerFrom;
        c.lowerTo = p.lowerTo;
        c.upperOn = p.upper;
        c.upperFrom = p.upperFrom;
        c.upperTo = p.upperTo;
        c.subfolderOn = p.subfolderOn;
        c.subfolder = p.subfolder;
        c.saveName = p.saveName;
        c.folder = folder_;
        return c;
    }

    test::TempEnv env_;
    std::string folder_ = env_.makeFolder("dl");
    CSeqUrl url_;
    SequentialState state_;
};

TEST_F(SequentialOrderTest, WrittenEdgeCases)
{
    struct Case
    {
        const char* name;
        Press press;
        Expect expect;
    };
    const Case cases[] = {
        {"reversed range is turned round",
         {.url = "http://ex.com/img7.jpg", .lowerFrom = "5", .lowerTo = "3"},
         {.St1 = "3", .Ed1 = "5", .Targ = "http://ex.com/img*.jpg", .destTail = "img*.jpg"}},
        {"an end without start becomes an open start",
         {.url = "http://ex.com/img7.jpg", .lowerFrom = "", .lowerTo = "7"},
         {.St1 = "7", .Ed1 = "", .Targ = "http://ex.com/img*.jpg", .destTail = "img*.jpg"}},
        {"URL width 3 against from 1",
         {.url = "http://ex.com/img007.jpg", .lowerFrom = "1", .lowerTo = "20"},
         {.messages = {kFixed}}},
        {"the upper range's width is checked like the lower one's",
         {.url = "http://ex.com/v01/a1.jpg", .upper = true, .upperFrom = "1", .upperTo = "3"},
         {.messages = {kFixed}}},
        {"an upper range with no start has no number for its star",
         {.url = "http://ex.com/v1/a1.jpg", .upper = true},
         {.messages = {"上位数字列の範囲が空白です"}}},
        {"no digits and no range: the URL as typed",
         {.url = "http://ex.com/index.html"},
         {.Fx1 = -1, .Targ = "http://ex.com/index.html", .destTail = "index.html"}},
        {"seven characters are too short", {.url = "http://"}, {.messages = {"ターゲットのＵＲＬが不正です"}}},
        {"eight characters are enough", {.url = "http://a"}, {.Fx1 = -1, .Targ = "http://a", .destTail = "a"}},
        {"folder URL, one digit string: index*.html",
         {.url = "http://ex.com/vol2/page5/", .lowerFrom = "1", .lowerTo = "9"},
         {.St1 = "1", .Ed1 = "9", .Targ = "http://ex.com/vol2/page*/", .destTail = "index*.html"}},
        {"folder URL, two digit strings: index*-*.html",
         {.url = "http://ex.com/vol2/page5/",
          .upper = true,
          .lowerFrom = "1",
          .lowerTo = "9",
          .upperFrom = "1",
          .upperTo = "3"},
         {.St1 = "1",
          .Ed1 = "9",
          .St2 = "1",
          .Ed2 = "3",
          .Targ = "http://ex.com/vol*/page*/",
          .destTail = "index*-*.html"}},
        {"pic/*.jpg with both strings and no subfolder",
         {.url = "http://ex.com/a1/b2.jpg",
          .upper = true,
          .lowerFrom = "1",
          .lowerTo = "2",
          .upperFrom = "1",
          .upperTo = "2",
          .saveName = "pic/*.jpg"},
         {.St1 = "1",
          .Ed1 = "2",
          .St2 = "1",
          .Ed2 = "2",
          .Targ = "http://ex.com/a*/b*.jpg",
          .destTail = "pic/*-*.jpg"}},
        {"two stars in the subfolder",
         {.url = "http://ex.com/a1/b2.jpg",
          .upper = true,
          .lowerFrom = "1",
          .lowerTo = "2",
          .upperFrom = "1",
          .upperTo = "2",
          .subfolderOn = true,
          .subfolder = "\\\\a*b*\\\\"},
         {.messages = {"　サブフォルダに使える＊は１つまでです"}}},
        {"empty subfolder becomes *",
         {.url = "http://ex.com/a1/b2.jpg",
          .upper = true,
          .lowerFrom = "1",
          .lowerTo = "2",
          .upperFrom = "1",
          .upperTo = "2",
          .subfolderOn = true},
         {.St1 = "1",
          .Ed1 = "2",
          .St2 = "1",
          .Ed2 = "2",
          .Targ = "http://ex.com/a*/b*.jpg",
          .Sub = "*",
          .destTail = "*/b*.jpg"}},
        {"subfolder without a star gets one, slashes trimmed",
         {.url = "http://ex.com/a1/b2.jpg",
          .upper = true,
          .lowerFrom = "1",
          .lowerTo = "2",
          .upperFrom = "1",
          .upperTo = "2",
          .subfolderOn = true,
          .subfolder = "/vol/"},
         {.St1 = "1",
          .Ed1 = "2",
          .St2 = "1",
          .Ed2 = "2",
          .Targ = "http://ex.com/a*/b*.jpg",
          .Sub = "vol*",
          .destTail = "vol*/b*.jpg"}},
        {"subfolder ignored without the upper string",
         {.url = "http://ex.com/a1/b2.jpg", .lowerFrom = "1", .lowerTo = "2", .subfolderOn = true, .subfolder = "a*b*"},
         {.St1 = "1", .Ed1 = "2", .Targ = "http://ex.com/a1/b*.jpg", .destTail = "b*.jpg"}},
        {"too many stars in a typed name",
         {.url = "http://ex.com/b2.jpg", .lowerFrom = "1", .lowerTo = "2", .saveName = "x*y*.jpg"},
         {.messages = {"保存時ファイル名に使われている＊が多すぎます", kUnsuitable}}},
        {"both strings in the URL's file name with a subfolder",
         {.url = "http://ex.com/a1b2.jpg",
          .upper = true,
          .lowerFrom = "1",
          .lowerTo = "2",
          .upperFrom = "1",
          .upperTo = "2",
          .subfolderOn = true},
         {.messages = {"予期しないエラー：\nファイルテンプレート置換場所\n作者に連絡して下さい", kUnsuitable}}},
        {"star in the name but none in the URL",
         {.url = "http://ex.com/b.jpg", .saveName = "b*.jpg"},
         {.messages = {"保存時ファイル・フォルダにある＊の数と数字列の数が不一致です", kUnsuitable}}},
        {"query moved in front of the extension",
         {.url = "http://ex.com/a.cgi?id=1", .lowerFrom = "1", .lowerTo = "3"},
         {.St1 = "1", .Ed1 = "3", .Targ = "http://ex.com/a.cgi?id=*", .destTail = "a_id=*.cgi"}},
        {"typed name with a query and no star gets one before its extension",
         {.url = "http://ex.com/p4.php", .lowerFrom = "1", .lowerTo = "3", .saveName = "p.php?x"},
         {.St1 = "1", .Ed1 = "3", .Targ = "http://ex.com/p*.php", .destTail = "p_x*.php"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        state_ = SequentialState{}; // as after the window's reset
        CQueueItem item;
        const OrderResult r = Build(c.press, item);
        EXPECT_EQ(r.messages, c.expect.messages);
        EXPECT_FALSE(r.stopIcon);
        if (!c.expect.messages.empty()) {
            EXPECT_EQ(r.code, 1);
            continue;
        }
        ASSERT_EQ(r.code, 0);
        EXPECT_EQ(item.Kind, CQueueItem::RENBAN);
        EXPECT_EQ(item.St1, c.expect.St1);
        EXPECT_EQ(item.Ed1, c.expect.Ed1);
        EXPECT_EQ(item.St2, c.expect.St2);
        EXPECT_EQ(item.Ed2, c.expect.Ed2);
        if (c.expect.Fx1 >= 0) {
            EXPECT_EQ(item.Fx1, c.expect.Fx1);
        }
        EXPECT_EQ(item.job.Targ, c.expect.Targ);
        EXPECT_EQ(item.Sub, c.expect.Sub);
        EXPECT_EQ(item.Fol, folder_ + "/");
        EXPECT_EQ(item.job.Dest, folder_ + "/" + c.expect.destTail);
    }
}

TEST_F(SequentialOrderTest, TypedTemplatesMayNotClimbOutOfTheFolder)
{
    struct Case
    {
        std::string saveName;
        std::string subfolder;
        Messages messages;
    };
    const Case cases[] = {
        {"a/../../x*.jpg", "", {"保存時ファイル名に「..」や制御文字は使えません", kUnsuitable}},
        {"", "../../s*", {"　サブフォルダに「..」や制御文字は使えません"}},
        {"n*/", "v*", {"保存先のファイル名がありません"}}, // no number missing, so no star goes after the '/'
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.saveName + c.subfolder);
        CQueueItem item;
        const Press press{.url = "http://ex.com/a1/b2.jpg",
                          .upper = true,
                          .lowerFrom = "2",
                          .lowerTo = "2",
                          .upperFrom = "1",
                          .upperTo = "2",
                          .subfolderOn = true,
                          .subfolder = c.subfolder,
                          .saveName = c.saveName};
        EXPECT_EQ(Build(press, item).messages, c.messages);
    }
}

TEST_F(SequentialOrderTest, UrlDigitsAreKeptForReloading)
{
    CQueueItem item;
    ASSERT_TRUE(Build({.url = "http://ex.com/x12/y003.jpg",
                       .upper = true,
                       .lowerFrom = "001",
                       .lowerTo = "010",
                       .upperFrom = "12",
                       .upperTo = "13"},
                      item)
                    .ok());
    EXPECT_EQ(item.Or1, "003");
    EXPECT_EQ(item.Or2, "12");
    EXPECT_EQ(item.Fx1, 3);
    EXPECT_EQ(item.Fx2, 0);
    EXPECT_EQ(item.job.Targ, "http://ex.com/x*/y*.jpg");
}

TEST_F(SequentialOrderTest, FolderProblemsCarryTheStopIcon)
{
    // The folder check's own messages are the folder check's; here only that they refuse with the stop icon.
    folder_ = env_.root() + "/missing";
    CQueueItem item;
    const OrderResult r = Build({.url = "http://ex.com/img1.jpg", .lowerFrom = "1", .lowerTo = "2"}, item);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.messages, Messages{"保存用のフォルダ名が不正です。"});
    EXPECT_TRUE(r.stopIcon);
}

TEST_F(SequentialOrderTest, TypedFolderIsTrimmedAndEndsInOneSlash)
{
    folder_ += "//  ";
    CQueueItem item;
    ASSERT_TRUE(Build({.url = "http://ex.com/img1.jpg", .lowerFrom = "1", .lowerTo = "2"}, item).ok());
    EXPECT_EQ(item.Fol, env_.root() + "/dl/");
    EXPECT_EQ(item.job.Dest, env_.root() + "/dl/img*.jpg");
}

TEST_F(SequentialOrderTest, CookieIsCarriedOnlyWithinItsFolder)
{
    state_.LastCookie = "sid=1";
    state_.LastCookieScope = "http://ex.com/a/";
    CQueueItem item;
    ASSERT_TRUE(Build({.url = "http://ex.com/a/img1.jpg", .lowerFrom = "1", .lowerTo = "2"}, item).ok());
    EXPECT_EQ(item.job.Cook, "sid=1");

    ASSERT_TRUE(Build({.url = "http://ex.com/b/img1.jpg", .lowerFrom = "1", .lowerTo = "2"}, item).ok());
    EXPECT_EQ(item.job.Cook, "");
    EXPECT_EQ(state_.LastCookie, "");
    EXPECT_EQ(state_.LastCookieScope, "");
}

TEST_F(SequentialOrderTest, RefererFollowsTheSyncedDigits)
{
    CSeqUrl referer;
    ASSERT_TRUE(referer.SetMaster(&url_));
    url_.SetText("http://ex.com/g3/img005.jpg");
    url_.SetSyncFlags(1);
    referer.SetText("http://ex.com/page005.html");

    SequentialControls c;
    c.url = &url_;
    c.referer = &referer;
    c.lowerFrom = "001";
    c.lowerTo = "009";
    c.folder = folder_;
    CQueueItem item;
    ASSERT_TRUE(BuildSequentialItem(c, DetailSettings{}, state_, item).ok());
    EXPECT_EQ(item.job.Refe, "http://ex.com/page*.html");
    EXPECT_EQ(item.Syn, 1);

    // Without sync the Referer goes out exactly as typed.
    url_.SetSyncFlags(0);
    ASSERT_TRUE(BuildSequentialItem(c, DetailSettings{}, state_, item).ok());
    EXPECT_EQ(item.job.Refe, "http://ex.com/page005.html");
    EXPECT_EQ(item.Syn, 0);
}

TEST_F(SequentialOrderTest, KeptOrderKeepsWhatTheStartCommandRefuses)
{
    const struct
    {
        Press press;
        int record; // 記録: the password is kept only with it
        int Fx1;
        const char* Targ;
        const char* Sub;
    } cases[] = {
        {{.url = "http://e.jp/i007.jpg", .lowerFrom = "1", .lowerTo = "20"}, 0, 0, "http://e.jp/i*.jpg", ""},
        {{.url = "ab", .saveName = "x**.jpg"}, 1, 2, "http://", ""}, // nothing marked: the width stays
        {{.url = "http://e.jp/i7", .subfolderOn = true, .subfolder = "/a*b*/"}, 0, 0, "http://e.jp/i7", "/a*b*/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.press.url);
        DetailSettings settings;
        settings.AuthUser = "u", settings.AuthPassword = "pw", settings.RecordPassword = c.record;
        CQueueItem item;
        SequentialState state;
        BuildKeptSequentialItem(Controls(c.press), settings, state, item);
        EXPECT_EQ(item.St1, c.press.lowerFrom);
        EXPECT_EQ(item.Fx1, c.Fx1);
        EXPECT_EQ(item.job.Targ, c.Targ);
        EXPECT_EQ(item.Sub, c.Sub);
        EXPECT_EQ(item.job.Dest, folder_ + "/" + c.press.saveName);
        EXPECT_EQ(item.job.User + item.job.Pass, c.record ? "upw" : "u");
    }
}

TEST(RefreshRangesTest, EditsTakeTheUrlDigitsOrTheWholeSequence)
{
    struct Case
    {
        const char* url;
        bool upper;
        bool fixed;
        bool whole;
        RangeTexts lower;
        RangeTexts upperTexts;
    };
    const Case cases[] = {
        {"http://ex.com/img007.jpg", false, false, false, {"007", "007", false, 3}, {}},
        {"http://ex.com/img7.jpg", false, false, false, {"7", "7", false, 0}, {}},
        {"http://ex.com/img12.jpg", false, true, false, {"12", "12", false, 2}, {}},
        {"http://ex.com/img007.jpg", false, false, true, {"001", "", true, 3}, {}},
        {"http://ex.com/d4/img9.jpg", true, false, true, {"1", "", true, 0}, {"1", "", true, 0}},
        // A number in the host name is never counted from 1.
        {"http://www2.ex.com/a.jpg", false, false, true, {"2", "2", false, 0}, {}},
        {"http://ex.com/d04/img9.jpg", true, false, false, {"9", "9", false, 0}, {"04", "04", false, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        CSeqUrl url;
        url.SetText(c.url);
        url.SetUpperEnabled(c.upper);
        url.SetAssumeFixedDigits(c.fixed);
        const FilledRanges f = RefreshRangesFromUrl(url, c.whole);
        EXPECT_EQ(f.lower.from, c.lower.from);
        EXPECT_EQ(f.lower.to, c.lower.to);
        EXPECT_EQ(f.lower.toEmptied, c.lower.toEmptied);
        EXPECT_EQ(f.lower.width, c.lower.width);
        EXPECT_EQ(f.hasUpper, c.upper);
        if (c.upper) {
            EXPECT_EQ(f.upper.from, c.upperTexts.from);
            EXPECT_EQ(f.upper.to, c.upperTexts.to);
            EXPECT_EQ(f.upper.toEmptied, c.upperTexts.toEmptied);
            EXPECT_EQ(f.upper.width, c.upperTexts.width);
        }
    }
}

TEST(FillRequestOptionsTest, SettingsBecomeTheJobsRequestOptions)
{
    DetailSettings s;
    CQueueItem item;
    FillRequestOptions(s, item);
    // No blank between the name and the version.
    EXPECT_EQ(item.job.Agen, std::string("Pelldra") + PELLDRA_VERSION);
    EXPECT_EQ(item.job.Seri, 2);

    s.Browser = kBrowserFireFox;
    s.UseProxy = 1;
    s.ProxyHost = "proxy";
    s.ProxyPort = "3128";
    FillRequestOptions(s, item);
    EXPECT_EQ(item.job.Agen, "Mozilla/5.0 (Windows; U; Windows NT 5.1; ja-JP; rv:1.7.10) Gecko/20050717 Firefox/1.0.6");
    EXPECT_EQ(item.job.Prox, "proxy:3128");

    // A proxy without its port is no proxy at all.
    s.ProxyPort.clear();
    FillRequestOptions(s, item);
    EXPECT_EQ(item.job.Prox, "");
}

} // namespace
} // namespace pelldra
