// Handing a URL to LinkScout, or to the desktop when LinkScout cannot be had.
#include "core/linkscout/linkscout_location.h"

#include "core/engine/log_lines.h"
#include "core/registry/tavin_reg_key.h"

namespace pelldra {

int SetLocationUrl(CTavinRegKey& location, const std::string& url)
{
    return location.SetStringIfEmpty("URL", url) == 1 ? 1 : 0;
}

int LaunchLinkScout(CTavinRegKey& linkScout, const LinkScoutShell& shell)
{
    const std::string position = linkScout.GetString("Position");
    if (position.empty())
        return 1;
    if (shell.startLinkScout && shell.startLinkScout(position))
        return 0;
    linkScout.SetString("Position", "");
    return 1;
}

int OpenInLinkScout(CTavinRegKey& linkScout, CTavinRegKey& location, const std::string& url,
                    const LinkScoutShell& shell)
{
    const std::string state = linkScout.GetString("State");
    const bool waiting = SetLocationUrl(location, url) == 1;
    bool started = true;
    if (waiting || state == "closed" || state.empty())
        started = LaunchLinkScout(linkScout, shell) == 0;
    if (!started) {
        // A URL placed above would wait there for a program that is not running.
        location.SetString("URL", "");
        if (!IsWebUrl(url) || !shell.openWithDesktop)
            return -1;
        return shell.openWithDesktop(url) ? 0 : -1;
    }
    if (shell.broadcastToLinkScout)
        shell.broadcastToLinkScout();
    return 0;
}

} // namespace pelldra
