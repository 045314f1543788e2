// The credentials store as the transfers see it: open or closed at any moment, looked up and added to by workers.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <utility>

namespace pelldra {

class LoginStore;

// Holds the store while the credentials manager has it open. A transfer takes a reference for one lookup, so that a
// store closed meanwhile stays alive until the lookup is over.
class CredentialStoreRef
{
public:
    // The store that is now open, or null when it was closed.
    void Set(std::shared_ptr<LoginStore> store);
    std::shared_ptr<LoginStore> Get() const;

private:
    mutable std::mutex mutex_; // guards store_
    std::shared_ptr<LoginStore> store_;
};

struct StoreAnswer
{
    std::string user;
    std::string pass;
    std::string key; // the matching key: the next lookup for the same request passes it to step one level up
};

// The stored credentials for page; previousKey is "" at first. False when the store is closed or has none.
bool LookUpCredentials(CredentialStoreRef* store, const std::string& page, const std::string& previousKey,
                       StoreAnswer& out);

// After page took credentials (user, password): one record for the area's prefix, and one for the page under the
// key that answered (the prefix when the user typed them). A record they replace keeps what the user gave it.
void RememberCredentials(CredentialStoreRef* store, const std::string& page,
                         const std::pair<std::string, std::string>& credentials, const std::string& prefix,
                         const std::string& storeKey);

} // namespace pelldra
