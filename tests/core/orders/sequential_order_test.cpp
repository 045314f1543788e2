// The series start command: ranges, widths, templates, subfolder and save name, folder, Referer and cookie; the
// ranges shown for a URL or a stored order.
#include "core/orders/sequential_order.h"

#include <string>
#include <tuple>
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
    // URL digits, from, to, the result, and FixedWidth afterwards when it passes (starting at 7).
    const std::tuple<std::string, std::string, std::string, int, int> cases[] = {
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
    for (const auto& [digits, from, to, result, fixed] : cases) {
        SCOPED_TRACE(digits + " " + from + ".." + to);
        int width = 7;
        EXPECT_EQ(CheckFixedWidth(digits, from, to, width), result);
        if (result == 0) {
            EXPECT_EQ(width, fixed);
        }
    }
}

// One start pressed on a window whose controls hold these values; ranges are "from:to", a null upper range or
// subfolder has its check off.
struct Press
{
    std::string url{};
    std::string lower = ":";
    const char* upper = nullptr;
    const char* subfolder = nullptr;
    std::string saveName{};
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
        const auto split = [](const std::string& range, std::string& from, std::string& to) {
            const size_t colon = range.find(':');
            from = range.substr(0, colon);
            to = colon == std::string::npos ? "" : range.substr(colon + 1);
        };
        url_.SetText(p.url);
        url_.SetUpperEnabled(p.upper != nullptr);
        SequentialControls c;
        c.url = &url_, c.folder = folder_;
        split(p.lower, c.lowerFrom, c.lowerTo);
        split(p.upper ? p.upper : "", c.upperFrom, c.upperTo);
        c.upperOn = p.upper != nullptr, c.subfolderOn = p.subfolder != nullptr;
        c.subfolder = p.subfolder ? p.subfolder : "", c.saveName = p.saveName;
        return c;
    }

    test::TempEnv env_;
    std::string folder_ = env_.makeFolder("dl");
    CSeqUrl url_;
    SequentialState state_;
};

