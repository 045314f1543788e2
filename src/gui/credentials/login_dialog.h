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
    const LoginValues& Accepted() const { return accepted_; }

    QLineEdit* UserEdit() const { return userEdit_; }
    QLineEdit* PasswordEdit() const { return passwordEdit_; }
    QLineEdit* ConfirmationEdit() const { return confirmEdit_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* ChangeButton() const { return change_; }
    QPushButton* CancelButton() const { return cancel_; }

    // OK: accepts, or stays open with the rule's message (or with none).
    void accept() override;
    // "パスワード変更": a changed password becomes the stored one and the login is tried with it at once.
    void ChangePassword();

protected:
    // At start the window is not shown yet: the dialog goes to the middle of the screen rather than over the
    // window's unplaced frame in a corner.
    void showEvent(QShowEvent* event) override;

private:
    LoginValues stored_;
    LoginValues accepted_;
    bool setup_;
    QLabel* prompt_ = nullptr;
    QLineEdit* userEdit_ = nullptr;
    QLineEdit* passwordEdit_ = nullptr;
    QLineEdit* confirmEdit_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* change_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace pelldra
