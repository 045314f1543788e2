// URL list files into job lines, the save paths they may name, the list start's checks, the run's start and the
// queue run.
#include "core/orders/list_order.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "core/orders/run_order.h"
#include "core/orders/save_path.h"
#include "core/queue/queue_item.h"
#include "core/queue/wait_queue.h"
#include "core/text/text_decoding.h"
#include "support/temp_env.h"

namespace pelldra {
namespace {

using Lines = std::vector<std::string>;
using namespace std::chrono_literals;

TEST(MakeJobLinesTest, ListLinesBecomeJobLines)
{
    // What the case shows, the list's text and the job lines.
    // clang-format off
    const std::tuple<const char*, std::string, Lines> cases[] = {
        {"bare URLs in any case", "http://ex.com/a/1.jpg\r\nHTTP://ex.com/b/2.png\nHttp://ex.com/3.gif",
         {"Targ: http://ex.com/a/1.jpg", "Dest: /dl/1.jpg", "Targ: HTTP://ex.com/b/2.png", "Dest: /dl/2.png",
          "Targ: Http://ex.com/3.gif", "Dest: /dl/3.gif"}},
        {"a URL ending in / is saved as index.html", "http://ex.com/dir/\n",
         {"Targ: http://ex.com/dir/", "Dest: /dl/index.html"}},
        {"a fragment or a password names nothing", "http://ex.com/a01.jpg#x/y\nhttp://u:pw@ex.com?q=@\n",
         {"Targ: http://ex.com/a01.jpg#x/y", "Dest: /dl/a01.jpg", "Targ: http://u:pw@ex.com?q=@",
          "Dest: /dl/ex.com_q=@"}},
        {"https lines are bare URLs too, other schemes are not", "HTTPS://ex.com/a.jpg\nftp://ex.com/b.jpg\n",
         {"Targ: HTTPS://ex.com/a.jpg", "Dest: /dl/a.jpg", "ftp://ex.com/b.jpg"}},
        {"a relative Dest is in the folder", "Targ: http://ex.com/a.jpg\nDest: sub/b.jpg\nDest: /abs/c.jpg\n",
         {"Targ: http://ex.com/a.jpg", "Dest: /dl/sub/b.jpg", "Dest: /abs/c.jpg"}},
        {"a given Dest is kept with its ? replaced", "Targ: http://ex.com/a.cgi?id=1\nDest: /keep/a.cgi?id=1\n",
         {"Targ: http://ex.com/a.cgi?id=1", "Dest: /keep/a.cgi_id=1"}},
        {"a made Dest has its ? replaced", "http://ex.com/a.cgi?id=1&b=2\n",
         {"Targ: http://ex.com/a.cgi?id=1&b=2", "Dest: /dl/a.cgi_id=1&b=2"}},
        {"key lines pass; the last Targ gets its Dest", "Refe: http://ex.com/\nAgen: X\nTarg: http://ex.com/z.jpg",
         {"Refe: http://ex.com/", "Agen: X", "Targ: http://ex.com/z.jpg", "Dest: /dl/z.jpg"}},
        {"a Targ followed by another line gets its Dest in between", "http://ex.com/1.jpg\nCook: a=b\n\n",
         {"Targ: http://ex.com/1.jpg", "Dest: /dl/1.jpg", "Cook: a=b", ""}},
        {"short lines are not URLs", "http:/\nhttp\n", {"http:/", "http"}},
        {"empty text", "", {}},
    };
    // clang-format on
    for (const auto& [name, text, expected] : cases) {
        SCOPED_TRACE(name);
        Lines lines = {"stale"};
        EXPECT_EQ(MakeJobLines(text, "/dl/", lines), "");
        EXPECT_EQ(lines, expected);
    }
}

TEST(SavePathTest, PathsThatClimbOutNameNoFileOrHoldControlsAreRefused)
{
    const std::string folder = "/up/../dl/"; // the chosen folder itself is not looked at
    const std::string climb = "保存先に「..」や制御文字は使えません";
    const std::string noName = "保存先のファイル名がありません";
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        {folder + "..a/画像...jpg", ""},
        {"/other/../dl/a.jpg", climb},
        {folder + "a/../../b.jpg", climb},
        {folder + "a\\..\\..\\b.jpg", climb}, // a list from another system
        {folder + "a\x1b[2J\x7f.jpg", climb},
        {folder + "a\xC2\x9B" "2J.jpg", climb}, // the C1 escape in UTF-8
        {"", noName},
        {folder, noName},
        {folder + "a/..", noName},
    };
    // clang-format on
    for (const auto& [dest, refusal] : cases) {
        SCOPED_TRACE(dest);
        EXPECT_EQ(DestRefusal(dest, folder), refusal);
    }
}

TEST(TextDecodingTest, Utf8IsKeptAndOtherBytesAreReadAsCp932)
{
    // Bytes, whether they decode, and the text. CP932 itself is read through a list file below.
    const std::tuple<std::string, bool, std::string> cases[] = {
        {"ダウンロード", true, "ダウンロード"},
        {"\xEF\xBB\xBFhttp://a", true, "http://a"}, // byte-order mark dropped
        {"a\x81 b", false, ""},                     // a lead byte without its trail byte is neither UTF-8 nor CP932
        {"abc\x83", false, ""},                     // a CP932 character cut off at the end
        {"\xED\xA0\x80", false, ""},                // a UTF-8 surrogate
    };
    for (const auto& [bytes, ok, expected] : cases) {
        SCOPED_TRACE(bytes);
        std::string text;
        EXPECT_EQ(DecodeLegacyText(bytes, text), ok);
        if (ok) {
            EXPECT_EQ(text, expected);
        }
    }
    EXPECT_FALSE(IsValidUtf8("\xE3\x83"));
    EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x98\x80"));
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80")); // past U+10FFFF
}

class ListFileTest : public ::testing::Test
{
protected:
    test::TempEnv env_;
    std::string folder_ = env_.makeFolder("dl");
};

TEST_F(ListFileTest, Cp932ListIsReadIntoTheFolderOfTheItemTheEditOrHome)
{
    const std::string path = env_.root() + "/a.lst";
    ASSERT_TRUE(test::WriteFile(path, "http://ex.com/1.jpg\r\nTarg: http://ex.com/2.jpg\r\n"
                                      "Dest: /\x83_\x83"
                                      "E\x83\x93\x83\x8d\x81[\x83h/\x95\\.jpg\r\n"));
    // The item's folder, the folder edit and the folder used.
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {folder_, "/nowhere", folder_ + "/"},
        {"", folder_ + "/ ", folder_ + "/"},
        {"", env_.root() + "/missing", env_.root() + "/home/"},
    };
    for (const auto& [itemFolder, edit, expected] : cases) {
        SCOPED_TRACE(edit);
        CQueueItem item;
        item.Lst = path, item.Fol = itemFolder;
        Lines lines;
        ASSERT_TRUE(ReadJobList(item, lines, JobMode::List, edit).ok());
        EXPECT_EQ(item.Fol, expected);
        EXPECT_EQ(lines, (Lines{"Targ: http://ex.com/1.jpg", "Dest: " + expected + "1.jpg", "Targ: http://ex.com/2.jpg",
                                "Dest: /ダウンロード/表.jpg"}));
    }
}

