// Transfers against loopback servers: the failure table, redirects, headers, POST, dates, names, faults, credentials.
#include "core/engine/fetch_core.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "core/credentials/ninsho_center.h"
#include "core/engine/auth_area_table.h"
#include "core/engine/content_type_table.h"
#include "core/engine/credential_access.h"
#include "core/engine/engine_observer.h"
#include "support/http_test_server.h"
#include "support/raw_test_server.h"
#include "support/temp_env.h"

namespace pelldra {
namespace {

using namespace std::chrono_literals;
using test::FileExists;
using test::RawTestServer;
using test::ReadFile;
using test::TestHttpServer;

FetchLimits ShortLimits()
{
    FetchLimits l;
    l.answer = 5000ms;
    l.stall = 1000ms;
    l.prompt = 2000ms;
    l.areaStep = 50ms;
    l.areaSteps = 3;
    return l;
}

// Everything a run gives its transfers, with short limits.
struct Rig
{
    test::TempEnv env;
    std::string folder = env.makeFolder("dl");
    CContentTypeTable types;
    CAuthAreaTable areas{AuthAreaWaits{50ms, 3}};
    PlainEngineObserver observer;
    CredentialStoreRef store;
    CurlShare share;
    ProgressMeter progress;

    FetchContext Context()
    {
        FetchContext c;
        c.areas = &areas;
        c.types = &types;
        c.observer = &observer;
        c.store = &store;
        c.share = &share;
        c.progress = &progress;
        c.limits = ShortLimits();
        return c;
    }

    DownloadJob Job(const std::string& url, const std::string& name)
    {
        DownloadJob j;
        j.Targ = url;
        j.Dest = folder + "/" + name;
        return j;
    }

    size_t FilesSaved() const
    {
        return static_cast<size_t>(
            std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()));
    }
};

class FetchCoreTest : public ::testing::Test
{
protected:
    TestHttpServer server; // declared first: outlives the transfers' connections
    Rig rig;
};

TEST_F(FetchCoreTest, FailureTableRows)
{
    server.AddFile("/page.jpg", "<html></html>", "text/html");
    server.AddRedirect("/noloc/a.jpg", 302, "");
    server.AddRedirect("/ftp/a.jpg", 301, "ftp://127.0.0.1/a.jpg");
    server.AddRedirect("/loop/a.jpg", 302, "x/a.jpg");
    server.AddRedirect("/loop/x/a.jpg", 302, "y/a.jpg");
    server.AddRedirect("/other/a.jpg", 303, "/elsewhere/b.jpg");
    int closedPort = 0;
    {
        TestHttpServer gone;
        closedPort = gone.port();
    }

    struct Row
    {
        const char* name;
        std::string url;
        std::string dest; // relative to the download folder
        int32_t code;
        std::string message; // empty: any non-empty text
    };
    const std::vector<Row> rows = {
        {"not parseable", "no scheme here", "a.jpg", 2, "Parse Error! no scheme here\n"},
        {"not http", "ftp://127.0.0.1/a.jpg", "a.jpg", 2, "Not HTTP Service"},
        {"server not reachable", "http://127.0.0.1:" + std::to_string(closedPort) + "/a.jpg", "a.jpg", 2, ""},
        {"redirect without Location", server.Url("/noloc/a.jpg"), "a.jpg", 2, "不正なＵＲＬへのリダイレクト"},
        {"redirect to another scheme", server.Url("/ftp/a.jpg"), "a.jpg", 2, "不正なＵＲＬへのリダイレクト"},
        {"two same-name redirects", server.Url("/loop/a.jpg"), "a.jpg", 2, "リロケーションの許容回数を越えました"},
        {"redirect to another name", server.Url("/other/a.jpg"), "a.jpg", 3, server.Url("/elsewhere/b.jpg")},
        {"type mismatch", server.Url("/page.jpg"), "page.jpg", 2, "異なるファイルタイプが返されました"},
        {"other status", server.Url("/missing.jpg"), "a.jpg", 404, "-"},
        {"save file cannot be made", server.Url("/page.htm"), "no/such/folder/a.htm", 2,
         "保存ファイルが作れません。" + rig.folder + "/no/such/folder/a.htm"},
    };
    server.AddFile("/page.htm", "x", "text/html");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CFetchCore fetch(rig.Context());
        const FetchOutcome out = fetch.Run(rig.Job(row.url, row.dest));
        EXPECT_EQ(out.Result, row.code);
        if (row.message == "-")
            EXPECT_EQ(out.Message, "");
        else if (row.message.empty())
            EXPECT_FALSE(out.Message.empty());
        else
            EXPECT_EQ(out.Message, row.message);
        EXPECT_EQ(rig.FilesSaved(), 0u) << "a failed transfer leaves no file";
    }
}

