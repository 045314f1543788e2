// The series start command: ranges, fixed widths, URL template, Referer, subfolder, save name, folder and cookie.
#include "core/orders/sequential_order.h"

#include "core/orders/save_path.h"
#include "core/platform/folders.h"
#include "core/queue/queue_item.h"
#include "core/sequence/digits.h"
#include "core/sequence/seq_url.h"
#include "core/text/text_utils.h"

namespace pelldra {

void BindSavedReferer(const DetailSettings& settings, CSeqUrl& url, CSeqUrl& referer, SequentialControls& controls)
{
    controls.url = &url;
    if (settings.Referer.empty())
        return;
    referer.SetMaster(&url);
    url.SetSyncFlags(settings.syncFlags);
    referer.SetText(settings.Referer);
    controls.referer = &referer;
}

namespace {

constexpr const char* kFixedWidthMessage =
    "数値の桁を固定する場合は、ＵＲＬで選択されている数字と\n開始と終了の数字の桁数を同じにして下さい";
constexpr const char* kBadTargetMessage = "ターゲットのＵＲＬが不正です";
constexpr const char* kUpperRangeEmptyMessage = "上位数字列の範囲が空白です";
constexpr const char* kSubfolderStarsMessage = "　サブフォルダに使える＊は１つまでです";
constexpr const char* kNameUnsuitableMessage = "  保存ファイル名が不適当なため、中止";
constexpr const char* kTooManyStarsMessage = "保存時ファイル名に使われている＊が多すぎます";
constexpr const char* kFileTemplateErrorMessage =
    "予期しないエラー：\nファイルテンプレート置換場所\n作者に連絡して下さい";
constexpr const char* kUrlTemplateErrorMessage = "予期しないエラー：\nＵＲＬテンプレート置換場所\n作者に連絡して下さい";
constexpr const char* kStarCountMessage = "保存時ファイル・フォルダにある＊の数と数字列の数が不一致です";
constexpr const char* kTemplateChangedMessage = "予期しないエラー\n：ファイルテンプレートが変化\n作者に連絡して下さい";

// A range from the two edits; a reversed range, or one with only an end, is turned round.
void ReadRange(const std::string& from, const std::string& to, std::string& start, std::string& end)
{
    start = from;
    end = to;
    if ((CompareDigits(start, end) > 0 || start.empty()) && !end.empty())
        std::swap(start, end);
}

// The zero-fill hint of a range text: its length when it begins with '0'.
int HintOf(const std::string& s)
{
    return !s.empty() && s[0] == '0' ? static_cast<int>(s.size()) : 0;
}

bool EmptyOrLength(const std::string& s, int n)
{
    return s.empty() || static_cast<int>(s.size()) == n;
}

std::string TrimSlashes(const std::string& s)
{
    size_t b = 0;
    size_t e = s.size();
    while (b < e && (s[b] == '/' || s[b] == '\\'))
        ++b;
    while (e > b && (s[e - 1] == '/' || s[e - 1] == '\\'))
        --e;
    return s.substr(b, e - b);
}

std::string TrimFolder(std::string text)
{
    text = std::string(TrimBlanks(text));
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

void TakeRanges(const SequentialControls& c, CQueueItem& item)
{
    ReadRange(c.lowerFrom, c.lowerTo, item.St1, item.Ed1);
    item.Or1 = c.url->GetFieldText(0);
    if (c.upperOn) {
        ReadRange(c.upperFrom, c.upperTo, item.St2, item.Ed2);
        item.Or2 = c.url->GetFieldText(1);
    }
}

void TakeReferer(CSeqUrl* referer, CQueueItem& item)
{
    if (!referer)
        return;
    const int sync = referer->GetSyncFlags();
    if (sync != 0) {
        referer->SyncFields();
        item.job.Refe = referer->MakeTemplate(sync);
    } else {
        item.job.Refe = referer->GetText();
    }
    item.Syn = sync;
}

// The cookie of the last loaded order goes with orders from the same URL folder only.
void TakeCookie(const std::string& urlTemplate, SequentialState& state, CQueueItem& item)
{
    if (state.LastCookie.empty())
        return;
    if (UpToLast(urlTemplate, '/') != state.LastCookieScope) {
        state.LastCookie.clear();
        state.LastCookieScope.clear();
    } else {
        item.job.Cook = state.LastCookie;
    }
}

} // namespace

namespace {

RangeTexts RangeFor(const CSeqUrl& url, int i, bool wholeSequence)
{
    RangeTexts r;
    r.width = url.FieldWidth(i);
    if (wholeSequence && url.FieldInHost(i) == 0) {
        r.from = PadZeros("1", r.width);
        r.toEmptied = true;
    } else {
        r.from = r.to = PadZeros(url.GetFieldText(i), r.width);
    }
    return r;
}

} // namespace

FilledRanges RefreshRangesFromUrl(const CSeqUrl& url, bool wholeSequence)
{
    FilledRanges f;
    f.lower = RangeFor(url, 0, wholeSequence);
    f.hasUpper = url.GetUpperEnabled();
    if (f.hasUpper)
        f.upper = RangeFor(url, 1, wholeSequence);
    return f;
}

FilledRanges RangesOfItem(const CQueueItem& item, const CSeqUrl& url, bool wholeSequence)
{
    if (item.St1.empty() || !FirstBadStoredValue(item).empty())
        return RefreshRangesFromUrl(url, wholeSequence);
    auto stored = [](const std::string& start, const std::string& end, int width) {
        return RangeTexts{start, end, end.empty(), width};
    };
    FilledRanges f;
    f.lower = stored(item.St1, item.Ed1, item.Fx1);
    f.hasUpper = !item.St2.empty();
    if (f.hasUpper)
        f.upper = stored(item.St2, item.Ed2, item.Fx2);
    return f;
}

int CheckFolderText(std::string& text)
{
    text = TrimFolder(text);
    return CheckFolder(text);
}

int CheckFixedWidth(const std::string& urlDigits, const std::string& from, const std::string& to, int& fixedWidth)
{
    const int n = static_cast<int>(urlDigits.size());
    if (n == 0)
        return 0;
    fixedWidth = urlDigits[0] == '0' ? n : 0;
    const int wFrom = HintOf(from);
    const int wTo = HintOf(to);
    int d = wFrom;
    if (wFrom != wTo) {
        if (wFrom != 0 && wTo != 0)
            return 1;
        d = wFrom != 0 ? wFrom : wTo;
    }
    if (d != 0 && (n != d || !EmptyOrLength(from, d) || !EmptyOrLength(to, d)))
        return 1;
    if (fixedWidth == d)
        return 0;
    if (fixedWidth != 0 && d != 0)
        return 1;
    fixedWidth = fixedWidth != 0 ? fixedWidth : d;
    return n == fixedWidth && EmptyOrLength(from, fixedWidth) && EmptyOrLength(to, fixedWidth) ? 0 : 1;
}

OrderResult CheckSaveName(const std::string& saveName, const std::string& urlTemplate, int subfolderStars, bool upperOn,
                          const std::string& st1, const std::string& ed1, SequentialState& state)
{
    std::string name = saveName;
    state.NameGiven = !name.empty();
    if (name.empty()) {
        name = FileNameOfUrl(urlTemplate);
        if (name.empty())
            name = "index.html";
    }
    // A query would otherwise end the name: a.cgi?id=1 is saved as a_id=1.cgi.
    if (const size_t query = name.find('?'); query != std::string::npos) {
        if (const size_t dot = name.rfind('.', query); dot != std::string::npos)
            name = name.substr(0, dot) + name.substr(query) + name.substr(dot, query - dot);
        for (char& c : name)
            if (c == '?')
                c = '_';
    }
    state.NameTemplate = name;
    if (std::string refusal = TemplateRefusal(name, "保存時ファイル名"); !refusal.empty())
        return OrderResult::Refused(std::move(refusal));

    const int k = CountOccurrences(name, "*");
    const int u = upperOn ? 1 : 0;
    const int s = subfolderStars;
    if (k > 1 + u - s)
        return OrderResult::Refused(state.NameGiven ? kTooManyStarsMessage : kFileTemplateErrorMessage);
    const int t = CountOccurrences(urlTemplate, "*");
    if (t > 1 + u)
        return OrderResult::Refused(kUrlTemplateErrorMessage);
    const int m = t - k - s;
    if (m == 0)
        return OrderResult::Ready();
    if (m < 0 || m > 2)
        return OrderResult::Refused(kStarCountMessage);
    if (CompareDigits(st1, ed1) == 0 && t == 0)
        return OrderResult::Ready();
    if (k == 1 && m == 1) {
        const size_t star = name.find('*');
        if (star == std::string::npos)
            return OrderResult::Refused(kTemplateChangedMessage);
        name.insert(star, "*-");
    } else {
        const size_t dot = name.rfind('.');
        name.insert(dot == std::string::npos ? name.size() : dot, m == 2 ? "*-*" : "*");
    }
    state.NameTemplate = name;
    return OrderResult::Ready();
}

OrderResult BuildSequentialItem(const SequentialControls& c, const DetailSettings& settings, SequentialState& state,
                                CQueueItem& item)
{
    const CSeqUrl& url = *c.url;
    item.Clear();
    FillRequestOptions(settings, item);
    item.Kind = CQueueItem::RENBAN;
    item.KindName = "RENBAN";

    TakeRanges(c, item);

    if (CheckFixedWidth(url.GetFieldText(0), c.lowerFrom, c.lowerTo, state.FixedWidth) != 0)
        return OrderResult::Refused(kFixedWidthMessage);
    item.Fx1 = state.FixedWidth;
    // The upper string is held to the same rule: unchecked, a width typed wrongly gives v01, v2, v3.
    if (c.upperOn && CheckFixedWidth(url.GetFieldText(1), c.upperFrom, c.upperTo, state.FixedWidth) != 0)
        return OrderResult::Refused(kFixedWidthMessage);
    item.Fx2 = state.FixedWidth;
    // An upper string with no start has no number to put into its '*': every URL would keep the star.
    if (c.upperOn && item.St2.empty())
        return OrderResult::Refused(kUpperRangeEmptyMessage);

    const std::string urlTemplate = item.St1.empty() ? url.GetText() : url.MakeUrlTemplate(c.upperOn);
    if (urlTemplate.size() < 8)
        return OrderResult::Refused(kBadTargetMessage);
    item.job.Targ = urlTemplate;

    TakeReferer(c.referer, item);

    int subfolderStars = 0;
    if (c.upperOn && c.subfolderOn) {
        std::string sub = TrimSlashes(c.subfolder);
        if (sub.empty())
            sub.push_back('*');
        subfolderStars = CountOccurrences(sub, "*");
        if (subfolderStars == 0) {
            sub += "*";
            subfolderStars = 1;
        } else if (subfolderStars > 1) {
            return OrderResult::Refused(kSubfolderStarsMessage);
        }
        if (std::string refusal = TemplateRefusal(sub, "　サブフォルダ"); !refusal.empty())
            return OrderResult::Refused(std::move(refusal));
        item.Sub = sub;
    }

    OrderResult name = CheckSaveName(c.saveName, urlTemplate, subfolderStars, c.upperOn, item.St1, item.Ed1, state);
    if (!name.ok()) {
        name.messages.push_back(kNameUnsuitableMessage);
        return name;
    }

    std::string folder = c.folder;
    if (CheckFolderText(folder) != 0)
        return OrderResult::Refused(folder, true);
    if (folder.back() != '/')
        folder += '/';
    item.Fol = folder;
    item.job.Dest = folder + (item.Sub.empty() ? "" : item.Sub + "/") + state.NameTemplate;
    // A name the checks above let through may still name no file ("x/" when no number is missing).
    if (std::string refusal = DestRefusal(item.job.Dest, folder); !refusal.empty())
        return OrderResult::Refused(std::move(refusal));

    TakeCookie(urlTemplate, state, item);
    return OrderResult::Ready();
}

void BuildKeptSequentialItem(const SequentialControls& c, const DetailSettings& settings, SequentialState& state,
                             CQueueItem& item)
{
    const CSeqUrl& url = *c.url;
    item.Clear();
    FillRequestOptions(settings, item);
    item.Kind = CQueueItem::RENBAN;
    item.KindName = "RENBAN";
    TakeRanges(c, item);
    // A width the boxes do not agree with leaves the width unset and keeps the rest of the order.
    if (CheckFixedWidth(url.GetFieldText(0), c.lowerFrom, c.lowerTo, state.FixedWidth) == 0)
        item.Fx1 = state.FixedWidth;
    if (!c.upperOn || CheckFixedWidth(url.GetFieldText(1), c.upperFrom, c.upperTo, state.FixedWidth) == 0)
        item.Fx2 = state.FixedWidth;

    std::string urlTemplate = item.St1.empty() ? url.GetText() : url.MakeUrlTemplate(c.upperOn);
    if (urlTemplate.size() < 8)
        urlTemplate = "http://";
    item.job.Targ = urlTemplate;
    TakeReferer(c.referer, item);
    if (c.subfolderOn)
        item.Sub = c.subfolder;
    const std::string folder = TrimFolder(c.folder);
    item.Fol = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    item.job.Dest = item.Fol + c.saveName;
    TakeCookie(urlTemplate, state, item);
    // Without 記録 the password stays in memory only.
    if (!settings.RecordPassword)
        item.job.Pass.clear();
}

void LoadUrlFromItem(CSeqUrl& url, const CQueueItem& item)
{
    url.LoadFromItem(item.job.Targ, item.job.Refe, item.Or1, item.Or2, item.Syn);
}

} // namespace pelldra
