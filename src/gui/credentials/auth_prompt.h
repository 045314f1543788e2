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
    QString User() const { return user_; }
    QString Password() const { return password_; }

    QLineEdit* UserEdit() const { return userEdit_; }
    QLineEdit* PasswordEdit() const { return passwordEdit_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }
    QLabel* UrlLabel() const { return url_; }

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* url_ = nullptr;
    QLineEdit* userEdit_ = nullptr;
    QLineEdit* passwordEdit_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QTimer timer_;
    std::chrono::milliseconds limit_;
    QString user_;
    QString password_;
};

// Asks on the GUI thread, modally: the answer, or not ok when the user cancels, the limit passes or the transfer
// cancels the question through prompt (from any thread). The engine's bridge calls this for AskCredentials.
CredentialsAnswer AskCredentialsInDialog(QWidget* parent, const std::string& url, std::chrono::milliseconds limit,
                                         CredentialsPrompt& prompt);

} // namespace pelldra
