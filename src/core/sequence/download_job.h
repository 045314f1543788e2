// One file to fetch: where from, how to ask for it, where to save it; its key-line and update-link text forms.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pelldra {

struct DownloadJob
{
    std::string User;  // user name for HTTP authentication
    std::string Pass;  // its password, in clear
    std::string Agen;  // User-Agent; empty: not sent
    std::string Refe;  // Referer; empty: not sent
    std::string Targ;  // the URL
    std::string Meth;  // carried, never used to choose the verb
    std::string Argu;  // request body; non-empty makes the request a POST
    std::string Dest;  // full save path
    std::string Cook;  // Cookie; empty: not sent
    std::string Spare; // carried with the record only
    int32_t Modi = -1; // Last-Modified of the answer, seconds since 1970 UTC; 0 when the answer had none
    int32_t Load = 0;
    std::string Name;
    std::string Prox; // proxy "host:port"; empty: direct
    int32_t ByPa = 1; // local addresses bypass the proxy
    int32_t Cash = 1; // 0: ask every cache for a fresh copy
    int32_t Seri = 0; // speed class 1 slow, 2 middle, 3 fast
    int32_t Relo = 0; // accept a redirect to another file name or an answer of another type
    std::string Head; // extra request header line(s)

    void Reset() { *this = DownloadJob(); }
    bool operator==(const DownloadJob&) const = default;

    // Applies one line of a download list to this record ("Refe: ", "Agen: ", "User: ", "Pass: ", "Targ: ",
    // "Dest: ", "Cook: "; case-sensitive, the value untrimmed). True when the line was a "Dest: " line, which
    // completes a job: the caller copies the record then. A trailing CR or LF is not part of the line.
    bool ReadListLine(std::string_view line);

    // The update-link block, twenty lines ending in CR LF. A line break inside a value is written as a blank,
    // so that no value can add or break lines of the block.
    std::string UpdateLinkBlock() const;

    // "Authorization: Basic <base64 of User:Pass>\r\n".
    std::string BasicAuthorization() const;
};

} // namespace pelldra