TEST_F(ListFileTest, UnreadableAndHostileListsGiveTheirMessage)
{
    const std::string broken = env_.root() + "/broken.lst";
    ASSERT_TRUE(test::WriteFile(broken, "http://ex.com/\x81 \n"));
    const std::string fifo = env_.root() + "/fifo.lst";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string huge = env_.root() + "/huge.lst"; // sparse: no disk used
    ASSERT_TRUE(test::WriteFile(huge, "http://ex.com/a.jpg\n"));
    ASSERT_EQ(::truncate(huge.c_str(), (16 << 20) + 1), 0);
    const std::string noJob = env_.root() + "/nojob.lst";
    ASSERT_TRUE(test::WriteFile(noJob, "Refe: http://ex.com/\r\nftp://ex.com/a.jpg\r\nDest:x\r\n"));
    const std::string kBroken = "リストファイルが壊れています";
    const std::tuple<std::string, JobMode, std::string> cases[] = {
        {env_.root() + "/none.lst", JobMode::List, "ファイルが見つかりません"},
        {folder_, JobMode::List, "ファイルが見つかりません"}, // a folder is no list
        {broken, JobMode::List, kBroken},
        {"/dev/zero", JobMode::List, kBroken},
        {fifo, JobMode::List, kBroken}, // and no wait for a writer
        {huge, JobMode::List, kBroken},
        {noJob, JobMode::List, "リストは空です。"},
        {env_.root() + "/none.lst", JobMode::LinkScoutList,
         "LinkScoutから渡されるはずの一時ファイルが見つかりません。"},
        {broken, JobMode::LinkScoutList, "LinkScoutから渡された一時ファイルが壊れています。"},
    };
    for (const auto& [path, mode, message] : cases) {
        SCOPED_TRACE(path);
        CQueueItem item;
        item.Lst = path, item.Fol = folder_;
        Lines lines = {"stale"};
        auto reading = std::async(std::launch::async, [&, mode = mode] { return ReadJobList(item, lines, mode, ""); });
        if (reading.wait_for(10s) != std::future_status::ready)
            ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK)); // frees a reader stuck on the FIFO, to fail below
        const ListReadResult r = reading.get();
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.message, message);
        EXPECT_EQ(item.StatusText, message);
        EXPECT_EQ(r.backToSequential, mode == JobMode::LinkScoutList);
        EXPECT_TRUE(lines.empty());
    }
}

