// Reading an answer's head: the content-type table, the file-type check, the server's date.
#include "core/engine/content_type_table.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "core/engine/http_date.h"

namespace pelldra {
namespace {

TEST(ContentTypeTable, AddKeepsTheTableSortedAndNormalisesOrRefuses)
{
    CContentTypeTable table;
    const size_t builtIn = table.Entries().size();
    for (const char* entry : {"image/jpeg\tjpg", "aaa/first\tx", "zzz/last\ty", "  IMAGE/WebP2\t  webp WEBP2 \r\n"})
        ASSERT_TRUE(table.Add(entry)) << entry;
    const auto& e = table.Entries();
    EXPECT_EQ(e.size(), builtIn + 3) << "the same type is replaced, not added";
    // Lookup relies on the entries being sorted by type with each type once.
    for (size_t i = 1; i < e.size(); ++i)
        EXPECT_LT(e[i - 1].substr(0, e[i - 1].find('\t')), e[i].substr(0, e[i].find('\t'))) << i;
    EXPECT_NE(std::find(e.begin(), e.end(), "image/webp2\twebp webp2"), e.end());
    // A type starts with a letter and has a slash; a TAB that is not last once trimmed ends it.
    for (const char* refused : {"", " \t ", "1mage/x\tx", "/x\ty", "image/x y", "image/x\t  "})
        EXPECT_FALSE(table.Add(refused)) << refused;
    EXPECT_EQ(table.Entries().size(), builtIn + 3);
}

TEST(ContentTypeTable, Lookup)
{
    // Content type, asked extension, result, the extension afterwards.
    // clang-format off
    const std::tuple<std::string, std::string, int, std::string> cases[] = {
        {"image/jpeg", "jpg", 0, "jpg"}, {"image/jpeg", "", 0, "jpeg"}, {"image/jpeg", "png", -1, "jpeg"},
        {"image/jpeg", "pe", 0, "pe"}, // part of a listed extension counts
        {"IMAGE/GIF ", "gif", 0, "gif"}, {"text/html; charset=utf-8", "jpg", -1, "html"},
        {"application/octet-stream", "zip", -1, "bin"}, {"image/webp", "webp", 1, "webp"}, {"image/webp", "", 1, ""},
        {"", "jpg", 1, "jpg"}, {"zzzz/none", "x", 1, "x"}, {"a/none", "x", 1, "x"}, // past either end
    };
    // clang-format on
    const CContentTypeTable table;
    for (const auto& [type, asked, result, after] : cases) {
        std::string ext = asked;
        EXPECT_EQ(table.Lookup(type, ext), result) << type << " / " << asked;
        EXPECT_EQ(ext, after) << type << " / " << asked;
    }
}

TEST(CheckType, Cases)
{
    // Content type, URL, save path, Relo, refused, the save path it gets instead.
    const std::tuple<std::string, std::string, std::string, int, bool, std::string> cases[] = {
        {"image/jpeg", "http://h/a.jpg", "/d/a.jpg", 0, false, ""},
        {"text/html", "http://h/a.jpg", "/d/a.jpg", 0, true, ""},
        {"text/html", "http://h/a.jpg", "/d/a.jpg", 1, false, "/d/a.html"},
        // An error page with parameters must not slip through as an unknown type.
        {"text/html; charset=utf-8", "http://h/a.jpg", "/d/a.jpg", 0, true, ""},
        {"image/jpeg", "http://h/show?id=3", "/d/003", 0, false, "/d/003.jpeg"},
        {"image/webp", "http://h/a.webp", "/d/a.webp", 0, false, ""},
        {"image/webp", "http://h/get?id=1", "/d/1.jpg", 0, true, ""},
        {"image/webp", "http://h/get?id=1", "/d/1.jpg", 1, false, ""},
        // The save name differs from the URL but fits the type: kept as it is.
        {"image/jpeg", "http://h/a.jpg", "/d/a.jpe", 0, false, ""},
        {"image/png", "http://h/a.png", "/d/a.jpg", 0, true, ""},
        {"image/png", "http://h/a.png", "/d/a.jpg", 1, false, "/d/a.png"},
        // The name asked for is the URL's path: a query or a fragment is no part of it, also where a list made the
        // save name from the whole URL.
        {"image/jpeg", "http://h/pic3.jpg?x=1", "/d/pic3.jpg_x=1", 0, false, ""},
        {"image/jpeg", "http://h/pic.jpg?x=1.5", "/d/pic.jpg", 0, false, ""},
        {"image/jpeg", "http://h/a.jpg#top", "/d/a.jpg", 0, false, ""},
        // Bytes of no particular kind are what the name says.
        {"application/octet-stream", "http://h/a.zip", "/d/a.zip", 0, false, ""},
        {"Application/Octet-Stream; x=1", "http://h/a.mp4", "/d/a.mp4", 1, false, ""},
        {"", "http://h/a.rar", "/d/a.rar", 0, false, ""},
        // Without a table only the extensions decide (the last kWithoutTable rows).
        {"text/html", "http://h/a.jpg", "/d/a.jpg", 0, false, ""},
        {"text/html", "http://h/get?id=1", "/d/1.jpg", 0, true, ""},
        {"text/html", "http://h/get?id=1", "/d/1.jpg", 1, false, ""},
    };
    constexpr size_t kWithoutTable = 3;
    const CContentTypeTable table;
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& [type, targ, dest, relo, refuse, savePath] = cases[i];
        SCOPED_TRACE(type + " " + targ + " " + dest + " relo " + std::to_string(relo));
        const TypeCheck r = CheckType(type, targ, dest, relo, i + kWithoutTable < std::size(cases) ? &table : nullptr);
        EXPECT_EQ(r.refuse, refuse);
        EXPECT_EQ(r.savePath, savePath);
    }
}

TEST(HttpDate, AgreesWithTheGeneralReader)
{
    const char* const dates[] = {
        "Sun, 06 Nov 1994 08:49:37 GMT", "Thu, 01 Jan 1970 00:00:00 GMT", "Tue, 29 Feb 2000 23:59:59 GMT",
        "Mon, 07 Dec 2026 16:48:25 GMT", "Fri, 31 Dec 9999 23:59:59 GMT", "Wed, 01 Mar 2100 12:00:00 GMT",
        // wrong weekday, older forms, odd values: whatever the general reader makes of them
        "Mon, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT", "Sun Nov  6 08:49:37 1994",
        "Sun, 29 Feb 2001 00:00:00 GMT", "Sun, 06 Nov 1994 08:49:60 GMT", "Sun, 06 Nov 1994 24:00:00 GMT",
        "Sun, 06 Nov 1994 08:49:37 UTC", "Sun, 6 Nov 1994 08:49:37 GMT", "Sun, 06 nov 1994 08:49:37 GMT",
        "Sun, 06 Nov 1a94 08:49:37 GMT", "", "garbage"};
    for (const char* d : dates) {
        SCOPED_TRACE(d);
        EXPECT_EQ(HttpDateSeconds(d), curl_getdate(d, nullptr));
    }
    EXPECT_EQ(HttpDateSeconds("Sun, 06 Nov 1994 08:49:37 GMT"), 784111777);
}

} // namespace
} // namespace pelldra
