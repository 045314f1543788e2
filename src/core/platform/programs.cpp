// FindProgram: the companion's own folders first, then the search path.
#include "core/platform/programs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <string_view>

namespace pelldra {

namespace {

bool IsExecutableFile(const std::string& path)
{
    struct stat st = {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

} // namespace

std::string FindProgram(const std::string& name, const std::string& ownFolder, const std::string& searchPath)
{
    if (name.empty() || name.find('/') != std::string::npos)
        return {};
    if (!ownFolder.empty()) {
        for (const std::string& folder : {ownFolder, ownFolder + "/" + kInstalledProgramFolder}) {
            if (IsExecutableFile(folder + "/" + name))
                return folder + "/" + name;
        }
    }
    std::string_view rest = searchPath;
    while (!rest.empty()) {
        const size_t colon = rest.find(':');
        const std::string_view folder = rest.substr(0, colon);
        rest.remove_prefix(colon == std::string_view::npos ? rest.size() : colon + 1);
        if (!folder.empty() && IsExecutableFile(std::string(folder) + "/" + name))
            return std::string(folder) + "/" + name;
    }
    return {};
}

} // namespace pelldra
