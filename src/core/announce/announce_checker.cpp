// The announcement checker's worker: wait, fetch, decide, ask.
#include "core/announce/announce_checker.h"

#include <curl/curl.h>

#include "core/announce/announcement.h"
#include "core/engine/curl_handles.h"
#include "core/orders/detail_settings.h"
#include "core/platform/event.h"
#include "core/platform/files.h"
#include "core/platform/folders.h"
#include "core/registry/tavin_reg_key.h"
#include "core/text/text_decoding.h"

namespace pelldra {

// Everything the worker uses; shared with it, so that a worker outliving its checker still has it.
struct CAnnounceChecker::State
{
    std::unique_ptr<CTavinRegKey> key;
    std::string listUrl;
    std::string filePath;
    std::chrono::milliseconds delay{0};
    std::shared_ptr<AnnounceObserver> observer;
    int programVersion = 0;
    std::string categoryFilter;
    Event wake{Event::Mode::Auto};
    Event quit{Event::Mode::Manual};
    Event finished{Event::Mode::Manual};
};

namespace {

struct Download
{
    std::string body;
    const Event* quit = nullptr;
};

size_t OnBody(char* data, size_t size, size_t count, void* self)
{
    auto* d = static_cast<Download*>(self);
    const size_t n = size * count;
    // A body beyond the limit, or one arriving after the quit, ends the transfer.
    if (d->quit->IsSet() || d->body.size() + n > kAnnounceSizeLimit)
        return 0;
    d->body.append(data, n);
    return n;
}

int OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<Download*>(self)->quit->IsSet() ? 1 : 0;
}

// The list's body; false on any failure (the checker's status 1000).
bool FetchList(const std::string& url, const Event& quit, std::string& body)
{
    InitNetwork();
    CurlEasy handle(curl_easy_init());
    if (!handle)
        return false;
    CURL* h = handle.get();
    Download d;
    d.quit = &quit;
    const std::string agent = UserAgentFor(kBrowserPelldra);
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    // A download of a file follows the server where it moved the file, as a browser would.
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(h, CURLOPT_USERAGENT, agent.c_str());
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, 60L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, 120L);
    curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kAnnounceSizeLimit));
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &OnBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &d);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &OnProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &d);
    if (curl_easy_perform(h) != CURLE_OK)
        return false;
    body = std::move(d.body);
    return true;
}

} // namespace

CAnnounceChecker::CAnnounceChecker(const std::string& appName, const std::string& defaultListUrl)
    : state_(std::make_shared<State>())
{
    if (appName.empty())
        return;
    state_->key = std::make_unique<CTavinRegKey>(std::string(kAnnounceKeyBase) + "\\" + appName);
    state_->listUrl = state_->key->GetString("Location");
    if (state_->listUrl.empty()) {
        if (defaultListUrl.empty())
            return;
        state_->key->SetString("Location", defaultListUrl);
        state_->listUrl = defaultListUrl;
    }
    state_->filePath = GetProgramFolder() + "/" + kAnnounceFileName;
    ready_ = true;
}

CAnnounceChecker::~CAnnounceChecker()
{
    if (!thread_.joinable())
        return;
    state_->quit.Set();
    state_->wake.Set();
    if (state_->finished.Wait(kAnnounceQuitWait))
        thread_.join();
    else
        thread_.detach();
}

const std::string& CAnnounceChecker::ListUrl() const
{
    return state_->listUrl;
}

bool CAnnounceChecker::Start(std::chrono::milliseconds delay, std::shared_ptr<AnnounceObserver> observer,
                             int programVersion, std::string categoryFilter)
{
    if (!ready_ || thread_.joinable() || !observer)
        return false;
    state_->delay = delay;
    state_->observer = std::move(observer);
    state_->programVersion = programVersion;
    state_->categoryFilter = std::move(categoryFilter);
    state_->wake.Reset();
    state_->quit.Reset();
    state_->finished.Reset();
    thread_ = std::thread([state = state_] { Run(state); });
    return true;
}

void CAnnounceChecker::Run(const std::shared_ptr<State>& state)
{
    State& s = *state;
    s.wake.Wait(s.delay);
    if (s.quit.IsSet()) {
        s.finished.Set();
        return;
    }
    std::string url;
    std::string body;
    std::string text;
    // Every failure ends quietly with no page: fetching (status 1000), keeping the file (1001), reading it (1002).
    if (FetchList(s.listUrl, s.quit, body) && ReplaceFileAtomically(s.filePath, body, 0600) == 0 &&
        DecodeLegacyText(body, text)) {
        const Announcement a = ParseAnnouncement(text);
        const int answered = DecimalPrefix(s.key->GetString("AnnID"));
        if (ShouldAsk(a, answered, s.programVersion, s.categoryFilter) && !s.quit.IsSet()) {
            const AnnounceAnswer answer = s.observer->AskToRead();
            if (answer != AnnounceAnswer::Later)
                s.key->SetString("AnnID", std::to_string(a.ID__));
            if (answer == AnnounceAnswer::Yes)
                url = a.Url_;
        }
    }
    s.observer->CheckFinished(url);
    s.finished.Set();
}

} // namespace pelldra
