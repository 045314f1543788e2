// List items: the list start's checks and the job lines made from a URL list file.
#include "core/orders/list_order.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/orders/sequential_order.h"
#include "core/orders/text_decoding.h"
#include "core/platform/folders.h"
#include "core/platform/unique_fd.h"
#include "core/queue/queue_item.h"
#include "core/sequence/text_utils.h"

namespace pelldra {

namespace {

constexpr const char* kEmptyListNameMessage = "リストファイル名が空白です";
constexpr const char* kNotFoundMessage = "ファイルが見つかりません";
constexpr const char* kBrokenMessage = "リストファイルが壊れています";
constexpr const char* kLinkScoutNotFoundMessage = "LinkScoutから渡されるはずの一時ファイルが見つかりません。";
constexpr const char* kLinkScoutBrokenMessage = "LinkScoutから渡された一時ファイルが壊れています。";

enum class ReadStatus {
    Ok,
    NotFound,
    Broken,
};

ReadStatus ReadListFile(const std::string& path, std::string& bytes)
{
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid())
        return ReadStatus::NotFound;
    struct stat st
    {
    };
    if (::fstat(fd.get(), &st) != 0)
        return ReadStatus::Broken;
    if (S_ISDIR(st.st_mode))
        return ReadStatus::NotFound;
    bytes.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n == 0)
            return ReadStatus::Ok;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return ReadStatus::Broken;
        }
        bytes.append(buffer, static_cast<size_t>(n));
    }
}

bool StartsWith(const std::string& s, const char* prefix)
{
    return s.rfind(prefix, 0) == 0;
}

bool IsBareHttpUrl(const std::string& line)
{
    static constexpr char kScheme[] = "HTTP://";
    if (line.size() < 7)
        return false;
    for (size_t i = 0; i < 7; ++i) {
        char c = line[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c != kScheme[i])
            return false;
    }
    return true;
}

void ReplaceQuestionMarks(std::string& s)
{
    for (char& c : s)
        if (c == '?')
            c = '_';
}

// The Dest line for a Targ line that has none: the folder and the URL's file name.
std::string MadeDestLine(const std::string& folder, const std::string& targLine)
{
    std::string url = targLine.substr(5); // after "Targ:"
    if (!url.empty() && url[0] == ' ')
        url.erase(0, 1);
    std::string name = AfterLast(url, '/');
    ReplaceQuestionMarks(name);
    return "Dest: " + folder + name;
}

} // namespace

OrderResult BuildListItem(const ListControls& c, const DetailSettings& settings, LoadedList& loaded, CQueueItem& item)
{
    item.Clear();
    FillRequestOptions(settings, item);
    item.Fol = c.linkScoutFolder;
    item.Kind = CQueueItem::LIST;
    item.KindName = "LIST";
    if (c.listPath.empty())
        return OrderResult::Refused(kEmptyListNameMessage);
    std::string folder = c.folder;
    if (CheckFolderText(folder) != 0)
        return OrderResult::Refused(folder);
    item.Lst = c.listPath;
    item.Fol = folder;
    item.Del = c.deleteList ? 1 : 0;
    if (c.listPath == loaded.Lst) {
        item.Kind = loaded.Kind;
        item.Page = loaded.Page;
        item.KindName = loaded.KindName;
    }
    loaded.Lst.clear();
    return OrderResult::Ready();
}

void MakeJobLines(const std::string& text, const std::string& folder, std::vector<std::string>& lines)
{
    lines.clear();
    bool waiting = false;
    std::string waitingTarg;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();

        if (IsBareHttpUrl(line))
            line.insert(0, "Targ: ");
        if (waiting) {
            if (!StartsWith(line, "Dest:"))
                lines.push_back(MadeDestLine(folder, waitingTarg));
            else
                ReplaceQuestionMarks(line);
            waiting = false;
        }
        lines.push_back(line);
        if (StartsWith(line, "Targ:")) {
            waitingTarg = line;
            waiting = true;
        }
    }
    if (waiting)
        lines.push_back(MadeDestLine(folder, waitingTarg));
}

ListReadResult ReadJobList(CQueueItem& item, std::vector<std::string>& lines, int jobMode,
                           const std::string& folderEdit)
{
    std::string folder = item.Fol;
    if (folder.empty()) {
        folder = folderEdit;
        if (CheckFolderText(folder) != 0)
            folder = GetHomeFolder();
    }
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    item.Fol = folder;

    lines.clear();
    const bool fromLinkScout = jobMode == kJobModeLinkScoutList;
    ListReadResult result;
    std::string bytes;
    std::string text;
    const ReadStatus status = ReadListFile(item.Lst, bytes);
    if (status == ReadStatus::NotFound) {
        result.message = fromLinkScout ? kLinkScoutNotFoundMessage : kNotFoundMessage;
    } else if (status == ReadStatus::Broken || !DecodeLegacyText(bytes, text)) {
        result.message = fromLinkScout ? kLinkScoutBrokenMessage : kBrokenMessage;
    } else {
        MakeJobLines(text, folder, lines);
        return result;
    }
    result.code = 1;
    result.backToSequential = fromLinkScout;
    item.StatusText = result.message;
    return result;
}

} // namespace pelldra
