// Tests of the credential store: sorted insert, removal, loading and saving its file, sharing between threads.
#include "core/credentials/ninsho_center.h"
#include "core/credentials/scramble.h"
#include "core/registry/tavin_reg_key.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_env.h"

namespace pelldra {
namespace {

using test::FileExists;
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

std::vector<std::string> Keys(const CNinshoCenter& store)
{
    std::vector<std::string> keys;
    for (int i = 0; i < store.GetCount(); ++i)
        keys.push_back(store.GetAt(i).GetSiteUrl());
    return keys;
}

TEST(NinshoCenter, SortedInsert)
{
    struct Case
    {
        const char* what;
        std::vector<CAuthRecord> before;
        CAuthRecord added;
        int result;
        int index;
        std::vector<std::string> after;
    };
    const std::string h = "http://h";
    const Case cases[] = {
        {"into an empty store", {}, Record(h + "/", "u", "p"), 1, 0, {h + "/"}},
        {"same key replaces", {Record(h + "/", "u", "p", "old")}, Record(h + "/", "v", "q", "new"), 0, 0, {h + "/"}},
        {"general key for the same login replaces the specific one",
         {Record(h + "/b/", "U", "P")},
         Record(h + "/", "U", "P"),
         0,
         0,
         {h + "/"}},
        {"another password keeps both, general first",
         {Record(h + "/b/", "U", "P")},
         Record(h + "/", "U", "Q"),
         1,
         0,
         {h + "/", h + "/b/"}},
        {"user compared with case",
         {Record(h + "/b/", "U", "P")},
         Record(h + "/", "u", "P"),
         1,
         0,
         {h + "/", h + "/b/"}},
        {"only the next record is replaced",
         {Record(h + "/a/", "U", "P"), Record(h + "/a/b/", "U", "P")},
         Record(h + "/", "U", "P"),
         0,
         0,
         {h + "/", h + "/a/b/"}},
        {"a record in between blocks the replacement",
         {Record(h + "/a/", "X", "P"), Record(h + "/b/", "U", "P")},
         Record(h + "/", "U", "P"),
         1,
         0,
         {h + "/", h + "/a/", h + "/b/"}},
        {"appended after the last",
         {Record(h + "/a/", "U", "P")},
         Record(h + "/z/", "U", "P"),
         1,
         1,
         {h + "/a/", h + "/z/"}},
        {"a longer key never replaces a shorter one",
         {Record(h + "/", "U", "P")},
         Record(h + "/b/", "U", "P"),
         1,
         1,
         {h + "/", h + "/b/"}},
        {"byte order: upper case before lower, high bytes last",
         {Record("http://h/a", "U", "P"), Record("http://h/\xe3", "U", "P")},
         Record("http://h/B", "U", "P"),
         1,
         0,
         {"http://h/B", "http://h/a", "http://h/\xe3"}},
    };
    for (const Case& c : cases) {
        CNinshoCenter store{CNinshoCenter::InMemory{}};
        int index = -1;
        for (const CAuthRecord& r : c.before)
            store.Add(r, index);
        index = -1;
        EXPECT_EQ(store.Add(c.added, index), c.result) << c.what;
        EXPECT_EQ(index, c.index) << c.what;
        EXPECT_EQ(Keys(store), c.after) << c.what;
        EXPECT_EQ(store.GetAt(index), c.added) << c.what;
        EXPECT_TRUE(store.IsModified()) << c.what;
    }
}

TEST(NinshoCenter, RefusalsChangeNothing)
{
    CNinshoCenter store{CNinshoCenter::InMemory{}};
    int index = 7;
    EXPECT_EQ(store.Add(Record("  \r\n", "u", "p"), index), -1);
    EXPECT_EQ(index, 7);
    EXPECT_EQ(store.RemoveAt(0), 1);
    EXPECT_EQ(store.RemoveAt(-1), 1);
    EXPECT_FALSE(store.IsModified());
    EXPECT_EQ(store.GetAt(0), CAuthRecord());

    store.Add(Record("http://h/", "u", "p"), index);
    EXPECT_EQ(store.RemoveAt(1), 1);
    EXPECT_EQ(store.RemoveAt(0), 0);
    EXPECT_EQ(store.GetCount(), 0);
}

class NinshoCenterFile : public ::testing::Test
{
protected:
    static CNinshoCenter::Setup SetupAt(std::int64_t now)
    {
        CNinshoCenter::Setup s;
        s.clock = [now] { return now; };
        return s;
    }
    std::string DefaultPath() const { return env_.dataFolder() + "/NinshoCenter.dat"; }
    static std::string Location() { return CTavinRegKey(CNinshoCenter::kRegistryKey).GetString("Location"); }

