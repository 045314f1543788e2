// Checks of save paths and their templates, so that text from a file or an edit cannot climb out of the folder or
// put terminal controls into the status lines.
#include "core/orders/save_path.h"

#include "core/text/text_utils.h"

namespace pelldra {

namespace {

constexpr const char* kParentOrControl = "に「..」や制御文字は使えません";
constexpr const char* kNoFileName = "保存先のファイル名がありません";
constexpr const char* kDest = "保存先";

bool IsSeparator(char c)
{
    return c == '/' || c == '\\'; // a list written on another system may use '\'
}

bool HasParentStep(std::string_view text)
{
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || IsSeparator(text[i])) {
            if (text.substr(start, i - start) == "..")
                return true;
            start = i + 1;
        }
    }
    return false;
}

std::string_view FileNamePart(std::string_view path)
{
    size_t i = path.size();
    while (i > 0 && !IsSeparator(path[i - 1]))
        --i;
    return path.substr(i);
}

bool BeginsWithFolder(std::string_view path, std::string_view folder)
{
    if (folder.empty() || path.substr(0, folder.size()) != folder)
        return false;
    return IsSeparator(folder.back()) || path.size() == folder.size() || IsSeparator(path[folder.size()]);
}

} // namespace

std::string TemplateRefusal(std::string_view text, std::string_view what)
{
    if (HasParentStep(text) || HasControlCharacter(text))
        return std::string(what) + kParentOrControl;
    return {};
}

std::string ResolveDest(const std::string& dest, const std::string& folder)
{
    if (dest.empty() || dest[0] == '/' || folder.empty() || BeginsWithFolder(dest, folder))
        return dest;
    return folder.back() == '/' ? folder + dest : folder + "/" + dest;
}

std::string DestRefusal(std::string_view dest, std::string_view folder)
{
    const std::string_view below = BeginsWithFolder(dest, folder) ? dest.substr(folder.size()) : dest;
    const std::string_view name = FileNamePart(below);
    if (name.empty() || name == "." || name == "..")
        return kNoFileName;
    return TemplateRefusal(below, kDest);
}

} // namespace pelldra
