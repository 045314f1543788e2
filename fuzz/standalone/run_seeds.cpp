// Runs a fuzz target over the empty input and the seed files of a folder, so that every build checks the seeds.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "core/platform/files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv)
{
    LLVMFuzzerTestOneInput(nullptr, 0);
    const std::filesystem::path folder = argc > 1 ? argv[1] : ".";
    if (!std::filesystem::exists(folder))
        return 0; // a target without seeds yet: the empty input is all there is to check
    for (const auto& seed : std::filesystem::directory_iterator(folder)) {
        std::string bytes;
        if (!pelldra::ReadWholeFile(seed.path().string(), bytes))
            return 1;
        std::printf("%s\n", seed.path().c_str());
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    return 0;
}
