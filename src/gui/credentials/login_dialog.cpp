// The credentials manager's login dialog.
#include "gui/credentials/login_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
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
    : QDialog(parent), m_stored(std::move(stored)), m_setup(IsLoginSetup(m_stored))
{
    setWindowTitle(QString::fromUtf8(kTitle));

    m_prompt = new QLabel(QString::fromUtf8(m_setup ? kSetupPrompt : kLoginPrompt), this);
    m_prompt->setObjectName(QStringLiteral("loginPrompt"));
    m_userEdit = new QLineEdit(QString::fromStdString(m_stored.userId), this);
    m_userEdit->setObjectName(QStringLiteral("loginUser"));
    m_passwordEdit = NewPasswordEdit(this, "loginPassword");
    m_confirmEdit = NewPasswordEdit(this, "loginConfirmation");
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("ユーザーＩＤ"), m_userEdit);
    form->addRow(QStringLiteral("パスワード"), m_passwordEdit);
    form->addRow(QStringLiteral("パスワード確認"), m_confirmEdit);
    form->setRowVisible(m_confirmEdit, m_setup);

    auto* buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    m_change = buttons->addButton(QStringLiteral("パスワード変更"), QDialogButtonBox::ActionRole);
    m_cancel = buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    m_ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &CLoginDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CLoginDlg::reject);
    connect(m_change, &QPushButton::clicked, this, &CLoginDlg::ChangePassword);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_prompt);
    layout->addLayout(form);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    (m_stored.userId.empty() ? m_userEdit : m_passwordEdit)->setFocus();
}

void CLoginDlg::accept()
{
    const LoginValues typed{m_userEdit->text().toStdString(), m_passwordEdit->text().toStdString()};
    const DialogCheck check = CheckLogin(m_stored, typed.userId, typed.password, m_confirmEdit->text().toStdString());
    if (check.accepted) {
        m_accepted = typed;
        QDialog::accept();
    } else if (!check.message.empty()) {
        ShowMessage(this, QString::fromStdString(check.message));
    }
}

void CLoginDlg::ChangePassword()
{
    CPasswordChangeDlg change(this, m_stored.password);
    if (change.exec() != QDialog::Accepted)
        return;
    m_stored.password = change.NewPassword();
    m_passwordEdit->setText(QString::fromStdString(m_stored.password));
    accept();
}

} // namespace pelldra
