// Fuzzes the queue item reader: any bytes are read without harm, and what was read writes back stably.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/queue/queue_item.h"
#include "core/text/text_lines.h"

using namespace pelldra;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    StringLineSource lines(text);
    CQueueItem item;
    while (item.ReadItem(lines)) {
        const std::string once = item.ToText();
        CQueueItem again;
        StringLineSource back(once);
        if (!again.ReadItem(back) || again.ToText() != once)
            __builtin_trap();
    }

    return 0;
}
