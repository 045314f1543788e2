// CAuthAreaTable: the run's authentication areas, so that the user is asked once per area and other transfers of
// the area wait for that answer.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace pelldra {

struct AuthArea
{
    std::string Prefix;  // the URL prefix the credentials apply to, up to and including a "/"
    std::string PageUrl; // the URL that first met the challenge
    std::string User;
    std::string Pass;
    bool Pending = false;        // a transfer is asking the user or the store for this area
    const void* Asker = nullptr; // that transfer
    int32_t Outcome = 0;         // 0 open, 1 credentials known, -1 refused
};

// Who asks: an identity and how to cancel it when another transfer takes the question over.
struct AreaAsker
{
    const void* id = nullptr;
    std::function<void()> cancel;
    std::function<bool()> cancelled;
};

struct AuthAreaWaits
{
    std::chrono::milliseconds step{1000}; // one step of waiting for another transfer's question
    int steps = 60;                       // steps after which a silent asker is replaced
};

class CAuthAreaTable
{
public:
    using Waits = AuthAreaWaits;

    enum : int {
        kNotFound = -1,
        kRefused = -3,
        kCancelled = -10,
    };

    struct Found
    {
        int code = kNotFound; // an index >= 0, or kNotFound, kRefused, kCancelled
        bool mustAsk = false; // the caller now asks for this area (taken over, or released without an answer)
        std::string user;
        std::string pass;
    };

    explicit CAuthAreaTable(Waits waits = {}) : waits_(waits) {}
    CAuthAreaTable(const CAuthAreaTable&) = delete;
    CAuthAreaTable& operator=(const CAuthAreaTable&) = delete;

    // The first area whose prefix leads targ's directory. While another transfer asks for it, waits in steps; a
    // transfer asking for longer than the allowed steps is cancelled and the caller asks instead.
    Found FindArea(const std::string& targ, const AreaAsker& me);
    // A new pending area for targ's directory asked by me; its index.
    int AddArea(const std::string& targ, const AreaAsker& me);
    // The asker's answer. Ignored when the area has been taken over by another transfer since.
    void Settle(int index, const void* asker, const std::string& user, const std::string& pass);
    void Refuse(int index, const void* asker);
    // The asker gave up without an answer (cancelled): the next transfer of the area asks again.
    void Release(int index, const void* asker);
    void SetPrefix(int index, const std::string& prefix);
    // Forgets refused areas, so that the user, or a credentials store opened since, is asked again.
    void DropRefused();

    std::vector<AuthArea> Areas() const;

    // targ up to and including its last "/".
    static std::string DirectoryOf(const std::string& targ);

private:
    void EndQuestion(int index, const void* asker, int32_t outcome, const std::string* user, const std::string* pass);

    const Waits waits_;
    mutable std::mutex mutex_; // guards areas_ and cancels_
    std::condition_variable settled_;
    std::vector<AuthArea> areas_;
    std::vector<std::function<void()>> cancels_; // per area: how to cancel its current asker
};

} // namespace pelldra
