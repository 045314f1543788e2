// CAnnounceChecker: some time after the window shows, fetches the maker's announcement file on a worker thread and
// asks the user about a new announcement meant for this version.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <thread>

namespace pelldra {

inline constexpr const char* kAnnounceKeyBase = "Software\\Tavin\\AutoAnn";
// The list's address on the maker's server, chosen when building; "" builds a program that never checks.
inline constexpr const char* kDefaultAnnounceUrl = PELLDRA_ANNOUNCE_URL;
inline constexpr const char* kAnnounceFileName = "announce.dat";
// An announcement is a few lines; anything larger is not one.
inline constexpr size_t kAnnounceSizeLimit = 64 * 1024;
// How long the destructor waits for the worker.
inline constexpr std::chrono::milliseconds kAnnounceQuitWait{1000};

// The user's answer to "お知らせを読みますか？".
enum class AnnounceAnswer : int {
    Yes = 1,     // はい: the page opens, and this announcement is not asked again
    Later = 103, // 次の機会にします: asked again next time
    Refuse = 2,  // 拒否します: not asked again
};

// The user's side, called on the checker's thread. An implementation must answer promptly (Later) once its owner
// shuts it down, since the worker may still ask while the checker is being destroyed.
class AnnounceObserver
{
public:
    virtual ~AnnounceObserver() = default;
    // Asks the user whether to read the announcement; blocks until answered.
    virtual AnnounceAnswer AskToRead() = 0;
    // The check is over: the page to open, or "" (nothing new, refused, or any failure, which is never shown).
    virtual void CheckFinished(const std::string& url) = 0;
};

class CAnnounceChecker final
{
public:
    // Opens (creating) "Software\Tavin\AutoAnn\<appName>" and its "Location", which takes defaultListUrl when it
    // is empty. Ready when there is a list URL. The announcement file is the data folder's kAnnounceFileName.
    CAnnounceChecker(const std::string& appName, const std::string& defaultListUrl);
    // Tells the worker to quit and waits for it at most kAnnounceQuitWait; a worker still busy after that is left
    // to end on its own (it stops its download and asks nothing more), keeping what it uses alive until then.
    ~CAnnounceChecker();
    CAnnounceChecker(const CAnnounceChecker&) = delete;
    CAnnounceChecker& operator=(const CAnnounceChecker&) = delete;

    const std::string& ListUrl() const;

    // Starts the worker: it waits delay, fetches the list into the announcement file, and when the announcement
    // is new and meant for programVersion (e.g. 179) asks through observer; "AnnID" keeps an answer other than
    // Later. The result goes to observer->CheckFinished. False (nothing started) when not ready or started before.
    bool Start(std::chrono::milliseconds delay, std::shared_ptr<AnnounceObserver> observer, int programVersion,
               std::string categoryFilter = {});

private:
    struct State;
    static void Run(const std::shared_ptr<State>& state);

    std::shared_ptr<State> state_;
    bool ready_ = false;
    std::thread thread_;
};

} // namespace pelldra
