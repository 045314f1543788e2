// Reading an answer: the few headers that count, the type check, and the body written to a file that takes its
// unique name when complete.
#include "core/engine/fetch_core.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <limits>

#include "core/engine/content_type_table.h"
#include "core/engine/engine_observer.h"
#include "core/engine/http_date.h"
#include "core/platform/folders.h"
#include "core/text/text_utils.h"

namespace pelldra {

using namespace std::string_view_literals;

namespace {

constexpr const char* kCancelled = "ダウンロードがキャンセルされました";
constexpr const char* kWrongType = "異なるファイルタイプが返されました";
constexpr const char* kCannotSave = "保存ファイルが作れません。";
constexpr const char* kLengthsDiffer = "Content-Lengthが一つに決まりません";

int32_t ClampSeconds(time_t t)
{
    if (t <= 0)
        return 0;
    return t > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max() : static_cast<int32_t>(t);
}

} // namespace

size_t CFetchCore::OnHeader(char* data, size_t size, size_t count, void* self)
{
    auto* me = static_cast<CFetchCore*>(self);
    Response& r = *me->current_;
    const size_t n = size * count;
    const std::string_view line(data, n);
    if (line.starts_with("HTTP/")) {
        // A new answer begins (after an interim 1xx one, the real one follows).
        r.contentType.clear();
        r.location.clear();
        r.lastModified.reset();
        r.contentLength = -1;
        r.lengthsDiffer = false;
        r.encoded = false;
        r.headersDone = false;
        return n;
    }
    if (line == "\r\n" || line == "\n") {
        long code = 0;
        curl_easy_getinfo(me->easy_.get(), CURLINFO_RESPONSE_CODE, &code);
        if (code >= 100 && code < 200)
            return n;
        r.status = code;
        r.headersDone = true;
        me->lastActivity_ = CoarseClock::now(); // the stall clock starts with the head
        if (me->IsCancelled())
            return 0;
        if (me->TakesBody(code)) {
            if (r.lengthsDiffer && !r.encoded) {
                // Where the body ends is unknown: a file cut short or run on must not pass for the one sent.
                r.ended = true;
                me->Fail(2, kLengthsDiffer);
                return 0;
            }
            return me->BeginBody(r) ? n : 0;
        }
        // A body that is not saved is not read: an error page may never end.
        r.stoppedAtHead = true;
        return 0;
    }
    // Only the first of each header the transfer reads counts. Most lines of a head are none of the five: their
    // first letter turns them away before any trimming and comparing.
    size_t start = 0;
    while (start < line.size() && IsBlank(line[start]))
        ++start;
    const char first = static_cast<char>(start < line.size() ? line[start] | 0x20 : 0);
    if (first != 'c' && first != 'l' && first != 't')
        return n;
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos)
        return n;
    const std::string_view name = TrimBlanks(line.substr(0, colon));
    const std::string_view value = TrimBlanks(line.substr(colon + 1));
    // The five names differ in length: one comparison tells.
    switch (name.size()) {
    case "content-type"sv.size():
        if (r.contentType.empty() && EqualsNoCase(name, "content-type"sv))
            r.contentType = value;
        break;
    case "location"sv.size():
        if (r.location.empty() && EqualsNoCase(name, "location"sv))
            r.location = value;
        break;
    case "last-modified"sv.size():
        // Read at once: the text itself is not kept.
        if (!r.lastModified && !value.empty() && EqualsNoCase(name, "last-modified"sv))
            r.lastModified = HttpDateSeconds(value);
        break;
    case "content-length"sv.size():
        if (r.contentLength < 0 && EqualsNoCase(name, "content-length"sv))
            r.contentLength = std::strtoll(std::string(value).c_str(), nullptr, 10);
        else if (EqualsNoCase(name, "content-length"sv) &&
                 std::strtoll(std::string(value).c_str(), nullptr, 10) != r.contentLength)
            r.lengthsDiffer = true;
        break;
    case "transfer-encoding"sv.size():
        if (EqualsNoCase(name, "transfer-encoding"sv))
            r.encoded = true;
        break;
    default:
        break;
    }
    return n;
}

bool CFetchCore::TakesBody(long status) const
{
    return status == 200 || (status == 206 && rangeAsked_);
}

bool CFetchCore::BeginBody(Response& r)
{
    const TypeCheck check = CheckType(r.contentType, job_.Targ, job_.Dest, job_.Relo, context_.types);
    if (check.refuse) {
        r.ended = true;
        Fail(2, kWrongType);
        return false;
    }
    job_.Modi = r.lastModified ? ClampSeconds(*r.lastModified) : 0;
    savePath_ = check.savePath.empty() ? job_.Dest : check.savePath;
    // The series' subfolder comes with its first file, so that numbers without files leave no folder behind. One
    // that cannot be made shows as the save file's failure.
    if (!folder_.empty())
        MakeFolders(folder_);
    file_ = PendingFile::Create(savePath_, 0666, &partTags_, fileWay_);
    if (!file_.valid()) {
        r.ended = true;
        Fail(2, kCannotSave + savePath_);
        return false;
    }
    r.bodyMode = true;
    // The unique name is claimed once the body is complete; until then the answer names the one wanted.
    SetOutcome(0, savePath_, r.contentLength);
    return true;
}

size_t CFetchCore::OnBody(char* data, size_t size, size_t count, void* self)
{
    auto* me = static_cast<CFetchCore*>(self);
    Response& r = *me->current_;
    const size_t n = size * count;
    if (!r.bodyMode)
        return n; // the body of a 401, a redirect or an error page is not kept
    if (me->IsCancelled())
        return 0;
    size_t done = 0;
    while (done < n) {
        const ssize_t w = ::write(me->file_.fd(), data + done, n - done);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            r.writeFailed = true;
            return 0;
        }
        done += static_cast<size_t>(w);
    }
    r.written += static_cast<int64_t>(n);
    if (me->context_.progress)
        me->context_.progress->AddBytes(static_cast<int64_t>(n));
    return n;
}

void CFetchCore::FinishBody(Response& r)
{
    if (!r.bodyMode) {
        Fail(2, kCancelled);
        return;
    }
    // The file takes the server's date as it is; only the download record's field stops at 2038.
    if (r.lastModified && *r.lastModified > 0) {
        const timespec times[2] = {{0, UTIME_NOW}, {*r.lastModified, 0}};
        ::futimens(file_.fd(), times);
    }
    std::string saved;
    const int error = file_.Finish(savePath_, saved);
    // A folder that needed a part file once needs one for the next file too: spare it the unnamed attempt.
    fileWay_ = file_.way();
    if (error != 0) {
        Fail(2, kCannotSave + savePath_);
        return;
    }
    SetOutcome(0, saved, std::nullopt, r.written);
}

} // namespace pelldra
