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
    : m_dialogParent(dialogParent), m_onStoreChanged(std::move(onStoreChanged))
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
        CLoginDlg login(m_dialogParent, stored);
        if (login.exec() != QDialog::Accepted)
            return 1;
        RecordLogin(key, stored, login.Accepted());
    }
    if (!m_store)
        SetStore(OpenRegisteredStore());
    return 0;
}

void CCredentialManager::Close()
{
    if (m_store)
        SetStore(nullptr);
}

CNinshoCenter& CCredentialManager::StoreOpenedWithoutLogin()
{
    Open(false);
    return *m_store;
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
    const std::shared_ptr<CNinshoCenter> store = m_store; // stays alive however the list ends
    CCredentialListDlg list(parent, *store, current);
    list.exec();
}

void CCredentialManager::SetStore(std::shared_ptr<CNinshoCenter> store)
{
    m_store = std::move(store);
    if (m_onStoreChanged)
        m_onStoreChanged(m_store);
}

} // namespace pelldra
