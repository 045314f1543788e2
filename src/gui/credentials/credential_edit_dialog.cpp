// The editor of one site credential.
#include "gui/credentials/credential_edit_dialog.h"

#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace pelldra {

CCredentialEditDlg::CCredentialEditDlg(QWidget* parent, CAuthRecord record)
    : QDialog(parent), record_(std::move(record))
{
    setWindowTitle(QString::fromUtf8(kTitle));

    auto* grid = new QGridLayout;
    int row = 0;
    const auto addEdit = [this, grid, &row](const char* label, const char* name, const std::string& text) {
        auto* edit = new QLineEdit(QString::fromStdString(text), this);
        edit->setObjectName(QLatin1String(name));
        grid->addWidget(new QLabel(QString::fromUtf8(label), this), row, 0);
        grid->addWidget(edit, row, 1);
        ++row;
        return edit;
    };
    siteName_ = addEdit("サイト名称", "siteName", record_.GetSiteName());
    grid->addWidget(new QLabel(QStringLiteral("（オプション）"), this), 0, 2);
    siteUrl_ = addEdit("ＵＲＬ", "siteUrl", record_.GetSiteUrl());
    user_ = addEdit("ユーザーＩＤ", "userId", record_.GetUserId());
    password_ = addEdit("パスワード", "password", record_.GetPassword());
    password_->setEchoMode(QLineEdit::Password);
    grid->setColumnStretch(1, 1);
    // A site URL is read whole: room for a host and a folder or two.
    siteUrl_->setMinimumWidth(
        QFontMetrics(font()).horizontalAdvance(QStringLiteral("https://www.example.com/members/")));

    auto* buttons = new QDialogButtonBox(this);
    ok_ = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    ok_->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &CCredentialEditDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CCredentialEditDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);
}

void CCredentialEditDlg::accept()
{
    record_.SetSiteName(siteName_->text().toStdString());
    record_.SetSiteUrl(siteUrl_->text().toStdString());
    record_.SetUserId(user_->text().toStdString());
    record_.SetPassword(password_->text().toStdString());
    QDialog::accept();
}

} // namespace pelldra
