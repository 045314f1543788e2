// Record files of orders taken for a run: their names, their locks, and finding those whose run never ended.
#include "core/queue/taken_record.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <memory>

#include "core/platform/files.h"

namespace pelldra {

namespace {

constexpr std::string_view kPrefix = "Waiting.taken.";
constexpr std::string_view kTaking = "taking-";
constexpr std::string_view kReturn = "return-";
constexpr size_t kFingerprintDigits = 16;

std::string Hex(uint64_t v)
{
    char text[kFingerprintDigits + 1];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(v));
    return text;
}

std::string NameOf(const std::string& stamp, TakenRecord::State state, uint64_t fingerprint)
{
    std::string name = std::string(kPrefix) + stamp + ".";
    switch (state) {
    case TakenRecord::State::Taking:
        return name + std::string(kTaking) + Hex(fingerprint);
    case TakenRecord::State::Run:
        return name + "run";
    case TakenRecord::State::Return:
        return name + std::string(kReturn) + Hex(fingerprint);
    }
    return name;
}

bool ParseFingerprint(std::string_view text, uint64_t& out)
{
    if (text.size() != kFingerprintDigits)
        return false;
    out = 0;
    for (const char c : text) {
        const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (d < 0)
            return false;
        out = out << 4 | static_cast<uint64_t>(d);
    }
    return true;
}

// Anything else in the folder (the queue's temporary files among them) is no record.
bool ParseName(std::string_view name, std::string& stamp, TakenRecord::State& state, uint64_t& fingerprint)
{
    if (name.substr(0, kPrefix.size()) != kPrefix)
        return false;
    name.remove_prefix(kPrefix.size());
    const size_t dot = name.find('.');
    if (dot == 0 || dot == std::string_view::npos)
        return false;
    stamp = std::string(name.substr(0, dot));
    const std::string_view rest = name.substr(dot + 1);
    fingerprint = 0;
    if (rest == "run") {
        state = TakenRecord::State::Run;
        return true;
    }
    if (rest.substr(0, kTaking.size()) == kTaking) {
        state = TakenRecord::State::Taking;
        return ParseFingerprint(rest.substr(kTaking.size()), fingerprint);
    }
    if (rest.substr(0, kReturn.size()) == kReturn) {
        state = TakenRecord::State::Return;
        return ParseFingerprint(rest.substr(kReturn.size()), fingerprint);
    }
    return false;
}

// Nanoseconds since 1970, padded so that names sort by it, and the process id, which makes it unique.
std::string NewStamp()
{
    const auto ns =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch());
    char text[48];
    std::snprintf(text, sizeof text, "%020lld-%ld", static_cast<long long>(ns.count()), static_cast<long>(::getpid()));
    return text;
}

struct DirCloser
{
    void operator()(DIR* d) const { ::closedir(d); }
};

} // namespace

uint64_t QueueFingerprint(std::string_view bytes)
{
    uint64_t h = 14695981039346656037ull; // FNV-1a, 64 bits
    for (const char c : bytes) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ull;
    }
    return h;
}

int TakenRecord::Create(const std::string& folder, std::string_view orderText, uint64_t fingerprint, TakenRecord& out)
{
    TakenRecord r;
    r.folder_ = folder;
    r.state_ = State::Taking;
    r.fingerprint_ = fingerprint;
    std::string path;
    for (int attempt = 0; !r.fd_.valid(); ++attempt) {
        r.stamp_ = NewStamp();
        path = folder + "/" + NameOf(r.stamp_, r.state_, fingerprint);
        r.fd_.reset(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
        if (!r.fd_.valid() && (errno != EEXIST || attempt == 100))
            return errno;
    }
    int error = 0;
    if (::flock(r.fd_.get(), LOCK_EX | LOCK_NB) != 0 || !WriteAll(r.fd_.get(), orderText) || ::fsync(r.fd_.get()) != 0)
        error = errno ? errno : EIO;
    if (error != 0) {
        ::unlink(path.c_str());
        return error;
    }
    out = std::move(r);
    return 0;
}

std::vector<TakenRecord> TakenRecord::FindOrphans(const std::string& folder)
{
    std::vector<TakenRecord> found;
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
    if (!dir)
        return found;
    while (const dirent* entry = ::readdir(dir.get())) {
        TakenRecord r;
        if (!ParseName(entry->d_name, r.stamp_, r.state_, r.fingerprint_))
            continue;
        r.folder_ = folder;
        const std::string path = folder + "/" + entry->d_name;
        r.fd_ = OpenPlainFile(path, O_RDONLY | O_NOFOLLOW);
        // A lock held elsewhere is a run still going; and this process's own runs lock through another descriptor.
        if (!r.fd_.valid() || ::flock(r.fd_.get(), LOCK_EX | LOCK_NB) != 0 || !ReadToEnd(r.fd_.get(), 0, r.text_))
            continue;
        found.push_back(std::move(r));
    }
    std::sort(found.begin(), found.end(),
              [](const TakenRecord& a, const TakenRecord& b) { return a.stamp_ < b.stamp_; });
    return found;
}

int TakenRecord::MoveTo(State state, uint64_t fingerprint)
{
    const std::string from = folder_ + "/" + NameOf(stamp_, state_, fingerprint_);
    const std::string to = folder_ + "/" + NameOf(stamp_, state, fingerprint);
    if (::rename(from.c_str(), to.c_str()) != 0)
        return errno;
    state_ = state;
    fingerprint_ = fingerprint;
    return 0;
}

void TakenRecord::Remove()
{
    if (!fd_.valid())
        return;
    ::unlink((folder_ + "/" + NameOf(stamp_, state_, fingerprint_)).c_str());
    fd_.reset();
}

} // namespace pelldra
