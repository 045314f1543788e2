// One transfer: the request, its redirects, its clocks and its failures. Authentication and reading the answer have
// files of their own.
#include "core/engine/fetch_core.h"

#include <sched.h>

#include <utility>

#include "core/engine/auth_area_table.h"
#include "core/engine/credential_access.h"
#include "core/engine/engine_observer.h"
#include "core/engine/network.h"
#include "core/text/text_utils.h"

namespace pelldra {

namespace {

constexpr const char* kCancelledBeforeSending = "ユーザーによって切断されました";
constexpr const char* kCancelled = "ダウンロードがキャンセルされました";
constexpr const char* kBadRedirect = "不正なＵＲＬへのリダイレクト";
constexpr const char* kTooManyRedirects = "リロケーションの許容回数を越えました";
constexpr const char* kCannotSave = "保存ファイルが作れません。";
constexpr const char* kForciblyEnded = "強制終了しました";
constexpr const char* kHeadTooLarge = "サーバーの応答ヘッダーが大きすぎます";
constexpr const char* kAnswerTimedOut = "    サーバー応答がタイムアウトです";

// Whether header lines the user gave ask for a part of the file, so that a 206 is the answer asked for.
bool AsksForRange(const std::string& head)
{
    size_t start = 0;
    while (start < head.size()) {
        size_t end = head.find('\n', start);
        if (end == std::string::npos)
            end = head.size();
        if (StartsWithNoCase(TrimBlanks(std::string_view(head).substr(start, end - start)), "range:"))
            return true;
        start = end + 1;
    }
    return false;
}

// Blanks are no part of a URL, yet pasted addresses and links of pages carry them: they go out as %20, as a
// browser sends them.
std::string BlanksEscaped(const std::string& url)
{
    std::string out;
    for (const char c : url)
        out += c == ' ' ? std::string_view("%20") : std::string_view(&c, 1);
    return out;
}

bool Parses(const std::string& url)
{
    CURLU* u = curl_url();
    const bool ok = u && curl_url_set(u, CURLUPART_URL, BlanksEscaped(url).c_str(), 0) == CURLUE_OK;
    curl_url_cleanup(u);
    return ok;
}

} // namespace

CFetchCore::CFetchCore(FetchContext context, std::function<void()> onFinished)
    : context_(context), onFinished_(std::move(onFinished))
{
    InitNetwork();
    easy_.reset(curl_easy_init());
    SetFixedOptions();
    if (!context_.areas) {
        ownAreas_ = std::make_unique<CAuthAreaTable>(
            CAuthAreaTable::Waits{context_.limits.areaStep, context_.limits.areaSteps});
        context_.areas = ownAreas_.get();
    }
}

CFetchCore::~CFetchCore()
{
    Quit();
    if (thread_.joinable())
        thread_.join();
}

void CFetchCore::Quit()
{
    Cancel();
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    changed_.notify_all();
}

void CFetchCore::Start(DownloadJob&& job, const std::string& folder)
{
    {
        std::lock_guard lock(mutex_);
        // Field by field: a whole new outcome would build a whole new job only to be replaced by this one.
        outcome_.Result = -1;
        outcome_.Message.clear();
        outcome_.Written = 0;
        outcome_.TotalLength = -1;
        // The worker is waiting for this: the job goes straight into its hands.
        job_ = std::move(job);
        folder_ = folder;
        answered_ = false;
        finished_ = false;
        startPending_ = true;
        cancelled_ = false;
        if (!thread_.joinable())
            thread_ = std::thread([this] { WorkerLoop(); });
    }
    changed_.notify_all();
}

void CFetchCore::Cancel()
{
    cancelled_ = true;
    std::shared_ptr<CredentialsPrompt> prompt;
    {
        std::lock_guard lock(mutex_);
        prompt = prompt_;
    }
    if (prompt)
        prompt->Cancel();
}

bool CFetchCore::WaitAnswer(std::chrono::milliseconds limit)
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return answered_ || finished_; });
}

void CFetchCore::WaitFinished()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return finished_; });
}

FetchOutcome CFetchCore::Outcome() const
{
    std::lock_guard lock(mutex_);
    return outcome_;
}

void CFetchCore::TakeOutcome(FetchOutcome& out)
{
    std::lock_guard lock(mutex_);
    out = std::move(outcome_);
}

FetchOutcome CFetchCore::Run(const DownloadJob& job, const std::string& folder)
{
    {
        std::lock_guard lock(mutex_);
        outcome_ = FetchOutcome{};
        answered_ = false;
        finished_ = false;
    }
    job_ = job;
    folder_ = folder;
    Transfer();
    std::lock_guard lock(mutex_);
    outcome_.Job = std::move(job_);
    finished_ = true;
    return outcome_;
}

