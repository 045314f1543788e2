// Tests of the credential store: sorted insert, removal, loading and saving its file, sharing between threads.
#include "core/credentials/ninsho_center.h"
#include "core/registry/app_registry.h"
#include "core/registry/credential_values.h"
#include "core/registry/tavin_reg_key.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_env.h"

namespace pelldra {
namespace {

using test::ReadFile;
using test::TempEnv;
using test::WriteFile;

CAuthRecord Record(const std::string& key, const std::string& user, const std::string& pass,
                   const std::string& name = "")
{
    CAuthRecord r;
    r.SetSiteName(name);
    r.SetSiteUrl(key);
    r.SetUserId(user);
    r.SetPassword(pass);
    return r;
}

// "path user password" below http://h
CAuthRecord RecordOf(const std::string& text)
{
    std::istringstream in(text);
    std::string path, user, pass;
    in >> path >> user >> pass;
    return Record("http://h" + path, user, pass);
}

int Add(CNinshoCenter& store, const CAuthRecord& r)
{
    int index = -1;
    return store.Add(r, index);
}

// The key that answers url, or "" when none does.
std::string Find(const CNinshoCenter& store, const std::string& url)
{
    CAuthRecord q;
    q.SetPageUrl(url);
    return store.FindForUrl(q) == 0 ? q.GetSiteUrl() : "";
}

std::vector<std::string> Keys(const CNinshoCenter& store)
{
    std::vector<std::string> keys;
    for (int i = 0; i < store.GetCount(); ++i)
        keys.push_back(store.GetAt(i).GetSiteUrl().substr(8)); // without "http://h"
    return keys;
}

unsigned ModeOf(const std::string& path)
{
    struct stat st = {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 0777 : 0;
}

TEST(NinshoCenter, SortedInsert)
{
    struct Case
    {
        const char* what;
        std::vector<std::string> before;
        std::string added;
        int result, index;
        std::vector<std::string> after;
    };
    const Case cases[] = {
        {"into an empty store", {}, "/ u p", 1, 0, {"/"}},
        {"same key replaces", {"/ u p"}, "/ v q", 0, 0, {"/"}},
        {"general key for the same login replaces the specific one", {"/b/ U P"}, "/ U P", 0, 0, {"/"}},
        {"another password keeps both, general first", {"/b/ U P"}, "/ U Q", 1, 0, {"/", "/b/"}},
        {"user compared with case", {"/b/ U P"}, "/ u P", 1, 0, {"/", "/b/"}},
        {"only the next record is replaced", {"/a/ U P", "/a/b/ U P"}, "/ U P", 0, 0, {"/", "/a/b/"}},
        {"a record in between blocks the replacement", {"/a/ X P", "/b/ U P"}, "/ U P", 1, 0, {"/", "/a/", "/b/"}},
        {"appended after the last", {"/a/ U P"}, "/z/ U P", 1, 1, {"/a/", "/z/"}},
        {"a longer key never replaces a shorter one", {"/ U P"}, "/b/ U P", 1, 1, {"/", "/b/"}},
        {"byte order: capitals first, high bytes last", {"/a U P", "/\xe3 U P"}, "/B U P", 1, 0, {"/B", "/a", "/\xe3"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CNinshoCenter store{CNinshoCenter::InMemory{}};
        for (const std::string& r : c.before)
            Add(store, RecordOf(r));
        int index = -1;
        EXPECT_EQ(store.Add(RecordOf(c.added), index), c.result);
        EXPECT_EQ(index, c.index);
        EXPECT_EQ(Keys(store), c.after);
        EXPECT_EQ(store.GetAt(index), RecordOf(c.added));
        EXPECT_TRUE(store.IsModified());
    }
}

TEST(NinshoCenter, LearnedLoginReplacesOnlyWhatItKnows)
{
    // A login accepted for a more general key takes the record's place, but the name and page it had stay.
    CNinshoCenter store{CNinshoCenter::InMemory{}};
    CAuthRecord kept = RecordOf("/b/ U P");
    kept.SetSiteName("mine");
    kept.SetPageUrl("http://h/b/1.jpg");
    Add(store, kept);
    int index = -1;
    EXPECT_EQ(store.AddLearned(RecordOf("/ U P"), index), 0);
    kept.SetSiteUrl("http://h/");
    EXPECT_EQ(store.GetAt(index), kept);
}

TEST(NinshoCenter, RefusalsChangeNothing)
{
    CNinshoCenter store{CNinshoCenter::InMemory{}};
    int index = 7;
    EXPECT_EQ(store.Add(Record("  \r\n", "u", "p"), index), -1);
    EXPECT_EQ(index, 7);
    Add(store, RecordOf("/ u p"));
    Add(store, RecordOf("/a/ u q"));
    EXPECT_EQ(store.RemoveAt(2) + store.RemoveAt(-1) + store.RemoveSiteUrl("http://h/a"), 3);
    EXPECT_EQ(store.GetAt(2), CAuthRecord());
    EXPECT_EQ(store.RemoveSiteUrl("http://h/a/"), 0);
    EXPECT_EQ(Keys(store), std::vector<std::string>{"/"});
}

class NinshoCenterFile : public ::testing::Test
{
protected:
    static CNinshoCenter::Setup SetupAt(std::int64_t now)
    {
        CNinshoCenter::Setup s = RegisteredStoreSetup();
        s.clock = [now] { return now; };
        return s;
    }
    std::string DefaultPath() const { return env_.dataFolder() + "/NinshoCenter.dat"; }
    static CTavinRegKey Key() { return CTavinRegKey(kNinshoCenterKeyPath); }

    TempEnv env_;
};

TEST_F(NinshoCenterFile, SavesOnlyChangesToAPrivateFileAndItsLocation)
{
    const std::string text = "NCFile version 1\r\nサイト\r\nuser\r\n+%40%91%83%96%97\r\nhttp://h/\r\n\r\n";
    {
        CNinshoCenter store(SetupAt(0));
        EXPECT_TRUE(store.IsUsable());
        EXPECT_EQ(store.GetDataFilePath(), "");
        Add(store, Record("http://h/", " user", " pass", "サイト"));
    }
    EXPECT_EQ(Key().GetString("Location"), DefaultPath());
    EXPECT_EQ(ModeOf(DefaultPath()), 0600u);
    EXPECT_EQ(ReadFile(DefaultPath()), text);
    {
        CNinshoCenter again(SetupAt(1)); // another clock: a needless save would change the bytes
        EXPECT_EQ(again.GetAt(0), Record("http://h/", "user", " pass", "サイト")); // the leading space survives
        EXPECT_EQ(again.GetCount(), 1);
        EXPECT_EQ(Find(again, "http://h/x"), "http://h/");
        EXPECT_FALSE(again.IsModified());
    }
    EXPECT_EQ(ReadFile(DefaultPath()), text);
    {
        CNinshoCenter store(SetupAt(101));
        Add(store, Record("http://h/b/", "u", "\xe3\x83\x91 x"));
        EXPECT_EQ(store.RemoveAt(0), 0);
    }
    CNinshoCenter store(SetupAt(0));
    ASSERT_EQ(Keys(store), std::vector<std::string>{"/b/"});
    EXPECT_EQ(store.GetAt(0).GetPassword(), "\xe3\x83\x91 x");
}

TEST_F(NinshoCenterFile, FileIsWrittenWhenTheRegistryKeyDidNotOpen)
{
    {
        auto missing = std::make_unique<CTavinRegKey>("Software\\Tavin\\NoSuchKey", true);
        ASSERT_FALSE(missing->IsOpen());
        CNinshoCenter::Setup s = RegisteredStoreSetup(std::move(missing));
        s.clock = [] { return 0; };
        s.dataFolder = env_.makeFolder("elsewhere");
        CNinshoCenter store(std::move(s));
        Add(store, RecordOf("/ u p"));
        EXPECT_EQ(store.Save(), 0);
        EXPECT_FALSE(store.IsModified());
    }
    EXPECT_TRUE(test::FileExists(env_.root() + "/elsewhere/NinshoCenter.dat"));
    EXPECT_EQ(Key().GetString("Location"), "");
}

TEST_F(NinshoCenterFile, BadHeaderIsKeptAsACopyAndNeverFinds)
{
    const std::string bad = "NCFile\r\nnot ours\r\n";
    WriteFile(DefaultPath(), bad);
    Key().SetString("Location", DefaultPath());
    {
        CNinshoCenter store(SetupAt(0));
        EXPECT_FALSE(store.IsUsable());
        EXPECT_EQ(store.GetCount(), 0);
        EXPECT_EQ(Add(store, RecordOf("/ u p")), 1);
        EXPECT_EQ(Find(store, "http://h/a.jpg"), "");
    }
    EXPECT_EQ(ReadFile(DefaultPath() + ".bad"), bad);
    EXPECT_EQ(ModeOf(DefaultPath() + ".bad"), 0600u);
    CNinshoCenter store(SetupAt(0));
    EXPECT_TRUE(store.IsUsable());
    EXPECT_EQ(store.GetCount(), 1);
}

TEST_F(NinshoCenterFile, LocationThatIsNoFileIsNeverReplacedAndAMissingOneIsEmpty)
{
    const std::string folder = env_.makeFolder("a-folder");
    Key().SetString("Location", folder);
    {
        CNinshoCenter store(SetupAt(0));
        EXPECT_TRUE(store.IsUsable());
        Add(store, RecordOf("/ u p"));
        EXPECT_EQ(store.Save(), 1);
    }
    EXPECT_TRUE(std::filesystem::is_directory(folder));

    Key().SetString("Location", env_.root() + "/gone/NinshoCenter.dat");
    CNinshoCenter store(SetupAt(0));
    EXPECT_TRUE(store.IsUsable());
    EXPECT_EQ(store.GetCount(), 0);
    EXPECT_EQ(store.GetDataFilePath(), env_.root() + "/gone/NinshoCenter.dat");
}

TEST(NinshoCenterThreads, LookupsInsertsRemovalsAndSavesAtOnce)
{
    TempEnv env;
    CNinshoCenter store(RegisteredStoreSetup());
    constexpr int kWriters = 3, kPerWriter = 300;
    std::atomic<int> inserted{0}, removed{0}, writing{kWriters};
    std::vector<std::thread> threads;
    for (int w = 0; w < kWriters; ++w) {
        threads.emplace_back([&, w] {
            for (int i = 0; i < kPerWriter; ++i)
                if (Add(store, RecordOf("/" + std::to_string(w) + "/" + std::to_string(i) + "/ u p")) == 1)
                    inserted.fetch_add(1);
            writing.fetch_sub(1);
        });
    }
    threads.emplace_back([&] {
        for (int saves = 0; writing.load() > 0;) {
            if (saves++ < 5) {
                EXPECT_EQ(store.Save(), 0);
            }
            if (store.GetCount() > 50 && store.RemoveAt(0) == 0)
                removed.fetch_add(1);
        }
    });
    for (int r = 0; r < 2; ++r) {
        threads.emplace_back([&] {
            while (writing.load() > 0) {
                const std::string key = Find(store, "http://h/1/5/x.jpg");
                EXPECT_TRUE(key == "" || key == "http://h/" || key == "http://h/1/" || key == "http://h/1/5/") << key;
                store.GetAt(store.GetCount() - 1);
            }
        });
    }
    for (std::thread& t : threads)
        t.join();

    EXPECT_EQ(inserted.load(), kWriters * kPerWriter);
    ASSERT_EQ(store.GetCount(), inserted.load() - removed.load());
    for (int i = 1; i < store.GetCount(); ++i)
        EXPECT_LT(store.GetAt(i - 1).GetSiteUrl(), store.GetAt(i).GetSiteUrl());
    // The greatest key never becomes the first record while more than 50 remain, so no removal took it.
    EXPECT_EQ(Find(store, "http://h/2/99/x.jpg"), "http://h/2/99/");
    EXPECT_EQ(store.Save(), 0);
    EXPECT_EQ(OpenRegisteredStore()->GetCount(), store.GetCount());
}

} // namespace
} // namespace pelldra
