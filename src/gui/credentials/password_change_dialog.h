// CPasswordChangeDlg: "Pelldra - 認証管理パスワード変更", reached from the login.
#pragma once

#include <QDialog>

#include <string>

class QLineEdit;
class QPushButton;

namespace pelldra {

class CPasswordChangeDlg final : public QDialog
{
    Q_OBJECT

public:
    static constexpr const char* kTitle = "Pelldra - 認証管理パスワード変更";
    static constexpr const char* kInstruction = "一番上の欄にこれまでのパスワードを入力して下さい";

    // current: the password the login holds now, which the user must type to change it.
    CPasswordChangeDlg(QWidget* parent, std::string current);
    CPasswordChangeDlg(const CPasswordChangeDlg&) = delete;
    CPasswordChangeDlg& operator=(const CPasswordChangeDlg&) = delete;

    // After OK: the new password (may be empty).
    const std::string& NewPassword() const { return newPassword_; }

    QLineEdit* CurrentEdit() const { return currentEdit_; }
    QLineEdit* NewEdit() const { return newEdit_; }
    QLineEdit* ConfirmationEdit() const { return confirmEdit_; }
    QPushButton* OkButton() const { return ok_; }

    void accept() override;

private:
    std::string current_;
    std::string newPassword_;
    QLineEdit* currentEdit_ = nullptr;
    QLineEdit* newEdit_ = nullptr;
    QLineEdit* confirmEdit_ = nullptr;
    QPushButton* ok_ = nullptr;
};

} // namespace pelldra