TEST_F(FetchCoreTest, HttpsIsServedWithVerification)
{
    // A plain server on the other end fails the TLS handshake: the scheme itself is accepted.
    CFetchCore fetch(rig.Context());
    const std::string url = "https://127.0.0.1:" + std::to_string(server.port()) + "/a.jpg";
    const FetchOutcome out = fetch.Run(rig.Job(url, "a.jpg"));
    EXPECT_EQ(out.Result, 2);
    EXPECT_NE(out.Message, "Not HTTP Service");
    EXPECT_FALSE(out.Message.empty());
    EXPECT_EQ(rig.FilesSaved(), 0u);
}

TEST_F(FetchCoreTest, TheTypeCheckDecidesTheSavedName)
{
    struct Row
    {
        const char* contentType;
        const char* path; // on the server, with its query
        const char* dest;
        int32_t relo;
        int32_t code;
        const char* saved; // empty: nothing saved
    };
    const std::vector<Row> rows = {
        {"image/jpeg", "/t1/a.jpg", "a.jpg", 0, 0, "a.jpg"},
        {"text/html", "/t2/b.jpg", "b.jpg", 1, 0, "b.html"},
        {"image/jpeg", "/t3/show?id=3", "003", 0, 0, "003.jpeg"},
        {"text/html; charset=utf-8", "/t4/c.jpg", "c.jpg", 0, 2, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        const std::string path = std::string(row.path).substr(0, std::string(row.path).find('?'));
        server.AddFile(path, "body", row.contentType);
        CFetchCore fetch(rig.Context());
        DownloadJob job = rig.Job(server.Url(row.path), row.dest);
        job.Relo = row.relo;
        const FetchOutcome out = fetch.Run(job);
        EXPECT_EQ(out.Result, row.code) << out.Message;
        if (*row.saved) {
            EXPECT_EQ(out.Message, rig.folder + "/" + row.saved);
            EXPECT_EQ(ReadFile(rig.folder + "/" + row.saved), "body");
        }
    }
    EXPECT_EQ(rig.FilesSaved(), 3u);
}

TEST_F(FetchCoreTest, CancelBeforeSendingIsMinusOne)
{
    server.AddFile("/a.jpg", "data", "image/jpeg");
    CFetchCore fetch(rig.Context());
    fetch.Cancel();
    const FetchOutcome out = fetch.Run(rig.Job(server.Url("/a.jpg"), "a.jpg"));
    EXPECT_EQ(out.Result, -1);
    EXPECT_EQ(out.Message, "ユーザーによって切断されました");
    EXPECT_EQ(server.RequestCount(), 0);
}

TEST_F(FetchCoreTest, RedirectsFollowTheWrittenRules)
{
    server.AddRedirect("/a/b.jpg", 302, "/x/y.jpg");
    server.AddFile("/x/y.jpg", "yyy", "image/jpeg");
    server.AddRedirect("/r/b.jpg", 302, "c/b.jpg");
    server.AddFile("/r/c/b.jpg", "bbb", "image/jpeg");

    struct Row
    {
        const char* path;
        int32_t relo;
        int32_t code;
        std::string message;
        const char* secondRequest; // nullptr: none
    };
    const std::vector<Row> rows = {
        {"/a/b.jpg", 0, 3, server.Url("/x/y.jpg"), nullptr},
        {"/a/b.jpg", 1, 0, rig.folder + "/b.jpg", "/x/y.jpg"},
        {"/r/b.jpg", 0, 0, rig.folder + "/b.jpg", "/r/c/b.jpg"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.path) + " relo " + std::to_string(row.relo));
        std::filesystem::remove(rig.folder + "/b.jpg");
        const int before = server.RequestCount();
        CFetchCore fetch(rig.Context());
        DownloadJob job = rig.Job(server.Url(row.path), "b.jpg");
        job.Relo = row.relo;
        const FetchOutcome out = fetch.Run(job);
        EXPECT_EQ(out.Result, row.code);
        EXPECT_EQ(out.Message, row.message);
        const auto requests = server.Requests();
        ASSERT_EQ(static_cast<int>(requests.size()), before + (row.secondRequest ? 2 : 1));
        if (row.secondRequest) {
            EXPECT_EQ(requests.back().path, row.secondRequest);
        }
    }
}

