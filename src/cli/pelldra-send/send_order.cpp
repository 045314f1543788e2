// Building pelldra-send's order and writing it into the registry store.
#include "cli/pelldra-send/send_order.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <memory>
#include <string>

#include "core/linkscout/linkscout_orders.h"
#include "core/orders/sequential_order.h"
#include "core/platform/files.h"
#include "core/platform/folders.h"
#include "core/platform/regular_file.h"
#include "core/platform/unique_fd.h"
#include "core/registry/app_registry.h"
#include "core/registry/tavin_reg_key.h"
#include "core/sequence/seq_url.h"
#include "core/settings/settings_file.h"

namespace pelldra::cli {

namespace {

// As large a list as the window reads.
constexpr off_t kListLimit = 16 << 20;
constexpr const char* kOrderSuffix = ".order";
constexpr const char* kLowestVersionText = "1.54";

std::string CurrentFolder()
{
    char buffer[PATH_MAX];
    return ::getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string();
}

std::string Absolute(const std::string& path)
{
    return path.empty() || path[0] == '/' ? path : CurrentFolder() + "/" + path;
}

Refusal BuildSeries(const SendRequest& request, const std::string& folder, PreparedOrder& order)
{
    DetailSettings settings = LoadSettingsFile(SettingsFilePath()).detail;
    if (request.now)
        settings.WholeSequence = 1;
    CSeqUrl url;
    url.SetAssumeFixedDigits(settings.assumeFixedDigits != 0);
    url.SetText(request.url);
    url.SetSelectedField(0);
    CSeqUrl referer;
    SequentialControls c;
    BindSavedReferer(settings, url, referer, c);
    // The range boxes as the window fills them when the URL is pasted.
    const FilledRanges filled = RefreshRangesFromUrl(url, settings.WholeSequence != 0);
    c.lowerFrom = filled.lower.from;
    c.lowerTo = filled.lower.toEmptied ? std::string() : filled.lower.to;
    c.folder = folder;
    SequentialState state;
    const OrderResult r = BuildSequentialItem(c, settings, state, order.item);
    return r.ok() ? Refusal{} : Refusal{r.messages.front(), {}};
}

// A new file of the sent folder holding bytes, private to the user; "" when it cannot be written.
std::string WriteNewFile(const std::string& folder, const std::string& stem, const char* suffix,
                         const std::string& bytes)
{
    std::string path = folder + "/" + stem + "-XXXXXX" + suffix;
    UniqueFd fd(::mkostemps(path.data(), static_cast<int>(std::char_traits<char>::length(suffix)), O_CLOEXEC));
    if (!fd.valid())
        return {};
    if (!WriteAll(fd.get(), bytes) || ::fsync(fd.get()) != 0) {
        ::unlink(path.c_str());
        return {};
    }
    return path;
}

bool EndsWith(const std::string& s, const std::string& end)
{
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

} // namespace

Refusal PrepareOrder(const SendRequest& request, PreparedOrder& order)
{
    order.list = !request.list.empty();
    order.now = request.now;
    if (order.list)
        order.listPath = Absolute(request.list);
    std::string folder = !request.dir.empty() ? Absolute(request.dir)
                         : order.list         ? order.listPath.substr(0, order.listPath.rfind('/'))
                                              : CurrentFolder();
    if (folder.empty())
        folder = "/";
    std::string checked = folder;
    if (CheckFolderText(checked) != 0)
        return {checked, folder};
    order.folder = checked;
    if (!order.list)
        return BuildSeries(request, order.folder, order);

    // The window reads the list only when the run starts: a wrong name is better told now.
    switch (ReadRegularFile(order.listPath, kListLimit, order.listBytes)) {
    case RegularFileRead::Ok:
        break;
    case RegularFileRead::NotFound:
        return {"ファイルが見つかりません", order.listPath};
    case RegularFileRead::Broken:
        return {"リストファイルが壊れています", order.listPath};
    }
    order.page = request.page;
    order.type = request.type;
    return {};
}

std::string SentFolder()
{
    const std::string folder = GetProgramFolder() + "/sent";
    MakeFolders(folder);
    return folder;
}

Refusal WriteOrder(const PreparedOrder& order, const std::string& folder, CTavinRegKey& linkScout,
                   CTavinRegKey& transfer, std::string& handedOver)
{
    const Refusal storeFailed{"cannot write the registry store", CTavinRegKey::StorePath()};
    bool written = true;
    if (ParseLinkScoutVersion(linkScout.GetString("Version")) < kLowestLinkScoutVersion)
        written = linkScout.SetString("Version", kLowestVersionText) == 0;
    written = written && linkScout.SetString("SaveFolder", order.folder) == 0;
    if (!written)
        return storeFailed;

    CTavinRegKey& slot = order.list ? transfer : linkScout;
    const char* slotValue = order.list ? "file" : "TransferInfo";
    if (order.list) {
        // The window deletes the list of a LINK or IMAGE order after its run: it gets a copy, never the user's file.
        handedOver = order.type.empty() ? order.listPath : WriteNewFile(folder, "list", ".lst", order.listBytes);
        written = transfer.SetString("name", order.page) == 0 && transfer.SetString("type", order.type) == 0;
    } else {
        // Marked as UTF-8, or the window would read a file with a value that is not (a Latin-1 folder name) as
        // code page 932 throughout, and every other value with it.
        handedOver = WriteNewFile(folder, "order", kOrderSuffix, std::string(kOrderFileMark) + order.item.ToText());
        written = linkScout.SetString("Command", order.now ? kWholeGetCommand : "") == 0;
    }
    if (handedOver.empty())
        return {"cannot write the order's file", folder};
    const int put = written ? slot.SetStringIfEmpty(slotValue, handedOver) : -1;
    if (put == 0)
        return {};
    RemoveHandedOverFile(order, handedOver);
    return put == 1 ? Refusal{"an earlier order has not been taken by the window yet", {}} : storeFailed;
}

void RemoveStaleOrderFiles(const std::string& folder, const std::string& waiting)
{
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string path = folder + "/" + entry->d_name;
        if (EndsWith(path, kOrderSuffix) && path != waiting)
            ::unlink(path.c_str());
    }
}

void RemoveHandedOverFile(const PreparedOrder& order, const std::string& handedOver)
{
    if (handedOver != order.listPath)
        ::unlink(handedOver.c_str());
}

} // namespace pelldra::cli
