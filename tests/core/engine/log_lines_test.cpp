// Tests of the log window's line kinds, the URL check before opening, and the image test page.
#include "core/engine/log_lines.h"

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "support/temp_env.h"

namespace pelldra {
namespace {

TEST(LogLinesTest, UrlLinesAndOnlyWebUrlsOpened)
{
    // (line, its URL or "" when it is no URL line)
    for (const auto& [line, url] : std::vector<std::pair<std::string, std::string>>{
             {"http://a.example/x/001.jpg  \t\r", "http://a.example/x/001.jpg"},
             {"  Logの開始", ""},
             {"\thttp://a.example/", ""},
             {"\r", ""}}) {
        EXPECT_EQ(IsUrlLine(line), !url.empty()) << line;
        EXPECT_EQ(UrlOfLine(line), url) << line;
    }
    for (const auto& [url, web] : std::vector<std::pair<std::string, bool>>{{"http://a.example/1.jpg", true},
                                                                            {"HTTPS://a.example/1.jpg", true},
                                                                            {"https://a.example", true},
                                                                            {"file:///etc/passwd", false},
                                                                            {"javascript:alert(1)", false},
                                                                            {"/home/u/a.sh", false},
                                                                            {"ftp://a.example/1.jpg", false},
                                                                            {"http://", false},
                                                                            {"http:///etc/passwd", false},
                                                                            {"http://a.example/a b", false},
                                                                            {"http://a.example/\x01", false},
                                                                            {"xhttp://a.example/", false}})
        EXPECT_EQ(IsWebUrl(url), web) << url;
}

TEST(LogLinesTest, FailureLinesAndTheMessagesThatFollowThem)
{
    EXPECT_EQ(FailureLine(404), "   失敗［status=404］");
    using K = LogLineKind;
    const std::pair<std::string, K> lines[] = {
        {"    受信側：", K::Plain},
        {"/home/u/p/001.jpg", K::Plain},
        {FailureLine(2), K::Failure},
        {"    サーバー応答がタイムアウトです", K::FailureDetail},
        {"http://a.example/002.jpg", K::Plain},
        {FailureLine(3), K::Failure},
        {"次のＵＲＬへのリダイレクト", K::FailureDetail},
        {"http://a.example/moved/003.jpg", K::FailureDetail},
        {"    downloading....", K::Plain},
        {FailureLine(404), K::Failure},
        {"http://a.example/004.jpg", K::Plain},
        {FailureLine(-1), K::Failure},
        {"    失敗［status=404］", K::Plain}, // four blanks: not the engine's line
        {"   失敗［status=4x4］", K::Plain},
        {"   失敗［status=］", K::Plain},
        {"   失敗［status=404", K::Plain},
    };
    FailureMarker marker;
    for (const auto& [line, kind] : lines)
        EXPECT_EQ(marker.Next(line), kind) << line;
}

TEST(LogLinesTest, PageEscapesTheUrlReplacesTheLastOneInTheDataFolderOrGivesTheMessage)
{
    test::TempEnv env;
    std::string path;
    ASSERT_TRUE(WriteImageTestPage("http://a.example/\"><script>x('1')</script>&b", path).ok());
    EXPECT_EQ(path, env.dataFolder() + "/imagetest.htm");
    EXPECT_EQ(std::filesystem::status(path).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_EQ(test::ReadFile(path),
              "<html><body><img src=\"http://a.example/&quot;&gt;&lt;script&gt;x(&#39;1&#39;)&lt;/script&gt;&amp;b\">"
              "</body></html>");
    ASSERT_TRUE(WriteImageTestPage("http://b.example/2.png", path).ok());
    EXPECT_EQ(test::ReadFile(path), "<html><body><img src=\"http://b.example/2.png\"></body></html>");

    for (const std::string& folder : {path, env.root() + "/missing"}) { // a file, or nothing, where the folder goes
        const Result r = WriteImageTestPage("http://a.example/1.jpg", path, folder);
        EXPECT_EQ(r.code, 1) << folder;
        EXPECT_EQ(r.message, "一時ファイルが作れません。") << folder;
    }
    EXPECT_EQ(test::ReadFile(env.dataFolder() + "/imagetest.htm"),
              "<html><body><img src=\"http://b.example/2.png\"></body></html>");
}

} // namespace
} // namespace pelldra
