// The settings file: its byte items, the written file, every older version and block, the files on disk; the detail
// dialog's form.

#include "core/platform/folders.h"
#include "core/queue/queue_item.h"
#include "core/settings/archive.h"
#include "core/settings/detail_form.h"
#include "core/settings/settings_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <tuple>

#include "support/temp_env.h"

namespace pelldra {
namespace {

// The values of the written seed file: every one differs from its default.
StoredSettings Written()
{
    StoredSettings s;
    s.url = "http://example.jp/写真/img07.jpg";
    s.folder = "/tmp/ダウンロード";
    s.appText = "app";
    DetailSettings& d = s.detail;
    d.BossKey = d.SameFolderAsLinkScout = d.UseProxy = d.NoProxyForLocal = d.UseCache = d.WholeSequence = 1;
    d.AcceptOtherFile = d.assumeFixedDigits = d.UseCredentialManager = d.ConfirmUserAtStart = d.RecordPassword = 1;
    d.Referer = "http://example.jp/index07.html", d.ProxyHost = "proxy.example", d.ProxyPort = "8080";
    d.Browser = kBrowserFireFox, d.Speed = 3, d.Reserved = 9, d.syncFlags = 3, d.NoUpdateLinks = 0;
    d.AuthUser = "ユーザー", d.AuthPassword = "秘密";
    s.FixedWidth = 4;
    s.jobMode = JobMode::List;
    return s;
}

TEST(Archive, TextLengthPrefixesChangeAt255And65535)
{
    const std::pair<size_t, std::string> cases[] = {{254, "\xFE"},
                                                    {255, std::string("\xFF\xFF\x00", 3)},
                                                    {65534, "\xFF\xFE\xFF"},
                                                    {65535, std::string("\xFF\xFF\xFF\xFF\xFF\x00\x00", 7)}};
    for (const auto& [length, prefix] : cases) {
        ArchiveWriter w;
        w.Text(std::string(length, 'a'));
        EXPECT_EQ(w.bytes(), prefix + std::string(length, 'a')) << length;
        std::string text;
        EXPECT_TRUE(ArchiveReader(w.bytes()).Text(text) && text.size() == length) << length;
    }
}

TEST(SettingsFile, WritesVersion5WithBlock7)
{
    const std::string golden = test::ReadFile(std::string(SETTINGS_SEEDS) + "/written_v5");
    EXPECT_EQ(FormatSettings(Written()), golden);
    EXPECT_EQ(ParseSettings(golden), Written());

    // Without 記録 only the password is lost; a damaged width or mode comes back as the default.
    StoredSettings s = Written();
    s.detail.RecordPassword = 0, s.FixedWidth = kMaxStoredWidth + 1, s.jobMode = static_cast<JobMode>(5);
    const StoredSettings back = ParseSettings(FormatSettings(s));
    s.detail.AuthPassword = "", s.FixedWidth = 2, s.jobMode = JobMode::Sequential;
    EXPECT_EQ(back, s);
}

// A file of a version (9: one not known) whose detail block begins with blockFirst, its other values fixed.
std::string FileOfVersion(int version, int blockFirst, int item16)
{
    ArchiveWriter w;
    const auto credentials = [&] { w.Int(1), w.Text("user"), w.Text("pw"); };
    w.Text("http://h/1.jpg"), w.Text("/f");
    if (version == 1) {
        w.Text("first"), w.Int(0), credentials(), w.Int(0), w.Text("a*.jpg"), w.Int(3), w.Int(1), w.Int(1);
        w.Text("old"), w.Text("ref"), w.Int(kBrowserNetscape), w.Text("01"), w.Text("2x");
        return w.bytes();
    }
    w.Text("File version " + std::to_string(version) + ".00"), w.Text("app");
    if (version > 5)
        return w.bytes();
    w.Int(blockFirst);
    if (blockFirst >= 2)
        w.Int(1);
    w.Int(1), w.Text("ref"), w.Int(1), w.Text("px"), w.Text("80"), w.Int(1), w.Int(1);
    if (blockFirst >= 3)
        w.Int(kBrowserFireFox), w.Int(0);
    if (blockFirst >= 4)
        w.Int(3), w.Int(1), w.Int(1), w.Int(9), w.Int(item16);
    if (blockFirst >= 5)
        w.Int(0);
    if (blockFirst >= 7)
        w.Int(1), w.Int(1), w.Text("u"), w.Int(1), w.Text("p"), w.Int(kBrowserFireFox);
    if (version == 5) {
        w.Int(1), w.Int(3), w.Int(static_cast<int32_t>(JobMode::List));
    } else if (version == 4) {
        w.Int(0), credentials(), w.Int(kBrowserNetscape), w.Int(3), w.Int(static_cast<int32_t>(JobMode::List));
    } else {
        w.Text("01"), w.Text("2x"), w.Int(0), credentials(), w.Text("a*.jpg"), w.Int(3), w.Text("old");
        w.Int(kBrowserNetscape);
        if (version == 3)
            w.Int(static_cast<int32_t>(JobMode::List));
    }
    return w.bytes();
}

TEST(SettingsFile, ReadsEveryOlderVersionAndBlock)
{
    const struct
    {
        int file, blockFirst, item16, bossKey, browser, whole, speed, sync, noUpdateLinks;
        JobMode jobMode;
        const char* user; // from the file up to version 4, from the block since its version 7
        const char* pass;
    } cases[] = {
        // The oldest block: its first integer is the boss key.
        {5, 0, 0, 0, kBrowserMsie, 1, 0, 3, 1, JobMode::List, "", ""},
        {5, 1, 0, 1, kBrowserMsie, 1, 0, 3, 1, JobMode::List, "", ""},
        {5, 2, 0, 1, kBrowserMsie, 1, 0, 3, 1, JobMode::List, "", ""},
        {5, 3, 0, 1, kBrowserFireFox, 0, 0, 3, 1, JobMode::List, "", ""},
        {5, 4, 1, 1, kBrowserFireFox, 0, 3, 0, 1, JobMode::List, "", ""},
        {5, 5, 0, 1, kBrowserFireFox, 0, 3, 3, 0, JobMode::List, "", ""}, // item 16 was a "no sync" flag
        {5, 5, 1, 1, kBrowserFireFox, 0, 3, 0, 0, JobMode::List, "", ""},
        {5, 6, 2, 1, kBrowserFireFox, 0, 3, 2, 0, JobMode::List, "", ""}, // from here it is the sync flags
        {5, 7, 1, 1, kBrowserFireFox, 0, 3, 1, 0, JobMode::List, "u", "p"},
        {4, 5, 1, 1, kBrowserNetscape, 0, 3, 0, 0, JobMode::List, "user", "pw"},
        {3, 4, 1, 1, kBrowserNetscape, 0, 3, 0, 1, JobMode::List, "user", "pw"},
        {2, 2, 0, 1, kBrowserNetscape, 1, 0, 3, 1, JobMode::Sequential, "user", "pw"},
        {1, 0, 0, 1, kBrowserNetscape, 0, 2, 0, 1, JobMode::Sequential, "user", "pw"},
        {9, 0, 0, 0, kBrowserPelldra, 0, 2, 0, 1, JobMode::Sequential, "", ""}, // stops after the version line
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.file << " " << c.blockFirst << "/" << c.item16);
        StoredSettings e;
        e.url = "http://h/1.jpg", e.folder = "/f";
        DetailSettings& d = e.detail;
        if (c.file > 1 && c.file <= 5) {
            const int later = c.blockFirst >= 4;
            d = {c.bossKey, 1, "ref", 1, "px", "80", 1, 1, 0, 0, 0, later, later, 9 * later, 0, 0, 0, 0, "", 0, ""};
            e.appText = "app";
        } else if (c.file == 1) {
            d.BossKey = d.SameFolderAsLinkScout = 1, d.Referer = "ref";
        }
        if (c.file <= 5)
            e.FixedWidth = 3, d.RecordPassword = 1;
        if (c.file <= 3)
            e.lowerFrom = "01", e.saveName = "a*.jpg";
        d.Browser = c.browser, d.WholeSequence = c.whole, d.Speed = c.speed, d.syncFlags = c.sync;
        d.NoUpdateLinks = c.noUpdateLinks, e.jobMode = c.jobMode;
        d.AuthUser = c.user, d.AuthPassword = c.pass;
        d.UseCredentialManager = d.ConfirmUserAtStart = c.blockFirst == 7;
        EXPECT_EQ(ParseSettings(FileOfVersion(c.file, c.blockFirst, c.item16)), e);
    }
}

TEST(SettingsFile, OlderFileInCodePage932IsConvertedWhole)
{
    const StoredSettings s = ParseSettings(test::ReadFile(std::string(SETTINGS_SEEDS) + "/older_v3_cp932"));
    EXPECT_EQ(s.detail.AuthUser, "ユーザー");
    EXPECT_EQ(s.saveName, "写真*.jpg");
}

TEST(SettingsFile, FilesArePrivateAndAStoredFolderThatIsGoneComesBackAsHome)
{
    test::TempEnv env;
    // Missing, or a FIFO that would block the start: the defaults.
    EXPECT_EQ(LoadSettingsFile(SettingsFilePath()), StoredSettings{});
    ASSERT_EQ(::mkfifo(SettingsFilePath().c_str(), 0600), 0);
    EXPECT_EQ(LoadSettingsFile(SettingsFilePath()), StoredSettings{});
    StoredSettings s = Written();
    s.folder = env.makeFolder("kept");
    ASSERT_EQ(SaveSettingsFile(SettingsFilePath(), s), 0);
    CQueueItem kept;
    kept.Fol = "/tmp/caf\xE9"; // Latin-1, not UTF-8: must not be taken for CP932
    ASSERT_EQ(SaveKeptOrder(KeptOrderFilePath(), kept), 0);
    CQueueItem back;
    ASSERT_TRUE(LoadKeptOrder(KeptOrderFilePath(), back));
    EXPECT_EQ(back.Fol, kept.Fol);
    for (const std::string& path : {SettingsFilePath(), KeptOrderFilePath()}) {
        struct stat st = {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u) << path;
    }
    EXPECT_EQ(LoadSettingsFile(SettingsFilePath()), s);

    s.folder = *s.folder + "/gone";
    ASSERT_EQ(SaveSettingsFile(SettingsFilePath(), s), 0);
    EXPECT_EQ(LoadSettingsFile(SettingsFilePath()).folder, GetHomeFolder());
    EXPECT_FALSE(test::FileExists(SettingsFilePath() + ".bad"));

    // A newer version's file would be overwritten at exit: it is kept beside.
    const std::string newer = FormatSettings(s).replace(FormatSettings(s).find("5.00"), 4, "6.00");
    ASSERT_TRUE(test::WriteFile(SettingsFilePath(), newer));
    EXPECT_EQ(LoadSettingsFile(SettingsFilePath()).detail, StoredSettings{}.detail);
    EXPECT_EQ(test::ReadFile(SettingsFilePath() + ".bad"), newer);
}

TEST(DetailForm, ShowsOnlyChoicesItsButtonsHave)
{
    // Browser, speed, credentials manager in use, its store open; the browser, speed and manager use shown.
    const std::tuple<int, int, int, bool, int, int, bool> rows[] = {
        {kBrowserFireFox, 3, 1, true, kBrowserFireFox, 3, true},
        {kBrowserMsie, 1, 1, false, kBrowserMsie, 1, false}, // the manager's store is closed: not in use
        {7, 0, 0, true, kBrowserPelldra, 2, false},          // an old file's speed 0, a damaged browser
        {-1, 9, 0, false, kBrowserPelldra, 2, false}};
    for (const auto& [browser, speed, useManager, storeOpen, shownBrowser, shownSpeed, shownManager] : rows) {
        DetailSettings s;
        s.Browser = browser, s.Speed = speed, s.UseCredentialManager = useManager;
        const DetailForm f = FormOf(s, storeOpen);
        EXPECT_EQ(f.browser, shownBrowser) << browser;
        EXPECT_EQ(f.speed, shownSpeed) << speed;
        EXPECT_EQ(f.useCredentialManager, shownManager) << useManager << storeOpen;
    }
}

TEST(DetailForm, ProxyAndCredentialsControlsFollowTheirSwitches)
{
    DetailForm f;
    EXPECT_EQ(ControlsOf(f), (DetailControls{false, false, false, false, true}));
    f.useProxy = true;
    EXPECT_EQ(ControlsOf(f), (DetailControls{true, false, false, false, true}));
    f.useProxy = false, f.useCredentialManager = true;
    EXPECT_EQ(ControlsOf(f), (DetailControls{false, true, true, true, false}));
}

TEST(DetailForm, PortMustBeDigitsOrEmpty)
{
    DetailForm f;
    for (const char* port : {"", "8080", "0"}) {
        f.proxyPort = port;
        EXPECT_EQ(CheckDetailForm(f), "") << port;
    }
    for (const char* port : {"80a", " 80", "80 ", "-1", "８０", "0x50"}) {
        f.proxyPort = port;
        EXPECT_EQ(CheckDetailForm(f), kProxyPortNotDigits) << port;
    }
}

TEST(DetailForm, OkKeepsEveryControlAndSaysWhenWholeSequenceChanged)
{
    DetailSettings before;
    before.Reserved = 9;
    before.WholeSequence = 5; // any non-zero value is on
    DetailForm f = FormOf(before, false);
    DetailSettings after = before;
    EXPECT_FALSE(ApplyDetailForm(f, after));
    EXPECT_EQ(after.WholeSequence, 1);

    // Every control away from its default.
    f.referer = "http://r.example/p1.html", f.browser = kBrowserNetscape, f.speed = 3;
    f.syncUpper = f.assumeFixedDigits = f.useCache = f.acceptOtherFile = f.useCredentialManager = true;
    f.confirmUserAtStart = f.recordPassword = f.useProxy = f.noProxyForLocal = f.bossKey = true;
    f.sameFolderAsLinkScout = true, f.wholeSequence = f.noUpdateLinks = false;
    f.authUser = "u", f.authPassword = "pw", f.proxyHost = "px", f.proxyPort = "3128";
    EXPECT_TRUE(ApplyDetailForm(f, after));
    EXPECT_EQ(FormOf(after, true), f); // every control reaches its setting
    EXPECT_EQ(after.syncFlags, 2);
    EXPECT_EQ(after.Reserved, 9); // no control of its own
}

} // namespace
} // namespace pelldra