TEST_F(FetchCoreTest, PostSendsArguWithItsLength)
{
    server.AddEcho("/form.txt");
    CFetchCore fetch(rig.Context());
    DownloadJob job = rig.Job(server.Url("/form.txt"), "form.txt");
    job.Argu = "a=1";
    const FetchOutcome out = fetch.Run(job);
    ASSERT_EQ(out.Result, 0) << out.Message;
    const auto req = server.RequestsFor("/form.txt").at(0);
    EXPECT_EQ(req.method, "POST");
    EXPECT_EQ(req.Header("Content-Length"), "3");
    EXPECT_EQ(req.body, "a=1");
    EXPECT_EQ(ReadFile(rig.folder + "/form.txt"), "a=1");

    job.Argu.clear();
    std::filesystem::remove(rig.folder + "/form.txt");
    ASSERT_EQ(fetch.Run(job).Result, 0);
    EXPECT_EQ(server.RequestsFor("/form.txt").at(1).method, "GET");
    EXPECT_FALSE(server.RequestsFor("/form.txt").at(1).HasHeader("Content-Length"));
}

TEST_F(FetchCoreTest, RequestHeadersGoInTheWrittenOrder)
{
    RawTestServer raw(RawTestServer::Answer("ok", "text/plain"));
    CFetchCore fetch(rig.Context());
    DownloadJob job = rig.Job(raw.Url("/h.txt"), "h.txt");
    job.Head = "X-A: 1\r\nX-B: 2 \t\r\n";
    job.Argu = "q=2";
    job.Agen = "Agent/1";
    job.Refe = "http://ref/";
    job.Cook = "k=v";
    job.Cash = 0;
    const FetchOutcome out = fetch.Run(job);
    ASSERT_EQ(out.Result, 0) << out.Message;
    EXPECT_EQ(out.Job.Head, "X-A: 1\r\nX-B: 2\r\n") << "the job's Head is normalised";

    const std::string head = raw.Heads().at(0);
    const std::vector<std::string> order = {
        "Accept: */*",          "X-A: 1",     "X-B: 2", "Content-Length: 3", "User-Agent: Agent/1",
        "Referer: http://ref/", "Cookie: k=v"};
    size_t at = 0;
    for (const std::string& line : order) {
        const size_t p = head.find("\r\n" + line + "\r\n");
        ASSERT_NE(p, std::string::npos) << line << " missing in\n" << head;
        EXPECT_GT(p, at) << line << " out of order";
        at = p;
    }
    for (const char* once : {"\r\nAccept:", "\r\nContent-Length:", "\r\nUser-Agent:"}) {
        const size_t first = head.find(once);
        EXPECT_EQ(head.find(once, first + 1), std::string::npos) << once << " sent twice";
    }
    EXPECT_EQ(head.find("Expect:"), std::string::npos);
    EXPECT_NE(head.find("Cache-Control: no-cache\r\n"), std::string::npos);
    EXPECT_NE(head.find("Pragma: no-cache\r\n"), std::string::npos);
}

TEST_F(FetchCoreTest, HeaderValuesCannotStartNewHeaderLines)
{
    RawTestServer raw(RawTestServer::Answer("ok", "text/plain"));
    CFetchCore fetch(rig.Context());
    DownloadJob job = rig.Job(raw.Url("/h.txt"), "h.txt");
    job.Refe = "http://ref/\r\nX-Injected: 1";
    ASSERT_EQ(fetch.Run(job).Result, 0);
    EXPECT_EQ(raw.Heads().at(0).find("\r\nX-Injected"), std::string::npos);
}

