// Fuzz target: the credentials file reader over arbitrary bytes, the write-read round trip of what it kept, and the
// reader and the store's insert agreeing on which record takes another's place.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/credentials/ninsho_center.h"
#include "core/credentials/ninsho_file.h"
#include "require.h"

using namespace pelldra;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const NinshoFileContents first = ParseNinshoFile(std::string_view(reinterpret_cast<const char*>(data), size));
    Require(first.headerOk || first.records.empty(), "a file with a bad header gives no records");
    for (size_t i = 0; i < first.records.size(); ++i) {
        const CAuthRecord& r = first.records[i];
        Require(!r.GetSiteUrl().empty() && (i == 0 || first.records[i - 1].GetSiteUrl() < r.GetSiteUrl()),
                "records are keyed, sorted and each key is there once");
    }
    // Whatever was read must survive being written and read again, whatever the clock.
    const NinshoFileContents second = ParseNinshoFile(FormatNinshoFile(first.records, static_cast<int64_t>(size)));
    Require(second.headerOk && second.records == first.records, "what was read reads back unchanged");

    // The reader sorts with a map, the store inserts into its array: the same records in another order must come to
    // the same list either way.
    const std::vector<CAuthRecord> reversed(first.records.rbegin(), first.records.rend());
    CNinshoCenter store{CNinshoCenter::InMemory{}};
    for (const CAuthRecord& r : reversed) {
        int index = -1;
        store.Add(r, index);
    }
    const NinshoFileContents third = ParseNinshoFile(FormatNinshoFile(reversed, 0));
    Require(third.records.size() == static_cast<size_t>(store.GetCount()), "reader and store keep as many records");
    for (size_t i = 0; i < third.records.size(); ++i)
        Require(third.records[i] == store.GetAt(static_cast<int>(i)), "reader and store keep the same records");
    return 0;
}
