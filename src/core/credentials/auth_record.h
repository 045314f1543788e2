// CAuthRecord: one site credential, and the rule by which a new one takes an existing one's place.
#pragma once

#include <cstddef>
#include <string>

namespace pelldra {

class CAuthRecord
{
public:
    // Every field is one line of the data file, read back through a 1024-byte buffer: a value is cut at its first
    // line break (or NUL) and after this many bytes, so that what is stored always reads back the same.
    static constexpr size_t kMaxValueBytes = 1022;
    // The password is written scrambled, up to three bytes for each of its bytes plus three for the key.
    static constexpr size_t kMaxPasswordBytes = (kMaxValueBytes - 3) / 3;

    // These four drop leading and trailing blanks (space, tab, CR, LF).
    void SetSiteName(const std::string& s);
    void SetSiteUrl(const std::string& s);
    void SetUserId(const std::string& s);
    void SetPageUrl(const std::string& s);
    // Kept as given (a leading space is part of a password); only the length is bounded.
    void SetPassword(const std::string& s);

    const std::string& GetSiteName() const { return siteName_; }
    const std::string& GetSiteUrl() const { return siteUrl_; }
    const std::string& GetUserId() const { return userId_; }
    const std::string& GetPassword() const { return password_; }
    const std::string& GetPageUrl() const { return pageUrl_; }

    void Clear() { *this = CAuthRecord(); }
    bool operator==(const CAuthRecord&) const = default;

private:
    std::string siteName_;
    std::string siteUrl_; // the key: a URL prefix, usually ending in "/"
    std::string userId_;
    std::string password_; // in clear
    std::string pageUrl_;  // the URL at which the credential was needed
};

// Whether rec, inserted before next (the first stored record whose key does not sort before rec's), overwrites next
// instead of going in beside it: the same key, or a more general key (a proper prefix) for the same user and
// password. Only that one record is ever replaced.
bool TakesPlaceOf(const CAuthRecord& rec, const CAuthRecord& next);

} // namespace pelldra
