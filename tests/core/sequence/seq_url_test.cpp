// Tests of CSeqUrl: marks that follow edits, arrow moves, the Referer's sync with its master, templates, reloading.
#include "core/sequence/seq_url.h"

#include <chrono>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "core/queue/queue_item.h"

namespace pelldra {
namespace {

// The marked digits in text order: "upper|lower".
std::string Marks(const CSeqUrl& u)
{
    return u.GetFieldText(1) + "|" + u.GetFieldText(0);
}

TEST(SeqUrlTest, FreshTextMarksLastRunAndTheRunBeforeIt)
{
    // Digits of the extension and of the host count too.
    const std::pair<std::string, std::string> cases[] = {{"http://a.example/dir12/img003.jpg", "12|003"},
                                                         {"http://a.example/a01.mp3", "01|3"},
                                                         {"http://www3.example/img/7.png", "3|7"},
                                                         {"http://a.example/page", "|"},
                                                         {"12345", "|12345"},
                                                         {"", "|"}};
    for (const auto& [url, marks] : cases) {
        CSeqUrl u;
        EXPECT_TRUE(u.SetText(url));
        EXPECT_EQ(Marks(u), marks) << url;
        u.Refresh(); // re-deriving the marks from an unchanged text keeps them
        EXPECT_EQ(Marks(u), marks) << url;
    }
    // A copied URL often brings blanks and a line break along; they are no part of it.
    CSeqUrl pasted;
    pasted.SetText(" \thttp://a.example/a01.mp3  \r\n");
    EXPECT_EQ(pasted.GetText(), "http://a.example/a01.mp3");
}

TEST(SeqUrlTest, MarksFollowEdits)
{
    // Before, after, the marks after.
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"http://h/x1/y003.jpg", "http://h/x1/y0034.jpg", "1|0034"}, // digit typed after field 0
        {"http://h/x1/y003.jpg", "http://h/x1/y5003.jpg", "1|5003"}, // digit typed before field 0
        {"http://h/x1/y003.jpg", "http://h/x1/y.jpg", "|1"},         // field 0 deleted
        {"http://h/y003.jpg", "http://h/y.jpg", "|"},                // every digit deleted
        {"http://h/a1/b2.jpg", "http://k/c33/d44.png", "33|44"},     // a new URL pasted
        {"http://h/y003.jpg", "http://h/y003.jpg?v=2", "003|2"},     // digits appended
        {"http://h/y003.jpg", "http://h/y003.jpeg", "|003"},         // letters typed after
        {"http://h/x1/y003.jpg", "http://h2/x1/y003.jpg", "1|003"},  // digit typed in the host
        {"http://h/y003.jpg", "http://h/y00x3.jpg", "|00"}};         // letter typed inside field 0
    for (const auto& [before, after, marks] : cases) {
        CSeqUrl u;
        u.SetText(before);
        u.SetText(after);
        EXPECT_EQ(Marks(u), marks) << before << " -> " << after;
    }
}

TEST(SeqUrlTest, TemplatesAndFieldQueries)
{
    CSeqUrl u;
    u.SetText("http://h/x12/y003.jpg");
    EXPECT_EQ(u.MakeUrlTemplate(true), "http://h/x*/y*.jpg");
    EXPECT_EQ(u.MakeUrlTemplate(false), "http://h/x12/y*.jpg");
    EXPECT_EQ(u.MakeTemplate(2), "http://h/x*/y003.jpg");
    EXPECT_EQ(u.FieldWidth(0), 3); // a leading zero fixes the width
    EXPECT_EQ(u.FieldWidth(1), 0);
    u.SetAssumeFixedDigits(true);
    EXPECT_EQ(u.FieldWidth(1), 2);
    u.ClearField(0);
    EXPECT_EQ(u.GetFieldSpan(0), (SeqSpan{0, 0}));
    EXPECT_EQ(u.FieldWidth(0), 0);
    EXPECT_FALSE(u.CanMoveLeft(0) || u.CanMoveRight(0));
    EXPECT_EQ(u.MakeUrlTemplate(false), "http://h/x12/y003.jpg");
}

TEST(SeqUrlTest, ArrowMoves)
{
    // Digits at both ends of the text: a move there must not wrap round to the other end.
    CSeqUrl u;
    u.SetText("1/b22/c333/d4444");
    u.SetUpperEnabled(true);
    // Field, left or right, the marks after the move, and whether the field can move further left and right.
    // Moving the lower mark onto the upper one pushes the upper mark one run further left, or clears it; the upper
    // mark never passes the lower one.
    const std::tuple<int, bool, std::string, bool, bool> steps[] = {
        {0, true, "22|333", true, true},     {0, true, "1|22", true, true},       {0, true, "|1", false, true},
        {0, true, "|1", false, true},        {0, false, "1|22", true, true},      {0, false, "1|333", true, true},
        {0, false, "1|4444", true, false},   {0, false, "1|4444", true, false},   {1, false, "22|4444", true, true},
        {1, false, "333|4444", true, false}, {1, false, "333|4444", true, false}, {1, true, "22|4444", true, true},
        {1, true, "1|4444", false, true},    {1, true, "1|4444", false, true}};
    int n = 0;
    for (const auto& [field, left, marks, canLeft, canRight] : steps) {
        SCOPED_TRACE("step " + std::to_string(n++));
        u.SetSelectedField(field);
        if (left)
            u.SelectPrevRun();
        else
            u.SelectNextRun();
        EXPECT_EQ(Marks(u), marks);
        EXPECT_EQ(u.CanMoveLeft(field), canLeft);
        EXPECT_EQ(u.CanMoveRight(field), canRight);
    }
}

