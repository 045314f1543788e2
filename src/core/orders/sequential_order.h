// The start command of the series mode: its checks over the window's values, and the item they build.
#pragma once

#include <string>

#include "core/orders/detail_settings.h"
#include "core/orders/order_result.h"

namespace pelldra {

class CQueueItem;
class CSeqUrl;

// The main window's controls as they stand when start is pressed.
struct SequentialControls
{
    const CSeqUrl* url = nullptr; // the URL with its marks; required
    CSeqUrl* referer = nullptr;   // the Referer, whose master is url; null sends no Referer
    std::string lowerFrom;
    std::string lowerTo;
    bool upperOn = false; // the upper digit string is in use (its check box is enabled and ticked)
    std::string upperFrom;
    std::string upperTo;
    bool subfolderOn = true;
    std::string subfolder; // the subfolder template as typed
    std::string saveName;  // the save-name template as typed; empty: taken from the URL
    std::string folder;    // the download folder as typed
};

// Binds the saved Referer template to url as the window does, so that a start from the command line sends the same
// Referer; nothing when none is saved. referer holds it and must outlive controls.
void BindSavedReferer(const DetailSettings& settings, CSeqUrl& url, CSeqUrl& referer, SequentialControls& controls);

// Window state that the start command reads and changes.
struct SequentialState
{
    int FixedWidth = 2;          // the width found by the last fixed-width check
    std::string NameTemplate;    // the save-name template in use
    bool NameGiven = false;      // the user typed the save name
    std::string LastCookie;      // cookie of the last item loaded into the window
    std::string LastCookieScope; // its URL's folder part, up to the last '/'
};

// The range edits' texts for one digit string, as the window fills them when the URL changes.
struct RangeTexts
{
    std::string from;
    std::string to; // "" with toEmptied: the edit is emptied rather than set
    bool toEmptied = false;
    int width = 0; // the edits' zero-fill width
};

struct FilledRanges
{
    RangeTexts lower;
    bool hasUpper = false; // the upper string is in use and upper holds its texts
    RangeTexts upper;
};

// Both edits take the URL's digits; with the whole-sequence setting a digit string outside the host part instead
// runs from 1 with no end.
FilledRanges RefreshRangesFromUrl(const CSeqUrl& url, bool wholeSequence);

// The edits' texts of a stored series order shown again, so that its start asks for the same files as before:
// the stored ranges with their widths, or the URL's digits (RefreshRangesFromUrl) when the order holds no lower
// start or a stored value that is no sound counter or width.
FilledRanges RangesOfItem(const CQueueItem& item, const CSeqUrl& url, bool wholeSequence);

// The folder edit's check: blanks at either end and then trailing slashes are trimmed, then the folder is checked.
// Returns 0 and the trimmed folder in text, or the check's code and its message in text.
int CheckFolderText(std::string& text);

// The fixed-width check of one digit string: urlDigits is what the URL holds there (empty: nothing marked).
// Returns 0 pass or 1 fail; sets fixedWidth as it goes, so a failed check may have changed it.
int CheckFixedWidth(const std::string& urlDigits, const std::string& from, const std::string& to, int& fixedWidth);

// The save-name template check of the URL template urlTemplate with subfolderStars stars in the subfolder.
// Sets state.NameTemplate (with the stars still missing put in) and state.NameGiven. A name that climbs out of the
// folder or holds a control character is refused (TemplateRefusal).
OrderResult CheckSaveName(const std::string& saveName, const std::string& urlTemplate, int subfolderStars, bool upperOn,
                          const std::string& st1, const std::string& ed1, SequentialState& state);

// Builds the series item from the controls into item (cleared first; partly filled when refused). The subfolder
// and the save name are refused as CheckSaveName refuses a name, and so is a save path that names no file.
OrderResult BuildSequentialItem(const SequentialControls& controls, const DetailSettings& settings,
                                SequentialState& state, CQueueItem& item);

// The order the window keeps for its next start: built like the start command's, but nothing refuses it, since
// closing must keep what was typed. A URL shorter than 8 characters becomes "http://"; the subfolder is kept as
// typed whenever its box is ticked; the save name is kept as typed; the folder goes in unchecked. The password is
// left out unless the settings record it.
void BuildKeptSequentialItem(const SequentialControls& controls, const DetailSettings& settings, SequentialState& state,
                             CQueueItem& item);

// Rebuilds a URL or a Referer (a CSeqUrl with a master) from a stored series item.
void LoadUrlFromItem(CSeqUrl& url, const CQueueItem& item);

} // namespace pelldra
