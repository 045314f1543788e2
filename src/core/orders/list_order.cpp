// List items: the list start's checks and the job lines made from a URL list file.
#include "core/orders/list_order.h"

#include <sys/types.h>

#include <algorithm>
#include <string_view>

#include "core/orders/save_path.h"
#include "core/orders/sequential_order.h"
#include "core/platform/folders.h"
#include "core/platform/regular_file.h"
#include "core/queue/queue_item.h"
#include "core/text/text_decoding.h"
#include "core/text/text_utils.h"

namespace pelldra {

namespace {

constexpr const char* kEmptyListNameMessage = "リストファイル名が空白です";
constexpr const char* kNotFoundMessage = "ファイルが見つかりません";
constexpr const char* kBrokenMessage = "リストファイルが壊れています";
constexpr const char* kLinkScoutNotFoundMessage = "LinkScoutから渡されるはずの一時ファイルが見つかりません。";
constexpr const char* kLinkScoutBrokenMessage = "LinkScoutから渡された一時ファイルが壊れています。";
constexpr const char* kNoJobMessage = "リストは空です。";
constexpr const char* kUrlControlMessage = "URLに制御文字は使えません";
constexpr std::string_view kDestKey = "Dest: ";

// Far beyond any real list (a page's links make a few thousand lines, well under 1 MiB), and small enough that the
// file, its decoded text and the job lines made from it (about five times the file) fit in memory at once.
constexpr off_t kListSizeLimit = 16 << 20;

bool StartsWith(std::string_view s, std::string_view prefix)
{
    return s.substr(0, prefix.size()) == prefix;
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
    std::string name = FileNameOfUrl(url);
    ReplaceQuestionMarks(name);
    // A URL of a folder names no file; the series start calls such a file index.html too.
    if (name.empty())
        name = "index.html";
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
    // A pasted path often brings blanks or a line break along.
    const std::string listPath(TrimBlanks(c.listPath));
    if (listPath.empty())
        return OrderResult::Refused(kEmptyListNameMessage);
    std::string folder = c.folder;
    if (CheckFolderText(folder) != 0)
        return OrderResult::Refused(folder);
    item.Lst = listPath;
    item.Fol = folder;
    item.Del = c.deleteList ? 1 : 0;
    if (listPath == loaded.Lst) {
        item.Kind = loaded.Kind;
        item.Page = loaded.Page;
        item.KindName = loaded.KindName;
    }
    loaded.Lst.clear();
    return OrderResult::Ready();
}

std::string MakeJobLines(const std::string& text, const std::string& folder, std::vector<std::string>& lines)
{
    lines.clear();
    bool waiting = false;
    std::string waitingTarg;
    int waitingNumber = 0;
    int number = 0;
    // Adds a line; a Dest line is first resolved against the folder and checked. Returns the refusal, if any.
    const auto add = [&](std::string line, int from) -> std::string {
        if (StartsWith(line, kDestKey)) {
            const std::string dest = ResolveDest(line.substr(kDestKey.size()), folder);
            if (std::string refusal = DestRefusal(dest, folder); !refusal.empty()) {
                lines.clear();
                return "リストの" + std::to_string(from) + "行目：" + refusal;
            }
            line = std::string(kDestKey) + dest;
        } else if (StartsWith(line, "Targ:") && HasControlCharacter(line)) {
            // The URL goes into the status lines, where a terminal would take it for a command.
            lines.clear();
            return "リストの" + std::to_string(from) + "行目：" + kUrlControlMessage;
        }
        lines.push_back(std::move(line));
        return {};
    };
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();

        if (IsHttpUrl(line))
            line.insert(0, "Targ: ");
        if (waiting) {
            if (!StartsWith(line, "Dest:")) {
                if (std::string refusal = add(MadeDestLine(folder, waitingTarg), waitingNumber); !refusal.empty())
                    return refusal;
            } else {
                ReplaceQuestionMarks(line);
            }
            waiting = false;
        }
        if (StartsWith(line, "Targ:")) {
            waitingTarg = line;
            waitingNumber = number;
            waiting = true;
        }
        if (std::string refusal = add(std::move(line), number); !refusal.empty())
            return refusal;
    }
    if (waiting)
        return add(MadeDestLine(folder, waitingTarg), waitingNumber);
    return {};
}

ListReadResult ReadJobList(CQueueItem& item, std::vector<std::string>& lines, JobMode jobMode,
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
    const bool fromLinkScout = jobMode == JobMode::LinkScoutList;
    ListReadResult result;
    std::string bytes;
    std::string text;
    const RegularFileRead status = ReadRegularFile(item.Lst, kListSizeLimit, bytes);
    if (status == RegularFileRead::NotFound) {
        result.message = fromLinkScout ? kLinkScoutNotFoundMessage : kNotFoundMessage;
    } else if (status == RegularFileRead::Broken || !DecodeLegacyText(bytes, text)) {
        result.message = fromLinkScout ? kLinkScoutBrokenMessage : kBrokenMessage;
    } else {
        result.message = MakeJobLines(text, folder, lines);
        const bool anyJob =
            std::any_of(lines.begin(), lines.end(), [](const std::string& l) { return StartsWith(l, kDestKey); });
        if (result.message.empty() && !anyJob)
            result.message = kNoJobMessage;
        if (result.message.empty())
            return result;
        result.refused = true;
        lines.clear();
    }
    result.code = 1;
    result.backToSequential = fromLinkScout;
    item.StatusText = result.message;
    return result;
}

} // namespace pelldra
