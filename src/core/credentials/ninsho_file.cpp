// Reading and writing the credentials data file.
#include "core/credentials/ninsho_file.h"

#include <map>

#include "core/credentials/scramble.h"

namespace pelldra {

namespace {

constexpr std::string_view kHeader = "NCFile version";
constexpr size_t kLineBuffer = 1024;

// Hands out lines as a 1024-byte line buffer over a text-mode file does: CR LF counts as one line end, at most
// 1023 bytes come at a time (a longer line arrives in pieces), and the text stops at a NUL byte.
class LineReader
{
public:
    explicit LineReader(std::string_view data) : data_(data) {}

    bool Next(std::string& line)
    {
        if (pos_ >= data_.size())
            return false;
        line.clear();
        size_t taken = 0;
        while (taken < kLineBuffer - 1 && pos_ < data_.size()) {
            const char c = data_[pos_];
            if (c == '\r' && pos_ + 1 < data_.size() && data_[pos_ + 1] == '\n') {
                pos_ += 2;
                break;
            }
            ++pos_;
            if (c == '\n')
                break;
            line += c;
            ++taken;
        }
        if (const size_t nul = line.find('\0'); nul != std::string::npos)
            line.resize(nul);
        return true;
    }

private:
    std::string_view data_;
    size_t pos_ = 0;
};

} // namespace

NinshoFileContents ParseNinshoFile(std::string_view bytes)
{
    NinshoFileContents out;
    LineReader reader(bytes);
    std::string line;
    if (!reader.Next(line))
        return out;
    if (!line.starts_with(kHeader)) {
        out.headerOk = false;
        return out;
    }

    // A map keeps a large file's load fast whatever its order; the result is what inserting the records one by one
    // in file order gives.
    std::map<std::string, CAuthRecord> sorted;
    std::string fields[5];
    for (;;) {
        bool complete = true;
        for (std::string& f : fields) {
            if (!reader.Next(f)) {
                complete = false;
                break;
            }
        }
        if (!complete)
            break;
        CAuthRecord rec;
        rec.SetSiteName(fields[0]);
        rec.SetUserId(fields[1]);
        rec.SetPassword(UnscramblePassword(fields[2]));
        rec.SetSiteUrl(fields[3]);
        rec.SetPageUrl(fields[4]);
        const std::string key = rec.GetSiteUrl();
        if (key.empty())
            continue;
        auto next = sorted.lower_bound(key);
        if (next == sorted.end() || !TakesPlaceOf(rec, next->second)) {
            sorted.emplace_hint(next, key, std::move(rec));
        } else if (next->first == key) {
            next->second = std::move(rec);
        } else {
            // The more general key takes the place of the more specific one; nothing lies between the two.
            next = sorted.erase(next);
            sorted.emplace_hint(next, key, std::move(rec));
        }
    }
    out.records.reserve(sorted.size());
    for (auto& entry : sorted)
        out.records.push_back(std::move(entry.second));
    return out;
}

std::string FormatNinshoFile(const std::vector<CAuthRecord>& records, std::int64_t now)
{
    std::string out(kHeader);
    out += " 1\r\n";
    for (const CAuthRecord& r : records) {
        for (const std::string* value : {&r.GetSiteName(), &r.GetUserId()}) {
            out += *value;
            out += "\r\n";
        }
        out += ScramblePassword(r.GetPassword(), now);
        out += "\r\n";
        for (const std::string* value : {&r.GetSiteUrl(), &r.GetPageUrl()}) {
            out += *value;
            out += "\r\n";
        }
    }
    return out;
}

} // namespace pelldra
