// The login's password change dialog.
#include "gui/credentials/password_change_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/credentials/login.h"
#include "gui/platform/message_box.h"

namespace pelldra {

CPasswordChangeDlg::CPasswordChangeDlg(QWidget* parent, std::string current)
    : QDialog(parent), current_(std::move(current))
{
    setWindowTitle(QString::fromUtf8(kTitle));

    auto* form = new QFormLayout;
    const auto addPassword = [this, form](const char* label, const char* name) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QLatin1String(name));
        edit->setEchoMode(QLineEdit::Password);
        form->addRow(QString::fromUtf8(label), edit);
        return edit;
    };
    currentEdit_ = addPassword("現在のパスワード", "currentPassword");
    newEdit_ = addPassword("新しいパスワード", "newPassword");
    confirmEdit_ = addPassword("新パスワード確認", "newPasswordConfirmation");

    auto* buttons = new QDialogButtonBox(this);
    ok_ = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    ok_->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &CPasswordChangeDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CPasswordChangeDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QString::fromUtf8(kInstruction), this));
    layout->addLayout(form);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CPasswordChangeDlg::accept()
{
    const std::string newPassword = newEdit_->text().toStdString();
    const DialogCheck check = CheckPasswordChange(current_, currentEdit_->text().toStdString(), newPassword,
                                                  confirmEdit_->text().toStdString());
    if (!check.accepted) {
        ShowMessage(this, QString::fromStdString(check.message));
        return;
    }
    newPassword_ = newPassword;
    QDialog::accept();
}

} // namespace pelldra
