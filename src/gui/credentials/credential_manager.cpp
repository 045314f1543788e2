// The credentials manager: the store's opening, closing and editing.
#include "gui/credentials/credential_manager.h"

#include "core/credentials/login.h"
#include "core/credentials/ninsho_center.h"
#include "core/orders/detail_settings.h"
#include "core/registry/app_registry.h"
#include "core/registry/credential_values.h"
#include "core/registry/tavin_reg_key.h"
#include "gui/credentials/credential_list_dialog.h"
#include "gui/credentials/login_dialog.h"

namespace pelldra {

CCredentialManager::CCredentialManager(QWidget* dialogParent, StoreChanged onStoreChanged)
    : dialogParent_(dialogParent), onStoreChanged_(std::move(onStoreChanged))
{
}

CCredentialManager::~CCredentialManager() = default;

int CCredentialManager::Open(bool askLogin)
{
    if (askLogin) {
        CTavinRegKey key(kNinshoCenterKeyPath);
        if (!key.IsOpen())
            return 1;
        const LoginValues stored = ReadLoginValues(key);
        CLoginDlg login(dialogParent_, stored);
        if (login.exec() != QDialog::Accepted)
            return 1;
        RecordLogin(key, stored, login.Accepted());
    }
    if (!store_)
        SetStore(OpenRegisteredStore());
    return 0;
}

void CCredentialManager::Close()
{
    if (store_)
        SetStore(nullptr);
}

CNinshoCenter& CCredentialManager::StoreOpenedWithoutLogin()
{
    Open(false);
    return *store_;
}

bool CCredentialManager::HasLoginUser()
{
    return pelldra::HasLoginUser();
}

void CCredentialManager::OpenAtStart(DetailSettings& settings)
{
    switch (CredentialsAtStart(settings.UseCredentialManager != 0, settings.ConfirmUserAtStart != 0, HasLoginUser())) {
    case StartCredentials::Leave:
        return;
    case StartCredentials::Open:
        Open(false);
        return;
    case StartCredentials::OpenAfterLogin:
        if (Open(true) == 0)
            return;
        break;
    case StartCredentials::SwitchOff:
        break;
    }
    settings.UseCredentialManager = 0;
}

void CCredentialManager::ShowEditor(QWidget* parent, CAuthRecord& current)
{
    Open(false);
    const std::shared_ptr<CNinshoCenter> store = store_; // stays alive however the list ends
    CCredentialListDlg list(parent, *store, current);
    list.exec();
}

void CCredentialManager::SetStore(std::shared_ptr<CNinshoCenter> store)
{
    store_ = std::move(store);
    if (onStoreChanged_)
        onStoreChanged_(store_);
}

} // namespace pelldra
