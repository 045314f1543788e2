// User-Agent choice and the request options copied from the detail settings into a job.
#include "core/orders/detail_settings.h"

#include "core/queue/queue_item.h"

namespace pelldra {

std::string UserAgentFor(int browser)
{
    switch (browser) {
    case kBrowserMsie:
        return "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0; Q312461)";
    case kBrowserNetscape:
        return "Mozilla/5.0 (Windows; U; Windows NT 5.0; ja-JP; rv:0.9.4) Gecko/20011128 Netscape6/6.2.1";
    case kBrowserFireFox:
        return "Mozilla/5.0 (Windows; U; Windows NT 5.1; ja-JP; rv:1.7.10) Gecko/20050717 Firefox/1.0.6";
    default:
        // The product name and the version, run together.
        return std::string("Pelldra") + PELLDRA_VERSION;
    }
}

std::string ProxyTextOf(const DetailSettings& settings)
{
    if (!settings.UseProxy || settings.ProxyHost.empty() || settings.ProxyPort.empty())
        return "";
    // An IPv6 address goes in brackets, or its last group would be taken for the port.
    const bool bare6 = settings.ProxyHost.find(':') != std::string::npos && settings.ProxyHost.front() != '[';
    return (bare6 ? "[" + settings.ProxyHost + "]" : settings.ProxyHost) + ":" + settings.ProxyPort;
}

void FillRequestOptions(const DetailSettings& settings, CQueueItem& item)
{
    DownloadJob& job = item.job;
    job.Agen = UserAgentFor(settings.Browser);
    job.User = settings.AuthUser;
    job.Pass = settings.AuthPassword;
    job.Prox = ProxyTextOf(settings);
    job.ByPa = settings.NoProxyForLocal;
    job.Cash = settings.UseCache;
    job.Relo = settings.AcceptOtherFile;
    job.Seri = settings.Speed;
}

} // namespace pelldra
