// The detail settings as their dialog shows them: what each control starts from, which controls act, what OK keeps.
#pragma once

#include <string>

#include "core/orders/detail_settings.h"

namespace pelldra {

inline constexpr const char* kProxyPortNotDigits = "プロキシのポート番号に数字以外の文字があります";

// The dialog's controls, one value each. The Referer's marks live in its CSeqUrl; only its text is here.
struct DetailForm
{
    std::string referer;
    bool syncUpper = false;
    bool syncLower = false;
    bool wholeSequence = false;
    bool assumeFixedDigits = false;
    int browser = kBrowserPelldra; // always one of the four choices
    int speed = 2;                 // always 1, 2 or 3
    bool useCache = false;
    bool acceptOtherFile = false;
    bool useCredentialManager = false;
    bool confirmUserAtStart = false;
    std::string authUser;
    std::string authPassword;
    bool recordPassword = false;
    bool useProxy = false;
    std::string proxyHost;
    std::string proxyPort;
    bool noProxyForLocal = false;
    bool bossKey = false;
    bool sameFolderAsLinkScout = false;
    bool noUpdateLinks = true;

    bool operator==(const DetailForm&) const = default;
};

// The controls as the dialog opens. A browser or speed the buttons cannot show opens as the default one (what a
// download would use anyway), and the manager shows as unused while its store is closed.
DetailForm FormOf(const DetailSettings& settings, bool credentialStoreOpen);

// Which controls act and which of the two buttons sharing a place shows, for the form as it stands.
struct DetailControls
{
    bool proxyFields = false;       // host, port and the local-address box
    bool credentialsEditor = false; // 認証管理データ編集
    bool confirmAtStart = false;    // Pelldra起動時にユーザー確認する
    bool lookUpShown = false;       // 参照, while the manager is in use
    bool recordShown = false;       // 記録, while it is not

    bool operator==(const DetailControls&) const = default;
};
DetailControls ControlsOf(const DetailForm& form);

// OK's check: "" when the form may be kept, else the message to show (the dialog stays open).
std::string CheckDetailForm(const DetailForm& form);

// What OK keeps. Returns true when the whole-sequence setting changed, after which the ranges are filled again.
bool ApplyDetailForm(const DetailForm& form, DetailSettings& settings);

} // namespace pelldra
