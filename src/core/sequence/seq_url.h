// CSeqUrl: a URL text with its two marked digit runs (lower field 0, upper field 1).
#pragma once

#include <string>
#include <string_view>

#include "core/platform/result.h"

namespace pelldra {

// A span of bytes [start, end); (-1, -1) when nothing is marked.
struct SeqSpan
{
    int start = -1;
    int end = -1;
    bool operator==(const SeqSpan&) const = default;
};

class CSeqUrl
{
public:
    CSeqUrl() { Reset(); }
    // A Referer object keeps a plain pointer to its master; copies would silently share or lose that link.
    CSeqUrl(const CSeqUrl&) = delete;
    CSeqUrl& operator=(const CSeqUrl&) = delete;

    // Queries. A field index other than 0 or 1 addresses an empty field.
    std::string GetText() const { return text_; }
    std::string GetFieldText(int i) const;
    // (start, end), or (0, 0) for an empty field.
    SeqSpan GetFieldSpan(int i) const;
    bool IsFieldEmpty(int i) const;
    int GetFieldLength(int i) const;
    bool HasLeadingZero(int i) const;
    // The zero-fill width the start and end boxes take for field i: its length when its digits begin with '0' or
    // fixed digits are assumed, else 0.
    int FieldWidth(int i) const;
    bool CanMoveLeft(int i) const;
    bool CanMoveRight(int i) const;
    bool HasPrevMatch() const;
    bool HasNextMatch() const;
    // 0: field empty or not in the host part; 1: in the host; 2: in the host with a ':' somewhere to its left.
    int FieldInHost(int i) const;
    // -1 without a master; otherwise bit 1 for the lower and bit 2 for the upper field (see the .cpp).
    int MasterFieldsFound(bool spansOnly) const;

    // Templates: each marked run replaced by '*'. flags bit 1 replaces field 0, bit 2 field 1.
    std::string ReplaceFieldWithStar(const std::string& t, int i) const;
    std::string MakeTemplate(int flags) const;
    std::string MakeUrlTemplate(bool useUpper) const { return MakeTemplate(useUpper ? 3 : 1); }

    // Changes. After every one of them each field is either empty (-1, -1) or 0 <= start < end <= text length,
    // and field 1, when both are set, ends at or before the start of field 0. The text is taken without blanks and
    // line breaks at either end: copied URLs often bring them, and they would end up in the request and the names.
    bool SetText(const std::string& newText);
    void Refresh() { SetText(text_); }
    void Reset();
    void ClearField(int i);
    // Refuses (false) a master that would close a loop, which would make the shared settings unreachable.
    bool SetMaster(CSeqUrl* p);
    CSeqUrl* GetMaster() const { return master_; }

    // Re-derives field i from the text (the object without a master).
    void LocateByDiff(int i);
    // Re-finds the master's digits of field i (the Referer object); code 1 with its message without a master.
    Result SetByNum(int i);
    // SetByNum or ClearField for both fields, as the sync flags say.
    void SyncFields();

    // The main window's arrow buttons: move the selected field to the neighbouring digit run.
    void SelectPrevRun();
    void SelectNextRun();
    // The detail dialog's arrow buttons: move the selected field to another occurrence of the master's digits.
    void SelectPrevMatch();
    void SelectNextMatch();

    // Rebuilds text and marks from a stored order: the URL template (no master) or the Referer template, with the
    // digits that stood at the '*'s.
    void LoadFromItem(const std::string& targ, const std::string& refe, const std::string& or1, const std::string& or2,
                      int syn);

    // The object's own text and marks, without the shared settings: a dialog that edits them puts them back when
    // it is cancelled.
    struct OwnState
    {
        std::string text;
        std::string prevText;
        SeqSpan fields[2];
        std::string masterDigits[2];
    };
    OwnState SaveOwnState() const;
    void RestoreOwnState(const OwnState& state);

    // Settings shared along the master chain: read and written at the object that has no master.
    bool GetUpperEnabled() const { return Root().upperEnabled_; }
    void SetUpperEnabled(bool on) { Root().upperEnabled_ = on; }
    int GetSelectedField() const { return Root().selectedField_; }
    void SetSelectedField(int i) { Root().selectedField_ = i == 1 ? 1 : 0; }
    int GetSyncFlags() const { return Root().syncFlags_; }
    void SetSyncFlags(int flags) { Root().syncFlags_ = flags; }
    bool GetAssumeFixedDigits() const { return Root().assumeFixedDigits_; }
    void SetAssumeFixedDigits(bool on) { Root().assumeFixedDigits_ = on; }

private:
    CSeqUrl& Root();
    const CSeqUrl& Root() const;

    // base is the text the current marks refer to: prevText_ right after an edit, text_ otherwise.
    void LocateByDiff(int i, std::string_view base);
    Result SetByNum(int i, std::string_view base);
    void SyncFields(std::string_view base);
    void PlaceBack(std::string& t, const std::string& digits, int i);
    void SetField(int i, SeqSpan span);
    void KeepFieldsInText();

    std::string text_;
    std::string prevText_;
    int start_[2] = {-1, -1};
    int end_[2] = {-1, -1};
    std::string masterDigits_[2];
    CSeqUrl* master_ = nullptr; // not owned
    bool upperEnabled_ = false;
    int selectedField_ = 0;
    int syncFlags_ = 0;
    bool assumeFixedDigits_ = false;
};

} // namespace pelldra