TEST_F(FetchCoreTest, LastModifiedSetsModiAndTheFileTime)
{
    server.AddFile("/dated.jpg", "d", "image/jpeg", "Sun, 06 Nov 1994 08:49:37 GMT");
    server.AddFile("/plain.jpg", "p", "image/jpeg");
    CFetchCore fetch(rig.Context());

    const FetchOutcome dated = fetch.Run(rig.Job(server.Url("/dated.jpg"), "dated.jpg"));
    ASSERT_EQ(dated.Result, 0) << dated.Message;
    EXPECT_EQ(dated.Job.Modi, 784111777);
    struct stat st
    {
    };
    ASSERT_EQ(::stat((rig.folder + "/dated.jpg").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 784111777);

    const FetchOutcome plain = fetch.Run(rig.Job(server.Url("/plain.jpg"), "plain.jpg"));
    ASSERT_EQ(plain.Result, 0);
    EXPECT_EQ(plain.Job.Modi, 0);
}

TEST_F(FetchCoreTest, ExistingSavePathGivesTheUniqueName)
{
    server.AddFile("/a.jpg", "new", "image/jpeg");
    ASSERT_TRUE(test::WriteFile(rig.folder + "/a.jpg", "old"));
    CFetchCore fetch(rig.Context());
    const FetchOutcome out = fetch.Run(rig.Job(server.Url("/a.jpg"), "a.jpg"));
    ASSERT_EQ(out.Result, 0);
    EXPECT_EQ(out.Message, rig.folder + "/a_1.jpg");
    EXPECT_EQ(ReadFile(rig.folder + "/a.jpg"), "old");
    EXPECT_EQ(ReadFile(rig.folder + "/a_1.jpg"), "new");
}

TEST_F(FetchCoreTest, BrokenBodiesLeaveNoFile)
{
    struct Row
    {
        const char* name;
        test::RawScript script;
    };
    const std::vector<Row> rows = {
        {"reset mid-body", RawTestServer::ResetMidBody(100000, 5000)},
        {"body shorter than Content-Length", RawTestServer::ShortBody(1000, 10)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        RawTestServer raw(row.script);
        CFetchCore fetch(rig.Context());
        const FetchOutcome out = fetch.Run(rig.Job(raw.Url("/f.bin"), "f.bin"));
        EXPECT_EQ(out.Result, 2);
        EXPECT_FALSE(out.Message.empty());
        EXPECT_FALSE(FileExists(rig.folder + "/f.bin"));
    }
}

TEST_F(FetchCoreTest, StalledBodyFailsWithinTheStallLimit)
{
    RawTestServer raw(RawTestServer::StallMidBody(100000, 100));
    CFetchCore fetch(rig.Context());
    const auto t0 = std::chrono::steady_clock::now();
    const FetchOutcome out = fetch.Run(rig.Job(raw.Url("/f.bin"), "f.bin"));
    const auto took = std::chrono::steady_clock::now() - t0;
    EXPECT_EQ(out.Result, 2);
    EXPECT_EQ(out.Message, "受信が1秒間止まりました");
    EXPECT_LT(took, 5s);
    EXPECT_FALSE(FileExists(rig.folder + "/f.bin"));
}

TEST_F(FetchCoreTest, CancelWhileWritingRemovesTheFile)
{
    RawTestServer raw(RawTestServer::StallMidBody(100000, 100));
    FetchContext c = rig.Context();
    c.limits.stall = 30s;
    CFetchCore fetch(c);
    fetch.Start(rig.Job(raw.Url("/f.bin"), "f.bin"));
    ASSERT_TRUE(fetch.WaitAnswer(5s));
    EXPECT_EQ(fetch.Outcome().Result, 0) << "the answer came and saving began";
    const auto t0 = std::chrono::steady_clock::now();
    fetch.Cancel();
    fetch.WaitFinished();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 3s);
    EXPECT_EQ(fetch.Outcome().Result, 2);
    EXPECT_EQ(fetch.Outcome().Message, "強制終了しました");
    EXPECT_FALSE(FileExists(rig.folder + "/f.bin"));
}

TEST_F(FetchCoreTest, OneHandleKeepsItsConnectionFromJobToJob)
{
    for (int i = 0; i < 5; ++i)
        server.AddFile("/s/" + std::to_string(i) + ".jpg", "img", "image/jpeg");
    CFetchCore fetch(rig.Context());
    for (int i = 0; i < 5; ++i) {
        fetch.Start(rig.Job(server.Url("/s/" + std::to_string(i) + ".jpg"), std::to_string(i) + ".jpg"));
        fetch.WaitFinished();
        ASSERT_EQ(fetch.Outcome().Result, 0) << fetch.Outcome().Message;
    }
    EXPECT_EQ(server.ConnectionCount(), 1);
}

// --- credentials ---

CredentialsAnswer Typed(const char* user, const char* pass)
{
    return {true, user, pass};
}

TEST_F(FetchCoreTest, TwoTransfersOfOneAreaGetOnePrompt)
{
    server.RequireBasic("/d/", "u", "p");
    server.AddFile("/d/1.jpg", "one", "image/jpeg");
    server.AddFile("/d/sub/2.jpg", "two", "image/jpeg");
    rig.observer.SetAnswerer([](const std::string&, std::chrono::milliseconds, CredentialsPrompt&) {
        std::this_thread::sleep_for(100ms); // the second transfer meets the area while this one asks
        return Typed("u", "p");
    });
    CFetchCore first(rig.Context());
    CFetchCore second(rig.Context());
    first.Start(rig.Job(server.Url("/d/1.jpg"), "1.jpg"));
    std::this_thread::sleep_for(30ms);
    second.Start(rig.Job(server.Url("/d/sub/2.jpg"), "2.jpg"));
    first.WaitFinished();
    second.WaitFinished();
    EXPECT_EQ(first.Outcome().Result, 0) << first.Outcome().Message;
    EXPECT_EQ(second.Outcome().Result, 0) << second.Outcome().Message;
    EXPECT_EQ(rig.observer.PromptedUrls().size(), 1u);
    EXPECT_EQ(second.Outcome().Job.User, "u");
}

TEST_F(FetchCoreTest, ARefusedAreaStaysRefusedWithoutAnotherPrompt)
{
    server.RequireBasic("/d/", "u", "p");
    server.AddFile("/d/1.jpg", "one", "image/jpeg");
    server.AddFile("/d/2.jpg", "two", "image/jpeg");
    rig.observer.SetAnswerer(
        [](const std::string&, std::chrono::milliseconds, CredentialsPrompt&) { return CredentialsAnswer{}; });
    CFetchCore fetch(rig.Context());
    for (const char* name : {"1.jpg", "2.jpg"}) {
        const FetchOutcome out = fetch.Run(rig.Job(server.Url(std::string("/d/") + name), name));
        EXPECT_EQ(out.Result, 2);
        EXPECT_EQ(out.Message, "認証が否定されました");
    }
    EXPECT_EQ(rig.observer.PromptedUrls().size(), 1u);
}

TEST_F(FetchCoreTest, RejectedTypedCredentialsAreNotSentAgain)
{
    server.RequireBasic("/d/", "u", "p");
    server.AddFile("/d/1.jpg", "one", "image/jpeg");
    rig.observer.SetAnswerer(
        [](const std::string&, std::chrono::milliseconds, CredentialsPrompt&) { return Typed("u", "wrong"); });
    CFetchCore fetch(rig.Context());
    const FetchOutcome out = fetch.Run(rig.Job(server.Url("/d/1.jpg"), "1.jpg"));
    EXPECT_EQ(out.Result, 2);
    EXPECT_EQ(out.Message, "認証が否定されました");
    EXPECT_EQ(server.RequestCount(), 2) << "the bare request and one with the typed credentials";
    EXPECT_EQ(rig.observer.PromptedUrls().size(), 1u);
}

TEST_F(FetchCoreTest, TheStoreAnswersAndARepeatedLookupStepsUp)
{
    server.RequireBasic("/d/", "u", "p");
    server.AddFile("/d/sub/x.jpg", "x", "image/jpeg");
    auto center = std::make_shared<CNinshoCenter>(CNinshoCenter::InMemory{});
    int index = 0;
    CAuthRecord wrong;
    wrong.SetSiteUrl(server.Url("/d/sub/"));
    wrong.SetUserId("u");
    wrong.SetPassword("old");
    ASSERT_GE(center->Add(wrong, index), 0);
    CAuthRecord right;
    right.SetSiteUrl(server.Url("/d/"));
    right.SetUserId("u");
    right.SetPassword("p");
    ASSERT_GE(center->Add(right, index), 0);
    rig.store.Set(center);

    CFetchCore fetch(rig.Context());
    const FetchOutcome out = fetch.Run(rig.Job(server.Url("/d/sub/x.jpg"), "x.jpg"));
    ASSERT_EQ(out.Result, 0) << out.Message;
    EXPECT_TRUE(rig.observer.PromptedUrls().empty());
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_FALSE(requests[0].HasHeader("Authorization"));
    EXPECT_NE(requests[1].Header("Authorization"), requests[2].Header("Authorization"));
    EXPECT_EQ(rig.areas.Areas().at(0).Prefix, server.Url("/d/")) << "the area takes the store's key";
}

TEST_F(FetchCoreTest, StoreRejectedThenTypedCredentialsAreStored)
{
    server.RequireBasic("/d/", "u", "p");
    server.AddFile("/d/1.jpg", "one", "image/jpeg");
    auto center = std::make_shared<CNinshoCenter>(CNinshoCenter::InMemory{});
    int index = 0;
    CAuthRecord stale;
    stale.SetSiteUrl(server.Url("/d/"));
    stale.SetUserId("u");
    stale.SetPassword("stale");
    ASSERT_GE(center->Add(stale, index), 0);
    rig.store.Set(center);
    rig.observer.SetAnswerer(
        [](const std::string&, std::chrono::milliseconds, CredentialsPrompt&) { return Typed("u", "p"); });

    CFetchCore fetch(rig.Context());
    const FetchOutcome out = fetch.Run(rig.Job(server.Url("/d/1.jpg"), "1.jpg"));
    ASSERT_EQ(out.Result, 0) << out.Message;
    EXPECT_EQ(rig.observer.PromptedUrls().size(), 1u);
    CAuthRecord query;
    query.SetPageUrl(server.Url("/d/1.jpg"));
    ASSERT_EQ(center->FindForUrl(query), 0);
    EXPECT_EQ(query.GetPassword(), "p") << "the typed password replaced the stale one";
}

TEST_F(FetchCoreTest, ASilentPromptIsTakenOverAndItsTransferCancelled)
{
    server.RequireBasic("/d/", "u", "p");
    server.AddFile("/d/1.jpg", "one", "image/jpeg");
    server.AddFile("/d/2.jpg", "two", "image/jpeg");
    std::atomic<int> asked{0};
    rig.observer.SetAnswerer([&](const std::string&, std::chrono::milliseconds, CredentialsPrompt& prompt) {
        if (asked++ == 0) {
            prompt.WaitCancelled(10s); // nobody answers the first prompt
            return CredentialsAnswer{};
        }
        return Typed("u", "p");
    });
    CFetchCore first(rig.Context());
    CFetchCore second(rig.Context());
    first.Start(rig.Job(server.Url("/d/1.jpg"), "1.jpg"));
    while (rig.observer.PromptedUrls().empty())
        std::this_thread::sleep_for(5ms);
    const auto t0 = std::chrono::steady_clock::now();
    second.Start(rig.Job(server.Url("/d/2.jpg"), "2.jpg"));
    second.WaitFinished();
    first.WaitFinished();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 3s);
    EXPECT_EQ(first.Outcome().Result, 2);
    EXPECT_EQ(first.Outcome().Message, "ダウンロードがキャンセルされました");
    EXPECT_EQ(second.Outcome().Result, 0) << second.Outcome().Message;
    EXPECT_EQ(asked.load(), 2);
}

TEST_F(FetchCoreTest, CancelClosesAnOpenPrompt)
{
    server.RequireBasic("/d/", "u", "p");
    server.AddFile("/d/1.jpg", "one", "image/jpeg");
    rig.observer.SetAnswerer([](const std::string&, std::chrono::milliseconds, CredentialsPrompt& prompt) {
        prompt.WaitCancelled(10s);
        return Typed("u", "p");
    });
    CFetchCore fetch(rig.Context());
    fetch.Start(rig.Job(server.Url("/d/1.jpg"), "1.jpg"));
    while (rig.observer.PromptedUrls().empty())
        std::this_thread::sleep_for(5ms);
    fetch.Cancel();
    fetch.WaitFinished();
    EXPECT_EQ(fetch.Outcome().Result, 2);
    EXPECT_EQ(fetch.Outcome().Message, "ダウンロードがキャンセルされました");
    EXPECT_FALSE(rig.areas.Areas().at(0).Pending) << "the area is free for the next transfer";
    EXPECT_EQ(rig.areas.Areas().at(0).Outcome, 0) << "a cancelled question is not a refusal";
}

} // namespace
} // namespace pelldra
