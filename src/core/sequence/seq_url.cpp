// The marked URL: digit-run search, marks that follow edits, the Referer's sync with its master, templates.
#include "core/sequence/seq_url.h"

#include <algorithm>
#include <climits>
#include <optional>

#include "core/text/text_utils.h"

namespace pelldra {

namespace {

const char kSetByNumMessage[] = "予期しないエラーです。[SetByNum()]\n作者に連絡して下さい。";

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

int Length(std::string_view s)
{
    // Texts beyond INT_MAX bytes are not marked at all (see SetText), so this never truncates a marked text.
    return static_cast<int>(std::min<size_t>(s.size(), INT_MAX));
}

// The leading part of s up to (not including) position p, clamped to s.
std::string_view LeftOf(std::string_view s, int p)
{
    return s.substr(0, static_cast<size_t>(std::clamp(p, 0, Length(s))));
}

// First occurrence of sub at or after from; -1 when there is none, sub is empty or from lies outside s.
int FindFrom(std::string_view s, std::string_view sub, int from)
{
    if (sub.empty() || from < 0 || from > Length(s))
        return -1;
    const size_t p = s.find(sub, static_cast<size_t>(from));
    return p == std::string_view::npos ? -1 : static_cast<int>(p);
}

bool Fits(SeqSpan span, int n)
{
    return span.start >= 0 && span.start < span.end && span.end <= n;
}

// How s differs from the text the marks last referred to: the bytes before prefix are unchanged, and so are the
// bytes from nTail on in s, which were the bytes from pTail on in prev.
struct EditDiff
{
    int prefix = -1;
    int nTail = 0;
    int pTail = 0;
};

EditDiff CompareForEdit(std::string_view s, std::string_view prev)
{
    const int n = Length(s);
    const int p = Length(prev);
    const int m = std::min(n, p);
    int prefix = 0;
    while (prefix < m && s[prefix] == prev[prefix])
        ++prefix;
    int suffix = 0;
    while (suffix < m && s[n - 1 - suffix] == prev[p - 1 - suffix])
        ++suffix;
    return {prefix == 0 ? -1 : prefix, n - suffix, p - suffix};
}

// Digit-run primitives. A digit is a byte '0'..'9'; positions count bytes.
// Last digit at or before p (p outside the string: start at its end); -1 when none.
int LastDigitAtOrBefore(std::string_view s, int p)
{
    const int n = Length(s);
    for (int k = (p >= 0 && p <= n - 1) ? p : n - 1; k >= 0; --k)
        if (IsDigit(s[k]))
            return k;
    return -1;
}

// First digit at or after p (p outside the string: start at 0); -1 when none.
int FirstDigitFrom(std::string_view s, int p)
{
    const int n = Length(s);
    for (int k = (p >= 0 && p <= n - 1) ? p : 0; k < n; ++k)
        if (IsDigit(s[k]))
            return k;
    return -1;
}

// First position of the run holding p (p outside: the last byte); for a non-digit p, p + 1; -1 when that is past
// the end.
int RunStartOf(std::string_view s, int p)
{
    const int n = Length(s);
    int k = (p >= 0 && p <= n - 1) ? p : n - 1;
    while (k >= 0 && IsDigit(s[k]))
        --k;
    return k + 1 >= n ? -1 : k + 1;
}

// Last position of the run that begins at p (p outside: 0); p - 1 when p is not a digit.
int RunLastOf(std::string_view s, int p)
{
    const int n = Length(s);
    int k = (p >= 0 && p <= n - 1) ? p : 0;
    while (k < n && IsDigit(s[k]))
        ++k;
    return k - 1;
}

// The last occurrence of sub in s; an empty sub occurs nowhere, so it can never mark an empty field.
std::optional<SeqSpan> FindLast(std::string_view s, std::string_view sub)
{
    if (sub.empty())
        return std::nullopt;
    const size_t p = s.rfind(sub);
    if (p == std::string_view::npos)
        return std::nullopt;
    return SeqSpan{static_cast<int>(p), static_cast<int>(p + sub.size())};
}

} // namespace

// ---- queries

std::string CSeqUrl::GetFieldText(int i) const
{
    if (text_.empty() || IsFieldEmpty(i) || start_[i] >= Length(text_))
        return "";
    return std::string(LeftOf(text_, end_[i]).substr(static_cast<size_t>(std::max(start_[i], 0))));
}

SeqSpan CSeqUrl::GetFieldSpan(int i) const
{
    if (IsFieldEmpty(i))
        return {0, 0};
    return {start_[i], end_[i]};
}

bool CSeqUrl::IsFieldEmpty(int i) const
{
    return (i != 0 && i != 1) || start_[i] == end_[i];
}

int CSeqUrl::GetFieldLength(int i) const
{
    return IsFieldEmpty(i) ? 0 : end_[i] - start_[i];
}

bool CSeqUrl::HasLeadingZero(int i) const
{
    return !IsFieldEmpty(i) && text_[static_cast<size_t>(start_[i])] == '0';
}

int CSeqUrl::FieldWidth(int i) const
{
    const std::string d = GetFieldText(i);
    return !d.empty() && (d[0] == '0' || GetAssumeFixedDigits()) ? Length(d) : 0;
}

bool CSeqUrl::CanMoveLeft(int i) const
{
    if (IsFieldEmpty(i))
        return false;
    if (i == 0 && GetUpperEnabled() && !IsFieldEmpty(1) && start_[1] < start_[0])
        return true;
    return start_[i] > 0 && LastDigitAtOrBefore(text_, start_[i] - 1) >= 0;
}

bool CSeqUrl::CanMoveRight(int i) const
{
    if (IsFieldEmpty(i) || end_[i] >= Length(text_))
        return false;
    // The upper mark may not pass the lower one.
    const std::string_view s = (i == 1 && !IsFieldEmpty(0)) ? LeftOf(text_, start_[0]) : std::string_view(text_);
    // Searching from a position past s would wrap to its start and report the field's own digits.
    return end_[i] < Length(s) && FirstDigitFrom(s, end_[i]) >= 0;
}

bool CSeqUrl::HasPrevMatch() const
{
    const int i = GetSelectedField();
    if (!master_ || IsFieldEmpty(i) || text_.empty())
        return false;
    return FindLast(LeftOf(text_, start_[i]), master_->GetFieldText(i)).has_value();
}

bool CSeqUrl::HasNextMatch() const
{
    const int i = GetSelectedField();
    if (!master_ || IsFieldEmpty(i) || text_.empty() || end_[i] >= Length(text_))
        return false;
    return FindFrom(text_, master_->GetFieldText(i), end_[i]) >= 0;
}

int CSeqUrl::FieldInHost(int i) const
{
    if (IsFieldEmpty(i))
        return 0;
    // The host starts after "://" (so https works like http); a text without a scheme starts with its host.
    const size_t scheme = text_.find("://");
    const size_t hostStart = scheme == std::string::npos ? 0 : scheme + 3;
    // Without a '/' after the host the whole rest of the text is host.
    const size_t slash = hostStart < text_.size() ? text_.find('/', hostStart) : std::string::npos;
    const size_t hostEnd = slash == std::string::npos ? text_.size() : slash;
    if (static_cast<size_t>(start_[i]) >= hostEnd)
        return 0;
    return LeftOf(text_, start_[i]).find(':') != std::string_view::npos ? 2 : 1;
}

int CSeqUrl::MasterFieldsFound(bool spansOnly) const
{
    if (!master_)
        return -1;
    if (spansOnly)
        return (start_[0] >= 0 ? 1 : 0) + (start_[1] >= 0 ? 2 : 0);
    // find("") is 0, so a master field without digits counts as found.
    const bool lower = text_.find(master_->GetFieldText(0)) != std::string::npos;
    const bool upper = text_.find(master_->GetFieldText(1)) != std::string::npos;
    return (lower ? 1 : 0) + (upper ? 2 : 0);
}

// ---- templates

std::string CSeqUrl::ReplaceFieldWithStar(const std::string& t, int i) const
{
    if (IsFieldEmpty(i))
        return t;
    const std::string_view v(t);
    const std::string_view right = v.substr(std::min(static_cast<size_t>(end_[i]), v.size()));
    return std::string(LeftOf(v, start_[i])) + "*" + std::string(right);
}

std::string CSeqUrl::MakeTemplate(int flags) const
{
    std::string t = text_;
    if (flags & 1)
        t = ReplaceFieldWithStar(t, 0);
    // Field 1 lies left of field 0, so its positions still hold after field 0 was replaced.
    if (flags & 2)
        t = ReplaceFieldWithStar(t, 1);
    return t;
}

// ---- changes

bool CSeqUrl::SetText(const std::string& newText)
{
    std::string incoming(TrimBlanks(newText)); // newText may be text_ itself (Refresh)
    prevText_ = std::move(text_);
    text_ = std::move(incoming);
    if (text_.size() > static_cast<size_t>(INT_MAX)) {
        // Positions are ints; a text this long cannot be marked.
        ClearField(0);
        ClearField(1);
        return true;
    }
    if (master_) {
        SyncFields(prevText_);
    } else {
        LocateByDiff(0, prevText_);
        if (!IsFieldEmpty(0))
            LocateByDiff(1, prevText_);
        else
            ClearField(1);
    }
    KeepFieldsInText();
    return true;
}

void CSeqUrl::Reset()
{
    text_.clear();
    prevText_.clear();
    ClearField(0);
    ClearField(1);
    master_ = nullptr;
    upperEnabled_ = false;
    selectedField_ = 0;
    syncFlags_ = 0;
    assumeFixedDigits_ = false;
}

CSeqUrl::OwnState CSeqUrl::SaveOwnState() const
{
    OwnState s{text_, prevText_, {}, {masterDigits_[0], masterDigits_[1]}};
    for (int i = 0; i < 2; ++i)
        s.fields[i] = {start_[i], end_[i]};
    return s;
}

void CSeqUrl::RestoreOwnState(const OwnState& s)
{
    text_ = s.text;
    prevText_ = s.prevText;
    for (int i = 0; i < 2; ++i) {
        start_[i] = s.fields[i].start;
        end_[i] = s.fields[i].end;
        masterDigits_[i] = s.masterDigits[i];
    }
}

void CSeqUrl::ClearField(int i)
{
    if (i != 0 && i != 1)
        return;
    start_[i] = end_[i] = -1;
    masterDigits_[i].clear();
}

bool CSeqUrl::SetMaster(CSeqUrl* p)
{
    for (const CSeqUrl* q = p; q; q = q->master_)
        if (q == this)
            return false;
    master_ = p;
    return true;
}

CSeqUrl& CSeqUrl::Root()
{
    CSeqUrl* r = this;
    while (r->master_)
        r = r->master_;
    return *r;
}

const CSeqUrl& CSeqUrl::Root() const
{
    const CSeqUrl* r = this;
    while (r->master_)
        r = r->master_;
    return *r;
}

void CSeqUrl::SetField(int i, SeqSpan span)
{
    start_[i] = span.start;
    end_[i] = span.end;
}

void CSeqUrl::KeepFieldsInText()
{
    const int n = Length(text_);
    for (int i = 0; i < 2; ++i)
        if (!Fits({start_[i], end_[i]}, n))
            start_[i] = end_[i] = -1;
    // A template replaces field 0 first and relies on field 1 lying wholly to its left.
    if (!IsFieldEmpty(0) && !IsFieldEmpty(1) && end_[1] > start_[0])
        start_[1] = end_[1] = -1;
}

// The marks already follow the current text; measuring against prevText_ again would apply the last edit twice.
void CSeqUrl::LocateByDiff(int i)
{
    if (i != 0 && i != 1)
        return;
    LocateByDiff(i, text_);
    KeepFieldsInText();
}

void CSeqUrl::LocateByDiff(int i, std::string_view base)
{
    if (i == 1 && IsFieldEmpty(0)) {
        ClearField(1);
        return;
    }
    const std::string_view s = i == 1 ? LeftOf(text_, start_[0]) : std::string_view(text_);
    const int n = Length(s);
    if (!IsFieldEmpty(i)) {
        const EditDiff d = CompareForEdit(s, base);
        const int e = end_[i];
        const int s0 = start_[i];
        SeqSpan r{s0, e};
        if (e < d.prefix) {
            // The edit lies after the field: a digit it brought in becomes the field.
            for (int k = d.nTail - 1; k >= std::max(d.prefix, 0); --k) {
                if (IsDigit(s[k])) {
                    r.start = RunStartOf(s, k);
                    r.end = RunLastOf(s, r.start) + 1;
                    break;
                }
            }
        } else if (s0 >= d.pTail) {
            r.end = e - d.pTail + d.nTail;
            r.start = RunStartOf(s, r.end - 1);
        } else if (s0 < d.prefix) {
            // Digits typed next to the field join it.
            r.end = RunLastOf(s, s0) + 1;
        } else if (e > d.pTail) {
            r.end = e - d.pTail + d.nTail;
            r.start = RunStartOf(s, r.end - 1);
        } else {
            r = {-1, -1}; // the field lay wholly inside the changed region
        }
        // A span that would leave the text (marks measured against an unrelated text) is searched afresh.
        if (Fits(r, n)) {
            SetField(i, r);
            return;
        }
        start_[i] = end_[i] = -1;
    }
    const int g = LastDigitAtOrBefore(s, end_[i]);
    if (g < 0)
        SetField(i, {-1, -1});
    else
        SetField(i, {RunStartOf(s, g), g + 1});
}

Result CSeqUrl::SetByNum(int i)
{
    if (!master_)
        return Result::failure(1, kSetByNumMessage);
    if (i != 0 && i != 1)
        return Result::success();
    Result r = SetByNum(i, text_);
    KeepFieldsInText();
    return r;
}

Result CSeqUrl::SetByNum(int i, std::string_view base)
{
    if (!master_)
        return Result::failure(1, kSetByNumMessage);
    if (text_.empty()) {
        ClearField(i);
        return Result::success();
    }
    const std::string num = master_->GetFieldText(i);
    if (num != masterDigits_[i]) {
        // A changed master number is always searched afresh.
        ClearField(i);
        masterDigits_[i] = num;
    }
    const std::string_view s = (i == 0 || IsFieldEmpty(0)) ? std::string_view(text_) : LeftOf(text_, start_[0]);
    const int n = Length(s);
    const int len = Length(num);
    if (!IsFieldEmpty(i)) {
        const EditDiff d = CompareForEdit(s, base);
        const int e = end_[i];
        const int s0 = start_[i];
        std::optional<SeqSpan> r;
        bool decided = true;
        if (e < d.prefix) {
            const int p = FindFrom(s, num, d.prefix);
            r = p >= 0 ? SeqSpan{p, p + len} : SeqSpan{s0, e};
        } else if (s0 >= d.pTail) {
            r = SeqSpan{s0 - d.pTail + d.nTail, e - d.pTail + d.nTail};
        } else if (s0 < d.prefix) {
            const int p = FindFrom(s, num, s0);
            r = p >= 0 ? std::optional<SeqSpan>(SeqSpan{p, p + len}) : FindLast(s, num);
        } else if (e > d.pTail) {
            r = FindLast(LeftOf(s, e - d.pTail + d.nTail), num);
            if (!r)
                r = FindLast(s, num);
        } else {
            decided = false;
        }
        if (decided && r && Fits(*r, n)) {
            SetField(i, *r);
            return Result::success();
        }
        start_[i] = end_[i] = -1;
    }
    if (const std::optional<SeqSpan> r = FindLast(s, num))
        SetField(i, *r);
    else
        ClearField(i);
    return Result::success();
}

void CSeqUrl::SyncFields()
{
    SyncFields(text_);
    KeepFieldsInText();
}

void CSeqUrl::SyncFields(std::string_view base)
{
    const int flags = GetSyncFlags();
    for (int i = 0; i < 2; ++i) {
        if (master_ && (flags & (i == 0 ? 1 : 2)))
            SetByNum(i, base);
        else
            ClearField(i);
    }
}

void CSeqUrl::SelectPrevRun()
{
    const int i = GetSelectedField();
    // From position 0 the search would wrap round to the end of the text.
    if (IsFieldEmpty(i) || start_[i] <= 0)
        return;
    const int g = LastDigitAtOrBefore(text_, start_[i] - 1);
    if (g >= 0)
        SetField(i, {RunStartOf(text_, g), g + 1});
    if (i == 0 && start_[0] < end_[1])
        LocateByDiff(1, text_); // push the upper mark to the run left of the new lower mark, or clear it
    KeepFieldsInText();
}

void CSeqUrl::SelectNextRun()
{
    const int i = GetSelectedField();
    const int n = Length(text_);
    if (IsFieldEmpty(i) || end_[i] >= n)
        return;
    const int g = FirstDigitFrom(text_, end_[i]);
    if (g < 0)
        return;
    const SeqSpan old{start_[i], end_[i]};
    SetField(i, {g, RunLastOf(text_, g) + 1});
    if (i == 1 && start_[0] < end_[1]) {
        // Push the lower mark right of the upper one; without a run left for it the upper mark cannot move.
        const int h = end_[1] < n ? FirstDigitFrom(text_, end_[1]) : -1;
        if (h >= 0)
            SetField(0, {h, RunLastOf(text_, h) + 1});
        else if (!IsFieldEmpty(0))
            SetField(1, old);
    }
    if (i == 0 && IsFieldEmpty(1))
        LocateByDiff(1, text_);
    KeepFieldsInText();
}

void CSeqUrl::SelectPrevMatch()
{
    if (!master_)
        return;
    const int i = GetSelectedField();
    const std::string num = master_->GetFieldText(i);
    const std::string_view region = start_[i] < 0 ? std::string_view(text_) : LeftOf(text_, start_[i]);
    const std::optional<SeqSpan> r = FindLast(region, num);
    if (!r)
        return;
    SetField(i, *r);
    if (i == 0) {
        // Once the lower mark no longer lies right of the upper one, the upper mark moves to its left.
        if (start_[0] < end_[1]) {
            if (const auto up = FindLast(LeftOf(text_, start_[0]), master_->GetFieldText(1)))
                SetField(1, *up);
            else
                ClearField(1);
        }
    } else if (IsFieldEmpty(0)) {
        const std::string lower = master_->GetFieldText(0);
        const int p = end_[1] < Length(text_) ? FindFrom(text_, lower, end_[1]) : -1;
        if (p >= 0)
            SetField(0, {p, p + Length(lower)});
        else
            ClearField(0);
    }
    KeepFieldsInText();
}

// After the lower mark moves right the upper mark stays put: it still lies to its left and still marks the
// master's upper digits, so nothing needs re-placing.
void CSeqUrl::SelectNextMatch()
{
    if (!master_)
        return;
    const int i = GetSelectedField();
    const std::string num = master_->GetFieldText(i);
    const int n = Length(text_);
    const int p = (end_[i] >= 0 && end_[i] < n) ? FindFrom(text_, num, end_[i]) : -1;
    if (p < 0)
        return;
    SetField(i, {p, p + Length(num)});
    if (i == 1 && start_[0] >= 0 && end_[1] > start_[0]) {
        const std::string lower = master_->GetFieldText(0);
        const int q = FindFrom(text_, lower, end_[1]);
        if (q >= 0)
            SetField(0, {q, q + Length(lower)});
        else
            ClearField(0);
    }
    KeepFieldsInText();
}

void CSeqUrl::LoadFromItem(const std::string& targ, const std::string& refe, const std::string& or1,
                           const std::string& or2, int syn)
{
    std::string t = master_ ? refe : targ;
    ClearField(0);
    if (!master_ || (syn & 1))
        PlaceBack(t, or1, 0);
    ClearField(1);
    if (!master_ || (syn & 2))
        PlaceBack(t, or2, 1);
    prevText_ = std::move(text_);
    text_ = std::move(t);
    KeepFieldsInText();
}

void CSeqUrl::PlaceBack(std::string& t, const std::string& digits, int i)
{
    if (digits.empty())
        return;
    // The upper digits go into the last '*' left of the lower field, so that a '*' among stored lower digits
    // cannot pull the upper mark into the lower one.
    const bool lowerSet = i == 1 && !IsFieldEmpty(0);
    const size_t c = lowerSet ? LeftOf(t, start_[0]).rfind('*') : t.rfind('*');
    if (c == std::string::npos || c > static_cast<size_t>(INT_MAX) - digits.size())
        return;
    SetField(i, {static_cast<int>(c), static_cast<int>(c + digits.size())});
    t.replace(c, 1, digits);
    if (lowerSet) {
        start_[0] += Length(digits) - 1;
        end_[0] += Length(digits) - 1;
    }
    // With a master, remember whose digits these are, so that the next sync keeps this very place instead of
    // searching afresh and possibly marking another occurrence.
    if (master_)
        masterDigits_[i] = digits;
}

} // namespace pelldra
