// Showing a URL in LinkScout from the desktop program: the registry values, LinkScout's start and the broadcast.
#pragma once

#include <QString>

namespace pelldra {

class CPelldraApp;

// Hands url to LinkScout, starting it from its folder when it is not running, or gives it to the desktop's
// browser when LinkScout cannot be had. 0 shown or handed over, -1 not.
int OpenInLinkScout(CPelldraApp& app, const QString& url);

} // namespace pelldra
