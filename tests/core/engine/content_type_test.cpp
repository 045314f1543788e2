// Tests of the content-type table and the file-type check of an answer.
#include "core/engine/content_type_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace pelldra {
namespace {

TEST(ContentTypeTable, BuiltInEntriesAreSortedAndUnique)
{
    const CContentTypeTable table;
    const auto& e = table.Entries();
    ASSERT_EQ(e.size(), 33u);
    EXPECT_EQ(e.front(), "application/octet-stream\tbin dms lha lzh exe class so dll");
    EXPECT_EQ(e.back(), "video/x-sgi-movie\tmovie");
    std::set<std::string> types;
    for (size_t i = 0; i < e.size(); ++i) {
        const std::string type = e[i].substr(0, e[i].find('\t'));
        EXPECT_TRUE(types.insert(type).second) << type;
        if (i > 0) {
            EXPECT_LT(e[i - 1].substr(0, e[i - 1].find('\t')), type);
        }
    }
}

TEST(ContentTypeTable, AddNormalisesOrRefuses)
{
    struct Case
    {
        const char* text;
        const char* stored; // nullptr: refused
    };
    const Case cases[] = {
        {"  IMAGE/WebP\t  webp WEBP2 \r\n", "image/webp\twebp webp2"},
        {"a/b\tx", "a/b\tx"},
        {"", nullptr},
        {" \t ", nullptr},
        {"1mage/x\tx", nullptr}, // must start with a letter
        {"/x\ty", nullptr},
        {"image/x y", nullptr},   // no TAB
        {"image/x\t  ", nullptr}, // the TAB is last once trimmed
    };
    for (const Case& c : cases) {
        CContentTypeTable table{CContentTypeTable::Empty{}};
        EXPECT_EQ(table.Add(c.text), c.stored != nullptr) << c.text;
        if (c.stored) {
            ASSERT_EQ(table.Entries().size(), 1u);
            EXPECT_EQ(table.Entries()[0], c.stored);
        } else {
            EXPECT_TRUE(table.Entries().empty()) << c.text;
        }
    }
}

TEST(ContentTypeTable, AddKeepsOrderAndReplacesSameType)
{
    CContentTypeTable table;
    ASSERT_TRUE(table.Add("image/jpeg\tjpg"));
    ASSERT_TRUE(table.Add("aaa/first\tx"));
    ASSERT_TRUE(table.Add("zzz/last\ty"));
    ASSERT_TRUE(table.Add("image/jpeg2\tj2"));
    const auto& e = table.Entries();
    ASSERT_EQ(e.size(), 36u);
    EXPECT_EQ(e.front(), "aaa/first\tx");
    EXPECT_EQ(e.back(), "zzz/last\ty");
    const auto jpeg = std::find(e.begin(), e.end(), "image/jpeg\tjpg");
    ASSERT_NE(jpeg, e.end());
    EXPECT_EQ(*(jpeg + 1), "image/jpeg2\tj2");
    std::string ext;
    EXPECT_EQ(table.Lookup("image/jpeg", ext), 0);
    EXPECT_EQ(ext, "jpg");
}

TEST(ContentTypeTable, Lookup)
{
    struct Case
    {
        const char* type;
        const char* ext;
        int result;
        const char* extAfter;
    };
    const Case cases[] = {
        {"image/jpeg", "jpg", 0, "jpg"},
        {"image/jpeg", "JPG", 0, "jpg"},
        {"image/jpeg", "", 0, "jpeg"},
        {"image/jpeg", "png", -1, "jpeg"},
        {"image/jpeg", "pe", 0, "pe"}, // part of a listed extension counts
        {"IMAGE/GIF ", "gif", 0, "gif"},
        {"text/html; charset=utf-8", "jpg", -1, "html"},
        {"text/html;charset=utf-8", "", 0, "html"},
        {"application/octet-stream", "zip", -1, "bin"},
        {"image/webp", "webp", 1, "webp"},
        {"image/webp", "", 1, ""},
        {"", "jpg", 1, "jpg"},
        {"zzzz/none", "x", 1, "x"}, // after the last entry
        {"a/none", "x", 1, "x"},    // before the first entry
    };
    const CContentTypeTable table;
    for (const Case& c : cases) {
        std::string ext = c.ext;
        EXPECT_EQ(table.Lookup(c.type, ext), c.result) << c.type << " / " << c.ext;
        EXPECT_EQ(ext, c.extAfter) << c.type << " / " << c.ext;
    }
}

TEST(CheckType, Cases)
{
    struct Case
    {
        const char* contentType;
        const char* targ;
        const char* dest;
        int relo;
        bool refuse;
        const char* savePath;
    };
    const Case cases[] = {
        {"image/jpeg", "http://h/a.jpg", "/d/a.jpg", 0, false, ""},
        {"text/html", "http://h/a.jpg", "/d/a.jpg", 0, true, ""},
        {"text/html", "http://h/a.jpg", "/d/a.jpg", 1, false, "/d/a.html"},
        // An error page with parameters must not slip through as an unknown type.
        {"text/html; charset=utf-8", "http://h/a.jpg", "/d/a.jpg", 0, true, ""},
        {"text/html; charset=utf-8", "http://h/a.jpg", "/d/a.jpg", 1, false, "/d/a.html"},
        {"image/jpeg", "http://h/show?id=3", "/d/003", 0, false, "/d/003.jpeg"},
        {"image/jpeg", "http://h/show?id=3", "/d.x/003", 0, false, "/d.x/003.jpeg"},
        {"IMAGE/GIF ", "http://h/a.gif", "/d/a.gif", 0, false, ""},
        {"image/webp", "http://h/a.webp", "/d/a.webp", 0, false, ""},
        {"image/webp", "http://h/get?id=1", "/d/1.jpg", 0, true, ""},
        {"image/webp", "http://h/get?id=1", "/d/1.jpg", 1, false, ""},
        {"image/webp", "http://h/a.webp", "/d/1.jpg", 0, false, ""},
        // The save name differs from the URL but fits the type: kept as it is.
        {"image/jpeg", "http://h/a.jpg", "/d/a.jpe", 0, false, ""},
        {"image/jpeg", "http://h/a.jpg", "/d/A.JPG", 0, false, ""},
        {"image/png", "http://h/a.png", "/d/a.jpg", 0, true, ""},
        {"image/png", "http://h/a.png", "/d/a.jpg", 1, false, "/d/a.png"},
        {"image/jpeg", "http://h/a.jpg?x=1", "/d/a.jpg", 0, false, ""},
    };
    const CContentTypeTable table;
    for (const Case& c : cases) {
        const TypeCheck r = CheckType(c.contentType, c.targ, c.dest, c.relo, &table);
        EXPECT_EQ(r.refuse, c.refuse) << c.contentType << " " << c.targ << " " << c.dest << " relo " << c.relo;
        EXPECT_EQ(r.savePath, c.savePath) << c.contentType << " " << c.targ << " " << c.dest << " relo " << c.relo;
    }
}

TEST(CheckType, WithoutTableOnlyExtensionsDecide)
{
    EXPECT_FALSE(CheckType("text/html", "http://h/a.jpg", "/d/a.jpg", 0, nullptr).refuse);
    EXPECT_FALSE(CheckType("text/html", "http://h/a.jpg", "/d/b.png", 0, nullptr).refuse);
    EXPECT_TRUE(CheckType("text/html", "http://h/get?id=1", "/d/1.jpg", 0, nullptr).refuse);
    EXPECT_FALSE(CheckType("text/html", "http://h/get?id=1", "/d/1.jpg", 1, nullptr).refuse);
    EXPECT_TRUE(CheckType("text/html", "http://h/get?id=1", "/d/1.jpg", 0, nullptr).savePath.empty());
}

} // namespace
} // namespace pelldra
