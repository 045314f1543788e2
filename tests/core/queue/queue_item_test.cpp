// The queue item's text form: exact output, round trips of every kind, and the reader's rules.
#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>

#include "core/queue/queue_item.h"
#include "core/queue/text_lines.h"
#include "support/temp_env.h"

namespace pelldra {
namespace {

// Every stored member set to a value different from its cleared one.
CQueueItem FullItem(int kind)
{
    CQueueItem it;
    it.job.User = "user";
    it.job.Pass = "pa\tss";
    it.job.Agen = "Agent/5.0 (X11)";
    it.job.Refe = "http://ref/*";
    it.job.Targ = "http://h/*/a*.jpg";
    it.job.Dest = "/home/u/dl/vol*/a*.jpg";
    it.job.Cook = "a=b; c=d";
    it.job.Prox = "proxy:3128";
    it.job.ByPa = 0;
    it.job.Cash = 0;
    it.job.Seri = 3;
    it.job.Relo = 1;
    it.St1 = "001";
    it.Ed1 = "120";
    it.Or1 = "007";
    it.Fx1 = 3;
    it.St2 = "1";
    it.Ed2 = "9";
    it.Or2 = "4";
    it.Fx2 = 0;
    it.Sub = "vol*";
    it.Lst = "/home/u/list.lst";
    it.Page = "http://page/index.html";
    it.Del = 1;
    it.Fol = "/home/u/ダウンロード";
    it.Syn = 3;
    it.Kind = kind;
    const char* names[] = {"RENBAN", "LIST", "LINK", "IMAGE"};
    it.KindName = names[kind];
    return it;
}

// What reading back must give: the members the kind stores, everything else as after Clear.
CQueueItem StoredPart(const CQueueItem& full)
{
    CQueueItem e;
    e.Clear();
    e.Kind = full.Kind;
    e.KindName = full.KindName;
    e.Fol = full.Fol;
    e.job.Agen = full.job.Agen;
    e.job.User = full.job.User;
    e.job.Pass = full.job.Pass;
    e.job.Prox = full.job.Prox;
    e.job.Cash = full.job.Cash;
    e.job.ByPa = full.job.ByPa;
    e.job.Relo = full.job.Relo;
    e.job.Seri = full.job.Seri;
    switch (full.Kind) {
    case CQueueItem::RENBAN:
        e.job.Targ = full.job.Targ;
        e.job.Refe = full.job.Refe;
        e.job.Dest = full.job.Dest;
        e.job.Cook = full.job.Cook;
        e.St1 = full.St1;
        e.Ed1 = full.Ed1;
        e.Or1 = full.Or1;
        e.Fx1 = full.Fx1;
        e.St2 = full.St2;
        e.Ed2 = full.Ed2;
        e.Or2 = full.Or2;
        e.Fx2 = full.Fx2;
        e.Sub = full.Sub;
        e.Syn = full.Syn;
        break;
    case CQueueItem::LIST:
        e.Lst = full.Lst;
        e.Del = full.Del;
        break;
    default:
        e.Page = full.Page;
        e.Lst = full.Lst;
        e.Del = full.Del;
        break;
    }
    return e;
}

bool ReadText(const std::string& text, CQueueItem& item)
{
    StringLineSource lines(text);
    return item.ReadItem(lines);
}

TEST(QueueItemText, EveryKindRoundTrips)
{
    for (int kind = 0; kind < 4; ++kind) {
        CQueueItem full = FullItem(kind);
        full.job.Meth = "POST"; // members no kind stores
        full.job.Argu = "x=1";
        full.job.Head = "X-A: 1";
        full.job.Modi = 5;
        full.job.Load = 6;
        full.job.Name = "n";
        full.job.Spare = "s";
        full.Reserved = 9;
        const std::string text = full.ToText();
        CQueueItem back;
        back.St1 = "left over from before";
        ASSERT_TRUE(ReadText(text, back)) << text;
        EXPECT_TRUE(back.SameStoredValues(StoredPart(full))) << "kind " << kind << "\n"
                                                             << text << "\n"
                                                             << back.ToText();
        EXPECT_EQ(back.ToText(), text) << "kind " << kind;
    }
}

TEST(QueueItemText, SeriesItemIsWrittenExactly)
{
    CQueueItem it = FullItem(CQueueItem::RENBAN);
    it.St2 = it.Ed2 = it.Or2 = "";
    EXPECT_EQ(it.ToText(), "//Item Gegin//\r\n"
                           "[num] http://h/*/a*.jpg\r\n"
                           "\tRef\thttp://ref/*\r\n"
                           "\tDes\t/home/u/dl/vol*/a*.jpg\r\n"
                           "\tSt1\t001\r\n"
                           "\tEd1\t120\r\n"
                           "\tOr1\t007\r\n"
                           "\tFx1\t3\r\n"
                           "\tSt2\t\r\n"
                           "\tEd2\t\r\n"
                           "\tOr2\t\r\n"
                           "\tFx2\t0\r\n"
                           "\tCoo\ta=b; c=d\r\n"
                           "\tSub\tvol*\r\n"
                           "\tSyn\t3\r\n"
                           "\tFol\t/home/u/ダウンロード\r\n"
                           "\tAge\tAgent/5.0 (X11)\r\n"
                           "\tUse\tuser\r\n"
                           "\tPas\tpa\tss\r\n"
                           "\tPro\tproxy:3128\r\n"
                           "\tCas\t0\r\n"
                           "\tLoc\t0\r\n"
                           "\tRel\t1\r\n"
                           "\tThr\t3\r\n"
                           "//Item End//\r\n");
}

TEST(QueueItemText, KindLinesAndKeysPerKind)
{
    struct Case
    {
        int kind;
        const char* head; // the kind line and the keys before Fol
    };
    const Case cases[] = {
        {CQueueItem::LIST, "//Item Gegin//\r\n[lst] /home/u/list.lst\r\n\tDel\t1\r\n\tFol\t"},
        {CQueueItem::LINK,
         "//Item Gegin//\r\n[lnk] http://page/index.html\r\n\tLst\t/home/u/list.lst\r\n\tDel\t1\r\n\tFol\t"},
        {CQueueItem::IMAGE,
         "//Item Gegin//\r\n[img] http://page/index.html\r\n\tLst\t/home/u/list.lst\r\n\tDel\t1\r\n\tFol\t"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FullItem(c.kind).ToText().rfind(c.head, 0), 0u) << c.kind;

    // Only the low two bits choose the form; a cleared item (-1) is written as an image page.
    CQueueItem odd = FullItem(CQueueItem::RENBAN);
    odd.Kind = 5;
    EXPECT_EQ(odd.ToText().rfind("//Item Gegin//\r\n[lst] ", 0), 0u);
    CQueueItem cleared;
    EXPECT_EQ(cleared.ToText().rfind("//Item Gegin//\r\n[img] \r\n\tLst\t\r\n\tDel\t0\r\n", 0), 0u);
}

TEST(QueueItemText, LineBreakInValueIsWrittenAsBlank)
{
    CQueueItem it = FullItem(CQueueItem::RENBAN);
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
        std::string fol;    // expected Fol
        int kind;           // expected Kind
        std::string target; // expected Targ
    };
    const std::string b = "//Item Gegin//\r\n";
    const std::string e = "//Item End//\r\n";
    const Case cases[] = {
        {"keys in any order", b + "\tFol\t/f\r\n[num] u\r\n" + e, true, "/f", 0, "u"},
        {"last value wins", b + "[num] u\r\n\tFol\t/a\r\n\tFol\t/b\r\n[num] v\r\n" + e, true, "/b", 0, "v"},
        {"unknown key skipped", b + "\tFox\t/a\r\n\tFol\t/f\r\n" + e, true, "/f", -1, ""},
        {"key across the key string's blanks", b + "\tt F\t/a\r\n\tol \t/b\r\n" + e, true, "", -1, ""},
        {"unknown kind line ignored", b + "[foo] x\r\n" + e, true, "", -1, ""},
        {"kind tag inside the tag string ignored", b + "] [ls x\r\n" + e, true, "", -1, ""},
        {"blank and short lines inside", b + "\r\n[\r\n\t\r\n\tFo\r\n" + e, true, "", -1, ""},
        {"key line without value", b + "\tFol\r\n" + e, true, "", -1, ""},
        {"kind tag without blank", b + "[num]\r\n" + e, true, "", 0, ""},
        {"cut-off item not taken", b + "[num] u\r\n\tFol\t/f\r\n", false, "", -1, ""},
        {"no begin marker", "[num] u\r\n" + e, false, "", -1, ""},
        {"lines before the item skipped", "junk\r\n\tFol\t/x\r\n" + b + "\tFol\t/f\r\n" + e, true, "/f", -1, ""},
        {"LF line ends", "//Item Gegin//\n[num] u\n\tFol\t/f\n//Item End//\n", true, "/f", 0, "u"},
        {"end marker without line end", b + "[num] u\r\n//Item End//", true, "", 0, "u"},
        {"marker with trailing blank is no marker", "//Item Gegin// \r\n[num] u\r\n" + e, false, "", -1, ""},
        {"tab inside and at the start of a value", b + "\tFol\t\ta\tb\r\n" + e, true, "\ta\tb", -1, ""},
        {"second begin starts afresh", b + "[num] cut\r\n\tFol\t/old\r\n" + b + "[lst] l\r\n" + e, true, "", 1, ""},
        {"NUL byte in value", b + std::string("\tFol\t/a\0b\r\n", 11) + e, true, std::string("/a\0b", 4), -1, ""},
        {"lone CR stays in value", b + "\tFol\t/a\rb\r\r\n" + e, true, "/a\rb\r", -1, ""},
    };
    for (const Case& c : cases) {
        CQueueItem it;
        EXPECT_EQ(ReadText(c.text, it), c.found) << c.name;
        if (!c.found)
            continue;
        EXPECT_EQ(it.Fol, c.fol) << c.name;
        EXPECT_EQ(it.Kind, c.kind) << c.name;
        EXPECT_EQ(it.job.Targ, c.target) << c.name;
        if (it.Kind == CQueueItem::LIST) {
            EXPECT_EQ(it.KindName, "LIST") << c.name;
        }
    }
}

TEST(QueueItemReader, OlderFilesInCp932)
{
    // "ダウンロード" in CP932; the second item was appended in UTF-8 to the older file.
    const std::string cp932 = "\x83\x5f\x83\x45\x83\x93\x83\x8d\x81\x5b\x83\x68";
    const std::string text = "\xEF\xBB\xBF//Item Gegin//\r\n[lst] C:/" + cp932 + "/a.lst\r\n\tFol\t/dl/" + cp932 +
                             "\r\n//Item End//\r\n" + FullItem(CQueueItem::LIST).ToText();
    StringLineSource lines(text);
    CQueueItem it;
    ASSERT_TRUE(it.ReadItem(lines));
    EXPECT_EQ(it.Lst, "C:/ダウンロード/a.lst");
    EXPECT_EQ(it.Fol, "/dl/ダウンロード");
    ASSERT_TRUE(it.ReadItem(lines));
    EXPECT_EQ(it.Fol, "/home/u/ダウンロード");
}

TEST(QueueItemReader, IntegerValues)
{
    struct Case
    {
        const char* value;
        int expected;
    };
    const Case cases[] = {
        {"12", 12},
        {"-3", -3},
        {" 7", 7},
        {"12abc", 12},
        {"abc", 0},
        {"", 0},
        {"99999999999999999999", INT_MAX},
        {"-99999999999999999999", INT_MIN},
        {"+4", 4},
    };
    for (const Case& c : cases) {
        CQueueItem it;
        ASSERT_TRUE(ReadText(std::string("//Item Gegin//\n\tThr\t") + c.value + "\n//Item End//\n", it));
        EXPECT_EQ(it.job.Seri, c.expected) << c.value;
    }
}

TEST(QueueItemReader, HostileInputNeverCrashes)
{
    // Random bytes with the format's own pieces mixed in; whatever is complete must read back stably.
    std::mt19937 rng(12345);
    const std::string pieces[] = {"//Item Gegin//",
                                  "//Item End//",
                                  "\r\n",
                                  "\n",
                                  "\t",
                                  "[num] ",
                                  "[lst] ",
                                  "\tFol\t",
                                  "\tFx1\t",
                                  std::string(1, '\0'),
                                  "\r",
                                  std::string(10000, 'x')};
    for (int round = 0; round < 300; ++round) {
        std::string text;
        const int parts = static_cast<int>(rng() % 40);
        for (int p = 0; p < parts; ++p) {
            if (rng() % 2)
                text += pieces[rng() % std::size(pieces)];
            else
                text += static_cast<char>(rng() % 256);
        }
        StringLineSource lines(text);
        CQueueItem it;
        while (it.ReadItem(lines)) {
            CQueueItem again;
            ASSERT_TRUE(ReadText(it.ToText(), again));
            EXPECT_EQ(again.ToText(), it.ToText());
        }
    }
}

TEST(QueueItemFile, ReadFromTakesTheFirstItem)
{
    test::TempEnv env;
    const std::string path = env.root() + "/PreSetting.ini";
    EXPECT_FALSE(CQueueItem().ReadFrom(path));
    ASSERT_TRUE(test::WriteFile(path, FullItem(1).ToText() + FullItem(0).ToText()));
    CQueueItem it = FullItem(2);
    ASSERT_TRUE(it.ReadFrom(path));
    EXPECT_TRUE(it.SameStoredValues(StoredPart(FullItem(1))));

    std::FILE* f = std::fopen(path.c_str(), "ab");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(FullItem(3).WriteTo(f), 0);
    std::fclose(f);
    f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    int count = 0;
    while (it.ReadItem(f))
        ++count;
    std::fclose(f);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(it.Kind, CQueueItem::IMAGE);
}

TEST(QueueItemCopy, CopiesRunTimeMembersAndClearEmptiesThem)
{
    CQueueItem a = FullItem(CQueueItem::LIST);
    a.ListLines = {"Targ: u", "Dest: d"};
    a.AbortRequested = 1;
    a.RunStatus = 200;
    a.StatusText = std::string(400, 's'); // longer than the old fixed buffer
    CQueueItem b(a);
    CQueueItem c;
    c = a;
    for (const CQueueItem* x : {&b, &c}) {
        EXPECT_TRUE(x->SameStoredValues(a));
        EXPECT_EQ(x->ListLines, a.ListLines);
        EXPECT_EQ(x->AbortRequested.load(), 1);
        EXPECT_EQ(x->RunStatus.load(), 200);
        EXPECT_EQ(x->StatusText.size(), 400u);
    }
    c.Clear();
    EXPECT_TRUE(c.SameStoredValues(CQueueItem()));
    EXPECT_TRUE(c.ListLines.empty());
    EXPECT_EQ(c.AbortRequested.load(), 0);
    EXPECT_EQ(c.RunStatus.load(), 0);
    EXPECT_TRUE(c.StatusText.empty());
    EXPECT_EQ(c.Kind, -1);
    EXPECT_EQ(c.Reserved, -1);
    EXPECT_EQ(c.job.Modi, -1);
}

} // namespace
} // namespace pelldra