TEST_F(ListFileTest, ListStartChecksNameAndFolderAndRestoresTheLoadedKind)
{
    const std::string path = env_.root() + "/l.lst";
    LoadedList loaded{path, CQueueItem::LINK, "http://ex.com/page.html", "LINK"};
    CQueueItem item;

    // Blanks and line breaks around a pasted path are no part of it.
    OrderResult r = BuildListItem({" \r\n", folder_, false, ""}, DetailSettings{}, loaded, item);
    EXPECT_EQ(r.messages, (std::vector<std::string>{"リストファイル名が空白です"}));
    r = BuildListItem({path, env_.root() + "/missing", false, ""}, DetailSettings{}, loaded, item);
    EXPECT_EQ(r.messages, (std::vector<std::string>{"保存用のフォルダ名が不正です。"}));
    EXPECT_EQ(loaded.Lst, path); // a refused start keeps what was loaded

    r = BuildListItem({" " + path + "\r\n", folder_ + "/", true, ""}, DetailSettings{}, loaded, item);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(item.Lst, path);
    EXPECT_EQ(item.Fol, folder_);
    EXPECT_EQ(item.Del, 1);
    EXPECT_EQ(item.Kind, CQueueItem::LINK);
    EXPECT_EQ(item.Page, "http://ex.com/page.html");
    EXPECT_EQ(loaded.Lst, "");

    // The next start of the same path is a plain list again.
    r = BuildListItem({path, folder_, false, ""}, DetailSettings{}, loaded, item);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(item.Kind, CQueueItem::LIST);
    EXPECT_EQ(item.KindName, "LIST");
    EXPECT_EQ(item.Page, "");
}

TEST_F(ListFileTest, RunStartGivesItsLinesAndReadsTheList)
{
    const std::string path = env_.root() + "/l.lst";
    ASSERT_TRUE(test::WriteFile(path, "http://ex.com/a.jpg\n"));
    CQueueItem item;
    item.Kind = CQueueItem::IMAGE, item.KindName = "IMAGE", item.Lst = path, item.Fol = folder_;
    DetailSettings settings;
    settings.Speed = 3;
    const RunPreparation prep = PrepareRun(item, &settings, JobMode::List, "");
    EXPECT_EQ(prep.code, 0);
    EXPECT_EQ(prep.lines, (Lines{"  Target: ", "  保存用フォルダは: " + folder_}));
    EXPECT_EQ(item.Kind, CQueueItem::LIST);
    EXPECT_EQ(item.KindName, "IMAGE"); // still tells the run's end to delete the list
    EXPECT_EQ(item.job.Seri, 3);
    EXPECT_EQ(item.ListLines, (Lines{"Targ: http://ex.com/a.jpg", "Dest: " + folder_ + "/a.jpg"}));
    item.job.Seri = 1;
    ASSERT_EQ(PrepareRun(item, nullptr, JobMode::List, "").code, 0);
    EXPECT_EQ(item.job.Seri, 1); // no settings given: the order's own options
}