TEST(SeqUrlTest, SettingsLiveAtTheRootOfTheChainWhichNeverLoops)
{
    CSeqUrl master;
    CSeqUrl referer;
    ASSERT_TRUE(referer.SetMaster(&master));
    referer.SetSyncFlags(2);
    referer.SetSelectedField(1);
    EXPECT_EQ(master.GetSyncFlags() * 10 + master.GetSelectedField(), 21);
    master.SetSelectedField(5); // only 0 and 1 exist
    EXPECT_EQ(referer.GetSelectedField(), 0);
    // A loop would make every getter walk for ever.
    EXPECT_FALSE(master.SetMaster(&referer) || referer.SetMaster(&referer));

    // Without a master there is nothing to take the number from.
    master.SetText("http://h/x12/y003.jpg");
    EXPECT_EQ(master.SetByNum(0).message, "予期しないエラーです。[SetByNum()]\n作者に連絡して下さい。");
    EXPECT_EQ(Marks(master), "12|003");
    EXPECT_EQ(master.MasterFieldsFound(false), -1);
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
    EXPECT_EQ(Marks(p.ref), "|003");
    // The master's number changes: the Referer is searched afresh, and 004 does not occur.
    p.url.SetText("http://h/img004.jpg");
    p.ref.SyncFields();
    EXPECT_EQ(Marks(p.ref), "|");
    EXPECT_EQ(p.ref.MakeTemplate(1), "http://h/page003.html");
    p.ref.SetText("http://h/page004.html");
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
    EXPECT_EQ(p.ref.MakeTemplate(1), "http://h/xa*/b003.html");
}

TEST(SeqUrlTest, MatchMovesWithMaster)
{
    Pair p("http://h/x12/y003.jpg", 3, "http://r/12/p003/12/q003.html");
    CSeqUrl& r = p.ref;
    ASSERT_EQ(r.GetFieldSpan(0), (SeqSpan{21, 24}));
    ASSERT_EQ(r.GetFieldSpan(1), (SeqSpan{17, 19}));
    EXPECT_EQ(r.MasterFieldsFound(true), 3);
    EXPECT_TRUE(r.HasPrevMatch());
    EXPECT_FALSE(r.HasNextMatch());
    // Field, previous or next, the lower and upper spans after the move. The lower mark moved left past the upper
    // one sends the upper mark to the last 12 left of it; the upper mark moved right past the lower one sends the
    // lower mark to the next 003 after it. Where no match lies further, nothing changes.
    const std::tuple<int, bool, SeqSpan, SeqSpan> steps[] = {
        {0, true, {13, 16}, {9, 11}},   {0, true, {13, 16}, {9, 11}},   {0, false, {21, 24}, {9, 11}},
        {1, false, {21, 24}, {17, 19}}, {1, false, {21, 24}, {17, 19}}, {1, true, {21, 24}, {9, 11}},
        {0, true, {13, 16}, {9, 11}},   {1, false, {21, 24}, {17, 19}}};
    int n = 0;
    for (const auto& [field, prev, lower, upper] : steps) {
        SCOPED_TRACE("step " + std::to_string(n++));
        r.SetSelectedField(field);
        if (prev)
            r.SelectPrevMatch();
        else
            r.SelectNextMatch();
        EXPECT_EQ(r.GetFieldSpan(0), lower);
        EXPECT_EQ(r.GetFieldSpan(1), upper);
    }
}

TEST(SeqUrlTest, UpperMatchMoveFillsAnEmptyLowerMark)
{
    Pair p("http://h/x12/y003.jpg", 2, "http://r/12/p003/12/q003.html");
    ASSERT_EQ(Marks(p.ref), "12|");
    p.ref.SetSelectedField(1);
    p.ref.SelectPrevMatch();
    EXPECT_EQ(p.ref.GetFieldSpan(1), (SeqSpan{9, 11}));
    EXPECT_EQ(p.ref.GetFieldSpan(0), (SeqSpan{13, 16}));
}

