// The queue item's text form: a begin marker, a kind line, tab-separated key lines and an end marker.
#include "core/queue/queue_item.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string_view>
#include <type_traits>
#include <utility>

#include "core/platform/files.h"
#include "core/sequence/digits.h"
#include "core/text/text_decoding.h"
#include "core/text/text_lines.h"
#include "core/text/text_utils.h"

namespace pelldra {

namespace {

constexpr std::string_view kBegin = "//Item Gegin//";
constexpr std::string_view kEnd = "//Item End//";
constexpr std::string_view kKindTags = "[num] [lst] [lnk] [img]";
constexpr std::string_view kKeys =
    "Lst Fol Ref Des St1 Ed1 Fx1 St2 Ed2 Fx2 Coo Age Use Pas Pro Cas Loc Rel Thr Sub Syn Or1 Or2 Del";
const char* const kKindNames[] = {"RENBAN", "LIST", "LINK", "IMAGE"};

// atoi without its undefined overflow: leading blanks, a sign, digits; anything else ends the number.
int ToInt(std::string_view s)
{
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    long long v = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        v = v * 10 + (s[i] - '0');
        if (v > static_cast<long long>(INT_MAX) + 1)
            v = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative)
        v = -v;
    if (v > INT_MAX)
        v = INT_MAX;
    return static_cast<int>(v);
}

void AddKey(std::string& out, const char* key, const std::string& value)
{
    out += '\t';
    out += key;
    out += '\t';
    // A line break cannot be stored; a blank keeps the rest of the value and the item's lines intact.
    out += LineBreaksToBlanks(value);
    out += "\r\n";
}

void AddKey(std::string& out, const char* key, int value)
{
    out += '\t';
    out += key;
    out += '\t';
    out += std::to_string(value);
    out += "\r\n";
}

bool NextTextLine(LineSource& lines, std::string& line)
{
    if (!lines.NextLine(line))
        return false;
    if (line.compare(0, 3, "\xEF\xBB\xBF") == 0)
        line.erase(0, 3);
    return true;
}

std::string TextValue(const std::string& line, size_t from)
{
    return line.size() > from ? line.substr(from) : std::string();
}

bool AllAsciiDigits(const std::string& s)
{
    for (const char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

} // namespace

// Copies or moves every member; the atomics take the other item's current values.
template <typename Self, typename Other> static void AssignAll(Self& to, Other&& from)
{
    auto pass = [](auto& member) -> decltype(auto) {
        if constexpr (std::is_rvalue_reference_v<Other&&>)
            return std::move(member);
        else
            return static_cast<const std::remove_reference_t<decltype(member)>&>(member);
    };
    to.job = pass(from.job);
    to.Reserved = from.Reserved;
    to.St1 = pass(from.St1);
    to.Ed1 = pass(from.Ed1);
    to.Or1 = pass(from.Or1);
    to.Fx1 = from.Fx1;
    to.St2 = pass(from.St2);
    to.Ed2 = pass(from.Ed2);
    to.Or2 = pass(from.Or2);
    to.Fx2 = from.Fx2;
    to.Sub = pass(from.Sub);
    to.Lst = pass(from.Lst);
    to.Page = pass(from.Page);
    to.KindName = pass(from.KindName);
    to.Del = from.Del;
    to.Fol = pass(from.Fol);
    to.Kind = from.Kind;
    to.Syn = from.Syn;
    to.ListLines = pass(from.ListLines);
    to.AbortRequested.store(from.AbortRequested.load());
    to.StatusText = pass(from.StatusText);
    to.RunStatus.store(from.RunStatus.load());
}

CQueueItem::CQueueItem(const CQueueItem& other)
{
    AssignAll(*this, other);
}

CQueueItem::CQueueItem(CQueueItem&& other) noexcept
{
    AssignAll(*this, std::move(other));
}

CQueueItem& CQueueItem::operator=(const CQueueItem& other)
{
    if (this != &other)
        AssignAll(*this, other);
    return *this;
}

CQueueItem& CQueueItem::operator=(CQueueItem&& other) noexcept
{
    if (this != &other)
        AssignAll(*this, std::move(other));
    return *this;
}

void CQueueItem::Clear()
{
    job.Reset();
    Reserved = -1;
    St1.clear();
    Ed1.clear();
    Or1.clear();
    Fx1 = 0;
    St2.clear();
    Ed2.clear();
    Or2.clear();
    Fx2 = 0;
    Sub.clear();
    Lst.clear();
    Page.clear();
    KindName.clear();
    Del = 0;
    Fol.clear();
    Kind = -1;
    Syn = 0;
    std::vector<std::string>().swap(ListLines);
    AbortRequested.store(0);
    std::string().swap(StatusText);
    RunStatus.store(0);
}

bool CQueueItem::ReadItem(LineSource& lines)
{
    std::string line;
    for (;;) {
        if (!NextTextLine(lines, line))
            return false;
        if (line == kBegin)
            break;
    }
    Clear();
    while (NextTextLine(lines, line)) {
        if (line == kEnd)
            return true;
        if (line == kBegin) {
            Clear();
            continue;
        }
        if (!line.empty() && line[0] == '\t') {
            if (line.size() < 4)
                continue;
            const size_t at = kKeys.find(std::string_view(line).substr(1, 3));
            if (at == std::string_view::npos || at % 4 != 0)
                continue;
            std::string value = TextValue(line, 5);
            switch (at / 4) {
            case 0:
                Lst = std::move(value);
                break;
            case 1:
                Fol = std::move(value);
                break;
            case 2:
                job.Refe = std::move(value);
                break;
            case 3:
                job.Dest = std::move(value);
                break;
            case 4:
                St1 = std::move(value);
                break;
            case 5:
                Ed1 = std::move(value);
                break;
            case 6:
                Fx1 = ToInt(value);
                break;
            case 7:
                St2 = std::move(value);
                break;
            case 8:
                Ed2 = std::move(value);
                break;
            case 9:
                Fx2 = ToInt(value);
                break;
            case 10:
                job.Cook = std::move(value);
                break;
            case 11:
                job.Agen = std::move(value);
                break;
            case 12:
                job.User = std::move(value);
                break;
            case 13:
                job.Pass = std::move(value);
                break;
            case 14:
                job.Prox = std::move(value);
                break;
            case 15:
                job.Cash = ToInt(value);
                break;
            case 16:
                job.ByPa = ToInt(value);
                break;
            case 17:
                job.Relo = ToInt(value);
                break;
            case 18:
                job.Seri = ToInt(value);
                break;
            case 19:
                Sub = std::move(value);
                break;
            case 20:
                Syn = ToInt(value);
                break;
            case 21:
                Or1 = std::move(value);
                break;
            case 22:
                Or2 = std::move(value);
                break;
            case 23:
                Del = ToInt(value);
                break;
            default:
                break;
            }
            continue;
        }
        // A kind line: one of the four tags, then (after the blank) the kind's main value.
        if (line.size() < 5)
            continue;
        const size_t at = kKindTags.find(std::string_view(line).substr(0, 5));
        if (at == std::string_view::npos || at % 6 != 0)
            continue;
        const int kind = static_cast<int>(at / 6);
        std::string value = TextValue(line, 6);
        if (kind == RENBAN)
            job.Targ = std::move(value);
        else if (kind == LIST)
            Lst = std::move(value);
        else
            Page = std::move(value);
        Kind = kind;
        KindName = kKindNames[kind];
    }
    return false;
}

bool CQueueItem::ReadItem(std::FILE* file)
{
    FileLineSource lines(file);
    return ReadItem(lines);
}

bool CQueueItem::ReadFrom(const std::string& path)
{
    std::string bytes;
    if (!ReadWholeFile(path, bytes))
        return false;
    Clear();
    const std::string text = OrderFileText(bytes);
    StringLineSource lines(text);
    return ReadItem(lines);
}

void CQueueItem::WriteTo(std::string& out) const
{
    const int kind = Kind & 3;
    out += kBegin;
    out += "\r\n";
    switch (kind) {
    case RENBAN:
        out += "[num] ";
        out += LineBreaksToBlanks(job.Targ);
        break;
    case LIST:
        out += "[lst] ";
        out += LineBreaksToBlanks(Lst);
        break;
    case LINK:
        out += "[lnk] ";
        out += LineBreaksToBlanks(Page);
        break;
    default:
        out += "[img] ";
        out += LineBreaksToBlanks(Page);
        break;
    }
    out += "\r\n";
    if (kind == RENBAN) {
        AddKey(out, "Ref", job.Refe);
        AddKey(out, "Des", job.Dest);
        AddKey(out, "St1", St1);
        AddKey(out, "Ed1", Ed1);
        AddKey(out, "Or1", Or1);
        AddKey(out, "Fx1", Fx1);
        AddKey(out, "St2", St2);
        AddKey(out, "Ed2", Ed2);
        AddKey(out, "Or2", Or2);
        AddKey(out, "Fx2", Fx2);
        AddKey(out, "Coo", job.Cook);
        AddKey(out, "Sub", Sub);
        AddKey(out, "Syn", Syn);
    } else {
        if (kind != LIST)
            AddKey(out, "Lst", Lst);
        AddKey(out, "Del", Del);
    }
    AddKey(out, "Fol", Fol);
    AddKey(out, "Age", job.Agen);
    AddKey(out, "Use", job.User);
    AddKey(out, "Pas", job.Pass);
    AddKey(out, "Pro", job.Prox);
    AddKey(out, "Cas", job.Cash);
    AddKey(out, "Loc", job.ByPa);
    AddKey(out, "Rel", job.Relo);
    AddKey(out, "Thr", job.Seri);
    out += kEnd;
    out += "\r\n";
}

std::string CQueueItem::ToText() const
{
    std::string out;
    WriteTo(out);
    return out;
}

int CQueueItem::WriteTo(std::FILE* file) const
{
    if (!file)
        return 1;
    const std::string text = ToText();
    if (std::fwrite(text.data(), 1, text.size(), file) != text.size())
        return 1;
    return std::fflush(file) == 0 ? 0 : 1;
}

bool CQueueItem::SameStoredValues(const CQueueItem& o) const
{
    return job == o.job && Reserved == o.Reserved && St1 == o.St1 && Ed1 == o.Ed1 && Or1 == o.Or1 && Fx1 == o.Fx1 &&
           St2 == o.St2 && Ed2 == o.Ed2 && Or2 == o.Or2 && Fx2 == o.Fx2 && Sub == o.Sub && Lst == o.Lst &&
           Page == o.Page && KindName == o.KindName && Del == o.Del && Fol == o.Fol && Kind == o.Kind && Syn == o.Syn;
}

std::string OrderFileText(std::string_view bytes)
{
    constexpr std::string_view kBom = "\xEF\xBB\xBF";
    if (bytes.substr(0, kBom.size()) == kBom) {
        bytes.remove_prefix(kBom.size());
        if (bytes.substr(0, 2) == "\r\n")
            bytes.remove_prefix(2);
        else if (bytes.substr(0, 1) == "\n")
            bytes.remove_prefix(1);
        return std::string(bytes);
    }
    std::string text;
    if (IsValidUtf8(bytes) || !Cp932ToUtf8(bytes, text))
        return std::string(bytes); // neither: as it is, rather than nothing
    return text;
}

std::string FirstBadStoredValue(const CQueueItem& item)
{
    if (item.Kind != CQueueItem::RENBAN)
        return "";
    const std::pair<const char*, const std::string*> digits[] = {
        {"St1", &item.St1}, {"Ed1", &item.Ed1}, {"Or1", &item.Or1},
        {"St2", &item.St2}, {"Ed2", &item.Ed2}, {"Or2", &item.Or2},
    };
    for (const auto& [key, value] : digits)
        if (value->size() > kMaxStoredDigits || !AllAsciiDigits(*value))
            return key;
    // The window always hands over start <= end; a start beyond its end would be counted on past the end.
    if (!item.Ed1.empty() && CompareDigits(item.St1, item.Ed1) > 0)
        return "St1";
    if (!item.St2.empty() && !item.Ed2.empty() && CompareDigits(item.St2, item.Ed2) > 0)
        return "St2";
    constexpr int kMaxWidth = static_cast<int>(kMaxStoredDigits);
    if (item.Fx1 < 0 || item.Fx1 > kMaxWidth)
        return "Fx1";
    if (item.Fx2 < 0 || item.Fx2 > kMaxWidth)
        return "Fx2";
    return "";
}

SeriesOrder SeriesOf(const CQueueItem& item)
{
    return {item.job, item.St1, item.Ed1, item.Fx1, item.St2, item.Ed2, item.Fx2, item.Sub, item.Fol, item.Syn};
}

} // namespace pelldra
