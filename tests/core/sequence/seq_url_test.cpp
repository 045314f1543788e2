// Tests of CSeqUrl: marks that follow edits, arrow moves, the Referer's sync with its master, templates, reloading.
#include "core/sequence/seq_url.h"

#include <chrono>
#include <string>

#include <gtest/gtest.h>

#include "core/queue/queue_item.h"

namespace pelldra {
namespace {

// Every field is empty or inside the text, and the upper field ends at or before the lower one.
void ExpectSound(const CSeqUrl& u)
{
    const int n = static_cast<int>(u.GetText().size());
    for (int i = 0; i < 2; ++i) {
        if (u.IsFieldEmpty(i)) {
            EXPECT_EQ(u.GetFieldSpan(i), (SeqSpan{0, 0}));
            continue;
        }
        const SeqSpan s = u.GetFieldSpan(i);
        EXPECT_GE(s.start, 0);
        EXPECT_LT(s.start, s.end);
        EXPECT_LE(s.end, n);
    }
    if (!u.IsFieldEmpty(0) && !u.IsFieldEmpty(1)) {
        EXPECT_LE(u.GetFieldSpan(1).end, u.GetFieldSpan(0).start);
    }
}

TEST(DigitRunTest, Primitives)
{
    const std::string s = "ab12c345";
    EXPECT_EQ(LastDigitAtOrBefore(s, 4), 3);
    EXPECT_EQ(LastDigitAtOrBefore(s, 1), -1);
    EXPECT_EQ(LastDigitAtOrBefore(s, -1), 7); // outside: from the end
    EXPECT_EQ(LastDigitAtOrBefore("", 0), -1);
    EXPECT_EQ(FirstDigitFrom(s, 4), 5);
    EXPECT_EQ(FirstDigitFrom(s, 99), 2); // outside: from the start
    EXPECT_EQ(FirstDigitFrom("abc", 0), -1);
    EXPECT_EQ(RunStartOf(s, 7), 5);
    EXPECT_EQ(RunStartOf(s, 3), 2);
    EXPECT_EQ(RunStartOf(s, 4), 5); // a non-digit: the position after it
    EXPECT_EQ(RunStartOf("ab1", 1), 2);
    EXPECT_EQ(RunStartOf("ab", 1), -1); // past the end
    EXPECT_EQ(RunStartOf("12", 1), 0);
    EXPECT_EQ(RunLastOf(s, 5), 7);
    EXPECT_EQ(RunLastOf(s, 2), 3);
    EXPECT_EQ(RunLastOf(s, 4), 3); // a non-digit: the position before it
    EXPECT_EQ(FindLast("a12b12", "12"), (SeqSpan{4, 6}));
    EXPECT_EQ(FindLast("111", "11"), (SeqSpan{1, 3}));
    EXPECT_FALSE(FindLast("abc", "1").has_value());
    EXPECT_FALSE(FindLast("abc", "").has_value());
}

TEST(SeqUrlTest, FreshTextMarksLastRunAndTheRunBeforeIt)
{
    struct Case
    {
        std::string url;
        std::string lower;
        std::string upper;
    };
    const Case cases[] = {
        {"http://a.example/dir12/img003.jpg", "003", "12"},
        {"http://a.example/x12/y003.jpg", "003", "12"},
        {"http://a.example/a01.mp3", "3", "01"}, // digits of the extension count too
        {"http://www3.example/img/7.png", "7", "3"},
        {"http://a.example/page", "", ""},
        {"12345", "12345", ""},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        CSeqUrl u;
        EXPECT_TRUE(u.SetText(c.url));
        EXPECT_EQ(u.GetFieldText(0), c.lower) << c.url;
        EXPECT_EQ(u.GetFieldText(1), c.upper) << c.url;
        // Re-deriving the marks from an unchanged text keeps them.
        u.Refresh();
        EXPECT_EQ(u.GetFieldText(0), c.lower) << c.url;
        EXPECT_EQ(u.GetFieldText(1), c.upper) << c.url;
        ExpectSound(u);
    }
}

TEST(SeqUrlTest, MarksFollowEdits)
{
    struct Case
    {
        const char* what;
        std::string before;
        std::string after;
        std::string lower;
        std::string upper;
    };
    const Case cases[] = {
        {"digit typed after field 0", "http://h/x1/y003.jpg", "http://h/x1/y0034.jpg", "0034", "1"},
        {"digit typed before field 0", "http://h/x1/y003.jpg", "http://h/x1/y5003.jpg", "5003", "1"},
        {"field 0 deleted", "http://h/x1/y003.jpg", "http://h/x1/y.jpg", "1", ""},
        {"every digit deleted", "http://h/y003.jpg", "http://h/y.jpg", "", ""},
        {"new URL pasted", "http://h/a1/b2.jpg", "http://k/c33/d44.png", "44", "33"},
        {"digits appended", "http://h/y003.jpg", "http://h/y003.jpg?v=2", "2", "003"},
        {"letters typed after", "http://h/y003.jpg", "http://h/y003.jpeg", "003", ""},
        {"digit typed in the host", "http://h/x1/y003.jpg", "http://h2/x1/y003.jpg", "003", "1"},
        {"letter typed inside field 0", "http://h/y003.jpg", "http://h/y00x3.jpg", "00", ""},
    };
    for (const Case& c : cases) {
        CSeqUrl u;
        u.SetText(c.before);
        u.SetText(c.after);
        EXPECT_EQ(u.GetPrevText(), c.before);
        EXPECT_EQ(u.GetFieldText(0), c.lower) << c.what;
        EXPECT_EQ(u.GetFieldText(1), c.upper) << c.what;
        ExpectSound(u);
    }
}

TEST(SeqUrlTest, Templates)
{
    CSeqUrl u;
    u.SetText("http://h/x12/y003.jpg");
    EXPECT_EQ(u.MakeUrlTemplate(true), "http://h/x*/y*.jpg");
    EXPECT_EQ(u.MakeUrlTemplate(false), "http://h/x12/y*.jpg");
    EXPECT_EQ(u.MakeTemplate(2), "http://h/x*/y003.jpg");
    EXPECT_EQ(u.MakeTemplate(0), "http://h/x12/y003.jpg");
    CSeqUrl none;
    none.SetText("http://h/page.html");
    EXPECT_EQ(none.MakeUrlTemplate(true), "http://h/page.html");
}

TEST(SeqUrlTest, FieldQueries)
{
    CSeqUrl u;
    u.SetText("http://h/a17/b007.jpg");
    EXPECT_EQ(u.GetFieldSpan(0), (SeqSpan{14, 17}));
    EXPECT_EQ(u.GetFieldLength(0), 3);
    EXPECT_TRUE(u.HasLeadingZero(0));
    EXPECT_FALSE(u.HasLeadingZero(1));
    EXPECT_EQ(u.FieldWidth(0), 3); // a leading zero fixes the width
    EXPECT_EQ(u.FieldWidth(1), 0);
    u.SetAssumeFixedDigits(true);
    EXPECT_EQ(u.FieldWidth(1), 2);
    u.ClearField(0);
    EXPECT_TRUE(u.IsFieldEmpty(0));
    EXPECT_EQ(u.GetFieldText(0), "");
    EXPECT_EQ(u.GetFieldSpan(0), (SeqSpan{0, 0}));
    EXPECT_EQ(u.FieldWidth(0), 0);
    EXPECT_FALSE(u.HasLeadingZero(0));
    // Out-of-range indexes address nothing rather than memory beside the fields.
    EXPECT_TRUE(u.IsFieldEmpty(2));
    EXPECT_EQ(u.GetFieldText(-1), "");
    EXPECT_FALSE(u.CanMoveLeft(7));
}

TEST(SeqUrlTest, ArrowMovesOfTheLowerMark)
{
    CSeqUrl u;
    u.SetText("http://h/a1/b22/c333/d4444.jpg");
    ASSERT_EQ(u.GetFieldText(0), "4444");
    ASSERT_EQ(u.GetFieldText(1), "333");
    EXPECT_TRUE(u.CanMoveLeft(0));
    EXPECT_FALSE(u.CanMoveRight(0));

    struct Step
    {
        bool left;
        std::string lower;
        std::string upper;
    };
    // Moving the lower mark onto the upper one pushes the upper mark one run further left, or clears it.
    const Step steps[] = {
        {true, "333", "22"}, {true, "22", "1"},   {true, "1", ""},      {true, "1", ""},
        {false, "22", "1"},  {false, "333", "1"}, {false, "4444", "1"}, {false, "4444", "1"},
    };
    for (const Step& s : steps) {
        if (s.left)
            u.SelectPrevRun();
        else
            u.SelectNextRun();
        EXPECT_EQ(u.GetFieldText(0), s.lower);
        EXPECT_EQ(u.GetFieldText(1), s.upper);
        ExpectSound(u);
    }
}

TEST(SeqUrlTest, ArrowMovesOfTheUpperMark)
{
    CSeqUrl u;
    u.SetText("http://h/a1/b22/c333/d4444.jpg");
    u.SetUpperEnabled(true);
    u.SetSelectedField(1);
    // The upper mark never passes the lower one.
    EXPECT_FALSE(u.CanMoveRight(1));
    u.SelectNextRun();
    EXPECT_EQ(u.GetFieldText(1), "333");
    EXPECT_EQ(u.GetFieldText(0), "4444");

    u.SelectPrevRun();
    EXPECT_EQ(u.GetFieldText(1), "22");
    EXPECT_TRUE(u.CanMoveRight(1));
    u.SelectPrevRun();
    u.SelectPrevRun();
    EXPECT_EQ(u.GetFieldText(1), "1");
    EXPECT_FALSE(u.CanMoveLeft(1));
    u.SelectNextRun();
    EXPECT_EQ(u.GetFieldText(1), "22");
    EXPECT_EQ(u.GetFieldText(0), "4444");
}

TEST(SeqUrlTest, MovesAtTheEndsOfTheTextDoNotWrapRound)
{
    // Lower mark at the very end: no run to the right, and the search must not start over at the beginning.
    CSeqUrl u;
    u.SetText("http://h/a1/b2");
    EXPECT_FALSE(u.CanMoveRight(0));
    u.SelectNextRun();
    EXPECT_EQ(u.GetFieldText(0), "2");
    EXPECT_EQ(u.GetFieldText(1), "1");

    // Upper mark at position 0: no run to the left, and the search must not start over at the end.
    CSeqUrl v;
    v.SetText("1a2");
    v.SetSelectedField(1);
    EXPECT_FALSE(v.CanMoveLeft(1));
    v.SelectPrevRun();
    EXPECT_EQ(v.GetFieldSpan(1), (SeqSpan{0, 1}));
    EXPECT_EQ(v.GetFieldSpan(0), (SeqSpan{2, 3}));
}

TEST(SeqUrlTest, CanMoveRules)
{
    struct Case
    {
        std::string url;
        int field;
        bool left;
        bool right;
    };
    const Case cases[] = {
        {"http://h/a1/b22/c333.jpg", 0, true, false},
        {"http://h/a1/b22/c333.jpg", 1, true, false}, // 22 is next to the lower mark
        {"http://h/x/y5.jpg", 0, false, false},
        {"http://h/x/y5.jpg", 1, false, false}, // empty field
        {"http://h/page.html", 0, false, false},
        {"http://h/7/y5", 0, true, false}, // ends the text
    };
    for (const Case& c : cases) {
        CSeqUrl u;
        u.SetText(c.url);
        EXPECT_EQ(u.CanMoveLeft(c.field), c.left) << c.url << " field " << c.field;
        EXPECT_EQ(u.CanMoveRight(c.field), c.right) << c.url << " field " << c.field;
    }
    CSeqUrl u;
    u.SetText("http://h/a1/b22/c333.jpg");
    u.SetSelectedField(0);
    u.SelectPrevRun();
    EXPECT_TRUE(u.CanMoveRight(0));
}

TEST(SeqUrlTest, SettingsLiveAtTheRootOfTheChain)
{
    CSeqUrl master;
    CSeqUrl referer;
    ASSERT_TRUE(referer.SetMaster(&master));
    referer.SetUpperEnabled(true);
    referer.SetSyncFlags(2);
    referer.SetAssumeFixedDigits(true);
    referer.SetSelectedField(1);
    EXPECT_TRUE(master.GetUpperEnabled());
    EXPECT_EQ(master.GetSyncFlags(), 2);
    EXPECT_TRUE(master.GetAssumeFixedDigits());
    EXPECT_EQ(master.GetSelectedField(), 1);
    master.SetSyncFlags(1);
    EXPECT_EQ(referer.GetSyncFlags(), 1);
    master.SetSelectedField(5); // only 0 and 1 exist
    EXPECT_EQ(referer.GetSelectedField(), 0);

    // A loop would make every getter walk for ever.
    EXPECT_FALSE(master.SetMaster(&referer));
    EXPECT_FALSE(referer.SetMaster(&referer));
    EXPECT_EQ(master.GetMaster(), nullptr);

    referer.Reset();
    EXPECT_EQ(referer.GetMaster(), nullptr);
    EXPECT_EQ(referer.GetSyncFlags(), 0);
    EXPECT_EQ(master.GetSyncFlags(), 1);
}

TEST(SeqUrlTest, SetByNumWithoutMasterFailsAndChangesNothing)
{
    CSeqUrl u;
    u.SetText("http://h/x12/y003.jpg");
    const Result r = u.SetByNum(0);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.message, "予期しないエラーです。[SetByNum()]\n作者に連絡して下さい。");
    EXPECT_EQ(u.GetText(), "http://h/x12/y003.jpg");
    EXPECT_EQ(u.GetFieldText(0), "003");
    EXPECT_EQ(u.GetFieldText(1), "12");
    EXPECT_EQ(u.MasterFieldsFound(false), -1);
    EXPECT_FALSE(u.HasPrevMatch());
    EXPECT_FALSE(u.HasNextMatch());
}

// The main URL and the Referer chained to it, as the main window holds them.
struct Pair
{
    CSeqUrl url;
    CSeqUrl ref;
    Pair(const std::string& u, int syncFlags, const std::string& r)
    {
        ref.SetMaster(&url);
        url.SetText(u);
        url.SetSyncFlags(syncFlags);
        ref.SetText(r);
    }
};

TEST(SeqUrlTest, RefererFollowsTheMastersDigits)
{
    Pair p("http://h/img003.jpg", 1, "http://h/page003.html");
    EXPECT_EQ(p.ref.GetFieldText(0), "003");
    EXPECT_TRUE(p.ref.IsFieldEmpty(1));

    // The master's number changes: the Referer is searched afresh, and 004 does not occur.
    p.url.SetText("http://h/img004.jpg");
    p.ref.SyncFields();
    EXPECT_TRUE(p.ref.IsFieldEmpty(0));
    EXPECT_EQ(p.ref.MakeTemplate(1), "http://h/page003.html");

    p.ref.SetText("http://h/page004.html");
    EXPECT_EQ(p.ref.GetFieldText(0), "004");
    EXPECT_EQ(p.ref.MakeTemplate(1), "http://h/page*.html");

    // Without the sync flag the field is not looked for.
    p.url.SetSyncFlags(2);
    p.ref.Refresh();
    EXPECT_TRUE(p.ref.IsFieldEmpty(0));
    EXPECT_TRUE(p.ref.SetByNum(0).ok());
    EXPECT_EQ(p.ref.GetFieldText(0), "004");
}

TEST(SeqUrlTest, RefererMarkShiftsOnceWhenTheTextBeforeItChanges)
{
    Pair p("http://h/x12/y003.jpg", 1, "http://h/a003/b003.html");
    ASSERT_EQ(p.ref.GetFieldSpan(0), (SeqSpan{15, 18})); // the last occurrence
    p.ref.SelectPrevMatch();
    ASSERT_EQ(p.ref.GetFieldSpan(0), (SeqSpan{10, 13}));

    p.ref.SetText("http://h/xa003/b003.html");
    EXPECT_EQ(p.ref.GetFieldSpan(0), (SeqSpan{11, 14}));
    // The start command syncs once more before it builds the template; that must not apply the edit again.
    p.ref.SyncFields();
    EXPECT_EQ(p.ref.GetFieldSpan(0), (SeqSpan{11, 14}));
    EXPECT_EQ(p.ref.MakeTemplate(1), "http://h/xa*/b003.html");
}

TEST(SeqUrlTest, MatchMovesWithMaster)
{
    Pair p("http://h/x12/y003.jpg", 3, "http://r/12/p003/12/q003.html");
    CSeqUrl& r = p.ref;
    ASSERT_EQ(r.GetFieldSpan(0), (SeqSpan{21, 24}));
    ASSERT_EQ(r.GetFieldSpan(1), (SeqSpan{17, 19}));
    EXPECT_EQ(r.MasterFieldsFound(false), 3);
    EXPECT_EQ(r.MasterFieldsFound(true), 3);
    EXPECT_TRUE(r.HasPrevMatch());
    EXPECT_FALSE(r.HasNextMatch());

    struct Step
    {
        int field;
        bool prev;
        SeqSpan lower;
        SeqSpan upper;
    };
    const Step steps[] = {
        // Lower mark left past the upper one: the upper mark goes to the last 12 left of it.
        {0, true, {13, 16}, {9, 11}},
        {0, true, {13, 16}, {9, 11}}, // no 003 further left: unchanged
        {0, false, {21, 24}, {9, 11}},
        {1, false, {21, 24}, {17, 19}},
        {1, false, {21, 24}, {17, 19}}, // no 12 further right
        {1, true, {21, 24}, {9, 11}},
        {0, true, {13, 16}, {9, 11}},
        // Upper mark right past the lower one: the lower mark goes to the next 003 after it.
        {1, false, {21, 24}, {17, 19}},
    };
    for (const Step& s : steps) {
        r.SetSelectedField(s.field);
        if (s.prev)
            r.SelectPrevMatch();
        else
            r.SelectNextMatch();
        EXPECT_EQ(r.GetFieldSpan(0), s.lower);
        EXPECT_EQ(r.GetFieldSpan(1), s.upper);
        ExpectSound(r);
    }
    r.SetSelectedField(1);
    EXPECT_TRUE(r.HasPrevMatch());
    EXPECT_FALSE(r.HasNextMatch());
}

TEST(SeqUrlTest, UpperMatchMoveFillsAnEmptyLowerMark)
{
    Pair p("http://h/x12/y003.jpg", 2, "http://r/12/p003/12/q003.html");
    CSeqUrl& r = p.ref;
    ASSERT_TRUE(r.IsFieldEmpty(0));
    ASSERT_EQ(r.GetFieldSpan(1), (SeqSpan{17, 19}));
    r.SetSelectedField(1);
    r.SelectPrevMatch();
    EXPECT_EQ(r.GetFieldSpan(1), (SeqSpan{9, 11}));
    EXPECT_EQ(r.GetFieldSpan(0), (SeqSpan{13, 16}));
    EXPECT_EQ(r.MasterFieldsFound(true), 3);
}

TEST(SeqUrlTest, MasterFieldsFound)
{
    struct Case
    {
        std::string master;
        std::string referer;
        int found;
    };
    const Case cases[] = {
        {"http://h/x12/y003.jpg", "http://r/003.html", 1},
        {"http://h/x12/y003.jpg", "http://r/12.html", 2},
        {"http://h/x12/y003.jpg", "http://r/index.html", 0},
        {"http://h/y003.jpg", "http://r/003.html", 3}, // no upper digits count as found
    };
    for (const Case& c : cases) {
        Pair p(c.master, 0, c.referer);
        EXPECT_EQ(p.ref.MasterFieldsFound(false), c.found) << c.master << " " << c.referer;
        EXPECT_EQ(p.ref.MasterFieldsFound(true), 0); // sync off: nothing marked
    }
}

TEST(SeqUrlTest, LoadFromItemGivesTheTextBackWithTheSameMarks)
{
    struct Case
    {
        std::string targ; // a template as the start command builds it
        std::string or1;
        std::string or2;
        std::string text;
        SeqSpan lower;
        SeqSpan upper;
    };
    const Case cases[] = {
        {"http://h/x*/y*.jpg", "003", "12", "http://h/x12/y003.jpg", {14, 17}, {10, 12}},
        {"http://h/x12/y*.jpg", "003", "", "http://h/x12/y003.jpg", {14, 17}, {-1, -1}},
        {"http://h/a**.jpg", "03", "12", "http://h/a1203.jpg", {12, 14}, {10, 12}}, // runs that touch
        {"http://h/page.html", "5", "6", "http://h/page.html", {-1, -1}, {-1, -1}},
        {"http://h/a*.jpg", "", "7", "http://h/a7.jpg", {-1, -1}, {10, 11}},
        // A '*' among stored digits must not pull the upper mark into the lower one.
        {"a*b*c", "1*", "2", "a2b1*c", {3, 5}, {1, 2}},
    };
    for (const Case& c : cases) {
        CSeqUrl u;
        u.SetText("http://old/1/2");
        u.LoadFromItem(c.targ, "ignored", c.or1, c.or2, 0);
        EXPECT_EQ(u.GetText(), c.text) << c.targ;
        EXPECT_EQ(u.GetPrevText(), "http://old/1/2");
        EXPECT_EQ(u.IsFieldEmpty(0) ? SeqSpan{} : u.GetFieldSpan(0), c.lower) << c.targ;
        EXPECT_EQ(u.IsFieldEmpty(1) ? SeqSpan{} : u.GetFieldSpan(1), c.upper) << c.targ;
        if (!u.IsFieldEmpty(0) && c.text.find('*') == std::string::npos) {
            EXPECT_EQ(u.MakeTemplate(u.IsFieldEmpty(1) ? 1 : 3), c.targ);
        }
        ExpectSound(u);
    }
}

TEST(SeqUrlTest, RefererReloadKeepsTheChosenOccurrence)
{
    Pair p("http://h/x12/y003.jpg", 1, "http://h/a003/b003.html");
    p.ref.SelectPrevMatch();
    const std::string refe = p.ref.MakeTemplate(1);
    ASSERT_EQ(refe, "http://h/a*/b003.html");

    CQueueItem item;
    item.job.Targ = p.url.MakeUrlTemplate(false);
    item.job.Refe = refe;
    item.Or1 = "003";
    item.Syn = 1;
    Pair q("http://h/x12/y003.jpg", 1, "");
    q.url.LoadFromItem(item);
    q.ref.LoadFromItem(item);
    EXPECT_EQ(q.url.GetText(), "http://h/x12/y003.jpg");
    EXPECT_EQ(q.ref.GetText(), "http://h/a003/b003.html");
    EXPECT_EQ(q.ref.GetFieldSpan(0), (SeqSpan{10, 13}));
    // Starting the download syncs the Referer again; the user's choice of occurrence must survive that.
    q.ref.SyncFields();
    EXPECT_EQ(q.ref.MakeTemplate(1), refe);

    // Without the sync bit the Referer template stays as it is, star and all.
    item.Syn = 0;
    q.ref.LoadFromItem(item);
    EXPECT_EQ(q.ref.GetText(), refe);
    EXPECT_TRUE(q.ref.IsFieldEmpty(0));
}

TEST(SeqUrlTest, FieldInHost)
{
    struct Case
    {
        std::string url;
        int field;
        int expected;
    };
    const Case cases[] = {
        {"http://www3.example/a/b5.jpg", 0, 0}, {"http://www3.example/a/b5.jpg", 1, 2}, // "http:" lies left of it
        {"https://www3.example/a/b.jpg", 0, 2}, {"http://www3.example", 0, 2},          // no path at all
        {"http://example:8080/a.jpg", 0, 2},    {"www3.example/a.jpg", 0, 1},
        {"http://example/12/a.jpg", 0, 0},      {"", 0, 0},
    };
    for (const Case& c : cases) {
        CSeqUrl u;
        u.SetText(c.url);
        EXPECT_EQ(u.FieldInHost(c.field), c.expected) << c.url << " field " << c.field;
    }
}

TEST(SeqUrlTest, EditingAHugeUrlStaysFast)
{
    std::string text = "http://h/";
    while (text.size() < 100000)
        text += "a12b";
    CSeqUrl url;
    CSeqUrl ref;
    ref.SetMaster(&url);
    url.SetSyncFlags(3);
    const auto t0 = std::chrono::steady_clock::now();
    for (int k = 0; k < 200; ++k) {
        text.insert(text.size() / 2 + static_cast<size_t>(k), 1, static_cast<char>('0' + k % 10));
        url.SetText(text);
        ref.SetText(text);
        url.SelectPrevRun();
        ref.SelectPrevMatch();
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    ExpectSound(url);
    ExpectSound(ref);
    EXPECT_LT(seconds, 10.0);
}

} // namespace
} // namespace pelldra
