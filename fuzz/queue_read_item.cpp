// Fuzzes the queue item reader: any bytes are read without harm, and what was read writes back stably.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "core/queue/queue_item.h"
#include "core/text/text_lines.h"

using namespace pelldra;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> fromString;
    StringLineSource lines(text);
    CQueueItem item;
    while (item.ReadItem(lines)) {
        const std::string once = item.ToText();
        CQueueItem again;
        StringLineSource back(once);
        if (!again.ReadItem(back) || again.ToText() != once)
            __builtin_trap();
        fromString.push_back(once);
    }

    // The file reader must see the same items as the string reader.
    std::string copy(text);
    std::FILE* f = fmemopen(copy.data(), copy.size(), "rb");
    if (!f)
        return 0;
    size_t n = 0;
    CQueueItem fileItem;
    while (fileItem.ReadItem(f)) {
        if (n >= fromString.size() || fileItem.ToText() != fromString[n])
            __builtin_trap();
        ++n;
    }
    std::fclose(f);
    if (n != fromString.size())
        __builtin_trap();
    return 0;
}