TEST(SeqUrlTest, MasterFieldsFound)
{
    // Master, Referer, what is found; a master without upper digits counts them as found.
    const std::tuple<std::string, std::string, int> cases[] = {{"http://h/x12/y003.jpg", "http://r/003.html", 1},
                                                               {"http://h/x12/y003.jpg", "http://r/12.html", 2},
                                                               {"http://h/x12/y003.jpg", "http://r/index.html", 0},
                                                               {"http://h/y003.jpg", "http://r/003.html", 3}};
    for (const auto& [master, referer, found] : cases) {
        Pair p(master, 0, referer);
        EXPECT_EQ(p.ref.MasterFieldsFound(false), found) << master << " " << referer;
        EXPECT_EQ(p.ref.MasterFieldsFound(true), 0); // sync off: nothing marked
    }
}

TEST(SeqUrlTest, LoadFromItemGivesTheTextBackWithTheSameMarks)
{
    // A template as the start command builds it, the stored lower and upper digits, the text and marks rebuilt.
    // That any marked text comes back from its template is a property of the seq_url_edits fuzz target.
    const std::tuple<std::string, std::string, std::string, std::string, SeqSpan, SeqSpan> cases[] = {
        {"http://h/x*/y*.jpg", "003", "12", "http://h/x12/y003.jpg", {14, 17}, {10, 12}},
        {"http://h/x12/y*.jpg", "003", "", "http://h/x12/y003.jpg", {14, 17}, {0, 0}},
        {"http://h/a**.jpg", "03", "12", "http://h/a1203.jpg", {12, 14}, {10, 12}}, // runs that touch
        {"http://h/page.html", "5", "6", "http://h/page.html", {0, 0}, {0, 0}},
        {"http://h/a*.jpg", "", "7", "http://h/a7.jpg", {0, 0}, {10, 11}},
        // A '*' among stored digits must not pull the upper mark into the lower one.
        {"a*b*c", "1*", "2", "a2b1*c", {3, 5}, {1, 2}}};
    for (const auto& [targ, or1, or2, text, lower, upper] : cases) {
        SCOPED_TRACE(targ);
        CSeqUrl u;
        u.SetText("http://old/1/2");
        u.LoadFromItem(targ, "ignored", or1, or2, 0);
        EXPECT_EQ(u.GetText(), text);
        EXPECT_EQ(u.GetFieldSpan(0), lower);
        EXPECT_EQ(u.GetFieldSpan(1), upper);
    }
}

TEST(SeqUrlTest, RefererReloadKeepsTheChosenOccurrence)
{
    Pair p("http://h/x12/y003.jpg", 1, "http://h/a003/b003.html");
    p.ref.SelectPrevMatch();
    const std::string targ = p.url.MakeUrlTemplate(false);
    const std::string refe = p.ref.MakeTemplate(1);
    ASSERT_EQ(refe, "http://h/a*/b003.html");
    Pair q("http://h/x12/y003.jpg", 1, "");
    q.url.LoadFromItem(targ, refe, "003", "", 1);
    q.ref.LoadFromItem(targ, refe, "003", "", 1);
    EXPECT_EQ(q.ref.GetText(), "http://h/a003/b003.html");
    // Starting the download syncs the Referer again; the user's choice of occurrence must survive that.
    q.ref.SyncFields();
    EXPECT_EQ(q.ref.GetFieldSpan(0), (SeqSpan{10, 13}));

    // Without the sync bit the Referer template stays as it is, star and all.
    q.ref.LoadFromItem(targ, refe, "003", "", 0);
    EXPECT_EQ(q.ref.GetText(), refe);
    EXPECT_TRUE(q.ref.IsFieldEmpty(0));
}

TEST(SeqUrlTest, FieldInHost)
{
    // 2 when a ':' lies left of the field ("http:" does), 1 without one, 0 outside the host.
    const std::tuple<std::string, int, int> cases[] = {
        {"http://www3.example/a/b5.jpg", 0, 0}, {"http://www3.example/a/b5.jpg", 1, 2},
        {"https://www3.example/a/b.jpg", 0, 2}, {"http://www3.example", 0, 2}, // no path at all
        {"http://example:8080/a.jpg", 0, 2},    {"www3.example/a.jpg", 0, 1},
        {"http://example/12/a.jpg", 0, 0},      {"", 0, 0}};
    for (const auto& [url, field, expected] : cases) {
        CSeqUrl u;
        u.SetText(url);
        EXPECT_EQ(u.FieldInHost(field), expected) << url << " field " << field;
    }
}

TEST(SeqUrlTest, EditingAHugeUrlStaysFast)
{
    std::string text = "http://h/";
    while (text.size() < 100000)
        text += "a12b";
    Pair p(text, 3, text);
    const auto t0 = std::chrono::steady_clock::now();
    for (int k = 0; k < 200; ++k) {
        text.insert(text.size() / 2 + static_cast<size_t>(k), 1, static_cast<char>('0' + k % 10));
        p.url.SetText(text);
        p.ref.SetText(text);
        p.url.SelectPrevRun();
        p.ref.SelectPrevMatch();
    }
    EXPECT_FALSE(p.url.IsFieldEmpty(0));
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 10.0);
}

} // namespace
} // namespace pelldra
