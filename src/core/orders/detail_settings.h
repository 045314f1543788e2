// The detail settings that shape every download order, with their first-run defaults, and how they enter a job.
#pragma once

#include <string>

namespace pelldra {

class CQueueItem;

// Choices of the virtual browser, as the settings store them.
enum : int {
    kBrowserMsie = 0,
    kBrowserNetscape = 1,
    kBrowserPelldra = 2,
    kBrowserFireFox = 3,
};

// Every setting of the detail dialog. The values are those a user has before any settings were saved.
struct DetailSettings
{
    int BossKey = 0;
    int SameFolderAsLinkScout = 0;
    std::string Referer; // the Referer text; its marks live in the Referer CSeqUrl
    int UseProxy = 0;
    std::string ProxyHost;
    std::string ProxyPort; // digits only
    int NoProxyForLocal = 0;
    int UseCache = 0;
    int Browser = kBrowserPelldra;
    int WholeSequence = 0;
    int Speed = 2; // 1 slow, 2 medium, 3 fast
    int AcceptOtherFile = 0;
    int assumeFixedDigits = 0; // shared with the URL objects
    int Reserved = 0;
    int syncFlags = 0; // shared with the URL objects: 1 lower, 2 upper
    int NoUpdateLinks = 1;
    int UseCredentialManager = 0;
    int ConfirmUserAtStart = 0;
    std::string AuthUser;
    int RecordPassword = 0;
    std::string AuthPassword;

    bool operator==(const DetailSettings&) const = default;
};

// The User-Agent sent for a browser choice; an unknown choice sends the program's own name.
std::string UserAgentFor(int browser);

// The proxy text of a job: "host:port" when the proxy is on and both parts are given, else "".
std::string ProxyTextOf(const DetailSettings& settings);

// Copies the request options of the settings into the item's job: Agen, User, Pass, Prox, ByPa, Cash, Relo, Seri.
void FillRequestOptions(const DetailSettings& settings, CQueueItem& item);

} // namespace pelldra
