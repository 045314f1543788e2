// WebUrlOfLine: the core's line rules, then Qt's reading of the URL checked once more.
#include "gui/platform/web_url.h"

#include <string>

#include "core/engine/log_lines.h"

namespace pelldra {

QUrl WebUrlOfLine(const QString& line)
{
    const std::string text = UrlOfLine(line.toStdString());
    if (!IsWebUrl(text))
        return {};
    const QUrl url(QString::fromStdString(text), QUrl::TolerantMode);
    if (!url.isValid() || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
        return {};
    return url;
}

} // namespace pelldra
