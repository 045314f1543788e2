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
    for (const auto& seed : std::filesystem::directory_iterator(argc > 1 ? argv[1] : ".")) {
        std::string bytes;
        if (!pelldra::ReadWholeFile(seed.path().string(), bytes))
            return 1;
        std::printf("%s\n", seed.path().c_str());
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    return 0;
}
