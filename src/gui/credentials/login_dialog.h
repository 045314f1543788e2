// CLoginDlg: "Pelldra - 認証管理ログイン", the login that guards opening the credential store.
#pragma once

#include <QDialog>

#include "core/credentials/login.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace pelldra {

class CLoginDlg final : public QDialog
{
    Q_OBJECT

public:
    static constexpr const char* kTitle = "Pelldra - 認証管理ログイン";
    static constexpr const char* kSetupPrompt = "認証管理にアクセスする認証を設定します。";
    static constexpr const char* kLoginPrompt = "認証管理にアクセスするには認証が必要です。";

    // Primed with the stored login; with no user ID stored it defines one (setup mode, password typed twice).
    CLoginDlg(QWidget* parent, LoginValues stored);
    CLoginDlg(const CLoginDlg&) = delete;
    CLoginDlg& operator=(const CLoginDlg&) = delete;

    // After OK: the user ID typed and the password accepted.
    const LoginValues& Accepted() const { return m_accepted; }
    bool SetupMode() const { return m_setup; }

    QLabel* Prompt() const { return m_prompt; }
    QLineEdit* UserEdit() const { return m_userEdit; }
    QLineEdit* PasswordEdit() const { return m_passwordEdit; }
    QLineEdit* ConfirmationEdit() const { return m_confirmEdit; }
    QPushButton* OkButton() const { return m_ok; }
    QPushButton* ChangeButton() const { return m_change; }
    QPushButton* CancelButton() const { return m_cancel; }

    // OK: accepts, or stays open with the rule's message (or with none).
    void accept() override;
    // "パスワード変更": a changed password becomes the stored one and the login is tried with it at once.
    void ChangePassword();

private:
    LoginValues m_stored;
    LoginValues m_accepted;
    bool m_setup;
    QLabel* m_prompt = nullptr;
    QLineEdit* m_userEdit = nullptr;
    QLineEdit* m_passwordEdit = nullptr;
    QLineEdit* m_confirmEdit = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_change = nullptr;
    QPushButton* m_cancel = nullptr;
};

} // namespace pelldra
