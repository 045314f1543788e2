// LoginStore: what a transfer needs of a credential store, so that the engine knows no store of its own.
#pragma once

#include <string>

namespace pelldra {

// One login as a store holds it.
struct SiteLogin
{
    std::string siteUrl; // the key: a URL prefix, usually ending in "/"
    std::string pageUrl; // the URL at which the login was needed; "" when not known
    std::string user;
    std::string password;
};

// Workers call both from their own threads, so an implementation guards itself.
class LoginStore
{
public:
    virtual ~LoginStore() = default;

    // The login stored for pageUrl; found.siteUrl is the key that answered. previousKey is that key of the last
    // lookup for the same request ("" at first): a repeated lookup steps one level up. False when there is none.
    virtual bool FindLogin(const std::string& pageUrl, const std::string& previousKey, SiteLogin& found) const = 0;
    // A login the server accepted. A login it replaces keeps the labels the user gave it.
    virtual void AddLearnedLogin(const SiteLogin& login) = 0;
};

} // namespace pelldra
