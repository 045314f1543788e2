// Tests of the credentials: the record and its scrambled password, lookup by URL, login, the data file, the store.

#include "core/credentials/auth_record.h"
#include "core/credentials/credential_lookup.h"
#include "core/credentials/login.h"
#include "core/credentials/ninsho_center.h"
#include "core/credentials/ninsho_file.h"
#include "core/credentials/scramble.h"
#include "core/registry/app_registry.h"
#include "core/registry/credential_values.h"
#include "core/registry/tavin_reg_key.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <ctime>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "support/temp_env.h"

namespace pelldra {
namespace {

CAuthRecord Record(const std::string& key, const std::string& user, const std::string& pass,
                   const std::string& name = "", const std::string& page = "")
{
    CAuthRecord r;
    r.SetSiteName(name);
    r.SetPageUrl(page);
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

// The keys in order, without "http://h".
std::vector<std::string> Keys(const std::vector<CAuthRecord>& records)
{
    std::vector<std::string> keys;
    for (const CAuthRecord& r : records)
        keys.push_back(r.GetSiteUrl().substr(8));
    return keys;
}

std::vector<std::string> Keys(const CNinshoCenter& store)
{
    std::vector<CAuthRecord> records;
    for (int i = 0; i < store.GetCount(); ++i)
        records.push_back(store.GetAt(i));
    return Keys(records);
}

unsigned ModeOf(const std::string& path)
{
    struct stat st = {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 0777 : 0;
}

using namespace std::string_literals;

const std::string kHeader = "NCFile version 1\r\n";

std::string Group(const std::string& name, const std::string& user, const std::string& pass, const std::string& site,
                  const std::string& page, const char* eol = "\r\n")
{
    return name + eol + user + eol + ScramblePassword(pass, 5) + eol + site + eol + page + eol;
}

TEST(AuthRecord, PlainSettersTrimAndKeepOneLineAndThePasswordIsKeptAsGivenUpToItsBound)
{
    const std::string longAscii(1500, 'a');
    // Three-byte characters: the 1022-byte cut falls inside one, which must go whole.
    std::string longUtf8;
    for (int i = 0; i < 400; ++i)
        longUtf8 += "\xe3\x81\x82"; // あ
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        {" \t user \r\n", "user"}, {" \r\n\t ", ""}, {"first\r\nsecond", "first"}, {"\nvalue", "value"},
        {"first \nsecond", "first"}, // a blank left before the cut goes too
        {std::string("ab\0cd", 5), "ab"}, {std::string("\0ab", 3), ""}, {"ユーザー", "ユーザー"},
        {longAscii, longAscii.substr(0, 1022)}, {longUtf8, longUtf8.substr(0, 1020)}};
    // clang-format on
    for (const auto& [in, out] : cases) {
        const CAuthRecord r = Record(in, in, "", in, in);
        for (const std::string& got : {r.GetSiteName(), r.GetSiteUrl(), r.GetUserId(), r.GetPageUrl()})
            EXPECT_EQ(got, out) << in;
    }
    // The password is kept as given, up to its bound.
    CAuthRecord r;
    r.SetPassword(" pass word \t");
    EXPECT_EQ(r.GetPassword(), " pass word \t");
    r.SetPassword(std::string("a\nb\0c", 5));
    EXPECT_EQ(r.GetPassword(), std::string("a\nb\0c", 5));
    r.SetPassword(std::string(500, 'x'));
    EXPECT_EQ(r.GetPassword().size(), CAuthRecord::kMaxPasswordBytes);
    // Even the worst case of the bound must fit the file's line after scrambling.
    r.SetPassword(std::string(500, '\xff'));
    EXPECT_LE(ScramblePassword(r.GetPassword(), 0).size(), CAuthRecord::kMaxValueBytes);
}

TEST(Scramble, KnownOutputAndRoundTripsAtManyClockValues)
{
    // Start key 32 (a blank, encoded "+"), then 'a' + 32; start key 57 ('9') wraps to 32 for the second byte.
    EXPECT_EQ(ScramblePassword("a", 0), "+%81");
    EXPECT_EQ(ScramblePassword("a", 26), "+%81");
    EXPECT_EQ(ScramblePassword("ab", 25), "9%9a%82");
    EXPECT_EQ(UnscramblePassword("  9%9a%82 \r\n"), "ab");
    EXPECT_NE(ScramblePassword("same", 3), ScramblePassword("same", 4));

    std::string everyByte;
    for (int b = 0; b < 256; ++b)
        everyByte += static_cast<char>(b);
    const std::string texts[] = {"", " leading space", "trailing ", "パスワード", "\x80\xff\xfe\x81", everyByte};
    const char* const safe = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_+%";
    for (const std::int64_t now : {0L, 1L, 25L, 26L, 27L, 51L, 1700000013L, -1L, -27L, INT64_MAX}) {
        for (const std::string& t : texts) {
            const std::string s = ScramblePassword(t, now);
            EXPECT_EQ(s.find_first_not_of(safe), std::string::npos) << s;
            EXPECT_EQ(UnscramblePassword(s), t) << "at " << now;
        }
    }
}

using Pairs = std::vector<std::pair<std::string, std::string>>; // key, user

TEST(CredentialLookup, DescentAndRepeatedLookups)
{
    // What the case shows, the records (in key order, as the store keeps them), the URL looked up, then the key and
    // user of the first answer and of each repeat with the key given before ("": not found). Every field of an answer
    // is the answering record's, only the key is the matching prefix. The credentials_lookup fuzz target checks
    // every lookup against a plain recursive form; its seeds hold the finer cases.
    const Pairs none = {{"", ""}};
    const auto full = [](const std::string& s) { return s.starts_with('/') ? "http://h" + s : s; };
    // clang-format off
    const std::tuple<const char*, Pairs, std::string, Pairs> cases[] = {
        {"deepest record wins, repeats climb to the host", {{"/a/", "ua"}, {"/a/b/", "ub"}}, "/a/b/c.jpg",
         {{"/a/b/", "ub"}, {"/a/", "ua"}, {"/", "ua"}, {"/", "ua"}}},
        {"a deeper record answers a shallower URL under the prefix they share", {{"/a/b/", "ub"}}, "/a/c.jpg",
         {{"/a/", "ub"}, {"/", "ub"}}},
        {"the server part without its slash is never a key", {{"http://h", "u"}}, "/a/c.jpg", none},
        {"first record under the host, not the nearest", {{"/a/", "ua"}, {"/b/", "ub"}}, "/c/x.jpg", {{"/", "ua"}}},
        {"https", {{"https://h/a/", "u"}}, "https://h/a/x.jpg", {{"https://h/a/", "u"}}},
        {"ftp", {{"ftp://h/a/", "u"}}, "ftp://h/a/x.jpg", none}};
    // clang-format on
    for (const auto& [what, stored, url, steps] : cases) {
        std::vector<CAuthRecord> records;
        for (const auto& [key, user] : stored)
            records.push_back(Record(full(key), user, "pw-" + user, "name of " + key, full(key) + "index.html"));
        std::string previous;
        for (const auto& [key, user] : steps) {
            SCOPED_TRACE(std::string(what) + ", after '" + previous + "'");
            CAuthRecord query = Record(previous, "", "", "", full(url)), want = query;
            for (const CAuthRecord& r : records)
                if (r.GetUserId() == user)
                    want = Record(full(key), user, r.GetPassword(), r.GetSiteName(), r.GetPageUrl());
            EXPECT_EQ(FindCredential(records, query), key.empty() ? -1 : 0);
            EXPECT_EQ(query, want);
            previous = query.GetSiteUrl();
        }
    }
}

TEST(Login, AnswersOfTheLoginAndThePasswordChangeAndWhatTheWindowDoesAtStart)
{
    const LoginValues setup{"", "old"}, taro{"taro", "pw"};
    // The stored login; user, password and confirmation as typed; accepted; the message.
    // clang-format off
    const std::tuple<LoginValues, const char*, const char*, const char*, bool, std::string> logins[] = {
        {setup, "", "a", "a", false, ""}, {setup, "hana", "a", "b", false, kLoginConfirmationDiffers},
        {setup, "hana", "a", "a", true, ""}, {setup, "hana", "", "", true, ""}, {taro, "", "pw", "", false, ""},
        {taro, "Taro", "pw", "", false, ""}, // another user: not a word
        {taro, "taro", "PW", "", false, "ユーザー[taro]のパスワードが正しくありません"},
        {taro, "taro", "pw", "other", true, ""}}; // the confirmation counts in setup mode only
    // clang-format on
    for (const auto& [stored, user, password, confirmation, accepted, message] : logins) {
        const DialogCheck check = CheckLogin(stored, user, password, confirmation);
        EXPECT_EQ(std::pair(check.accepted, check.message), std::pair(accepted, message)) << user << " " << password;
    }
    // Current, new and confirmed password as typed, the message ("" accepts).
    const std::tuple<const char*, const char*, const char*, std::string> changes[] = {
        {"pw ", "new", "new", kCurrentPasswordWrong},
        {"pw", "new", "New", kNewPasswordDiffers},
        {"pw", "new", "new", ""},
        {"pw", "", "", ""}};
    for (const auto& [current, next, confirmation, message] : changes) {
        const DialogCheck check = CheckPasswordChange("pw", current, next, confirmation);
        EXPECT_EQ(std::pair(check.accepted, check.message), std::pair(message.empty(), message)) << current << next;
    }
    using S = StartCredentials;
    // Manager used, confirmation at start, a login user defined; what the window does.
    const std::tuple<bool, bool, bool, S> cases[] = {{false, true, true, S::Leave},
                                                     {true, false, true, S::Open},
                                                     {true, true, true, S::OpenAfterLogin},
                                                     {true, true, false, S::SwitchOff},
                                                     {true, false, false, S::SwitchOff}};
    for (const auto& [use, confirm, hasUser, step] : cases)
        EXPECT_EQ(CredentialsAtStart(use, confirm, hasUser), step) << use << confirm << hasUser;
}

TEST(NinshoFile, HeaderAndGroups)
{
    const std::string g1 = Group("one", "u", "p", "http://h/a/", "http://h/a/1.jpg");
    const std::string g2 = Group("two", "u", "q", "http://h/b/", "http://h/b/1.jpg");
    const std::vector<std::string> a = {"/a/"}, ab = {"/a/", "/b/"};
    // What the file is, its bytes, whether its header is good, the keys read.
    // clang-format off
    const std::tuple<const char*, std::string, bool, std::vector<std::string>> cases[] = {
        {"empty file", "", true, {}}, {"header only", kHeader, true, {}},
        {"other version", "NCFile version 7\r\n" + g1, true, a}, {"no number", "NCFile version\n" + g1, true, a},
        {"short header", "NCFile\r\n" + g1, false, {}}, {"blank first line", "\r\n" + g1, false, {}},
        {"header cut by NUL", "NCFile\0version 1\r\n"s + g1, false, {}},
        {"seven lines", kHeader + g1 + "x\r\ny\r\n", true, a},
        {"no final line end", kHeader + g1 + g2.substr(0, g2.size() - 2), true, ab},
        {"LF only", "NCFile version 1\n" + Group("one", "u", "p", "http://h/a/", "", "\n"), true, a},
        {"empty site URL skipped", kHeader + Group("n", "u", "p", "", "x") + g1, true, a}};
    // clang-format on
    for (const auto& [what, bytes, headerOk, keys] : cases) {
        const NinshoFileContents got = ParseNinshoFile(bytes);
        EXPECT_EQ(got.headerOk, headerOk) << what;
        EXPECT_EQ(Keys(got.records), keys) << what;
    }
}

TEST(NinshoFile, LinesAreReadThroughA1024ByteBufferNulEndsAValueAndTheLastOfAKeyStays)
{
    // 1022 bytes fit before CR LF; a longer line arrives in pieces, and the line end that did not fit is read as the
    // user's line, shifting the fields after it. A general key for the same login takes a specific one's place.
    const std::string fits(1022, 'n');
    const std::pair<std::string, std::vector<CAuthRecord>> cases[] = {
        {Group(fits, "u", "p", "http://h/", ""), {Record("http://h/", "u", "p", fits)}},
        {fits + "n\r\nu\r\nhttp://h/\r\np\r\n", {Record("http://h/", "", "", fits, "p")}},
        {"na\0me\r\nu\r\n\r\nhttp://h/\0junk\r\np\r\n"s, {Record("http://h/", "u", "", "na", "p")}},
        {Group("first", "u", "p", "http://h/a/", "") + Group("second", "v", "q", "http://h/a/", "") +
             Group("deep", "w", "r", "http://h/x/y/", "") + Group("general", "w", "r", "http://h/x/", ""),
         {Record("http://h/a/", "v", "q", "second"), Record("http://h/x/", "w", "r", "general")}}};
    for (const auto& [lines, records] : cases)
        EXPECT_EQ(ParseNinshoFile(kHeader + lines).records, records);
}

TEST(NinshoFile, FormatIsExact)
{
    EXPECT_EQ(FormatNinshoFile({Record("http://h/", "user", "ab", "サイト"), Record("http://i/", "", "")}, 25),
              kHeader + "サイト\r\nuser\r\n9%9a%82\r\nhttp://h/\r\n\r\n\r\n\r\n\r\nhttp://i/\r\n\r\n");
}

TEST(NinshoFile, HundredThousandRecordsInReverseOrderLoadQuickly)
{
    const auto timeToLoad = [](int count) {
        std::string file = kHeader;
        for (int i = count; i > 0; --i)
            file += "n\r\nu\r\n\r\nhttp://h/" + std::to_string(i) + "/\r\n\r\n";
        // CPU time of this thread, so that a busy machine does not count against the parser.
        timespec start{}, end{};
        ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
        const NinshoFileContents got = ParseNinshoFile(file);
        ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
        EXPECT_EQ(got.records.size(), static_cast<size_t>(count));
        EXPECT_EQ(got.records.front().GetSiteUrl(), "http://h/1/");
        return static_cast<double>(end.tv_sec - start.tv_sec) + static_cast<double>(end.tv_nsec - start.tv_nsec) * 1e-9;
    };
    const double tSmall = timeToLoad(10000);
    const double tLarge = timeToLoad(100000);
    // Ten times the records: a little over ten times the work. Shifting the array on every insert would make it 100.
    EXPECT_LT(tLarge, 40 * tSmall + 0.05) << tSmall << " s, then " << tLarge << " s";
}

TEST(NinshoCenter, SortedInsert)
{
    using KeyList = std::vector<std::string>;
    // What the case shows, the records before, the one added, Add's result and index, the keys after.
    const std::tuple<const char*, KeyList, std::string, int, int, KeyList> cases[] = {
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
    for (const auto& [what, before, added, result, at, after] : cases) {
        SCOPED_TRACE(what);
        CNinshoCenter store{CNinshoCenter::InMemory{}};
        for (const std::string& r : before)
            Add(store, RecordOf(r));
        int index = -1;
        EXPECT_EQ(store.Add(RecordOf(added), index), result);
        EXPECT_EQ(index, at);
        EXPECT_EQ(Keys(store), after);
        EXPECT_EQ(store.GetAt(index), RecordOf(added));
        EXPECT_TRUE(store.IsModified());
    }
}

TEST(NinshoCenter, ALearnedLoginReplacesOnlyWhatItKnowsAndRefusalsChangeNothing)
{
    // A login accepted for a more general key takes the record's place, but the name and page it had stay.
    CNinshoCenter store{CNinshoCenter::InMemory{}};
    Add(store, Record("http://h/a/", "u", "q", "mine", "http://h/a/1.jpg"));
    int index = 7;
    EXPECT_EQ(store.AddLearned(RecordOf("/ u q"), index), 0);
    EXPECT_EQ(store.GetAt(index), Record("http://h/", "u", "q", "mine", "http://h/a/1.jpg"));
    index = 7;
    EXPECT_EQ(store.Add(Record("  \r\n", "u", "p"), index), -1);
    EXPECT_EQ(index, 7);
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

    test::TempEnv env_;
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
    EXPECT_EQ(test::ReadFile(DefaultPath()), text);
    ASSERT_EQ(::chmod(DefaultPath().c_str(), 0644), 0); // as an older version left it
    {
        CNinshoCenter again(SetupAt(1)); // another clock: a needless save would change the bytes
        EXPECT_EQ(ModeOf(DefaultPath()), 0600u);
        EXPECT_EQ(again.GetAt(0), Record("http://h/", "user", " pass", "サイト")); // the leading space survives
        EXPECT_EQ(again.GetCount(), 1);
        EXPECT_EQ(Find(again, "http://h/x"), "http://h/");
        EXPECT_FALSE(again.IsModified());
    }
    EXPECT_EQ(test::ReadFile(DefaultPath()), text);
    {
        CNinshoCenter store(SetupAt(101));
        Add(store, Record("http://h/b/", "u", "\xe3\x83\x91 x"));
        EXPECT_EQ(store.RemoveAt(0), 0);
    }
    CNinshoCenter store(SetupAt(0));
    ASSERT_EQ(Keys(store), std::vector<std::string>{"/b/"});
    EXPECT_EQ(store.GetAt(0).GetPassword(), "\xe3\x83\x91 x");
}

TEST_F(NinshoCenterFile, ASaveKeepsWhatAnotherProgramSavedSinceTheLoad)
{
    {
        CNinshoCenter first(SetupAt(0));
        Add(first, RecordOf("/a/ u p"));
        Add(first, RecordOf("/gone/ u p"));
    }
    CNinshoCenter window(SetupAt(0));
    {
        CNinshoCenter commandLine(SetupAt(0)); // pelldra-get --store, say, while the window keeps its store open
        Add(commandLine, RecordOf("/b/ u p"));
    }
    Add(window, RecordOf("/c/ u p"));
    EXPECT_EQ(window.RemoveSiteUrl("http://h/gone/"), 0);
    EXPECT_EQ(window.Save(), 0);
    EXPECT_EQ(Keys(window), (std::vector<std::string>{"/a/", "/b/", "/c/"}));
    EXPECT_EQ(Keys(CNinshoCenter(SetupAt(0))), Keys(window));
}

TEST_F(NinshoCenterFile, ProgramsSavingAtOnceLoseNoRecord)
{
    CNinshoCenter(SetupAt(0)).Save(); // the file whose lock they share
    constexpr int kPrograms = 2, kEach = 40;
    std::vector<std::thread> programs;
    for (int p = 0; p < kPrograms; ++p) {
        programs.emplace_back([this, p] {
            CNinshoCenter store(SetupAt(0));
            for (int i = 0; i < kEach; ++i) {
                Add(store, RecordOf("/" + std::to_string(p) + "/" + std::to_string(i) + "/ u p"));
                EXPECT_EQ(store.Save(), 0);
            }
        });
    }
    for (std::thread& t : programs)
        t.join();
    EXPECT_EQ(CNinshoCenter(SetupAt(0)).GetCount(), kPrograms * kEach);
}

TEST_F(NinshoCenterFile, BadHeaderIsKeptAsACopyAndNeverFinds)
{
    const std::string bad = "NCFile\r\nnot ours\r\n";
    test::WriteFile(DefaultPath(), bad);
    Key().SetString("Location", DefaultPath());
    {
        CNinshoCenter store(SetupAt(0));
        EXPECT_FALSE(store.IsUsable());
        EXPECT_EQ(store.GetCount(), 0);
        EXPECT_EQ(Add(store, RecordOf("/ u p")), 1);
        EXPECT_EQ(Find(store, "http://h/a.jpg"), "");
    }
    EXPECT_EQ(test::ReadFile(DefaultPath() + ".bad"), bad);
    EXPECT_EQ(ModeOf(DefaultPath() + ".bad"), 0600u);
    CNinshoCenter store(SetupAt(0));
    EXPECT_TRUE(store.IsUsable());
    EXPECT_EQ(store.GetCount(), 1);
}

TEST_F(NinshoCenterFile, LocationWhenTheKeyDidNotOpenIsAFolderIsMissingOrIsRelative)
{
    {
        // Written even when the registry key did not open, and then not recorded.
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

    // A location that is no file is never replaced.
    const std::string folder = env_.makeFolder("a-folder");
    Key().SetString("Location", folder);
    {
        CNinshoCenter store(SetupAt(0));
        EXPECT_TRUE(store.IsUsable());
        Add(store, RecordOf("/ u p"));
        EXPECT_EQ(store.Save(), 1);
    }
    EXPECT_TRUE(std::filesystem::is_directory(folder));

    // A missing one is an empty store.
    Key().SetString("Location", env_.root() + "/gone/NinshoCenter.dat");
    CNinshoCenter store(SetupAt(0));
    EXPECT_TRUE(store.IsUsable());
    EXPECT_EQ(store.GetCount(), 0);
    EXPECT_EQ(store.GetDataFilePath(), env_.root() + "/gone/NinshoCenter.dat");

    // A relative one is in the data folder, whatever folder the program started in.
    Key().SetString("Location", "mine.dat");
    EXPECT_EQ(CNinshoCenter(SetupAt(0)).GetDataFilePath(), env_.dataFolder() + "/mine.dat");
}

TEST(NinshoCenterThreads, LookupsInsertsRemovalsAndSavesAtOnce)
{
    test::TempEnv env;
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
            EXPECT_TRUE(saves++ >= 5 || store.Save() == 0);
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
