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
    : QDialog(parent), limit_(limit)
{
    setWindowTitle(QString::fromUtf8(kTitle));

    url_ = new QLabel(url, this);
    // The URL comes from the server's side of the world: show it as text, never as markup.
    url_->setTextFormat(Qt::PlainText);
    url_->setWordWrap(true);
    url_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* explanation = new QLabel(QString::fromUtf8(kExplanation), this);

    userEdit_ = new QLineEdit(this);
    passwordEdit_ = new QLineEdit(this);
    passwordEdit_->setEchoMode(QLineEdit::Password);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("ユーザーＩＤ"), userEdit_);
    form->addRow(QStringLiteral("パスワード"), passwordEdit_);

    auto* buttons = new QDialogButtonBox(this);
    ok_ = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    cancel_ = buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    ok_->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &CAuthPromptDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CAuthPromptDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(url_);
    layout->addWidget(explanation);
    layout->addLayout(form);
    layout->addWidget(buttons);

    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &CAuthPromptDlg::reject);
    connect(this, &QDialog::finished, &timer_, &QTimer::stop);
}

void CAuthPromptDlg::showEvent(QShowEvent* event)
{
    if (limit_.count() > 0 && !timer_.isActive())
        timer_.start(limit_);
    userEdit_->setFocus();
    QDialog::showEvent(event);
}

void CAuthPromptDlg::accept()
{
    user_ = userEdit_->text();
    password_ = passwordEdit_->text();
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
