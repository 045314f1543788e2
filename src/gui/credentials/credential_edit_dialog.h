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
    const CAuthRecord& Record() const { return record_; }

    QLineEdit* SiteNameEdit() const { return siteName_; }
    QLineEdit* SiteUrlEdit() const { return siteUrl_; }
    QLineEdit* UserEdit() const { return user_; }
    QLineEdit* PasswordEdit() const { return password_; }
    QPushButton* OkButton() const { return ok_; }

    void accept() override;

private:
    CAuthRecord record_;
    QLineEdit* siteName_ = nullptr;
    QLineEdit* siteUrl_ = nullptr;
    QLineEdit* user_ = nullptr;
    QLineEdit* password_ = nullptr;
    QPushButton* ok_ = nullptr;
};

} // namespace pelldra
