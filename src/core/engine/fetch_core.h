// CFetchCore: one HTTP transfer of one DownloadJob on libcurl, run on a worker thread of its own.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/engine/curl_handles.h"
#include "core/platform/coarse_clock.h"
#include "core/platform/files.h"
#include "core/platform/pending_file.h"
#include "core/platform/unique_fd.h"
#include "core/sequence/download_job.h"

namespace pelldra {

class CAuthAreaTable;
class CContentTypeTable;
class CredentialStoreRef;
class CredentialsPrompt;
class EngineObserver;
class ProgressMeter;

// The limits of a transfer; the defaults are the program's, tests shorten them.
struct FetchLimits
{
    std::chrono::milliseconds answer{600000}; // from the start until the head of the answer
    std::chrono::milliseconds stall{120000};  // from the head on, no byte for this long fails
    std::chrono::milliseconds prompt{60000};  // the credentials prompt closes itself after this
    std::chrono::milliseconds areaStep{1000}; // one step of waiting for another transfer's prompt
    int areaSteps = 60;                       // steps before a silent prompt is taken over
};

// What the transfers of one run share. Every pointer but areas may be null.
struct FetchContext
{
    CAuthAreaTable* areas = nullptr;
    const CContentTypeTable* types = nullptr;
    EngineObserver* observer = nullptr;  // asks for credentials; none: every question is refused
    CredentialStoreRef* store = nullptr; // the credentials store while it is open
    CurlShare* share = nullptr;          // the DNS cache
    ProgressMeter* progress = nullptr;
    FetchLimits limits;
};

// The result of a transfer.
struct FetchOutcome
{
    int32_t Result = -1; // 0 saved, 2 failed, 3 redirected elsewhere, -1 cancelled before sending, else HTTP status
    std::string Message; // error text, the new URL of a redirect, or the path the body was saved to
    DownloadJob Job;     // the job with what the transfer learnt: User, Pass, normalised Head, Modi
    int64_t Written = 0; // body bytes saved
    int64_t TotalLength = -1;
};

using Credentials = std::pair<std::string, std::string>;

// The header lines of a request for job, in the order they are sent; credentials add an Authorization line.
std::vector<std::string> RequestHeaderLines(const DownloadJob& job, const std::optional<Credentials>& credentials);

class CFetchCore
{
public:
    // onFinished, when given, runs on the worker thread each time a transfer begun by Start has finished.
    explicit CFetchCore(FetchContext context, std::function<void()> onFinished = {});
    // Cancels a running transfer and waits for the worker to end.
    ~CFetchCore();
    CFetchCore(const CFetchCore&) = delete;
    CFetchCore& operator=(const CFetchCore&) = delete;

    // Starts a transfer of job on the worker thread and clears an earlier Cancel. The previous transfer must have
    // finished. folder: a folder to make (with its parents) when the body arrives, or "".
    void Start(DownloadJob&& job, const std::string& folder = {});
    // Any thread, any moment: the transfer stops at its next check and an open credentials prompt closes.
    void Cancel();
    // Cancels, and tells the worker to end without waiting for it: the destructor then has less to wait for.
    void Quit();
    // True once the answer is known (saving has begun, or the transfer ended); false on time-out.
    bool WaitAnswer(std::chrono::milliseconds limit);
    void WaitFinished();
    // The result so far: at the answer, Result 0 and the save path; at the end, the final result.
    FetchOutcome Outcome() const;
    // The outcome of a finished transfer, moved into out: for the one reader that has the last word on it.
    void TakeOutcome(FetchOutcome& out);

    // Runs one transfer on the calling thread (tools and tests). Unlike Start it keeps an earlier Cancel, which
    // then ends the transfer before anything is sent.
    FetchOutcome Run(const DownloadJob& job, const std::string& folder = {});

private:
    // What the transfer has read of one answer.
    struct Response
    {
        long status = 0;
        bool headersDone = false;
        std::string contentType;
        std::string location;
        std::optional<time_t> lastModified;
        int64_t contentLength = -1;
        bool lengthsDiffer = false; // a second Content-Length says otherwise than the first
        bool encoded = false;       // a Transfer-Encoding ends the body: a Content-Length does not count
        bool bodyMode = false;      // the answer was taken and the body goes to the part file
        bool ended = false;         // BeginBody refused; the outcome is set
        bool stoppedAtHead = false; // a body that is not saved is not read either
        bool writeFailed = false;
        int64_t written = 0;
    };
    struct AuthState;
    enum class AreaStep { Send, Ask, End };

