// Transfers against loopback servers: failures, redirects, headers, POST, dates, names, faults, credentials; the
// credentials question's cancel hand-off and the progress meter's rate window.
#include "core/engine/fetch_core.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

#include "core/credentials/ninsho_center.h"
#include "core/engine/auth_area_table.h"
#include "core/engine/content_type_table.h"
#include "core/engine/credential_access.h"
#include "core/engine/engine_observer.h"
#include "core/text/encoding.h"
#include "support/http_test_server.h"
#include "support/plain_engine_observer.h"
#include "support/temp_env.h"

namespace pelldra {
namespace {

using namespace std::chrono_literals;
using test::FileExists;
using test::ReadFile;
using test::TestHttpServer;

const CredentialsAnswer kRight{true, "u", "p"};

// Everything a run gives its transfers, with short limits.
class FetchCoreTest : public ::testing::Test
{
protected:
    FetchContext Context()
    {
        return {&areas, &types, &observer, &store, &share, &progress, FetchLimits{5000ms, 1000ms, 2000ms, 50ms, 3}};
    }
    DownloadJob Job(const std::string& url, const std::string& name) const
    {
        DownloadJob j;
        j.Targ = url, j.Dest = folder + "/" + name;
        return j;
    }
    size_t FilesSaved() const
    {
        namespace fs = std::filesystem;
        return static_cast<size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
    }
    TestHttpServer server; // declared first: outlives the transfers' connections
    test::TempEnv env;
    std::string folder = env.makeFolder("dl");
    CContentTypeTable types;
    CAuthAreaTable areas{AuthAreaWaits{50ms, 3}};
    PlainEngineObserver observer;
    CredentialStoreRef store;
    CurlShare share;
    ProgressMeter progress;
};

TEST_F(FetchCoreTest, FailureTableRows)
{
    server.AddFile("/page.jpg", "<html></html>", "text/html");
    server.AddFile("/page.htm", "x", "text/html");
    server.AddRedirect("/noloc/a.jpg", 302, "");
    server.AddRedirect("/ftp/a.jpg", 301, "ftp://127.0.0.1/a.jpg");
    server.AddRedirect("/loop/a.jpg", 302, "x/a.jpg");
    server.AddRedirect("/loop/x/a.jpg", 302, "y/a.jpg");
    server.AddRedirect("/other/a.jpg", 303, "/elsewhere/b.jpg");
    server.AddHandler("/part.jpg", [](const test::TestRequest&) {
        return test::TestResponse{.status = 206, .headers = {}, .body = "a piece", .content_type = "image/jpeg"};
    });
    server.AddScript("/huge-head.jpg", [](test::RawConnection& conn) {
        conn.Send("HTTP/1.1 200 OK\r\nX-Junk: " + std::string(200000, 'a') + "\r\n\r\n");
    });
    const int closedPort = TestHttpServer().port(); // free again once the temporary is gone
    const std::string badRedirect = "不正なＵＲＬへのリダイレクト";
    // (case, url, dest in the download folder, result, message: "" any but the scheme refusal, "-" none)
    const std::vector<std::tuple<std::string, std::string, std::string, int, std::string>> rows = {
        {"not parseable", "no scheme here", "a.jpg", 2, "Parse Error! no scheme here\n"},
        {"not parseable past the scheme", "http://[zz/b.jpg", "b.jpg", 2, "Parse Error! http://[zz/b.jpg\n"},
        {"not http", "ftp://127.0.0.1/a.jpg", "a.jpg", 2, "Not HTTP Service"},
        {"https is tried (a plain server fails the handshake)",
         "https://127.0.0.1:" + std::to_string(server.port()) + "/a.jpg", "a.jpg", 2, ""},
        {"server not reachable", "http://127.0.0.1:" + std::to_string(closedPort) + "/a.jpg", "a.jpg", 2, ""},
        {"redirect without Location", server.Url("/noloc/a.jpg"), "a.jpg", 2, badRedirect},
        {"redirect to another scheme", server.Url("/ftp/a.jpg"), "a.jpg", 2, badRedirect},
        {"two same-name redirects", server.Url("/loop/a.jpg"), "a.jpg", 2, "リロケーションの許容回数を越えました"},
        {"redirect to another name", server.Url("/other/a.jpg"), "a.jpg", 3, server.Url("/elsewhere/b.jpg")},
        {"type mismatch", server.Url("/page.jpg"), "page.jpg", 2, "異なるファイルタイプが返されました"},
        {"other status", server.Url("/missing.jpg"), "a.jpg", 404, "-"},
        {"a piece that nobody asked for", server.Url("/part.jpg"), "part.jpg", 206, "-"},
        {"a head past libcurl's limit", server.Url("/huge-head.jpg"), "a.jpg", 2,
         "サーバーの応答ヘッダーが大きすぎます"},
        {"save file cannot be made", server.Url("/page.htm"), "no/such/folder/a.htm", 2,
         "保存ファイルが作れません。" + folder + "/no/such/folder/a.htm"},
    };
    for (const auto& [name, url, dest, code, message] : rows) {
        SCOPED_TRACE(name);
        const FetchOutcome out = CFetchCore(Context()).Run(Job(url, dest));
        EXPECT_EQ(out.Result, code);
        if (message.empty())
            EXPECT_TRUE(!out.Message.empty() && out.Message != "Not HTTP Service") << out.Message;
        else
            EXPECT_EQ(out.Message, message == "-" ? "" : message);
        EXPECT_EQ(FilesSaved(), 0u) << "a failed transfer leaves no file";
    }
}

TEST_F(FetchCoreTest, TypeAndRedirectsDecideTheSavedNameAndTheServersDateIsKept)
{
    server.AddFile("/x/y.jpg", "/x/y.jpg", "image/jpeg");
    server.AddFile("/r/c/e.jpg", "/r/c/e.jpg", "image/jpeg");
    server.AddFile("/t1/a.jpg", "/t1/a.jpg", "image/jpeg", "Sun, 06 Nov 1994 08:49:37 GMT");
    server.AddFile("/t2/b.jpg", "/t2/b.jpg", "text/html");
    server.AddFile("/t3/c.jpg", "/t3/c.jpg", "image/jpeg", "Tue, 01 Jan 2041 00:00:00 GMT"); // past 32 bits
    server.AddRedirect("/a/d.jpg", 302, "/x/y.jpg");
    server.AddRedirect("/r/e.jpg", 302, "c/e.jpg");
    server.AddRedirect("/u/e.jpg", 302, "HTTP://127.0.0.1:" + std::to_string(server.port()) + "/r/c/e.jpg");
    server.AddFile("/s%20p/f.jpg", "/s p/f.jpg", "image/jpeg"); // blanks go out as %20
    server.AddRedirect("/v/f.jpg", 302, "/s p/f.jpg");
    server.AddHandler("/q/g.jpg", [](const test::TestRequest& r) {
        return r.query.empty()
                   ? test::TestResponse{.status = 302, .headers = {{"Location", "?k=1"}}, .body = {}}
                   : test::TestResponse{.status = 200, .headers = {}, .body = r.query, .content_type = "image/jpeg"};
    });
    // (path, dest, Relo, saved name, the path whose body it holds, Modi)
    for (const auto& [path, dest, relo, saved, from, modi] :
         std::vector<std::tuple<std::string, std::string, int, std::string, std::string, int64_t>>{
             {"/t1/a.jpg", "a.jpg", 0, "a.jpg", "/t1/a.jpg", 784111777},
             {"/t2/b.jpg", "b.jpg", 1, "b.html", "/t2/b.jpg", 0},
             {"/t3/c.jpg", "c.jpg", 0, "c.jpg", "/t3/c.jpg", 2147483647},
             {"/a/d.jpg", "d.jpg", 1, "d.jpg", "/x/y.jpg", 0},     // another name, followed under Relo
             {"/r/e.jpg", "e.jpg", 0, "e.jpg", "/r/c/e.jpg", 0},   // the same name is always followed
             {"/r/e.jpg#x", "x.jpg", 0, "x.jpg", "/r/c/e.jpg", 0}, // a fragment is no part of a name
             {"/u/e.jpg", "E.jpg", 0, "E.jpg", "/r/c/e.jpg", 0},   // whatever the case of the scheme
             {"/s p/f.jpg", "f.jpg", 0, "f.jpg", "/s p/f.jpg", 0},
             {"/v/f.jpg", "F.jpg", 0, "F.jpg", "/s p/f.jpg", 0},
             {"/q/g.jpg", "g.jpg", 1, "g.jpg", "k=1", 0}, // another query of the same page
         }) {
        SCOPED_TRACE(path);
        DownloadJob job = Job(server.Url(path), dest);
        job.Relo = relo;
        const FetchOutcome out = CFetchCore(Context()).Run(job);
        EXPECT_EQ(out.Result, 0) << out.Message;
        EXPECT_EQ(out.Message, folder + "/" + saved);
        EXPECT_EQ(ReadFile(folder + "/" + saved), from);
        EXPECT_EQ(out.Job.Modi, modi);
        struct stat st = {};
        ASSERT_EQ(::stat((folder + "/" + saved).c_str(), &st), 0);
        EXPECT_TRUE(modi == 0 || st.st_mtime == (path == "/t3/c.jpg" ? 2240611200 : modi))
            << "the file keeps the server's date";
    }
    EXPECT_EQ(FilesSaved(), 10u);
    EXPECT_EQ(server.RequestCount(), 16) << "one request each, and one more for each redirect";
}

TEST(RequestHeaderLines, TheJobsLinesInOrderWithoutInjectedOnes)
{
    DownloadJob job;
    job.Head = "X-A: 1\r\n \r\nX-B: 2 \t\r\n", job.Argu = "q=2", job.Agen = "Agent/1";
    job.Refe = "http://ref/\r\nX-Injected: 1", job.Cook = "k=v", job.Cash = 0;
    EXPECT_EQ(
        RequestHeaderLines(job, Credentials{"u", "p"}),
        (std::vector<std::string>{"Accept: */*", "X-A: 1", "X-B: 2", "Content-Length: 3", "User-Agent: Agent/1",
                                  "Referer: http://ref/  X-Injected: 1", "Cookie: k=v", "Authorization: Basic dTpw",
                                  "Cache-Control: no-cache", "Pragma: no-cache", "Expect:"}));
    EXPECT_EQ(RequestHeaderLines(DownloadJob{}, std::nullopt), (std::vector<std::string>{"Accept: */*", "Expect:"}));
}

TEST_F(FetchCoreTest, APostSendsItsBodyAndEveryHeaderOnce)
{
    server.AddHandler("/form.txt", [](const test::TestRequest& r) {
        return test::TestResponse{200, {}, r.body, "text/plain"};
    });
    DownloadJob job = Job(server.Url("/form.txt"), "form.txt");
    job.Argu = "a=1", job.Agen = "Agent/1", job.Head = "X-A: 1";
    const FetchOutcome out = CFetchCore(Context()).Run(job);
    ASSERT_EQ(out.Result, 0) << out.Message;
    EXPECT_EQ(out.Job.Head, "X-A: 1\r\n") << "the job's Head is normalised";
    EXPECT_EQ(ReadFile(folder + "/form.txt"), "a=1") << "the echoed body";
    const test::TestRequest request = server.Requests().at(0);
    EXPECT_EQ(request.method, "POST");
    for (const std::string once : {"Accept", "Content-Length", "User-Agent", "X-A"})
        EXPECT_EQ(std::ranges::count(request.headers, once, [](const auto& h) { return h.first; }), 1) << once;
    EXPECT_FALSE(request.HasHeader("Expect"));
}

TEST_F(FetchCoreTest, SlowAndBrokenAnswersEndInTimeAndLeaveNoFile)
{
    // As in the program, an answer may take longer than a body may stall.
    FetchContext c = Context();
    c.limits.answer = 2500ms;
    c.limits.stall = 300ms;
    const test::RawScript thinksLong = [](test::RawConnection& conn) {
        std::this_thread::sleep_for(1500ms); // five times the stall limit, within the answer's
        conn.Send("HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\nContent-Length: 4\r\n\r\nlate");
        std::this_thread::sleep_for(20ms);
    };
    // A body that is not saved is not read: these never end.
    const auto endless = [](const std::string& answer) -> test::RawScript {
        return [head = "HTTP/1.1 " + answer + "\r\nContent-Length: 100000000\r\n\r\n"](test::RawConnection& conn) {
            if (conn.Send(head + std::string(1000, 'x')))
                conn.HoldOpen();
        };
    };
    // (behaviour, script, result, message: "" any, "-" none, one starting with '/' a path of the server)
    for (const auto& [behaviour, script, code, message] :
         std::vector<std::tuple<std::string, test::RawScript, int, std::string>>{
             {"reset mid-body", test::PartialBody(100000, 5000, test::BodyEnd::Reset), 2, ""},
             {"short body", test::PartialBody(1000, 10, test::BodyEnd::Close), 2, ""},
             {"thinks long, then answers", thinksLong, 0, "-"},
             {"never answers", [](test::RawConnection& conn) { conn.HoldOpen(); }, 2,
              "    サーバー応答がタイムアウトです"},
             {"stalls in the body", test::PartialBody(100000, 100, test::BodyEnd::Stall), 2, "受信が1秒間止まりました"},
             {"endless 404", endless("404 Not Found"), 404, "-"},
             {"endless 302", endless("302 Found\r\nLocation: /b.jpg"), 3, "/b.jpg"},
             {"endless 401", endless("401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"r\""), 2,
              "認証が否定されました"}}) {
        SCOPED_TRACE(behaviour);
        server.AddScript("/f.jpg", script);
        const auto t0 = std::chrono::steady_clock::now();
        const FetchOutcome out = CFetchCore(c).Run(Job(server.Url("/f.jpg"), "f.jpg"));
        EXPECT_LT(std::chrono::steady_clock::now() - t0, 10s);
        EXPECT_EQ(out.Result, code);
        if (message.empty()) {
            EXPECT_FALSE(out.Message.empty());
        } else if (code != 0) {
            EXPECT_EQ(out.Message, message == "-" ? "" : message[0] == '/' ? server.Url(message) : message);
        } else {
            EXPECT_TRUE(std::filesystem::remove(folder + "/f.jpg"));
        }
        EXPECT_EQ(FilesSaved(), 0u);
    }
}

TEST_F(FetchCoreTest, HeaderNamesCountWhateverTheirCaseAndOnlyTheFirstOfEach)
{
    const std::string kLengths = "Content-Lengthが一つに決まりません";
    const auto answer = [](const std::string& head) -> test::RawScript {
        return [head](test::RawConnection& conn) { conn.Send("HTTP/1.1 " + head + "\r\n\r\nbody"); };
    };
    // (head, result, message, Modi of a saved file)
    for (const auto& [head, code, message, modi] : std::vector<std::tuple<std::string, int, std::string, int64_t>>{
             {"302 Found\r\nlocation: /x/y.jpg\r\nLOCATION: /z.jpg\r\nContent-Length: 4", 3, "/x/y.jpg", -1},
             {"200 OK\r\nCONTENT-TYPE: text/html\r\ncontent-type: image/jpeg\r\ncontent-length: 4", 2,
              "異なるファイルタイプが返されました", -1},
             {"200 OK\r\nlast-MODIFIED: Sun, 06 Nov 1994 08:49:37 GMT\r\nLast-Modified: Mon, 07 Nov 1994 08:49:37 GMT"
              "\r\nContent-Type: image/jpeg\r\nContent-Length: 4",
              0, "", 784111777},
             // Two lengths that disagree leave the body's end unknown, whichever libcurl goes by.
             {"200 OK\r\nContent-Type: image/jpeg\r\nContent-Length: 4\r\ncontent-length: 2", 2, kLengths, -1},
             {"200 OK\r\nContent-Type: image/jpeg\r\nContent-Length: 2\r\ncontent-length: 4", 2, kLengths, -1}}) {
        SCOPED_TRACE(head);
        server.AddScript("/f.jpg", answer(head));
        const FetchOutcome out = CFetchCore(Context()).Run(Job(server.Url("/f.jpg"), "f.jpg"));
        EXPECT_EQ(out.Result, code);
        EXPECT_EQ(out.Message, code == 0 ? folder + "/f.jpg" : code == 3 ? server.Url(message) : message);
        EXPECT_EQ(out.Job.Modi, modi);
        std::filesystem::remove(folder + "/f.jpg");
    }
}

TEST_F(FetchCoreTest, KeptConnectionsResetBeforeAnyAnswerNeverFailATransfer)
{
    server.AddFile("/1.jpg", "1", "image/jpeg");
    // 2.jpg comes on the connection 1.jpg kept, which is reset on reading it; asked again, it is answered.
    std::atomic<int> asked{0};
    server.AddScript("/2.jpg", [&asked](test::RawConnection& conn) {
        if (asked++ % 2 == 0)
            conn.Reset();
        else
            conn.Send("HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\nContent-Length: 1\r\n\r\n2");
    });
    CFetchCore fetch(Context());
    for (int i = 0; i < 8; ++i) { // more than libcurl's own retries for one handle
        SCOPED_TRACE(i);
        EXPECT_EQ(fetch.Run(Job(server.Url("/1.jpg"), "1.jpg")).Result, 0);
        EXPECT_EQ(fetch.Run(Job(server.Url("/2.jpg"), "2.jpg")).Result, 0);
    }
}

TEST_F(FetchCoreTest, TheSubfolderComesWithItsFirstFile)
{
    server.AddFile("/v1/a.jpg", "a", "image/jpeg");
    for (const auto& [upper, there] : {std::pair<std::string, bool>{"v2", false}, {"v1", true}}) {
        const std::string sub = "new/" + upper; // its parent is missing too
        const FetchOutcome out =
            CFetchCore(Context()).Run(Job(server.Url("/" + upper + "/a.jpg"), sub + "/a.jpg"), folder + "/" + sub);
        EXPECT_EQ(out.Result, there ? 0 : 404);
        EXPECT_EQ(FileExists(folder + "/" + sub), there) << sub;
    }
    EXPECT_EQ(ReadFile(folder + "/new/v1/a.jpg"), "a");
}

TEST_F(FetchCoreTest, CancelBeforeSendingSendsNothingAndWhileWritingRemovesTheFile)
{
    server.AddScript("/f.bin", test::PartialBody(100000, 100, test::BodyEnd::Stall));
    FetchContext c = Context();
    c.limits.stall = 30s;
    CFetchCore fetch(c);
    fetch.Cancel();
    const FetchOutcome before = fetch.Run(Job(server.Url("/f.bin"), "f.bin"));
    EXPECT_EQ(before.Result, -1);
    EXPECT_EQ(before.Message, "ユーザーによって切断されました");
    EXPECT_EQ(server.RequestCount(), 0);

    fetch.Start(Job(server.Url("/f.bin"), "f.bin"));
    ASSERT_TRUE(fetch.WaitAnswer(5s));
    EXPECT_EQ(fetch.Outcome().Result, 0) << "the answer came and saving began";
    // Meanwhile nothing in the folder shows the body.
    EXPECT_EQ(FilesSaved(), 0u);
    const auto t0 = std::chrono::steady_clock::now();
    fetch.Cancel();
    fetch.WaitFinished();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 3s);
    EXPECT_EQ(fetch.Outcome().Result, 2);
    EXPECT_EQ(fetch.Outcome().Message, "強制終了しました");
    EXPECT_FALSE(FileExists(folder + "/f.bin"));
}

// /d/ needs u:p.
class FetchCredentialsTest : public FetchCoreTest
{
protected:
    FetchCredentialsTest()
    {
        server.RequireBasic("/d/", "u", "p");
        for (const char* path : {"/d/1.jpg", "/d/2.jpg", "/d/sub/x.jpg"})
            server.AddFile(path, path, "image/jpeg");
    }
};

TEST_F(FetchCredentialsTest, TwoTransfersOfOneAreaGetOnePrompt)
{
    observer.SetAnswerer([](const auto&, auto, auto&) {
        std::this_thread::sleep_for(100ms); // the second transfer meets the area while this one asks
        return kRight;
    });
    // Waits long enough that a busy machine never makes the second transfer take the question over.
    CAuthAreaTable patient{AuthAreaWaits{50ms, 200}};
    FetchContext context = Context();
    context.areas = &patient;
    CFetchCore first(context);
    CFetchCore second(context);
    first.Start(Job(server.Url("/d/1.jpg"), "1.jpg"));
    // The first holds the area of /d/ before the second meets it.
    ASSERT_TRUE(test::WaitUntil([&] { return !observer.PromptedUrls().empty(); }));
    second.Start(Job(server.Url("/d/sub/x.jpg"), "x.jpg"));
    first.WaitFinished();
    second.WaitFinished();
    EXPECT_EQ(first.Outcome().Result, 0) << first.Outcome().Message;
    EXPECT_EQ(second.Outcome().Result, 0) << second.Outcome().Message;
    EXPECT_EQ(observer.PromptedUrls().size(), 1u);
    EXPECT_EQ(second.Outcome().Job.User, "u");
}

TEST_F(FetchCredentialsTest, ARefusedOrRejectedAnswerIsNeitherAskedNorSentAgain)
{
    // (area, the answer, requests for its first file: the bare one, and one more with typed credentials)
    for (const auto& [area, answer, requests] : std::vector<std::tuple<std::string, CredentialsAnswer, int>>{
             {"/refused/", {}, 1}, {"/rejected/", {true, "u", "wrong"}, 2}}) {
        SCOPED_TRACE(area);
        server.RequireBasic(area, "u", "p");
        observer.SetAnswerer([answer](auto&&...) { return answer; });
        const size_t promptsBefore = observer.PromptedUrls().size();
        CFetchCore fetch(Context());
        for (const char* name : {"1.jpg", "2.jpg"}) {
            server.AddFile(area + name, name, "image/jpeg");
            const FetchOutcome out = fetch.Run(Job(server.Url(area + name), name));
            EXPECT_EQ(out.Result, 2);
            EXPECT_EQ(out.Message, "認証が否定されました");
        }
        EXPECT_EQ(static_cast<int>(server.RequestsFor(area + "1.jpg").size()), requests);
        EXPECT_EQ(observer.PromptedUrls().size(), promptsBefore + 1);
    }
}

TEST_F(FetchCredentialsTest, TheStoreStepsUpPastRejectedRecordsAndLearnsTheTypedPassword)
{
    auto center = std::make_shared<CNinshoCenter>(CNinshoCenter::InMemory{});
    for (const auto& [site, pass] : {std::pair{"/d/sub/", "old"}, std::pair{"/d/", "stale"}}) {
        CAuthRecord r;
        r.SetSiteUrl(server.Url(site)), r.SetUserId("u"), r.SetPassword(pass);
        int index = 0;
        ASSERT_GE(center->Add(r, index), 0);
    }
    store.Set(center);
    observer.SetAnswerer([](auto&&...) { return kRight; });
    const FetchOutcome out = CFetchCore(Context()).Run(Job(server.Url("/d/sub/x.jpg"), "x.jpg"));
    ASSERT_EQ(out.Result, 0) << out.Message;
    EXPECT_EQ(observer.PromptedUrls().size(), 1u);
    std::set<std::string> sent;
    for (const auto& request : server.Requests())
        EXPECT_TRUE(sent.insert(request.Header("Authorization")).second) << "sent twice";
    EXPECT_EQ(sent.size(), 4u) << "none, old, stale, typed";
    EXPECT_EQ(areas.Areas().at(0).Prefix, server.Url("/d/")) << "the area takes the store's key";
    std::multiset<std::string> passwords;
    for (int i = 0; i < center->GetCount(); ++i)
        passwords.insert(center->GetAt(i).GetPassword());
    EXPECT_EQ(passwords, (std::multiset<std::string>{"old", "p"})) << "the typed password replaced the stale one";
}

TEST_F(FetchCredentialsTest, AfterARedirectOnlyTheJobsOwnSiteGetsItsCredentials)
{
    TestHttpServer other; // another port: another site
    other.RequireBasic("/d/", "o", "q");
    other.AddFile("/d/1.jpg", "x", "image/jpeg");
    server.AddRedirect("/away/1.jpg", 302, other.Url("/d/1.jpg"));
    server.AddRedirect("/near/1.jpg", 302, "/d/1.jpg");
    const AreaAsker earlier{&other, {}, {}}; // an earlier transfer settled u:p for this whole site
    areas.Settle(areas.AddArea(server.Url("/"), earlier), &other, "u", "p");
    auto center = std::make_shared<CNinshoCenter>(CNinshoCenter::InMemory{}); // and the store has it
    CAuthRecord record;
    record.SetSiteUrl(server.Url("/")), record.SetUserId("u"), record.SetPassword("p");
    int index = 0;
    ASSERT_GE(center->Add(record, index), 0);
    store.Set(center);
    observer.SetAnswerer([](auto&&...) { return CredentialsAnswer{true, "o", "q"}; });
    const std::string ours = "Basic " + Base64("u:p");
    // (the job's own user, the path asked): given credentials, the job's area, a redirect within the site
    for (const auto& [user, path] : {std::pair{"u", "/away/1.jpg"}, {"", "/away/1.jpg"}, {"u", "/near/1.jpg"}}) {
        SCOPED_TRACE(user + std::string(path));
        DownloadJob job = Job(server.Url(path), "1.jpg");
        job.User = user, job.Pass = *user ? "p" : "";
        const FetchOutcome out = CFetchCore(Context()).Run(job);
        EXPECT_EQ(out.Result, 0) << out.Message;
        EXPECT_EQ(out.Job.User, user) << "the record keeps what the job's own site took";
        std::filesystem::remove(folder + "/1.jpg");
    }
    for (const auto& request : other.Requests())
        EXPECT_NE(request.Header("Authorization"), ours);
    EXPECT_EQ(server.RequestsFor("/d/1.jpg").back().Header("Authorization"), ours);
    EXPECT_EQ(observer.PromptedUrls(), std::vector{other.Url("/d/1.jpg")}) << "asked once, for the site that asks";
}

TEST_F(FetchCredentialsTest, CancelClosesAnOpenPromptAndASilentOneIsTakenOver)
{
    std::atomic<int> asked{0};
    observer.SetAnswerer([&](const auto&, auto, CredentialsPrompt& prompt) {
        if (++asked == 3)
            return kRight;
        prompt.WaitCancelled(10s); // nobody answers the first two prompts
        return CredentialsAnswer{};
    });
    CFetchCore first(Context()), second(Context()), third(Context());
    first.Start(Job(server.Url("/d/1.jpg"), "1.jpg"));
    ASSERT_TRUE(test::WaitUntil([&] { return !observer.PromptedUrls().empty(); }));
    first.Cancel();
    first.WaitFinished();
    EXPECT_FALSE(areas.Areas().at(0).Pending) << "the area is free for the next transfer";
    EXPECT_EQ(areas.Areas().at(0).Outcome, 0) << "a cancelled question is not a refusal";

    second.Start(Job(server.Url("/d/1.jpg"), "1.jpg"));
    ASSERT_TRUE(test::WaitUntil([&] { return asked == 2; })) << "the second transfer did not ask";
    third.Start(Job(server.Url("/d/2.jpg"), "2.jpg"));
    third.WaitFinished();
    second.WaitFinished();
    for (CFetchCore* cancelled : {&first, &second}) {
        EXPECT_EQ(cancelled->Outcome().Result, 2);
        EXPECT_EQ(cancelled->Outcome().Message, "ダウンロードがキャンセルされました");
    }
    EXPECT_EQ(third.Outcome().Result, 0) << third.Outcome().Message;
    EXPECT_EQ(asked.load(), 3);
}

TEST(CredentialsPromptTest, ClosesExactlyOnceWhicheverComesFirst)
{
    for (const bool cancelFirst : {true, false}) {
        SCOPED_TRACE(cancelFirst ? "cancelled before the prompt shows" : "cancelled while it shows");
        CredentialsPrompt prompt;
        std::atomic<int> closed{0};
        if (cancelFirst)
            prompt.Cancel();
        prompt.OnCancel([&] { ++closed; });
        std::thread other([&] {
            prompt.Cancel();
            prompt.Cancel();
        });
        other.join();
        EXPECT_EQ(closed.load(), 1);
        EXPECT_TRUE(prompt.WaitCancelled(0ms));
    }
}

TEST(ProgressMeterTest, RateCoversTheRecentWindowOnly)
{
    ProgressMeter meter;
    meter.Snapshot(100ms);
    meter.AddBytes(1000000); // a burst that is over by the last look
    std::this_thread::sleep_for(150ms);
    meter.Snapshot(100ms);
    std::this_thread::sleep_for(150ms);
    meter.AddBytes(100);
    const ProgressSnapshot s = meter.Snapshot(100ms);
    EXPECT_EQ(s.bytes, 1000100);
    EXPECT_GT(s.rate, 0);
    EXPECT_LT(s.rate, 100 / 0.1) << "the burst before the window does not count";
    meter.Reset();
    EXPECT_EQ(meter.Snapshot().bytes, 0);
    EXPECT_EQ(meter.Snapshot().rate, 0);
}

} // namespace
} // namespace pelldra
