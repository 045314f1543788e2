// CCredentialManager: the credentials manager as the windows use it: the store opened behind the login, closed,
// looked into and edited.
#pragma once

#include <functional>
#include <memory>

#include "core/credentials/auth_record.h"

class QWidget;

namespace pelldra {

class CNinshoCenter;
struct DetailSettings;

class CCredentialManager final
{
public:
    // Told of every store opened and of every closing (null), so that the downloads use what is open.
    using StoreChanged = std::function<void(const std::shared_ptr<CNinshoCenter>&)>;

    // dialogParent: the window over which the login shows.
    CCredentialManager(QWidget* dialogParent, StoreChanged onStoreChanged);
    // Lets go of the store (which writes its file when changed) without telling anyone: its listener may be gone.
    ~CCredentialManager();
    CCredentialManager(const CCredentialManager&) = delete;
    CCredentialManager& operator=(const CCredentialManager&) = delete;

    // 0 opened, 1 refused. With askLogin the login dialog comes first and an accepted login is recorded; a store
    // already open stays the one in use.
    int Open(bool askLogin);
    // Closes the store; it writes its file when something changed.
    void Close();
    bool IsOpen() const { return store_ != nullptr; }
    const std::shared_ptr<CNinshoCenter>& Store() const { return store_; }
    // The open store; when none is, one opened without the login.
    CNinshoCenter& StoreOpenedWithoutLogin();
    // A login user has been defined.
    static bool HasLoginUser();

    // The window's start: with the manager in use, the store opens, behind the login when the user is to be
    // confirmed at start. Without a login user, or when the login is refused, the manager's use is switched off.
    void OpenAtStart(DetailSettings& settings);

    // The list of stored credentials over the store (opened without login when closed). current is what its
    // "現在の認証データを追加" offers; it takes the values edited there.
    void ShowEditor(QWidget* parent, CAuthRecord& current);

private:
    void SetStore(std::shared_ptr<CNinshoCenter> store);

    QWidget* dialogParent_;
    StoreChanged onStoreChanged_;
    std::shared_ptr<CNinshoCenter> store_;
};

} // namespace pelldra