    // The options that stay the same for every request of the handle.
    void SetFixedOptions();
    void WorkerLoop();
    void Transfer();
    // One request of the transfer; sends the job's headers and, when given, an Authorization line. False when the
    // transfer ends here (the outcome is set).
    bool Perform(const std::optional<Credentials>& credentials, Response& response);
    void SetRequestOptions(const CurlSlist& headers);
    // Runs the request easy_ is set up for to its end, as curl_easy_perform does.
    CURLcode RunRequest();
    // The request ended with rc on a kept connection that the server dropped before any answer.
    bool KeptConnectionDropped(CURLcode rc) const;
    // The job's header fields and credentials are those headers_ was made from.
    bool SameHeaderSources(const std::optional<Credentials>& credentials) const;
    // The outcome's text for a request that libcurl ended with rc.
    std::string FailureText(CURLcode rc, const Response& response) const;
    // Answers 401s until the server takes the request; false when the transfer ends here.
    bool Authenticate(Response& response);
    // The credentials to try next; none when the transfer ends here (the outcome is set).
    std::optional<Credentials> NextCredentials(AuthState& s);
    // Finds or opens the authentication area of the job: Send known, Ask the user, or End (the outcome is set).
    AreaStep JoinArea(AuthState& s, Credentials& known);
    bool SendCredentials(const Credentials& c, AuthState& s, Response& r);
    void RefuseArea(AuthState& s);
    // The area's answer is accepted: the other transfers get it and the store learns it.
    void SettleArea(AuthState& s);
    // Credentials for page: 1 from the store, 0 typed, -1 refused. storeKey is the key of the last store record tried.
    int AskCredentials(const std::string& page, std::string& storeKey, const std::set<Credentials>& rejected,
                       Credentials& out);
    // The URL a Location value leads to; empty when it is not an http(s) URL.
    std::string ResolveLocation(const std::string& value) const;
    // The head of an answer has ended: whether its body is read (a 200, or a 206 to an asked range).
    bool TakesBody(long status) const;
    // Header end of an answer whose body is saved: the type check, Last-Modified, the part file. False refuses
    // the body.
    bool BeginBody(Response& response);
    void FinishBody(Response& response);
    // Sets the result and makes the answer known.
    // The lengths, when given, go into the outcome under the same lock.
    void SetOutcome(int32_t code, const std::string& message, std::optional<int64_t> totalLength = std::nullopt,
                    std::optional<int64_t> written = std::nullopt);
    // A failure: the part file this transfer created goes, then the result is set.
    void Fail(int32_t code, const std::string& message);
    void DropFile();
    bool IsCancelled() const { return cancelled_.load(std::memory_order_relaxed); }

    static size_t OnHeader(char* data, size_t size, size_t count, void* self);
    static size_t OnBody(char* data, size_t size, size_t count, void* self);
    static int OnProgress(void* self, curl_off_t dltotal, curl_off_t dlnow, curl_off_t ultotal, curl_off_t ulnow);

    FetchContext context_;
    const std::function<void()> onFinished_;
    std::unique_ptr<CAuthAreaTable> ownAreas_; // when the context brings no table
    // What the request lines in headers_ were made from; easy_ points to headers_, so they go after it.
    DownloadJob headerJob_;
    std::optional<Credentials> headerCredentials_;
    bool headersMade_ = false;
    CurlSlist headers_;
    CurlMulti multi_; // runs easy_'s requests and keeps its connection; goes after easy_
    CurlEasy easy_;   // one for the worker's whole life, so that its connection stays open from job to job
    // The agent and proxy the handle was last given.
    bool agentSet_ = false;
    bool ownAgentSet_ = false;
    bool proxySet_ = false;
    std::string proxySetTo_;
    char errorBuffer_[CURL_ERROR_SIZE] = {};
    std::atomic<bool> cancelled_{false};

    // The transfer's own state: only the thread running Transfer touches it. Start hands job_ and folder_ over under
    // mutex_ while the worker waits for them.
    DownloadJob job_;
    std::string folder_; // made when the body arrives
    std::string url_;
    bool rangeAsked_ = false; // the job's own header lines ask for a part of the file
    Response* current_ = nullptr;
    PendingFile file_; // the body until it has its final name
    PartTags partTags_;
    PendingFile::Way fileWay_ = PendingFile::Way::Unnamed; // the way the last file could take, tried first
    std::string savePath_; // the name the body is saved under, before it is made unique
    bool promptUsed_ = false;
    CoarseClock::time_point answerDeadline_; // until the head of the answer
    CoarseClock::time_point lastActivity_;   // when the last byte went or came
    curl_off_t lastBytes_ = 0;
    bool stalled_ = false;
    bool answerTimedOut_ = false;

    // Shared with the slot and with Cancel.
    mutable std::mutex mutex_; // guards everything below
    std::condition_variable changed_;
    FetchOutcome outcome_;
    bool answered_ = false;
    bool finished_ = true;
    bool startPending_ = false;
    bool quit_ = false;
    std::shared_ptr<CredentialsPrompt> prompt_;
    std::thread thread_;
};

} // namespace pelldra
