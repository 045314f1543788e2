// The maker's announcement file: its key lines, and whether its announcement is to be asked about.
#pragma once

#include <string>
#include <string_view>

namespace pelldra {

// The one announcement a file describes; a later line with the same key overrides an earlier one.
struct Announcement
{
    std::string Url_; // the page to read
    int Vers = 0;     // for program versions below this; 0 for all
    std::string Cate; // category; "" none
    int ID__ = 0;     // grows with each new announcement

    bool operator==(const Announcement&) const = default;
};

// The leading decimal digits as a number (capped at int's range); 0 when it does not begin with a digit.
int DecimalPrefix(std::string_view text);

// Takes one line: leading blanks and the line end go; a line of no more than five characters is ignored; its first
// six characters must be one of the keys "Url_: ", "Vers: ", "Cate: ", "ID__: ", the rest is the value.
void ParseAnnouncementLine(std::string_view line, Announcement& announcement);
Announcement ParseAnnouncement(std::string_view text);

// Whether to ask the user: the page is an http or https URL, the announcement is newer than the one last answered
// (answeredId, the stored "AnnID"), meant for this program version, and without a category unless the filter is
// part of it.
bool ShouldAsk(const Announcement& announcement, int answeredId, int programVersion, const std::string& categoryFilter);

} // namespace pelldra