TEST_F(SequentialOrderTest, RangesTemplatesAndSubfoldersOfAStart)
{
    // The controls as in a Press; no messages: accepted with the fields after them (the order's ranges as
    // "St1:Ed1 St2:Ed2", Targ, Sub and Dest after the folder).
    struct Case
    {
        const char* name;
        std::string url, lower;
        const char *upper, *subfolder;
        std::string saveName;
        Messages messages{};
        std::string ranges{}, Targ{}, Sub{}, destTail{};
    };
    const std::string ab = "http://ex.com/a1/b2.jpg", img7 = "http://ex.com/img7.jpg";
    // One case a row.
    // clang-format off
    const Case cases[] = {
        {"reversed range is turned round", img7, "5:3", {}, {}, "", {}, "3:5", "http://ex.com/img*.jpg", "",
         "img*.jpg"},
        {"an end without start becomes an open start", img7, ":7", {}, {}, "", {}, "7:", "http://ex.com/img*.jpg", "",
         "img*.jpg"},
        {"the upper range's width is checked like the lower one's", "http://ex.com/v01/a1.jpg", ":", "1:3", {}, "",
         {kFixed}},
        {"an upper range with no start has no number for its star", "http://ex.com/v1/a1.jpg", ":", ":", {}, "",
         {"上位数字列の範囲が空白です"}},
        {"no digits and no range: the URL as typed", "http://ex.com/index.html", ":", {}, {}, "", {}, ":",
         "http://ex.com/index.html", "", "index.html"},
        {"seven characters are too short", "http://", ":", {}, {}, "", {"ターゲットのＵＲＬが不正です"}},
        {"eight characters are enough", "http://a", ":", {}, {}, "", {}, ":", "http://a", "", "a"},
        {"a password names nothing", "http://u:p@ex.com", ":", {}, {}, "", {}, ":", "http://u:p@ex.com", "", "ex.com"},
        {"nor does a fragment", "http://ex.com/a1.jpg#x", "1:3", {}, {}, "", {}, "1:3", "http://ex.com/a*.jpg#x", "",
         "a*.jpg"},
        {"folder URL, one digit string: index*.html", "http://ex.com/vol2/page5/", "1:9", {}, {}, "", {}, "1:9",
         "http://ex.com/vol2/page*/", "", "index*.html"},
        {"folder URL, two digit strings: index*-*.html", "http://ex.com/vol2/page5/", "1:9", "1:3", {}, "", {},
         "1:9 1:3", "http://ex.com/vol*/page*/", "", "index*-*.html"},
        {"pic/*.jpg with both strings and no subfolder", ab, "1:2", "1:2", {}, "pic/*.jpg", {}, "1:2 1:2",
         "http://ex.com/a*/b*.jpg", "", "pic/*-*.jpg"},
        {"two stars in the subfolder", ab, "1:2", "1:2", "\\\\a*b*\\\\", "", {"　サブフォルダに使える＊は１つまでです"}},
        {"empty subfolder becomes *", ab, "1:2", "1:2", "", "", {}, "1:2 1:2", "http://ex.com/a*/b*.jpg", "*",
         "*/b*.jpg"},
        {"subfolder without a star gets one, slashes trimmed", ab, "1:2", "1:2", "/vol/", "", {}, "1:2 1:2",
         "http://ex.com/a*/b*.jpg", "vol*", "vol*/b*.jpg"},
        {"subfolder ignored without the upper string", ab, "1:2", {}, "a*b*", "", {}, "1:2",
         "http://ex.com/a1/b*.jpg", "", "b*.jpg"},
        {"too many stars in a typed name", "http://ex.com/b2.jpg", "1:2", {}, {}, "x*y*.jpg",
         {"保存時ファイル名に使われている＊が多すぎます", kUnsuitable}},
        {"both strings in the URL's file name with a subfolder", "http://ex.com/a1b2.jpg", "1:2", "1:2", "", "",
         {"予期しないエラー：\nファイルテンプレート置換場所\n作者に連絡して下さい", kUnsuitable}},
        {"star in the name but none in the URL", "http://ex.com/b.jpg", ":", {}, {}, "b*.jpg",
         {"保存時ファイル・フォルダにある＊の数と数字列の数が不一致です", kUnsuitable}},
        {"query moved in front of the extension", "http://ex.com/a.cgi?id=1", "1:3", {}, {}, "", {}, "1:3",
         "http://ex.com/a.cgi?id=*", "", "a_id=*.cgi"},
        {"typed name with a query and no star gets one before its extension", "http://ex.com/p4.php", "1:3", {}, {},
         "p.php?x", {}, "1:3", "http://ex.com/p*.php", "", "p_x*.php"},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        state_ = SequentialState{}; // as after the window's reset
        CQueueItem item;
        const OrderResult r = Build({c.url, c.lower, c.upper, c.subfolder, c.saveName}, item);
        EXPECT_EQ(r.messages, c.messages);
        EXPECT_FALSE(r.stopIcon);
        if (!c.messages.empty()) {
            EXPECT_EQ(r.code, 1);
            continue;
        }
        ASSERT_EQ(r.code, 0);
        EXPECT_EQ(item.Kind, CQueueItem::RENBAN);
        EXPECT_EQ(item.St1 + ":" + item.Ed1 + (item.St2.empty() ? "" : " " + item.St2 + ":" + item.Ed2), c.ranges);
        EXPECT_EQ(item.job.Targ, c.Targ);
        EXPECT_EQ(item.Sub, c.Sub);
        EXPECT_EQ(item.Fol, folder_ + "/");
        EXPECT_EQ(item.job.Dest, folder_ + "/" + c.destTail);
    }
}

TEST_F(SequentialOrderTest, TypedTemplatesMayNotClimbOutOfTheFolder)
{
    // Save name, subfolder and the messages.
    const std::tuple<std::string, const char*, Messages> cases[] = {
        {"a/../../x*.jpg", "", {"保存時ファイル名に「..」や制御文字は使えません", kUnsuitable}},
        {"", "../../s*", {"　サブフォルダに「..」や制御文字は使えません"}},
        {"n*/", "v*", {"保存先のファイル名がありません"}}, // no number missing, so no star goes after the '/'
    };
    for (const auto& [saveName, subfolder, messages] : cases) {
        SCOPED_TRACE(saveName + subfolder);
        CQueueItem item;
        EXPECT_EQ(Build({"http://ex.com/a1/b2.jpg", "2:2", "1:2", subfolder, saveName}, item).messages, messages);
    }
}