    TempEnv env_;
};

TEST_F(NinshoCenterFile, FirstSaveWritesAPrivateFileAndItsLocation)
{
    {
        CNinshoCenter store(SetupAt(0));
        EXPECT_TRUE(store.IsUsable());
        EXPECT_EQ(store.GetDataFilePath(), "");
        int index = -1;
        store.Add(Record("http://h/", " user", " pass", "サイト"), index);
    }
    EXPECT_EQ(Location(), DefaultPath());
    struct stat st = {};
    ASSERT_EQ(::stat(DefaultPath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(ReadFile(DefaultPath()), "NCFile version 1\r\nサイト\r\nuser\r\n+%40%91%83%96%97\r\nhttp://h/\r\n\r\n");

    CNinshoCenter again(SetupAt(0));
    ASSERT_EQ(again.GetCount(), 1);
    EXPECT_EQ(again.GetAt(0).GetPassword(), " pass"); // the leading space survives
    EXPECT_EQ(again.GetAt(0).GetUserId(), "user");
    EXPECT_FALSE(again.IsModified());
}

TEST_F(NinshoCenterFile, UnchangedStoreWritesNothing)
{
    WriteFile(DefaultPath(), "NCFile version 1\nn\nu\n\nhttp://h/\n\n");
    CTavinRegKey(CNinshoCenter::kRegistryKey).SetString("Location", DefaultPath());
    {
        CNinshoCenter store(SetupAt(0));
        EXPECT_EQ(store.GetCount(), 1);
        CAuthRecord q;
        q.SetPageUrl("http://h/x");
        EXPECT_EQ(store.FindForUrl(q), 0);
    }
    EXPECT_EQ(ReadFile(DefaultPath()), "NCFile version 1\nn\nu\n\nhttp://h/\n\n");
}

TEST_F(NinshoCenterFile, RemovalIsSaved)
{
    {
        CNinshoCenter store(SetupAt(0));
        int index = -1;
        store.Add(Record("http://h/a/", "u", "p"), index);
        store.Add(Record("http://h/b/", "u", "q"), index);
    }
    {
        CNinshoCenter store(SetupAt(0));
        ASSERT_EQ(store.GetCount(), 2);
        EXPECT_EQ(store.RemoveAt(0), 0);
    }
    CNinshoCenter store(SetupAt(0));
    EXPECT_EQ(Keys(store), std::vector<std::string>{"http://h/b/"});
}

TEST_F(NinshoCenterFile, SavesAtDifferentSecondsReadTheSame)
{
    std::string first;
    for (const std::int64_t now : {100, 101}) {
        {
            CNinshoCenter store(SetupAt(now));
            int index = -1;
            store.Add(Record("http://h/", "u", "\xe3\x83\x91 x"), index);
        }
        const std::string text = ReadFile(DefaultPath());
        if (first.empty())
            first = text;
        else
            EXPECT_NE(text, first);
        CNinshoCenter loaded(SetupAt(0));
        ASSERT_EQ(loaded.GetCount(), 1);
        EXPECT_EQ(loaded.GetAt(0).GetPassword(), "\xe3\x83\x91 x");
    }
}

TEST_F(NinshoCenterFile, FileIsWrittenWhenTheRegistryKeyDidNotOpen)
{
    {
        CNinshoCenter::Setup s = SetupAt(0);
        s.registry = std::make_unique<CTavinRegKey>("Software\\Tavin\\NoSuchKey", true);
        ASSERT_FALSE(s.registry->IsOpen());
        s.dataFolder = env_.makeFolder("elsewhere");
        CNinshoCenter store(std::move(s));
        int index = -1;
        store.Add(Record("http://h/", "u", "p"), index);
        EXPECT_EQ(store.Save(), 0);
        EXPECT_FALSE(store.IsModified());
    }
    EXPECT_TRUE(FileExists(env_.root() + "/elsewhere/NinshoCenter.dat"));
    EXPECT_EQ(Location(), "");
}

TEST_F(NinshoCenterFile, BadHeaderIsKeptAsACopyAndNeverFinds)
{
    const std::string bad = "NCFile\r\nnot ours\r\n";
    WriteFile(DefaultPath(), bad);
    CTavinRegKey(CNinshoCenter::kRegistryKey).SetString("Location", DefaultPath());
    {
        CNinshoCenter store(SetupAt(0));
        EXPECT_FALSE(store.IsUsable());
        EXPECT_EQ(store.GetCount(), 0);
        int index = -1;
        EXPECT_EQ(store.Add(Record("http://h/", "u", "p"), index), 1);
        CAuthRecord q;
        q.SetPageUrl("http://h/a.jpg");
        EXPECT_EQ(store.FindForUrl(q), -1);
    }
    EXPECT_EQ(ReadFile(DefaultPath() + ".bad"), bad);
    struct stat st = {};
    ASSERT_EQ(::stat((DefaultPath() + ".bad").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    CNinshoCenter store(SetupAt(0));
    EXPECT_TRUE(store.IsUsable());
    EXPECT_EQ(store.GetCount(), 1);
}

TEST_F(NinshoCenterFile, LocationThatIsNoFileIsNeverReplaced)
{
    const std::string folder = env_.makeFolder("a-folder");
    CTavinRegKey(CNinshoCenter::kRegistryKey).SetString("Location", folder);
    CNinshoCenter store(SetupAt(0));
    EXPECT_TRUE(store.IsUsable());
    int index = -1;
    store.Add(Record("http://h/", "u", "p"), index);
    EXPECT_EQ(store.Save(), 1);
    struct stat st = {};
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
}

TEST_F(NinshoCenterFile, MissingFileAtLocationGivesAnEmptyUsableStore)
{
    CTavinRegKey(CNinshoCenter::kRegistryKey).SetString("Location", env_.root() + "/gone/NinshoCenter.dat");
    CNinshoCenter store(SetupAt(0));
    EXPECT_TRUE(store.IsUsable());
    EXPECT_EQ(store.GetCount(), 0);
    EXPECT_EQ(store.GetDataFilePath(), env_.root() + "/gone/NinshoCenter.dat");
}

TEST(NinshoCenterThreads, LookupsInsertsAndRemovalsAtOnce)
{
    CNinshoCenter store{CNinshoCenter::InMemory{}};
    constexpr int kWriters = 3;
    constexpr int kPerWriter = 300;
    std::atomic<int> inserted{0};
    std::atomic<int> removed{0};
    std::atomic<int> writing{kWriters};
    std::vector<std::thread> threads;
    for (int w = 0; w < kWriters; ++w) {
        threads.emplace_back([&, w] {
            for (int i = 0; i < kPerWriter; ++i) {
                int index = -1;
                if (store.Add(Record("http://h/" + std::to_string(w) + "/" + std::to_string(i) + "/", "u", "p"),
                              index) == 1)
                    inserted.fetch_add(1);
            }
            writing.fetch_sub(1);
        });
    }
    threads.emplace_back([&] {
        while (writing.load() > 0) {
            if (store.GetCount() > 50 && store.RemoveAt(0) == 0)
                removed.fetch_add(1);
        }
    });
    for (int r = 0; r < 2; ++r) {
        threads.emplace_back([&] {
            while (writing.load() > 0) {
                CAuthRecord q;
                q.SetPageUrl("http://h/1/5/x.jpg");
                if (store.FindForUrl(q) == 0) {
                    EXPECT_TRUE(q.GetSiteUrl() == "http://h/" || q.GetSiteUrl() == "http://h/1/" ||
                                q.GetSiteUrl() == "http://h/1/5/")
                        << q.GetSiteUrl();
                }
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
    CAuthRecord q;
    q.SetPageUrl("http://h/2/99/x.jpg");
    ASSERT_EQ(store.FindForUrl(q), 0);
    EXPECT_EQ(q.GetSiteUrl(), "http://h/2/99/");
}

TEST(NinshoCenterThreads, SavesWhileOthersInsert)
{
    TempEnv env;
    CNinshoCenter store;
    std::thread writer([&store] {
        for (int i = 0; i < 200; ++i) {
            int index = -1;
            store.Add(Record("http://h/" + std::to_string(i) + "/", "u", "p"), index);
        }
    });
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(store.Save(), 0);
    writer.join();
    EXPECT_EQ(store.Save(), 0);
    CNinshoCenter loaded;
    EXPECT_EQ(loaded.GetCount(), 200);
}

} // namespace
} // namespace pelldra
