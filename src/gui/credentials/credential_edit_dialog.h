// CCredentialEditDlg: "認証編集", one site credential's name, URL, user ID and password.
#pragma once

#include <QDialog>

#include "core/credentials/auth_record.h"

class QLineEdit;
class QPushButton;

namespace pelldra {

class CCredentialEditDlg final : public QDialog
{
    Q_OBJECT

public:
    static constexpr const char* kTitle = "認証編集";

    CCredentialEditDlg(QWidget* parent, CAuthRecord record);
    CCredentialEditDlg(const CCredentialEditDlg&) = delete;
    CCredentialEditDlg& operator=(const CCredentialEditDlg&) = delete;

    // After OK: the record with the four edited texts (its page URL as it was given).
    const CAuthRecord& Record() const { return m_record; }

    QLineEdit* SiteNameEdit() const { return m_siteName; }
    QLineEdit* SiteUrlEdit() const { return m_siteUrl; }
    QLineEdit* UserEdit() const { return m_user; }
    QLineEdit* PasswordEdit() const { return m_password; }
    QPushButton* OkButton() const { return m_ok; }

    void accept() override;

private:
    CAuthRecord m_record;
    QLineEdit* m_siteName = nullptr;
    QLineEdit* m_siteUrl = nullptr;
    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
    QPushButton* m_ok = nullptr;
};

} // namespace pelldra
