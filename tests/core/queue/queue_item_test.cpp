// The queue item's text form: exact output, round trips of every kind, and the reader's rules.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "core/queue/queue_item.h"
#include "core/text/text_lines.h"
#include "support/temp_env.h"

// Designated initializers name only the fields a case sets; the others keep their defaults on purpose.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace pelldra {
namespace {

// An order of the kind with every member it stores set away from its cleared value; with all, also the members
// it does not store (and those no kind stores).
CQueueItem Item(int kind, bool all = true)
{
    CQueueItem it;
    it.Kind = kind;
    const char* const names[] = {"RENBAN", "LIST", "LINK", "IMAGE"};
    it.KindName = names[kind];
    it.Fol = "/home/u/ダウンロード";
    it.job = {.User = "user",
              .Pass = "pa\tss",
              .Agen = "Agent/5.0 (X11)",
              .Prox = "proxy:3128",
              .ByPa = 0,
              .Cash = 0,
              .Seri = 3,
              .Relo = 1};
    if (all) {
        it.job.Meth = "POST";
        it.job.Argu = "x=1";
        it.job.Head = "X-A: 1";
        it.job.Modi = 5;
        it.job.Load = 6;
        it.job.Name = "n";
        it.job.Spare = "s";
    }
    if (all || kind == CQueueItem::RENBAN) {
        it.job.Refe = "http://ref/*";
        it.job.Targ = "http://h/*/a*.jpg";
        it.job.Dest = "/home/u/dl/vol*/a*.jpg";
        it.job.Cook = "a=b; c=d";
        it.St1 = "001";
        it.Ed1 = "120";
        it.Or1 = "007";
        it.Fx1 = 3;
        it.St2 = "1";
        it.Ed2 = "9";
        it.Or2 = "4";
        it.Fx2 = 2;
        it.Sub = "vol*";
        it.Syn = 3;
    }
    if (all || kind != CQueueItem::RENBAN) {
        it.Lst = "/home/u/list.lst";
        it.Del = 1;
    }
    if (all || kind >= CQueueItem::LINK)
        it.Page = "http://page/index.html";
    return it;
}

bool ReadText(const std::string& text, CQueueItem& item)
{
    StringLineSource lines(text);
    return item.ReadItem(lines);
}

TEST(QueueItemText, EveryKindRoundTrips)
{
    for (int kind = 0; kind < 4; ++kind) {
        SCOPED_TRACE(kind);
        const std::string text = Item(kind).ToText();
        CQueueItem back;
        back.St1 = "left over from before";
        ASSERT_TRUE(ReadText(text, back)) << text;
        EXPECT_TRUE(back == Item(kind, false)) << text << "\n" << back.ToText();
        EXPECT_EQ(back.ToText(), text);
    }
}

TEST(QueueItemText, SeriesItemIsWrittenExactly)
{
    CQueueItem it = Item(CQueueItem::RENBAN);
    it.St2 = it.Ed2 = it.Or2 = "";
    EXPECT_EQ(it.ToText(), "//Item Gegin//\r\n[num] http://h/*/a*.jpg\r\n\tRef\thttp://ref/*\r\n"
                           "\tDes\t/home/u/dl/vol*/a*.jpg\r\n\tSt1\t001\r\n\tEd1\t120\r\n\tOr1\t007\r\n\tFx1\t3\r\n"
                           "\tSt2\t\r\n\tEd2\t\r\n\tOr2\t\r\n\tFx2\t2\r\n\tCoo\ta=b; c=d\r\n\tSub\tvol*\r\n\tSyn\t3\r\n"
                           "\tFol\t/home/u/ダウンロード\r\n\tAge\tAgent/5.0 (X11)\r\n\tUse\tuser\r\n\tPas\tpa\tss\r\n"
                           "\tPro\tproxy:3128\r\n\tCas\t0\r\n\tLoc\t0\r\n\tRel\t1\r\n\tThr\t3\r\n//Item End//\r\n");
}

TEST(QueueItemText, KindLinesAndKeysPerKind)
{
    const std::string page = "[img] http://page/index.html\r\n\tLst\t/home/u/list.lst\r\n\tDel\t1\r\n\tFol\t";
    CQueueItem odd = Item(CQueueItem::RENBAN);
    odd.Kind = 5; // only the low two bits choose the form
    const std::pair<CQueueItem, std::string> cases[] = {
        {Item(CQueueItem::LIST), "[lst] /home/u/list.lst\r\n\tDel\t1\r\n\tFol\t"},
        {Item(CQueueItem::LINK), "[lnk]" + page.substr(5)},
        {Item(CQueueItem::IMAGE), page},
        {odd, "[lst] "},
        {CQueueItem(), "[img] \r\n\tLst\t\r\n\tDel\t0\r\n"}, // a cleared item (-1) is written as an image page
    };
    for (const auto& [item, head] : cases)
        EXPECT_EQ(item.ToText().rfind("//Item Gegin//\r\n" + head, 0), 0u) << head;
}

TEST(QueueItemText, LineBreakInValueIsWrittenAsBlank)
{
    CQueueItem it = Item(CQueueItem::RENBAN);
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
    struct Case
    {
        const char* name;
        std::string text;
        bool found;
        std::string fol, target;
        int kind;
    };
    const std::string b = "//Item Gegin//\r\n";
    const std::string e = "//Item End//\r\n";
    const Case cases[] = {
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
        {"lone CR stays in value", b + "\tFol\t/a\rb\r\r\n" + e, true, "/a\rb\r", "", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CQueueItem it;
        ASSERT_EQ(ReadText(c.text, it), c.found);
        if (c.found) {
            EXPECT_EQ(it.Fol, c.fol);
            EXPECT_EQ(it.job.Targ, c.target);
            EXPECT_EQ(it.Kind, c.kind);
            EXPECT_EQ(it.KindName, c.kind == CQueueItem::LIST ? "LIST" : it.KindName);
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
    const std::pair<std::string, std::string> cases[] = {
        {"\tFx1\t2147483647", "Fx1"},
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
    };
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

    // A saved order reads through the same rule.
    test::TempEnv env;
    CQueueItem it = Item(CQueueItem::LIST);
    it.Fol = latin1;
    const std::string path = env.root() + "/order";
    ASSERT_TRUE(test::WriteFile(path, std::string(kOrderFileMark) + it.ToText()));
    CQueueItem back;
    ASSERT_TRUE(back.ReadFrom(path));
    EXPECT_EQ(back.Fol, latin1);
}

TEST(QueueItemFile, ReadFromTakesTheFirstItem)
{
    test::TempEnv env;
    const std::string path = env.root() + "/PreSetting.ini";
    EXPECT_FALSE(CQueueItem().ReadFrom(path));
    ASSERT_TRUE(test::WriteFile(path, Item(1).ToText() + Item(0).ToText()));
    CQueueItem it = Item(2);
    ASSERT_TRUE(it.ReadFrom(path));
    EXPECT_TRUE(it == Item(1, false));
}

} // namespace
} // namespace pelldra
