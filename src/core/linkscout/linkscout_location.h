// Showing a URL in LinkScout: the URL handed over in "Software\Tavin\Location", LinkScout started when it is not
// running, and the desktop's browser when LinkScout cannot be had.
#pragma once

#include <functional>
#include <string>

namespace pelldra {

class CTavinRegKey;

// What only the desktop can do; the window gives the real ones, tests their own.
struct LinkScoutShell
{
    // Starts the executable LinkScout of the folder, detached, with that folder as its working folder.
    std::function<bool(const std::string& folder)> startLinkScout;
    // Opens the URL with the desktop's handler. Only ever given http and https URLs.
    std::function<bool(const std::string& url)> openWithDesktop;
    // Broadcasts "Pelldra->pdrHelper".
    std::function<void()> broadcastToLinkScout;
};

// Places url in "URL" of the location key when that is empty: 0 placed, 1 an earlier URL still waits there.
int SetLocationUrl(CTavinRegKey& location, const std::string& url);

// Starts LinkScout from its "Position": 0 started, 1 not (no Position; a start that failed empties it).
int LaunchLinkScout(CTavinRegKey& linkScout, const LinkScoutShell& shell);

// Shows url in LinkScout (linkScout is "Software\Tavin\pdrHelper", location "Software\Tavin\Location"). When
// LinkScout cannot be started the URL is taken back out of the location key and given to the desktop, which opens
// http and https URLs only. 0 shown or handed over, -1 not.
int OpenInLinkScout(CTavinRegKey& linkScout, CTavinRegKey& location, const std::string& url,
                    const LinkScoutShell& shell);

} // namespace pelldra