TEST_F(ListFileTest, OrdersThatCannotRunAreRefusedAtTheStartWithTheirLine)
{
    const std::string fol = folder_ + "/";
    // Kind, the list file's text (null: no file), Sub, Dest (after the start when it may run), result, the last log
    // line, Fx1.
    const std::tuple<int, const char*, std::string, std::string, int, std::string, int> cases[] = {
        {CQueueItem::RENBAN, "", "s*", "x*.jpg", 0, "  保存用フォルダは: " + fol, 0}, // stored relative
        {CQueueItem::RENBAN, "", "", fol + "../x*.jpg", -2, "保存先に「..」や制御文字は使えません", 0},
        {CQueueItem::RENBAN, "", "../../s*", fol + "x*.jpg", -2, "　サブフォルダに「..」や制御文字は使えません", 0},
        {CQueueItem::RENBAN, "", "", fol + "x*.jpg", -2, "指令の値が不正なため、中止: Fx1", 2147483647},
        {CQueueItem::LIST, "http://ex.com/a.jpg\r\nDest: a/../../b.jpg", "", "", -2,
         "リストの2行目：保存先に「..」や制御文字は使えません", 0},
        {CQueueItem::LIST, "Refe: r\nhttp://ex.com/a/..", "", "", -2, "リストの2行目：保存先のファイル名がありません",
         0},
        {CQueueItem::LIST, nullptr, "", "", -1, "ファイルが見つかりません", 0},
        {CQueueItem::LIST, "Targ: http://ex.com/a\x1b]2;x\x07.jpg\nDest: a.jpg", "", "", -2,
         "リストの1行目：URLに制御文字は使えません", 0},
    };
    for (const auto& [kind, list, sub, dest, code, line, fx1] : cases) {
        SCOPED_TRACE(line);
        CQueueItem item;
        item.Kind = kind, item.Lst = env_.root() + "/run.lst";
        std::remove(item.Lst.c_str());
        ASSERT_TRUE(!list || test::WriteFile(item.Lst, list));
        item.Fol = fol, item.Sub = sub, item.job.Dest = dest, item.Fx1 = fx1;
        const RunPreparation prep = PrepareRun(item, nullptr, JobMode::List, "");
        EXPECT_EQ(prep.code, code);
        EXPECT_EQ(prep.lines.back(), line);
        EXPECT_TRUE(code != 0 || item.job.Dest == fol + dest) << item.job.Dest;
    }
    // An unsound stored value is not shown in the start lines: its refusal is the only line.
    CQueueItem item;
    item.Kind = CQueueItem::LIST, item.Fol = fol + "\x1b[2J";
    EXPECT_EQ(PrepareRun(item, nullptr, JobMode::List, "").lines, Lines{"指令の値が不正なため、中止: Fol"});
}

TEST_F(ListFileTest, QueueRunStartsTheFirstSkipsUnreadableAndRequeuesWhenBusy)
{
    CWaitQueue queue(env_.makeFolder("queue"));
    for (const char* name : {"bad", "one", "two"}) {
        CQueueItem item;
        item.Kind = CQueueItem::RENBAN, item.job.Targ = std::string("http://ex.com/") + name + "*.jpg";
        ASSERT_EQ(queue.Append(item), 0);
    }
    std::vector<std::string> tried;
    int answer = 0;
    const StartRunFunction start = [&](const CQueueItem& item) {
        tried.push_back(item.job.Targ);
        return item.job.Targ.find("bad") != std::string::npos ? -1 : answer;
    };

    QueueRunResult r = RunNextQueued(queue, start, true);
    EXPECT_EQ(r.outcome, QueueRunResult::Started);
    EXPECT_EQ(r.skipped, 1);
    EXPECT_EQ(tried, (Lines{"http://ex.com/bad*.jpg", "http://ex.com/one*.jpg"}));

    // Busy: the item goes to the back of the queue, nothing is lost.
    answer = 1;
    r = RunNextQueued(queue, start, true);
    EXPECT_EQ(r.outcome, QueueRunResult::Requeued);
    EXPECT_FALSE(r.requeueFailed);
    ASSERT_EQ(queue.LoadAll(), 1);
    EXPECT_EQ(queue.ItemAt(0).job.Targ, "http://ex.com/two*.jpg");

    answer = 0;
    EXPECT_EQ(RunNextQueued(queue, start, true).outcome, QueueRunResult::Started);
    r = RunNextQueued(queue, start, true);
    EXPECT_EQ(r.outcome, QueueRunResult::Empty);
    EXPECT_TRUE(r.powerOff);
    EXPECT_FALSE(RunNextQueued(queue, start, true).powerOff); // asked once, not again after a later run

    // A queue that cannot be taken from is not an empty one: no power-off, and the caller learns why.
    CQueueItem item;
    item.job.Targ = "http://ex.com/three*.jpg";
    ASSERT_EQ(queue.Append(item) + queue.Append(item), 0);
    ASSERT_TRUE(test::WriteFile(queue.folder() + "/temp.tmp/keep", "x"));
    r = RunNextQueued(queue, start, true);
    EXPECT_EQ(r.outcome, QueueRunResult::CannotTake);
    EXPECT_FALSE(r.powerOff);
    EXPECT_EQ(r.failure.rfind(queue.folder() + ": ", 0), 0u) << r.failure;
    EXPECT_EQ(queue.LoadAll(), 2);
}

} // namespace
} // namespace pelldra
