// The credentials manager's login dialog.
#include "gui/credentials/login_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "gui/credentials/password_change_dialog.h"
#include "gui/platform/message_box.h"

namespace pelldra {

namespace {

QLineEdit* NewPasswordEdit(QWidget* parent, const char* name)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setEchoMode(QLineEdit::Password);
    return edit;
}

} // namespace

CLoginDlg::CLoginDlg(QWidget* parent, LoginValues stored)
    : QDialog(parent), stored_(std::move(stored)), setup_(IsLoginSetup(stored_))
{
    setWindowTitle(QString::fromUtf8(kTitle));

    prompt_ = new QLabel(QString::fromUtf8(setup_ ? kSetupPrompt : kLoginPrompt), this);
    prompt_->setObjectName(QStringLiteral("loginPrompt"));
    userEdit_ = new QLineEdit(QString::fromStdString(stored_.userId), this);
    userEdit_->setObjectName(QStringLiteral("loginUser"));
    passwordEdit_ = NewPasswordEdit(this, "loginPassword");
    confirmEdit_ = NewPasswordEdit(this, "loginConfirmation");
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("ユーザーＩＤ"), userEdit_);
    form->addRow(QStringLiteral("パスワード"), passwordEdit_);
    form->addRow(QStringLiteral("パスワード確認"), confirmEdit_);
    form->setRowVisible(confirmEdit_, setup_);

    auto* buttons = new QDialogButtonBox(this);
    ok_ = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    change_ = buttons->addButton(QStringLiteral("パスワード変更"), QDialogButtonBox::ActionRole);
    cancel_ = buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    ok_->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &CLoginDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CLoginDlg::reject);
    connect(change_, &QPushButton::clicked, this, &CLoginDlg::ChangePassword);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt_);
    layout->addLayout(form);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    (stored_.userId.empty() ? userEdit_ : passwordEdit_)->setFocus();
}

void CLoginDlg::accept()
{
    const LoginValues typed{userEdit_->text().toStdString(), passwordEdit_->text().toStdString()};
    const DialogCheck check = CheckLogin(stored_, typed.userId, typed.password, confirmEdit_->text().toStdString());
    if (check.accepted) {
        accepted_ = typed;
        QDialog::accept();
    } else if (!check.message.empty()) {
        ShowMessage(this, QString::fromStdString(check.message));
    }
}

void CLoginDlg::ChangePassword()
{
    CPasswordChangeDlg change(this, stored_.password);
    if (change.exec() != QDialog::Accepted)
        return;
    stored_.password = change.NewPassword();
    passwordEdit_->setText(QString::fromStdString(stored_.password));
    accept();
}

void CLoginDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!parentWidget() || !parentWidget()->isVisible())
        move(screen()->availableGeometry().center() - rect().center());
}

} // namespace pelldra
