// The credentials data file: reading its lines into sorted records and writing records back.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/credentials/auth_record.h"

namespace pelldra {

struct NinshoFileContents
{
    bool headerOk = true;             // false: a first line that is not "NCFile version ..." (no records then)
    std::vector<CAuthRecord> records; // sorted by SiteUrl, each key once
};

// Reads "NCFile version 1" and five lines per record (site name, user ID, scrambled password, site URL, page URL).
// Lines end in CR LF or LF and are taken 1023 bytes at a time, as the format's 1024-byte buffer reads them; a text
// ends at a NUL. A group of fewer than five lines at the end is dropped; empty input is an empty, good file.
NinshoFileContents ParseNinshoFile(std::string_view bytes);

// The file's text for records in their order, CR LF line ends; passwords scrambled with the clock value now.
std::string FormatNinshoFile(const std::vector<CAuthRecord>& records, std::int64_t now);

} // namespace pelldra
