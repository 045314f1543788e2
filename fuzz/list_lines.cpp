// Fuzzes the key-line reader of download lists against a plain model of its rules.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>

#include "core/engine/download_job.h"

using namespace pelldra;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    DownloadJob record;
    std::map<std::string, std::string> model; // key -> value last set
    long jobs = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t lf = text.find('\n', pos);
        const size_t end = lf == std::string_view::npos ? text.size() : lf;
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;

        const bool done = record.ReadListLine(line);
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
            line.remove_suffix(1);
        const std::string key(line.substr(0, 6));
        const bool isKey =
            line.size() >= 6 && (key == "Refe: " || key == "Agen: " || key == "User: " || key == "Pass: " ||
                                 key == "Targ: " || key == "Dest: " || key == "Cook: ");
        if (isKey)
            model[key] = std::string(line.substr(6));
        if (done != (isKey && key == "Dest: "))
            __builtin_trap();
        jobs += done ? 1 : 0;
        if (record.Refe != model["Refe: "] || record.Agen != model["Agen: "] || record.User != model["User: "] ||
            record.Pass != model["Pass: "] || record.Targ != model["Targ: "] || record.Dest != model["Dest: "] ||
            record.Cook != model["Cook: "])
            __builtin_trap();
        // Fields without a key never change.
        if (record.Modi != -1 || record.ByPa != 1 || record.Cash != 1 || !record.Head.empty())
            __builtin_trap();
    }

    // The streaming reader hands out the same number of jobs.
    std::string copy(text);
    std::FILE* f = fmemopen(copy.data(), copy.size(), "rb");
    if (!f)
        return 0;
    DownloadJob streamed;
    const long streamedJobs = ReadListJobs(f, streamed, [](const DownloadJob&) { return true; });
    std::fclose(f);
    if (streamedJobs != jobs)
        __builtin_trap();
    if (streamed.Targ != record.Targ || streamed.Dest != record.Dest)
        __builtin_trap();
    return 0;
}
