// CAuthPromptDlg: "インターネット認証", the question for a user ID and password when a server asks for them.
#pragma once

#include <QDialog>
#include <QString>
#include <QTimer>

#include <chrono>
#include <string>

#include "core/engine/engine_observer.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace pelldra {

class CAuthPromptDlg final : public QDialog
{
    Q_OBJECT

public:
    static constexpr const char* kTitle = "インターネット認証";
    static constexpr const char* kExplanation = "このページにアクセスするには認証が必要です。";

    // limit 0: no time limit. Otherwise the prompt ends as cancelled when it has been open that long.
    CAuthPromptDlg(QWidget* parent, const QString& url, std::chrono::milliseconds limit);
    CAuthPromptDlg(const CAuthPromptDlg&) = delete;
    CAuthPromptDlg& operator=(const CAuthPromptDlg&) = delete;

    // What was typed, once the prompt ended with OK.
    QString User() const { return m_user; }
    QString Password() const { return m_password; }

    QLineEdit* UserEdit() const { return m_userEdit; }
    QLineEdit* PasswordEdit() const { return m_passwordEdit; }
    QPushButton* OkButton() const { return m_ok; }
    QPushButton* CancelButton() const { return m_cancel; }
    QLabel* UrlLabel() const { return m_url; }

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* m_url = nullptr;
    QLineEdit* m_userEdit = nullptr;
    QLineEdit* m_passwordEdit = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    QTimer m_timer;
    std::chrono::milliseconds m_limit;
    QString m_user;
    QString m_password;
};

// Asks on the GUI thread, modally: the answer, or not ok when the user cancels, the limit passes or the transfer
// cancels the question through prompt (from any thread). The engine's bridge calls this for AskCredentials.
CredentialsAnswer AskCredentialsInDialog(QWidget* parent, const std::string& url, std::chrono::milliseconds limit,
                                         CredentialsPrompt& prompt);

} // namespace pelldra