TEST_F(SequentialOrderTest, TypedFolderIsTrimmedUrlDigitsAreKeptAndFolderProblemsCarryTheStopIcon)
{
    const std::string folder = folder_;
    folder_ = " " + folder + "//  \n";
    CQueueItem item;
    ASSERT_TRUE(Build({.url = "http://ex.com/x12/y003.jpg", .lower = "001:010", .upper = "12:13"}, item).ok());
    EXPECT_EQ(item.Fol, folder + "/");
    EXPECT_EQ(item.job.Dest, folder + "/y*-*.jpg");
    // The URL's digits, kept for reloading the order.
    EXPECT_EQ(std::tie(item.Or1, item.Or2, item.Fx1, item.Fx2),
              (std::tuple<std::string, std::string, int, int>{"003", "12", 3, 0}));
    EXPECT_EQ(item.job.Targ, "http://ex.com/x*/y*.jpg");
    // The folder check's own messages are the folder check's; here only that they refuse with the stop icon.
    folder_ = env_.root() + "/missing";
    const OrderResult r = Build({.url = "http://ex.com/img1.jpg", .lower = "1:2"}, item);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.messages, Messages{"保存用のフォルダ名が不正です。"});
    EXPECT_TRUE(r.stopIcon);
}

TEST_F(SequentialOrderTest, CookieIsCarriedOnlyWithinItsFolder)
{
    state_.LastCookie = "sid=1";
    state_.LastCookieScope = "http://ex.com/a/";
    CQueueItem item;
    ASSERT_TRUE(Build({.url = "http://ex.com/a/img1.jpg", .lower = "1:2"}, item).ok());
    EXPECT_EQ(item.job.Cook, "sid=1");
    ASSERT_TRUE(Build({.url = "http://ex.com/b/img1.jpg", .lower = "1:2"}, item).ok());
    EXPECT_EQ(item.job.Cook + state_.LastCookie + state_.LastCookieScope, "") << "forgotten outside its folder";
}

TEST_F(SequentialOrderTest, RefererFollowsTheSyncedDigits)
{
    CSeqUrl referer;
    ASSERT_TRUE(referer.SetMaster(&url_));
    SequentialControls c = Controls({.url = "http://ex.com/g3/img005.jpg", .lower = "001:009"});
    c.referer = &referer;
    referer.SetText("http://ex.com/page005.html");
    // Without sync the Referer goes out exactly as typed.
    for (const auto& [sync, sent] : {std::pair{1, "http://ex.com/page*.html"}, {0, "http://ex.com/page005.html"}}) {
        url_.SetSyncFlags(sync);
        CQueueItem item;
        ASSERT_TRUE(BuildSequentialItem(c, DetailSettings{}, state_, item).ok());
        EXPECT_EQ(item.job.Refe, sent);
        EXPECT_EQ(item.Syn, sync);
    }
}

TEST_F(SequentialOrderTest, KeptOrderKeepsWhatTheStartCommandRefuses)
{
    // The controls, 記録 (the password is kept only with it), and the order's Fx1, St1, Targ and Sub.
    const std::tuple<Press, int, int, const char*, const char*, const char*> cases[] = {
        {{.url = "http://e.jp/i007.jpg", .lower = "1:20"}, 0, 0, "1", "http://e.jp/i*.jpg", ""},
        {{.url = "ab", .saveName = "x**.jpg"}, 1, 2, "", "http://", ""}, // nothing marked: the width stays
        {{.url = "http://e.jp/i7", .subfolder = "/a*b*/"}, 0, 0, "", "http://e.jp/i7", "/a*b*/"},
    };
    for (const auto& [press, record, Fx1, St1, Targ, Sub] : cases) {
        SCOPED_TRACE(press.url);
        DetailSettings settings;
        settings.AuthUser = "u", settings.AuthPassword = "pw", settings.RecordPassword = record;
        CQueueItem item;
        SequentialState state;
        BuildKeptSequentialItem(Controls(press), settings, state, item);
        EXPECT_EQ(std::tie(item.St1, item.Fx1, item.job.Targ, item.Sub),
                  (std::tuple<std::string, int, std::string, std::string>{St1, Fx1, Targ, Sub}));
        EXPECT_EQ(item.job.Dest, folder_ + "/" + press.saveName);
        EXPECT_EQ(item.job.User + item.job.Pass, record ? "upw" : "u");
    }
}

