// Lookups in and additions to the open credentials store.
#include "core/engine/credential_access.h"

#include "core/credentials/auth_record.h"
#include "core/credentials/ninsho_center.h"
#include "core/engine/download_job.h"

namespace pelldra {

void CredentialStoreRef::Set(std::shared_ptr<CNinshoCenter> store)
{
    std::lock_guard lock(mutex_);
    store_ = std::move(store);
}

std::shared_ptr<CNinshoCenter> CredentialStoreRef::Get() const
{
    std::lock_guard lock(mutex_);
    return store_;
}

bool LookUpCredentials(CredentialStoreRef* store, const std::string& page, const std::string& previousKey,
                       StoreAnswer& out)
{
    const std::shared_ptr<CNinshoCenter> center = store ? store->Get() : nullptr;
    if (!center)
        return false;
    CAuthRecord query;
    query.SetPageUrl(page);
    query.SetSiteUrl(previousKey);
    if (center->FindForUrl(query) != 0)
        return false;
    out.user = query.GetUserId();
    out.pass = query.GetPassword();
    out.key = query.GetSiteUrl();
    return true;
}

void RememberCredentials(CredentialStoreRef* store, const DownloadJob& job, const std::string& prefix,
                         const std::string& storeKey)
{
    const std::shared_ptr<CNinshoCenter> center = store ? store->Get() : nullptr;
    if (!center)
        return;
    int index = 0;
    CAuthRecord area;
    area.SetUserId(job.User);
    area.SetPassword(job.Pass);
    area.SetSiteUrl(prefix);
    center->AddLearned(area, index);
    CAuthRecord page;
    page.SetPageUrl(job.Targ);
    page.SetUserId(job.User);
    page.SetPassword(job.Pass);
    page.SetSiteUrl(storeKey.empty() ? prefix : storeKey);
    center->AddLearned(page, index);
}

} // namespace pelldra
