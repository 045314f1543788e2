// Orders taken out of the queue for a run: one record file each in the queue's folder, locked by its process.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/unique_fd.h"

namespace pelldra {

// A record is the file "Waiting.taken.<time>-<pid>.<state>" holding an order's text. The process that took the
// order holds an flock on it until the order's run has ended, so a record whose lock is free belongs to a run that
// never ended (killed, crashed, power lost). The state in the name tells how far a change of the queue file got, so
// that one cut short is finished or undone from the queue file's bytes, compared by their fingerprint:
//   taking-<fingerprint>  made just before the queue file lost the order; of the queue file without it
//   run                   the order is out of the queue file
//   return-<fingerprint>  on its way back; of the queue file with the order back at its head
// Every use must hold the queue's folder lock, so that no other process looks at records in the middle of a change.
class TakenRecord
{
public:
    enum class State {
        Taking,
        Run,
        Return,
    };

    TakenRecord() = default;
    TakenRecord(TakenRecord&&) noexcept = default;
    TakenRecord& operator=(TakenRecord&&) noexcept = default;

    // Writes a new record of the order's text in the Taking state, locked by this process. 0 or an errno.
    static int Create(const std::string& folder, std::string_view orderText, uint64_t fingerprint, TakenRecord& out);
    // The folder's records whose lock is free, each locked now by the caller and read, oldest first.
    static std::vector<TakenRecord> FindOrphans(const std::string& folder);

    bool valid() const { return fd_.valid(); }
    State state() const { return state_; }
    uint64_t fingerprint() const { return fingerprint_; }
    // The order's text; read by FindOrphans only.
    const std::string& orderText() const { return text_; }

    // Renames the record into another state; the lock stays with it. 0 or an errno.
    int MoveTo(State state, uint64_t fingerprint = 0);
    // The order is done with: the record goes.
    void Remove();
    // Gives up the lock and leaves the record, whose order then goes back to the queue at the next take. Also what
    // happens when a record is destroyed.
    void Release() { fd_.reset(); }

private:
    std::string folder_;
    std::string stamp_; // "<time>-<pid>": orders the records by the time they were taken
    State state_ = State::Run;
    uint64_t fingerprint_ = 0;
    std::string text_;
    UniqueFd fd_;
};

// The fingerprint of a queue file's bytes (of "" for a missing file).
uint64_t QueueFingerprint(std::string_view bytes);

} // namespace pelldra
