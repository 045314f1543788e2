// The authentication prompt.
#include "gui/credentials/auth_prompt.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

namespace pelldra {

CAuthPromptDlg::CAuthPromptDlg(QWidget* parent, const QString& url, std::chrono::milliseconds limit)
    : QDialog(parent), m_limit(limit)
{
    setWindowTitle(QString::fromUtf8(kTitle));

    m_url = new QLabel(url, this);
    // The URL comes from the server's side of the world: show it as text, never as markup.
    m_url->setTextFormat(Qt::PlainText);
    m_url->setWordWrap(true);
    m_url->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* explanation = new QLabel(QString::fromUtf8(kExplanation), this);

    m_userEdit = new QLineEdit(this);
    m_passwordEdit = new QLineEdit(this);
    m_passwordEdit->setEchoMode(QLineEdit::Password);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("ユーザーＩＤ"), m_userEdit);
    form->addRow(QStringLiteral("パスワード"), m_passwordEdit);

    auto* buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    m_cancel = buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    m_ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &CAuthPromptDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CAuthPromptDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_url);
    layout->addWidget(explanation);
    layout->addLayout(form);
    layout->addWidget(buttons);

    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &CAuthPromptDlg::reject);
    connect(this, &QDialog::finished, &m_timer, &QTimer::stop);
}

void CAuthPromptDlg::showEvent(QShowEvent* event)
{
    if (m_limit.count() > 0 && !m_timer.isActive())
        m_timer.start(m_limit);
    m_userEdit->setFocus();
    QDialog::showEvent(event);
}

void CAuthPromptDlg::accept()
{
    m_user = m_userEdit->text();
    m_password = m_passwordEdit->text();
    QDialog::accept();
}

CredentialsAnswer AskCredentialsInDialog(QWidget* parent, const std::string& url, std::chrono::milliseconds limit,
                                         CredentialsPrompt& prompt)
{
    if (prompt.Cancelled())
        return {};
    CAuthPromptDlg dialog(parent, QString::fromStdString(url), limit);
    // The transfer may cancel from its own thread: the closing hops to this thread, where the guard tells whether
    // the dialog still exists. The guard lives on the heap because the prompt may call the closer after we return.
    auto guard = std::make_shared<QPointer<CAuthPromptDlg>>(&dialog);
    prompt.OnCancel([guard] {
        if (QCoreApplication* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(
                app,
                [guard] {
                    if (CAuthPromptDlg* open = guard->data())
                        open->reject();
                },
                Qt::QueuedConnection);
    });
    const bool ok = dialog.exec() == QDialog::Accepted && !prompt.Cancelled();
    if (!ok)
        return {};
    return {true, dialog.User().toStdString(), dialog.Password().toStdString()};
}

} // namespace pelldra
