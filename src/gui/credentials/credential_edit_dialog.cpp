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
    : QDialog(parent), m_record(std::move(record))
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
    m_siteName = addEdit("サイト名称", "siteName", m_record.GetSiteName());
    grid->addWidget(new QLabel(QStringLiteral("（オプション）"), this), 0, 2);
    m_siteUrl = addEdit("ＵＲＬ", "siteUrl", m_record.GetSiteUrl());
    m_user = addEdit("ユーザーＩＤ", "userId", m_record.GetUserId());
    m_password = addEdit("パスワード", "password", m_record.GetPassword());
    m_password->setEchoMode(QLineEdit::Password);
    grid->setColumnStretch(1, 1);
    // A site URL is read whole: room for a host and a folder or two.
    m_siteUrl->setMinimumWidth(
        QFontMetrics(font()).horizontalAdvance(QStringLiteral("https://www.example.com/members/")));

    auto* buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    m_ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &CCredentialEditDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CCredentialEditDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);
}

void CCredentialEditDlg::accept()
{
    m_record.SetSiteName(m_siteName->text().toStdString());
    m_record.SetSiteUrl(m_siteUrl->text().toStdString());
    m_record.SetUserId(m_user->text().toStdString());
    m_record.SetPassword(m_password->text().toStdString());
    QDialog::accept();
}

} // namespace pelldra
