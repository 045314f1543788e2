// Lookups in and additions to the open credentials store.
#include "core/engine/credential_access.h"

#include "core/engine/login_store.h"

namespace pelldra {

void CredentialStoreRef::Set(std::shared_ptr<LoginStore> store)
{
    std::lock_guard lock(mutex_);
    store_ = std::move(store);
}

std::shared_ptr<LoginStore> CredentialStoreRef::Get() const
{
    std::lock_guard lock(mutex_);
    return store_;
}

bool LookUpCredentials(CredentialStoreRef* store, const std::string& page, const std::string& previousKey,
                       StoreAnswer& out)
{
    const std::shared_ptr<LoginStore> logins = store ? store->Get() : nullptr;
    SiteLogin found;
    if (!logins || !logins->FindLogin(page, previousKey, found))
        return false;
    out.user = found.user;
    out.pass = found.password;
    out.key = found.siteUrl;
    return true;
}

void RememberCredentials(CredentialStoreRef* store, const std::string& page,
                         const std::pair<std::string, std::string>& credentials, const std::string& prefix,
                         const std::string& storeKey)
{
    const std::shared_ptr<LoginStore> logins = store ? store->Get() : nullptr;
    if (!logins)
        return;
    const auto& [user, pass] = credentials;
    logins->AddLearnedLogin({prefix, "", user, pass});
    logins->AddLearnedLogin({storeKey.empty() ? prefix : storeKey, page, user, pass});
}

} // namespace pelldra
