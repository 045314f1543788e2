// Fuzz target: random edits, arrow moves, setting changes and reloads on a main URL and its Referer, with the
// marks checked after every step.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>

#include "require.h"
#include "core/sequence/seq_url.h"

using namespace pelldra;

namespace {

void CheckMarks(const CSeqUrl& u)
{
    const std::string text = u.GetText();
    const int n = static_cast<int>(text.size());
    for (int i = 0; i < 2; ++i) {
        if (u.IsFieldEmpty(i)) {
            Require(u.GetFieldText(i).empty(), "empty field has text");
            Require(u.GetFieldLength(i) == 0, "empty field has a length");
            continue;
        }
        const SeqSpan s = u.GetFieldSpan(i);
        Require(s.start >= 0 && s.start < s.end && s.end <= n, "field outside the text");
        Require(u.GetFieldText(i) == text.substr(static_cast<size_t>(s.start), static_cast<size_t>(s.end - s.start)),
                "field text is not the marked bytes");
        Require(u.FieldWidth(i) == 0 || u.FieldWidth(i) == s.end - s.start, "width neither 0 nor the length");
    }
    if (!u.IsFieldEmpty(0) && !u.IsFieldEmpty(1))
        Require(u.GetFieldSpan(1).end <= u.GetFieldSpan(0).start, "upper field not left of the lower field");

    // Each '*' replaces exactly one marked run.
    const std::string t = u.MakeTemplate(3);
    const size_t expected = text.size() - static_cast<size_t>(u.GetFieldLength(0) + u.GetFieldLength(1)) +
                            (u.IsFieldEmpty(0) ? 0 : 1) + (u.IsFieldEmpty(1) ? 0 : 1);
    Require(t.size() == expected, "template length");

    // The queries must hold up on any state.
    for (int i = 0; i < 2; ++i) {
        (void)u.CanMoveLeft(i);
        (void)u.CanMoveRight(i);
        const int host = u.FieldInHost(i);
        Require(host >= 0 && host <= 2, "FieldInHost range");
    }
    (void)u.HasPrevMatch();
    (void)u.HasNextMatch();
    const int found = u.MasterFieldsFound(false);
    Require(found >= -1 && found <= 3, "MasterFieldsFound range");
}

// Template, then reload: the text and the stored marks come back unchanged.
void RoundTrip(CSeqUrl& url, CSeqUrl& ref)
{
    const bool upper = url.GetUpperEnabled();
    const int syn = url.GetSyncFlags() & 3;

    const std::string urlText = url.GetText();
    const SeqSpan u0 = url.GetFieldSpan(0);
    const SeqSpan u1 = url.GetFieldSpan(1);
    const std::string targ = url.MakeUrlTemplate(upper);
    url.LoadFromItem(targ, "", url.GetFieldText(0), upper ? url.GetFieldText(1) : "", 0);
    if (urlText.find('*') == std::string::npos) {
        Require(url.GetText() == urlText, "URL text after reload");
        Require(url.GetFieldSpan(0) == u0, "URL lower mark after reload");
        if (upper)
            Require(url.GetFieldSpan(1) == u1, "URL upper mark after reload");
    }

    const std::string refText = ref.GetText();
    const SeqSpan r0 = ref.GetFieldSpan(0);
    const SeqSpan r1 = ref.GetFieldSpan(1);
    if (!ref.GetMaster()) {
        // Not chained: it reloads like a main URL, from its own template with both marks.
        ref.LoadFromItem(ref.MakeTemplate(3), "", ref.GetFieldText(0), ref.GetFieldText(1), 0);
        if (refText.find('*') == std::string::npos) {
            Require(ref.GetText() == refText, "unchained text after reload");
            Require(ref.GetFieldSpan(0) == r0 && ref.GetFieldSpan(1) == r1, "unchained marks after reload");
        }
        return;
    }
    const std::string refe = ref.MakeTemplate(syn);
    ref.LoadFromItem(targ, refe, (syn & 1) ? ref.GetFieldText(0) : "", (syn & 2) ? ref.GetFieldText(1) : "", syn);
    if (refText.find('*') == std::string::npos) {
        Require(ref.GetText() == refText, "Referer text after reload");
        if (syn & 1)
            Require(ref.GetFieldSpan(0) == r0, "Referer lower mark after reload");
        if (syn & 2)
            Require(ref.GetFieldSpan(1) == r1, "Referer upper mark after reload");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    CSeqUrl url;
    CSeqUrl ref;
    if (in.ConsumeBool())
        ref.SetMaster(&url);
    url.SetText(in.ConsumeRandomLengthString(200));
    ref.SetText(in.ConsumeRandomLengthString(200));

    for (int step = 0; step < 400 && in.remaining_bytes() > 0; ++step) {
        CSeqUrl& u = in.ConsumeBool() ? ref : url;
        std::string t = u.GetText();
        switch (in.ConsumeIntegralInRange<int>(0, 14)) {
        case 0: { // type a byte
            const size_t pos = in.ConsumeIntegralInRange<size_t>(0, t.size());
            t.insert(pos, 1, static_cast<char>(in.ConsumeIntegral<uint8_t>()));
            u.SetText(t);
            break;
        }
        case 1: { // delete a range
            const size_t pos = in.ConsumeIntegralInRange<size_t>(0, t.size());
            t.erase(pos, in.ConsumeIntegralInRange<size_t>(0, t.size() - pos));
            u.SetText(t);
            break;
        }
        case 2: { // paste over a selection
            const size_t pos = in.ConsumeIntegralInRange<size_t>(0, t.size());
            const size_t len = in.ConsumeIntegralInRange<size_t>(0, t.size() - pos);
            t.replace(pos, len, in.ConsumeRandomLengthString(32));
            u.SetText(t);
            break;
        }
        case 3:
            u.SelectPrevRun();
            break;
        case 4:
            u.SelectNextRun();
            break;
        case 5:
            u.SelectPrevMatch();
            break;
        case 6:
            u.SelectNextMatch();
            break;
        case 7: { // the upper check box
            const bool on = !url.GetUpperEnabled();
            url.SetUpperEnabled(on);
            url.SetSelectedField(on ? 1 : 0);
            url.Refresh();
            break;
        }
        case 8: // the sync check boxes
            u.SetSyncFlags(in.ConsumeIntegralInRange<int>(0, 3));
            ref.Refresh();
            break;
        case 9:
            u.SetSelectedField(in.ConsumeIntegralInRange<int>(-1, 2));
            break;
        case 10:
            u.SetAssumeFixedDigits(in.ConsumeBool());
            break;
        case 11:
            u.Refresh();
            break;
        case 12: {
            const int i = in.ConsumeIntegralInRange<int>(0, 1);
            if (in.ConsumeBool()) {
                const Result r = u.SetByNum(i);
                Require(r.ok() == (u.GetMaster() != nullptr), "SetByNum result");
            } else {
                u.LocateByDiff(i);
            }
            break;
        }
        case 13:
            if (in.ConsumeBool())
                u.SyncFields();
            else
                u.ClearField(in.ConsumeIntegralInRange<int>(0, 1));
            break;
        case 14:
            RoundTrip(url, ref);
            break;
        }
        CheckMarks(url);
        CheckMarks(ref);
    }
    return 0;
}