void CFetchCore::WorkerLoop()
{
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return startPending_ || quit_; });
            if (quit_)
                return;
            startPending_ = false;
        }
        Transfer();
        {
            std::lock_guard lock(mutex_);
            // The job goes with the outcome once, when it has learnt all it will (the server's date).
            outcome_.Job = std::move(job_);
            finished_ = true;
        }
        changed_.notify_all();
        if (onFinished_)
            onFinished_();
    }
}

void CFetchCore::SetOutcome(int32_t code, const std::string& message, std::optional<int64_t> totalLength,
                            std::optional<int64_t> written)
{
    {
        std::lock_guard lock(mutex_);
        outcome_.Result = code;
        outcome_.Message = message;
        if (totalLength)
            outcome_.TotalLength = *totalLength;
        if (written)
            outcome_.Written = *written;
        answered_ = true;
    }
    changed_.notify_all();
}

void CFetchCore::Fail(int32_t code, const std::string& message)
{
    DropFile();
    SetOutcome(code, message);
}

void CFetchCore::DropFile()
{
    // Nothing half-written stays behind.
    file_.Discard();
}

void CFetchCore::Transfer()
{
    url_ = job_.Targ;
    file_.Discard();
    promptUsed_ = false;
    answerDeadline_ = CoarseClock::now() + context_.limits.answer;
    if (!job_.Head.empty())
        job_.Head = std::string(TrimTrailingBlanks(job_.Head)) + "\r\n";
    rangeAsked_ = AsksForRange(job_.Head);

    if (url_.find("://") == std::string::npos) {
        Fail(2, "Parse Error! " + url_ + "\n");
        return;
    }
    if (!IsHttpUrl(url_)) {
        Fail(2, "Not HTTP Service");
        return;
    }
    if (!easy_) {
        Fail(2, "curl_easy_init failed");
        return;
    }

    for (int attempt = 0; attempt < 2; ++attempt) {
        if (IsCancelled()) {
            Fail(-1, kCancelledBeforeSending);
            return;
        }
        Response r;
        if (!Perform(std::nullopt, r))
            return;
        if (!Authenticate(r))
            return;
        if (r.status == 301 || r.status == 302 || r.status == 303) {
            const std::string target = ResolveLocation(r.location);
            if (target.empty()) {
                Fail(2, kBadRedirect);
                return;
            }
            const bool otherName = FileNameOfUrl(url_) != FileNameOfUrl(target);
            url_ = target;
            if (attempt == 0 && (!otherName || job_.Relo != 0))
                continue;
            if (otherName)
                Fail(3, target);
            else
                Fail(2, kTooManyRedirects);
            return;
        }
        if (r.status == 200 || r.bodyMode) {
            FinishBody(r);
            return;
        }
        // Any other answer, a 206 that no range was asked for among them, is reported with its status.
        Fail(static_cast<int32_t>(r.status), "");
        return;
    }
}

std::string CFetchCore::ResolveLocation(const std::string& value) const
{
    const std::string v(TrimBlanks(value));
    if (v.empty())
        return {};
    std::string target;
    if (IsHttpUrl(v)) {
        target = v; // whatever the case of its scheme
    } else if (v.rfind("//", 0) == 0) {
        target = url_.substr(0, url_.find(':') + 1) + v;
    } else if (v[0] == '/') {
        target = ServerPart(url_) + v;
    } else if (v[0] == '?') {
        target = url_.substr(0, url_.find_first_of("?#")) + v; // another query of the same page
    } else {
        // A value with a scheme of its own that is not http(s) is not followed.
        const size_t colon = v.find(':');
        const size_t slash = v.find('/');
        if (colon != std::string::npos && (slash == std::string::npos || colon < slash) && std::isalpha(v[0]))
            return {};
        target = UpToLast(url_, '/') + v;
    }
    if (!IsHttpUrl(target) || !Parses(target))
        return {};
    return target;
}

void CFetchCore::SetFixedOptions()
{
    CURL* h = easy_.get();
    if (!h)
        return;
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    // libcurl's 16 KiB default makes a large file cost six times curl's own reads and polls; 256 KiB per transfer
    // keeps memory small (ten slots: 2.5 MiB) and the single-file speed at curl's.
    curl_easy_setopt(h, CURLOPT_BUFFERSIZE, 262144L);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
    // The job's proxy and its local bypass decide alone, as they do for the proxy itself: no_proxy from the
    // environment is not read (libcurl would read it twice for every request).
    curl_easy_setopt(h, CURLOPT_NOPROXY, "");
    // The proxy's answer to CONNECT (https through a proxy) is not the server's: a refused tunnel is a failure.
    curl_easy_setopt(h, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorBuffer_);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &CFetchCore::OnHeader);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &CFetchCore::OnBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &CFetchCore::OnProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, this);
    if (context_.share)
        curl_easy_setopt(h, CURLOPT_SHARE, context_.share->get());
}

