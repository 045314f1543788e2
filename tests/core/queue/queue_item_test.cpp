// The queue item's text form, its reader's rules, order files, and the lines the queue's viewers show.

#include "core/queue/queue_item.h"
#include "core/queue/queue_view.h"
#include "core/text/text_lines.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <tuple>
#include <vector>

#include "support/temp_env.h"

namespace pelldra {
namespace {

// Every kind as this program writes it, with every value the kind stores set.
const std::string kTail = "\tFol\t/home/u/ダウンロード\r\n\tAge\tAgent/5.0 (X11)\r\n\tUse\tuser\r\n\tPas\tpa\tss\r\n"
                          "\tPro\tproxy:3128\r\n\tCas\t0\r\n\tLoc\t0\r\n\tRel\t1\r\n\tThr\t3\r\n//Item End//\r\n";
const std::string kPage = " http://page/index.html\r\n\tLst\t/home/u/list.lst\r\n\tDel\t1\r\n" + kTail;
const std::string kWritten[] = {
    "//Item Gegin//\r\n[num] http://h/*/a*.jpg\r\n\tRef\thttp://ref/*\r\n\tDes\t/home/u/dl/vol*/a*.jpg\r\n"
    "\tSt1\t001\r\n\tEd1\t120\r\n\tOr1\t007\r\n\tFx1\t3\r\n\tSt2\t1\r\n\tEd2\t9\r\n\tOr2\t4\r\n\tFx2\t2\r\n"
    "\tCoo\ta=b; c=d\r\n\tSub\tvol*\r\n\tSyn\t3\r\n" +
        kTail,
    "//Item Gegin//\r\n[lst] /home/u/list.lst\r\n\tDel\t1\r\n" + kTail, "//Item Gegin//\r\n[lnk]" + kPage,
    "//Item Gegin//\r\n[img]" + kPage};

bool ReadText(const std::string& text, CQueueItem& item)
{
    StringLineSource lines(text);
    return item.ReadItem(lines);
}

TEST(QueueItemText, EveryKindReadsBackAsWritten)
{
    const char* const names[] = {"RENBAN", "LIST", "LINK", "IMAGE"};
    for (int kind = 0; kind < 4; ++kind) {
        CQueueItem it;
        it.St1 = "left over from before";
        ASSERT_TRUE(ReadText(kWritten[kind], it)) << kind;
        EXPECT_EQ(it.Kind, kind);
        EXPECT_EQ(it.KindName, names[kind]);
        EXPECT_EQ(it.ToText(), kWritten[kind]);
    }
    // Only the low two bits of the kind choose the form; a cleared item (-1) is written as an image page.
    CQueueItem odd;
    ASSERT_TRUE(ReadText(kWritten[0], odd));
    odd.Kind = 5;
    EXPECT_EQ(odd.ToText().rfind("//Item Gegin//\r\n[lst] \r\n\tDel\t0\r\n\tFol\t", 0), 0u);
    EXPECT_EQ(CQueueItem().ToText().rfind("//Item Gegin//\r\n[img] \r\n\tLst\t\r\n\tDel\t0\r\n", 0), 0u);
}

TEST(QueueItemText, LineBreakInValueIsWrittenAsBlank)
{
    CQueueItem it;
    ASSERT_TRUE(ReadText(kWritten[0], it));
    it.Fol = "/dl/a\n\tPas\tstolen\r\n//Item End//";
    it.job.Targ = "http://h/\n[lst] x";
    CQueueItem back;
    ASSERT_TRUE(ReadText(it.ToText(), back));
    EXPECT_EQ(back.Fol, "/dl/a \tPas\tstolen  //Item End//");
    EXPECT_EQ(back.job.Targ, "http://h/ [lst] x");
    EXPECT_EQ(back.job.Pass, "pa\tss");
    EXPECT_EQ(back.Kind, CQueueItem::RENBAN);
}

TEST(QueueItemReader, Rules)
{
    const std::string b = "//Item Gegin//\r\n", e = "//Item End//\r\n";
    // What the case shows, the text, whether an item is found, its folder, target and kind.
    const std::tuple<const char*, std::string, bool, std::string, std::string, int> cases[] = {
        {"keys in any order", b + "\tFol\t/f\r\n[num] u\r\n" + e, true, "/f", "u", 0},
        {"last value wins", b + "[num] u\r\n\tFol\t/a\r\n\tFol\t/b\r\n[num] v\r\n" + e, true, "/b", "v", 0},
        {"unknown key skipped", b + "\tFox\t/a\r\n\tFol\t/f\r\n" + e, true, "/f", "", -1},
        {"key across the key string's blanks", b + "\tt F\t/a\r\n\tol \t/b\r\n" + e, true, "", "", -1},
        {"unknown kind line ignored", b + "[foo] x\r\n" + e, true, "", "", -1},
        {"kind tag inside the tag string ignored", b + "] [ls x\r\n" + e, true, "", "", -1},
        {"blank and short lines inside", b + "\r\n[\r\n\t\r\n\tFo\r\n" + e, true, "", "", -1},
        {"key line without value", b + "\tFol\r\n" + e, true, "", "", -1},
        {"kind tag without blank", b + "[num]\r\n" + e, true, "", "", 0},
        {"cut-off item not taken", b + "[num] u\r\n\tFol\t/f\r\n", false, "", "", -1},
        {"no begin marker", "[num] u\r\n" + e, false, "", "", -1},
        {"lines before the item skipped", "junk\r\n\tFol\t/x\r\n" + b + "\tFol\t/f\r\n" + e, true, "/f", "", -1},
        {"LF line ends", "//Item Gegin//\n[num] u\n\tFol\t/f\n//Item End//\n", true, "/f", "u", 0},
        {"end marker without line end", b + "[num] u\r\n//Item End//", true, "", "u", 0},
        {"marker with trailing blank is no marker", "//Item Gegin// \r\n[num] u\r\n" + e, false, "", "", -1},
        {"tab inside and at the start of a value", b + "\tFol\t\ta\tb\r\n" + e, true, "\ta\tb", "", -1},
        {"second begin starts afresh", b + "[num] cut\r\n\tFol\t/old\r\n" + b + "[lst] l\r\n" + e, true, "", "", 1},
        {"NUL byte in value", b + std::string("\tFol\t/a\0b\r\n", 11) + e, true, std::string("/a\0b", 4), "", -1},
        {"lone CR stays in value", b + "\tFol\t/a\rb\r\r\n" + e, true, "/a\rb\r", "", -1}};
    for (const auto& [name, text, found, fol, target, kind] : cases) {
        SCOPED_TRACE(name);
        CQueueItem it;
        ASSERT_EQ(ReadText(text, it), found);
        if (found) {
            EXPECT_EQ(it.Fol, fol);
            EXPECT_EQ(it.job.Targ, target);
            EXPECT_EQ(it.Kind, kind);
            EXPECT_EQ(it.KindName, kind == CQueueItem::LIST ? "LIST" : it.KindName);
        }
    }
}

TEST(QueueItemReader, IntegerValues)
{
    const std::pair<const char*, int> cases[] = {{"12", 12},
                                                 {"-3", -3},
                                                 {" 7", 7},
                                                 {"12abc", 12},
                                                 {"abc", 0},
                                                 {"", 0},
                                                 {"+4", 4},
                                                 {"99999999999999999999", INT_MAX},
                                                 {"-99999999999999999999", INT_MIN}};
    for (const auto& [value, expected] : cases) {
        CQueueItem it;
        ASSERT_TRUE(ReadText(std::string("//Item Gegin//\n\tThr\t") + value + "\n//Item End//\n", it));
        EXPECT_EQ(it.job.Seri, expected) << value;
    }
}

TEST(QueueItemReader, UnsoundCountersAndWidthsAreNamed)
{
    const std::pair<std::string, std::string> cases[] = {{"\tFx1\t2147483647", "Fx1"},
                                                         {"\tFx2\t-1", "Fx2"},
                                                         {"\tFx1\t255", ""},
                                                         {"\tFx1\t256", "Fx1"},
                                                         {"\tSt1\tabc", "St1"},
                                                         {"\tEd1\t1 ", "Ed1"},
                                                         {"\tSt2\t\xEF\xBC\x91", "St2"}, // a full-width one
                                                         {"\tOr1\t-3", "Or1"},
                                                         {"\tEd2\t" + std::string(256, '9'), "Ed2"},
                                                         {"\tSt1\t" + std::string(255, '0'), ""},
                                                         {"\tSt1\t", ""},
                                                         {"\tSt1\t5\n\tEd1\t03", "St1"}, // a start beyond its end
                                                         {"\tSt2\t12\n\tEd2\t9", "St2"},
                                                         {"\tSt1\t5\n\tEd1\t005", ""},
                                                         {"\tFol\t/dl/\x1b]2;x\x07", "Fol"},
                                                         {"[num] http://h/\x07*.jpg", "[num]"}};
    for (const auto& [line, key] : cases) {
        CQueueItem it;
        ASSERT_TRUE(ReadText("//Item Gegin//\n[num] http://h/*.jpg\n" + line + "\n//Item End//\n", it));
        EXPECT_EQ(FirstBadStoredValue(it), key) << line.substr(0, 20);
    }
    // Only a series counts with them.
    CQueueItem list;
    ASSERT_TRUE(ReadText("//Item Gegin//\n[lst] /l.lst\n\tSt1\tabc\n\tFx1\t-5\n//Item End//\n", list));
    EXPECT_EQ(FirstBadStoredValue(list), "");
}

TEST(OrderFiles, OneEncodingForTheWholeFile)
{
    const std::string cp932 = "\x83\x5f\x83\x45\x83\x93\x83\x8d\x81\x5b\x83\x68"; // "ダウンロード"
    const std::string latin1 = "/dl/caf\xE9 \x83\x5f";                            // not UTF-8, but CP932 would take it
    const std::string bom = "\xEF\xBB\xBF";
    const std::pair<std::string, std::string> cases[] = {
        {std::string(kOrderFileMark) + latin1 + "\r\n", latin1 + "\r\n"},
        {bom + "\n" + latin1, latin1},
        {bom + "//Item Gegin//\r\n", "//Item Gegin//\r\n"},
        {"/dl/ダウンロード\r\n", "/dl/ダウンロード\r\n"},
        {"/dl/" + cp932 + "\r\n", "/dl/ダウンロード\r\n"}, // the older program's file
        {"/dl/\x80\xFF", "/dl/\x80\xFF"},                  // neither: as it is
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(OrderFileText(bytes), text) << bytes;

    // A saved order reads through the same rule, and only its first item is taken.
    test::TempEnv env;
    const std::string path = env.root() + "/order";
    CQueueItem it;
    EXPECT_FALSE(it.ReadFrom(path));
    ASSERT_TRUE(ReadText(kWritten[1], it));
    it.Fol = latin1;
    ASSERT_TRUE(test::WriteFile(path, std::string(kOrderFileMark) + it.ToText() + kWritten[0]));
    CQueueItem back;
    ASSERT_TRUE(back.ReadFrom(path));
    EXPECT_EQ(back.ToText(), it.ToText());
}

TEST(UrlListRowsTest, EachDestGivesARowWithTheLastTargAndReferer)
{
    using Rows = std::vector<std::pair<std::string, std::string>>; // URL, Referer
    const std::tuple<const char*, std::vector<std::string>, Rows> cases[] = {
        {"a Referer given once applies to every later row",
         {"Refe: http://r/", "Targ: http://h/1", "Dest: /d/1", "Targ: http://h/2", "Dest: /d/2"},
         {{"http://h/1", "http://r/"}, {"http://h/2", "http://r/"}}},
        {"Targ without Dest gives no row", {"Targ: http://h/1", "Targ: http://h/2"}, {}},
        {"a later Referer replaces it; other keys and short lines are ignored",
         {"Targ: http://h/1", "Dest: /d/1", "Refe: http://s/", "Cook: a=1", "Dest", "Dest: /d/1b"},
         {{"http://h/1", ""}, {"http://h/1", "http://s/"}}}};
    for (const auto& [name, lines, expected] : cases) {
        Rows rows;
        for (const UrlListRow& r : UrlListRows(lines))
            rows.emplace_back(r.url, r.referer);
        EXPECT_EQ(rows, expected) << name;
    }
}

TEST(QueueListLineTest, EachKindIsNamedByWhatItFetches)
{
    CQueueItem it;
    it.job.Targ = "http://h/a*.jpg", it.Lst = "/l/u.lst", it.Page = "http://h/p.html", it.Fol = "/dl";
    const char* const lines[] = {"1\tRENBAN\thttp://h/a*.jpg\t/dl\n", "2\tLIST\t/l/u.lst\t/dl\n",
                                 "3\tLINK\thttp://h/p.html\t/dl\n", "4\tIMAGE\thttp://h/p.html\t/dl\n"};
    for (it.Kind = 0; it.Kind < 4; ++it.Kind)
        EXPECT_EQ(QueueListLine(it.Kind + 1, it), lines[it.Kind]);
}

} // namespace
} // namespace pelldra
