// The detail dialog's form: what it shows of the settings, its enabling rules, the port check and what OK keeps.
#include "core/settings/detail_form.h"

#include <gtest/gtest.h>

namespace pelldra {
namespace {

TEST(DetailForm, ShowsOnlyChoicesItsButtonsHave)
{
    struct Row
    {
        int browser, speed, useManager;
        bool storeOpen;
        int shownBrowser, shownSpeed;
        bool shownManager;
    };
    const Row rows[] = {
        {kBrowserFireFox, 3, 1, true, kBrowserFireFox, 3, true},
        {kBrowserMsie, 1, 1, false, kBrowserMsie, 1, false}, // the manager's store is closed: not in use
        {7, 0, 0, true, kBrowserPelldra, 2, false},          // an old file's speed 0, a damaged browser
        {-1, 9, 0, false, kBrowserPelldra, 2, false}};
    for (const Row& r : rows) {
        DetailSettings s;
        s.Browser = r.browser, s.Speed = r.speed, s.UseCredentialManager = r.useManager;
        const DetailForm f = FormOf(s, r.storeOpen);
        EXPECT_EQ(f.browser, r.shownBrowser) << r.browser;
        EXPECT_EQ(f.speed, r.shownSpeed) << r.speed;
        EXPECT_EQ(f.useCredentialManager, r.shownManager) << r.useManager << r.storeOpen;
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