std::vector<std::string> RequestHeaderLines(const DownloadJob& job, const std::optional<Credentials>& credentials)
{
    std::vector<std::string> lines{"Accept: */*"};
    size_t start = 0;
    while (start < job.Head.size()) {
        size_t end = job.Head.find('\n', start);
        if (end == std::string::npos)
            end = job.Head.size();
        std::string line(TrimBlanks(std::string_view(job.Head).substr(start, end - start)));
        if (!line.empty())
            lines.push_back(std::move(line));
        start = end + 1;
    }
    if (!job.Argu.empty())
        lines.push_back("Content-Length: " + std::to_string(job.Argu.size()));
    // A line break in a value would start a header line of its own.
    if (!job.Agen.empty())
        lines.push_back("User-Agent: " + LineBreaksToBlanks(job.Agen));
    if (!job.Refe.empty())
        lines.push_back("Referer: " + LineBreaksToBlanks(job.Refe));
    if (!job.Cook.empty())
        lines.push_back("Cookie: " + LineBreaksToBlanks(job.Cook));
    if (credentials) {
        DownloadJob withCredentials;
        withCredentials.User = credentials->first;
        withCredentials.Pass = credentials->second;
        lines.emplace_back(TrimTrailingBlanks(withCredentials.BasicAuthorization()));
    }
    if (job.Cash == 0) {
        lines.emplace_back("Cache-Control: no-cache");
        lines.emplace_back("Pragma: no-cache");
    }
    // The body goes at once; waiting for "100 Continue" only slows down servers that never send it.
    lines.emplace_back("Expect:");
    return lines;
}

bool CFetchCore::SameHeaderSources(const std::optional<Credentials>& credentials) const
{
    const DownloadJob& h = headerJob_;
    return headersMade_ && job_.Head == h.Head && job_.Argu == h.Argu && job_.Agen == h.Agen && job_.Refe == h.Refe &&
           job_.Cook == h.Cook && job_.Cash == h.Cash && credentials == headerCredentials_;
}

void CFetchCore::SetRequestOptions(const CurlSlist& headers)
{
    // The handle keeps its options from request to request (and with them its connection): every option a job
    // may change is set here each time.
    CURL* h = easy_.get();
    curl_easy_setopt(h, CURLOPT_URL, url_.find(' ') == std::string::npos ? url_.c_str() : BlanksEscaped(url_).c_str());
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    // libcurl copies a text option each time it is set; a series asks for the same agent and proxy file after file.
    const bool ownAgent = !job_.Agen.empty();
    if (!agentSet_ || ownAgent != ownAgentSet_) {
        curl_easy_setopt(h, CURLOPT_USERAGENT, ownAgent ? nullptr : "Pelldra" PELLDRA_VERSION);
        agentSet_ = true;
        ownAgentSet_ = ownAgent;
    }
    const bool direct = job_.Prox.empty() || (job_.ByPa != 0 && IsLocalAddress(url_));
    // An empty proxy also keeps proxy variables of the environment out: the job's setting decides.
    const char* proxy = direct ? "" : job_.Prox.c_str();
    if (!proxySet_ || proxySetTo_ != proxy) {
        curl_easy_setopt(h, CURLOPT_PROXY, proxy);
        proxySet_ = true;
        proxySetTo_ = proxy;
    }
    if (job_.Argu.empty()) {
        curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    } else {
        curl_easy_setopt(h, CURLOPT_POST, 1L);
        curl_easy_setopt(h, CURLOPT_POSTFIELDS, job_.Argu.data());
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(job_.Argu.size()));
    }
}

bool CFetchCore::Perform(const std::optional<Credentials>& credentials, Response& response)
{
    CURL* h = easy_.get();
    current_ = &response;
    errorBuffer_[0] = '\0';
    // A series sends the same lines job after job: they are made again only when what they come from changes.
    if (!SameHeaderSources(credentials)) {
        headers_.Clear();
        for (const std::string& line : RequestHeaderLines(job_, credentials))
            headers_.Append(line);
        headerJob_.Head = job_.Head, headerJob_.Argu = job_.Argu, headerJob_.Agen = job_.Agen;
        headerJob_.Refe = job_.Refe, headerJob_.Cook = job_.Cook, headerJob_.Cash = job_.Cash;
        headerCredentials_ = credentials;
        headersMade_ = true;
    }
    SetRequestOptions(headers_);
    lastActivity_ = CoarseClock::now();
    lastBytes_ = 0;
    stalled_ = false;
    answerTimedOut_ = false;
    CURLcode rc = RunRequest();
    if (KeptConnectionDropped(rc))
        rc = RunRequest();
    current_ = nullptr;
    if (response.ended)
        return false; // the answer was refused before its body: the outcome is set
    if (response.stoppedAtHead)
        return true;
    if (rc != CURLE_OK) {
        Fail(2, FailureText(rc, response));
        return false;
    }
    if (!response.headersDone) {
        long code = 0;
        curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &code);
        response.status = code;
    }
    return true;
}

