// The queue item's text form: a begin marker, a kind line, tab-separated key lines and an end marker.
#include "core/queue/queue_item.h"

#include <climits>
#include <functional>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>

#include "core/platform/files.h"
#include "core/sequence/digits.h"
#include "core/text/text_decoding.h"
#include "core/text/text_lines.h"
#include "core/text/text_utils.h"

namespace pelldra {

namespace {

constexpr std::string_view kBegin = "//Item Gegin//";
constexpr std::string_view kEnd = "//Item End//";

// The kind line: a tag, a blank, the kind's main value.
struct KindForm
{
    std::string_view tag;
    const char* name;
};
constexpr KindForm kKinds[] = {{"[num]", "RENBAN"}, {"[lst]", "LIST"}, {"[lnk]", "LINK"}, {"[img]", "IMAGE"}};

template <typename Order> auto& MainValue(Order& order, int kind)
{
    if (kind == CQueueItem::RENBAN)
        return order.job.Targ;
    return kind == CQueueItem::LIST ? order.Lst : order.Page;
}

// Which kinds write a key; the reader takes every key whatever the kind.
enum class WrittenFor { Series, PageKinds, AllButSeries, Every };

using Member = std::variant<std::string StoredOrder::*, int StoredOrder::*, std::string DownloadJob::*,
                            int32_t DownloadJob::*>;

struct Key
{
    std::string_view name; // three letters
    WrittenFor written;
    Member member;
};

// Every key line, in the order it is written.
const Key kKeys[] = {
    {"Ref", WrittenFor::Series, &DownloadJob::Refe},    {"Des", WrittenFor::Series, &DownloadJob::Dest},
    {"St1", WrittenFor::Series, &StoredOrder::St1},     {"Ed1", WrittenFor::Series, &StoredOrder::Ed1},
    {"Or1", WrittenFor::Series, &StoredOrder::Or1},     {"Fx1", WrittenFor::Series, &StoredOrder::Fx1},
    {"St2", WrittenFor::Series, &StoredOrder::St2},     {"Ed2", WrittenFor::Series, &StoredOrder::Ed2},
    {"Or2", WrittenFor::Series, &StoredOrder::Or2},     {"Fx2", WrittenFor::Series, &StoredOrder::Fx2},
    {"Coo", WrittenFor::Series, &DownloadJob::Cook},    {"Sub", WrittenFor::Series, &StoredOrder::Sub},
    {"Syn", WrittenFor::Series, &StoredOrder::Syn},     {"Lst", WrittenFor::PageKinds, &StoredOrder::Lst},
    {"Del", WrittenFor::AllButSeries, &StoredOrder::Del}, {"Fol", WrittenFor::Every, &StoredOrder::Fol},
    {"Age", WrittenFor::Every, &DownloadJob::Agen},     {"Use", WrittenFor::Every, &DownloadJob::User},
    {"Pas", WrittenFor::Every, &DownloadJob::Pass},     {"Pro", WrittenFor::Every, &DownloadJob::Prox},
    {"Cas", WrittenFor::Every, &DownloadJob::Cash},     {"Loc", WrittenFor::Every, &DownloadJob::ByPa},
    {"Rel", WrittenFor::Every, &DownloadJob::Relo},     {"Thr", WrittenFor::Every, &DownloadJob::Seri},
};

// Hands the key's member of the order (const or not) to use.
template <typename Order, typename Use> void WithMember(const Key& key, Order& order, Use use)
{
    std::visit(
        [&](auto member) {
            if constexpr (std::is_invocable_v<decltype(member), decltype(order.job)&>)
                use(std::invoke(member, order.job));
            else
                use(std::invoke(member, order));
        },
        key.member);
}

bool IsWritten(WrittenFor written, int kind)
{
    switch (written) {
    case WrittenFor::Series:
        return kind == CQueueItem::RENBAN;
    case WrittenFor::PageKinds:
        return kind >= CQueueItem::LINK;
    case WrittenFor::AllButSeries:
        return kind != CQueueItem::RENBAN;
    case WrittenFor::Every:
        break;
    }
    return true;
}

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

void AddKey(std::string& out, const Key& key, const StoredOrder& order)
{
    out += '\t';
    out += key.name;
    out += '\t';
    WithMember(key, order, [&](const auto& value) {
        if constexpr (std::is_same_v<std::decay_t<decltype(value)>, std::string>)
            out += LineBreaksToBlanks(value); // a blank keeps the rest of the value and the item's lines intact
        else
            out += std::to_string(value);
    });
    out += "\r\n";
}

bool NextTextLine(StringLineSource& lines, std::string& line)
{
    if (!lines.NextLine(line))
        return false;
    if (line.compare(0, 3, "\xEF\xBB\xBF") == 0)
        line.erase(0, 3);
    return true;
}

bool SkipToBegin(StringLineSource& lines)
{
    std::string line;
    while (NextTextLine(lines, line))
        if (line == kBegin)
            return true;
    return false;
}

std::string TextValue(const std::string& line, size_t from)
{
    return line.size() > from ? line.substr(from) : std::string();
}

// "\tKey\tvalue"; an unknown key is skipped.
void TakeKeyLine(const std::string& line, StoredOrder& order)
{
    if (line.size() < 4)
        return;
    const std::string_view name = std::string_view(line).substr(1, 3);
    for (const Key& key : kKeys) {
        if (key.name != name)
            continue;
        WithMember(key, order, [&](auto& member) {
            if constexpr (std::is_same_v<std::decay_t<decltype(member)>, std::string>)
                member = TextValue(line, 5);
            else
                member = ToInt(TextValue(line, 5));
        });
        return;
    }
}

// "[tag] value"; an unknown tag is skipped.
void TakeKindLine(const std::string& line, StoredOrder& order)
{
    if (line.size() < 5)
        return;
    for (int kind = 0; kind < 4; ++kind) {
        if (std::string_view(line).substr(0, 5) != kKinds[kind].tag)
            continue;
        MainValue(order, kind) = TextValue(line, 6);
        order.Kind = kind;
        order.KindName = kKinds[kind].name;
        return;
    }
}

bool AllAsciiDigits(const std::string& s)
{
    for (const char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

} // namespace

bool CQueueItem::ReadItem(StringLineSource& lines)
{
    if (!SkipToBegin(lines))
        return false;
    Clear();
    std::string line;
    while (NextTextLine(lines, line)) {
        if (line == kEnd)
            return true;
        if (line == kBegin)
            Clear();
        else if (!line.empty() && line[0] == '\t')
            TakeKeyLine(line, *this);
        else
            TakeKindLine(line, *this);
    }
    return false;
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
    out += kKinds[kind].tag;
    out += ' ';
    out += LineBreaksToBlanks(MainValue(*this, kind));
    out += "\r\n";
    for (const Key& key : kKeys)
        if (IsWritten(key.written, kind))
            AddKey(out, key, *this);
    out += kEnd;
    out += "\r\n";
}

std::string CQueueItem::ToText() const
{
    std::string out;
    WriteTo(out);
    return out;
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
    // A terminal showing the status lines would take it for a command.
    if (HasControlCharacter(item.Fol))
        return "Fol";
    if (item.Kind != CQueueItem::RENBAN)
        return "";
    if (HasControlCharacter(item.job.Targ))
        return "[num]";
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
