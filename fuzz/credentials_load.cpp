// Fuzz target: the credentials file reader over arbitrary bytes, and the write-read round trip of what it kept.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/credentials/ninsho_file.h"

using namespace pelldra;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const NinshoFileContents first = ParseNinshoFile(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!first.headerOk && !first.records.empty())
        std::abort();
    for (size_t i = 0; i < first.records.size(); ++i) {
        const CAuthRecord& r = first.records[i];
        if (r.GetSiteUrl().empty() || (i > 0 && !(first.records[i - 1].GetSiteUrl() < r.GetSiteUrl())))
            std::abort();
    }
    // Whatever was read must survive being written and read again, whatever the clock.
    const NinshoFileContents second = ParseNinshoFile(FormatNinshoFile(first.records, static_cast<int64_t>(size)));
    if (!second.headerOk || second.records != first.records)
        std::abort();
    return 0;
}
