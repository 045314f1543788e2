// CDetailDlg: "詳細設定", the settings that apply to every download: Referer, sequence options, browser, speed,
// credentials, proxy and the program's switches.
#pragma once

#include <QDialog>

#include <functional>
#include <string>

#include "core/sequence/seq_url.h"
#include "core/settings/detail_form.h"

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace pelldra {

class CCredentialManager;
class CFieldSpin;
class CUrlEdit;
struct DetailSettings;

class CDetailDlg final : public QDialog
{
    Q_OBJECT

public:
    static constexpr const char* kTitle = "詳細設定";
    static constexpr const char* kManagerRefused = "認証管理は利用できません";
    static constexpr const char* kConfirmOffQuestion =
        "記録されている認証データが誰でも利用できるようになります。\nいいですか？";
    static constexpr const char* kNoMatch = "マッチするデータがないか、\n認証管理が使えません";
    static constexpr const char* kOverwriteQuestion = "ユーザーＩＤやパスワードが書き直されます。いいですか？";

    // How チェック shows the Referer.
    using UrlShower = std::function<void(const std::string& url)>;

    // settings: changed by OK only. referer: the Referer object, whose master is the main URL; the dialog edits it
    // in place and puts it back, with the settings it shares with the main URL, when it is cancelled. credentials:
    // the manager that the credentials switch opens and closes.
    CDetailDlg(QWidget* parent, DetailSettings& settings, CSeqUrl& referer, CCredentialManager& credentials,
               UrlShower showUrl);
    ~CDetailDlg() override;
    CDetailDlg(const CDetailDlg&) = delete;
    CDetailDlg& operator=(const CDetailDlg&) = delete;

    // After OK: the whole-sequence setting changed, so the main window fills its ranges again.
    bool WholeSequenceChanged() const { return m_wholeSequenceChanged; }
    // The controls' values as they stand.
    DetailForm FormNow() const;

    // OK: checks the form; a refusal shows its message and keeps the dialog open.
    void accept() override;
    // ｷｬﾝｾﾙ, the close box and Esc: nothing is kept.
    void reject() override;

signals:
    // Closed with the Esc key (not with ｷｬﾝｾﾙ or the close box): the main window treats it as its own cancel.
    void ClosedWithEscape();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void BuildControls();
    void ShowForm(const DetailForm& form);
    void ApplyControlRules();
    // The Referer's text or marks changed: the arrows and the sync boxes follow what can be found.
    void OnRefererChanged();
    bool UpperInUse() const;
    void SelectSyncField(int field);
    void ToggleSync();
    void PaintSyncLabels();
    void ToggleCredentialManager();
    void ToggleConfirmAtStart();
    void LookUpCredentials();
    void EditCredentials();

    DetailSettings& m_settings;
    CSeqUrl& m_referer;
    CCredentialManager& m_credentials;
    UrlShower m_showUrl;
    bool m_wholeSequenceChanged = false;
    bool m_minimumTaken = false;

    // What a cancel puts back.
    CSeqUrl::OwnState m_refererBefore;
    int m_syncBefore = 0;
    bool m_fixedBefore = false;
    int m_selectedBefore = 0;
    bool m_storeOpenBefore = false;

    CUrlEdit* m_refererEdit = nullptr;
    QPushButton* m_clearReferer = nullptr;
    QPushButton* m_checkReferer = nullptr;
    QToolButton* m_prevMatch = nullptr;
    CFieldSpin* m_fieldSpin = nullptr;
    QToolButton* m_nextMatch = nullptr;
    QCheckBox* m_syncUpper = nullptr;
    QLabel* m_upperLabel = nullptr;
    QCheckBox* m_syncLower = nullptr;
    QLabel* m_lowerLabel = nullptr;
    QCheckBox* m_wholeSequence = nullptr;
    QCheckBox* m_fixedDigits = nullptr;
    QButtonGroup* m_browser = nullptr;
    QButtonGroup* m_speed = nullptr;
    QCheckBox* m_cache = nullptr;
    QCheckBox* m_acceptOther = nullptr;
    QCheckBox* m_useManager = nullptr;
    QPushButton* m_editCredentials = nullptr;
    QCheckBox* m_confirmAtStart = nullptr;
    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
    QPushButton* m_lookUp = nullptr;
    QPushButton* m_record = nullptr;
    QPushButton* m_clearAuth = nullptr;
    QCheckBox* m_useProxy = nullptr;
    QLineEdit* m_proxyHost = nullptr;
    QLineEdit* m_proxyPort = nullptr;
    QCheckBox* m_noProxyForLocal = nullptr;
    QCheckBox* m_bossKey = nullptr;
    QCheckBox* m_sameFolder = nullptr;
    QCheckBox* m_noUpdateLinks = nullptr;
};

} // namespace pelldra