CURLcode CFetchCore::RunRequest()
{
    // Through the transfer's own multi handle rather than curl_easy_perform, which polls its wake-up pipe before
    // every request: one system call per file less. The connection stays in the multi handle between requests.
    CURL* h = easy_.get();
    if (!multi_)
        multi_.reset(curl_multi_init()); // on the first request: a slot that never works makes none
    CURLM* m = multi_.get();
    if (!m || curl_multi_add_handle(m, h) != CURLM_OK)
        return curl_easy_perform(h);
    CURLcode result = CURLE_OK;
    for (bool done = false; !done;) {
        int running = 0;
        CURLMcode mc = curl_multi_perform(m, &running);
        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(m, &left)) {
            if (msg->msg == CURLMSG_DONE && msg->easy_handle == h) {
                result = msg->data.result;
                done = true;
            }
        }
        if (done)
            break;
        // Before sleeping until the answer comes, the other slots' threads get the core: their answers are often
        // in by then, and when this thread runs again so is its own. It is then spared a sleep and a wake-up, the
        // largest cost of a small file after the network's own.
        if (mc == CURLM_OK && running > 0 && current_ && !current_->headersDone)
            sched_yield();
        // At most a second's wait: the progress callback, which keeps the time limits, runs after each.
        if (mc == CURLM_OK && running > 0)
            mc = curl_multi_wait(m, nullptr, 0, 1000, nullptr);
        if (mc != CURLM_OK || running == 0) {
            result = mc == CURLM_OUT_OF_MEMORY ? CURLE_OUT_OF_MEMORY : CURLE_FAILED_INIT;
            done = true;
        }
    }
    curl_multi_remove_handle(m, h);
    return result;
}

bool CFetchCore::KeptConnectionDropped(CURLcode rc) const
{
    // A server may drop a kept connection just as the next request goes out. libcurl then asks again on a new one,
    // but only five times in the life of a handle, which a long series uses up: past that the request goes once
    // more here, when nothing of an answer came.
    if ((rc != CURLE_SEND_ERROR && rc != CURLE_RECV_ERROR && rc != CURLE_GOT_NOTHING) || IsCancelled() ||
        answerTimedOut_)
        return false;
    long connects = 1;
    long headerBytes = 1;
    curl_easy_getinfo(easy_.get(), CURLINFO_NUM_CONNECTS, &connects);
    curl_easy_getinfo(easy_.get(), CURLINFO_HEADER_SIZE, &headerBytes);
    return connects == 0 && headerBytes == 0;
}

std::string CFetchCore::FailureText(CURLcode rc, const Response& response) const
{
    if (IsCancelled())
        return response.bodyMode ? kForciblyEnded : kCancelled;
    if (answerTimedOut_)
        return kAnswerTimedOut;
    if (stalled_)
        return "受信が" + std::to_string((context_.limits.stall.count() + 999) / 1000) + "秒間止まりました";
    if (response.writeFailed)
        return kCannotSave + savePath_;
    if (rc == CURLE_URL_MALFORMAT)
        return "Parse Error! " + url_ + "\n";
    if (rc == CURLE_OUT_OF_MEMORY && !response.headersDone)
        return kHeadTooLarge; // what libcurl calls "Out of memory" here is a head past its limit, not this machine

    return errorBuffer_[0] ? std::string(errorBuffer_) : std::string(curl_easy_strerror(rc));
}

int CFetchCore::OnProgress(void* self, curl_off_t, curl_off_t dlnow, curl_off_t, curl_off_t ulnow)
{
    auto* me = static_cast<CFetchCore*>(self);
    if (me->IsCancelled())
        return 1;
    // libcurl calls this at least about once a second even when nothing arrives, which bounds both clocks.
    const auto now = CoarseClock::now();
    if (me->current_ && !me->current_->headersDone) {
        // Until the head of the answer arrives only the answer's deadline counts: a server may think long.
        if (now >= me->answerDeadline_) {
            me->answerTimedOut_ = true;
            return 1;
        }
        return 0;
    }
    if (dlnow + ulnow != me->lastBytes_) {
        me->lastBytes_ = dlnow + ulnow;
        me->lastActivity_ = now;
    } else if (now - me->lastActivity_ >= me->context_.limits.stall) {
        me->stalled_ = true;
        return 1;
    }
    return 0;
}

} // namespace pelldra
