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
    const std::string& NewPassword() const { return m_newPassword; }

    QLineEdit* CurrentEdit() const { return m_currentEdit; }
    QLineEdit* NewEdit() const { return m_newEdit; }
    QLineEdit* ConfirmationEdit() const { return m_confirmEdit; }
    QPushButton* OkButton() const { return m_ok; }

    void accept() override;

private:
    std::string m_current;
    std::string m_newPassword;
    QLineEdit* m_currentEdit = nullptr;
    QLineEdit* m_newEdit = nullptr;
    QLineEdit* m_confirmEdit = nullptr;
    QPushButton* m_ok = nullptr;
};

} // namespace pelldra
