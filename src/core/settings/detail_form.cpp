// The detail dialog's form: filled from the settings, its enabling rules, its check and what OK keeps.
#include "core/settings/detail_form.h"

#include <algorithm>

namespace pelldra {

DetailForm FormOf(const DetailSettings& s, bool credentialStoreOpen)
{
    DetailForm f;
    f.referer = s.Referer;
    f.syncLower = (s.syncFlags & 1) != 0;
    f.syncUpper = (s.syncFlags & 2) != 0;
    f.wholeSequence = s.WholeSequence != 0;
    f.assumeFixedDigits = s.assumeFixedDigits != 0;
    f.browser = s.Browser >= kBrowserMsie && s.Browser <= kBrowserFireFox ? s.Browser : kBrowserPelldra;
    f.speed = s.Speed == 1 || s.Speed == 3 ? s.Speed : 2;
    f.useCache = s.UseCache != 0;
    f.acceptOtherFile = s.AcceptOtherFile != 0;
    f.useCredentialManager = s.UseCredentialManager != 0 && credentialStoreOpen;
    f.confirmUserAtStart = s.ConfirmUserAtStart != 0;
    f.authUser = s.AuthUser;
    f.authPassword = s.AuthPassword;
    f.recordPassword = s.RecordPassword != 0;
    f.useProxy = s.UseProxy != 0;
    f.proxyHost = s.ProxyHost;
    f.proxyPort = s.ProxyPort;
    f.noProxyForLocal = s.NoProxyForLocal != 0;
    f.bossKey = s.BossKey != 0;
    f.sameFolderAsLinkScout = s.SameFolderAsLinkScout != 0;
    f.noUpdateLinks = s.NoUpdateLinks != 0;
    return f;
}

DetailControls ControlsOf(const DetailForm& f)
{
    DetailControls c;
    c.proxyFields = f.useProxy;
    c.credentialsEditor = f.useCredentialManager;
    c.confirmAtStart = f.useCredentialManager;
    c.lookUpShown = f.useCredentialManager;
    c.recordShown = !f.useCredentialManager;
    return c;
}

std::string CheckDetailForm(const DetailForm& f)
{
    const bool digitsOnly =
        std::all_of(f.proxyPort.begin(), f.proxyPort.end(), [](char c) { return c >= '0' && c <= '9'; });
    return digitsOnly ? std::string() : std::string(kProxyPortNotDigits);
}

bool ApplyDetailForm(const DetailForm& f, DetailSettings& s)
{
    const bool wholeBefore = s.WholeSequence != 0;
    s.Referer = f.referer;
    s.syncFlags = (f.syncLower ? 1 : 0) + (f.syncUpper ? 2 : 0);
    s.WholeSequence = f.wholeSequence ? 1 : 0;
    s.assumeFixedDigits = f.assumeFixedDigits ? 1 : 0;
    s.Browser = f.browser;
    s.Speed = f.speed;
    s.UseCache = f.useCache ? 1 : 0;
    s.AcceptOtherFile = f.acceptOtherFile ? 1 : 0;
    s.UseCredentialManager = f.useCredentialManager ? 1 : 0;
    s.ConfirmUserAtStart = f.confirmUserAtStart ? 1 : 0;
    s.AuthUser = f.authUser;
    s.AuthPassword = f.authPassword;
    s.RecordPassword = f.recordPassword ? 1 : 0;
    s.UseProxy = f.useProxy ? 1 : 0;
    s.ProxyHost = f.proxyHost;
    s.ProxyPort = f.proxyPort;
    s.NoProxyForLocal = f.noProxyForLocal ? 1 : 0;
    s.BossKey = f.bossKey ? 1 : 0;
    s.SameFolderAsLinkScout = f.sameFolderAsLinkScout ? 1 : 0;
    s.NoUpdateLinks = f.noUpdateLinks ? 1 : 0;
    return f.wholeSequence != wholeBefore;
}

} // namespace pelldra