// The ranges as "from-to/width", an emptied end as "~", the upper range after a '|'.
std::string Shown(const FilledRanges& f)
{
    auto one = [](const RangeTexts& r) {
        return r.from + "-" + (r.toEmptied ? "~" : r.to) + "/" + std::to_string(r.width);
    };
    return one(f.lower) + (f.hasUpper ? "|" + one(f.upper) : "");
}

TEST(RefreshRangesTest, EditsTakeTheUrlDigitsOrTheWholeSequence)
{
    // URL, upper string on, fixed digits assumed, whole sequence, the ranges shown.
    const std::tuple<const char*, bool, bool, bool, const char*> cases[] = {
        {"http://ex.com/img007.jpg", false, false, false, "007-007/3"},
        {"http://ex.com/img7.jpg", false, false, false, "7-7/0"},
        {"http://ex.com/img12.jpg", false, true, false, "12-12/2"},
        {"http://ex.com/img007.jpg", false, false, true, "001-~/3"},
        {"http://ex.com/d4/img9.jpg", true, false, true, "1-~/0|1-~/0"},
        {"http://www2.ex.com/a.jpg", false, false, true, "2-2/0"}, // a number in the host name is never counted from 1
        {"http://ex.com/d04/img9.jpg", true, false, false, "9-9/0|04-04/2"},
    };
    for (const auto& [text, upper, fixed, whole, shown] : cases) {
        CSeqUrl url;
        url.SetText(text);
        url.SetUpperEnabled(upper);
        url.SetAssumeFixedDigits(fixed);
        EXPECT_EQ(Shown(RefreshRangesFromUrl(url, whole)), shown) << text;
    }
}

TEST(RangesOfItemTest, StoredRangesComeBackUnlessTheyAreUnsound)
{
    // St1, Ed1, Fx1, St2, Ed2 and the ranges shown; the URL's digits, 2 (upper, on) and 05 (lower), are what a
    // fallback shows.
    const std::tuple<const char*, const char*, int, const char*, const char*, const char*> cases[] = {
        {"01", "09", 2, "", "", "01-09/2"},
        {"3", "", 0, "1", "4", "3-~/0|1-4/0"},
        {"", "", 0, "", "", "05-05/2|2-2/0"},     // no lower start
        {"0x", "09", 2, "", "", "05-05/2|2-2/0"}, // letters in a counter
    };
    CSeqUrl url;
    url.SetText("http://h.example/vol2/p05.jpg");
    url.SetUpperEnabled(true);
    for (const auto& [st1, ed1, fx1, st2, ed2, shown] : cases) {
        CQueueItem item;
        item.Kind = CQueueItem::RENBAN, item.St1 = st1, item.Ed1 = ed1, item.Fx1 = fx1, item.St2 = st2, item.Ed2 = ed2;
        EXPECT_EQ(Shown(RangesOfItem(item, url, false)), shown) << st1 << " " << fx1;
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

    s.Browser = kBrowserFireFox, s.UseProxy = 1, s.ProxyHost = "proxy", s.ProxyPort = "3128";
    FillRequestOptions(s, item);
    EXPECT_EQ(item.job.Agen, "Mozilla/5.0 (Windows; U; Windows NT 5.1; ja-JP; rv:1.7.10) Gecko/20050717 Firefox/1.0.6");
    EXPECT_EQ(item.job.Prox, "proxy:3128");
    for (const char* host : {"::1", "[::1]"}) {
        s.ProxyHost = host;
        FillRequestOptions(s, item);
        EXPECT_EQ(item.job.Prox, "[::1]:3128");
    }

    // A proxy without its port is no proxy at all.
    s.ProxyPort.clear();
    FillRequestOptions(s, item);
    EXPECT_EQ(item.job.Prox, "");
}

} // namespace
} // namespace pelldra
