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
class CQueueItem;
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
    bool WholeSequenceChanged() const { return wholeSequenceChanged_; }
    // The controls' values as they stand.
    DetailForm FormNow() const;
    // An order shown in the main window while this dialog is open brings its Referer and sync flags here.
    void LoadReferer(const CQueueItem& item);

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

    DetailSettings& settings_;
    CSeqUrl& referer_;
    CCredentialManager& credentials_;
    UrlShower showUrl_;
    bool wholeSequenceChanged_ = false;
    bool minimumTaken_ = false;

    // What a cancel puts back.
    CSeqUrl::OwnState refererBefore_;
    int syncBefore_ = 0;
    bool fixedBefore_ = false;
    int selectedBefore_ = 0;
    bool storeOpenBefore_ = false;

    CUrlEdit* refererEdit_ = nullptr;
    QPushButton* clearReferer_ = nullptr;
    QPushButton* checkReferer_ = nullptr;
    QToolButton* prevMatch_ = nullptr;
    CFieldSpin* fieldSpin_ = nullptr;
    QToolButton* nextMatch_ = nullptr;
    QCheckBox* syncUpper_ = nullptr;
    QLabel* upperLabel_ = nullptr;
    QCheckBox* syncLower_ = nullptr;
    QLabel* lowerLabel_ = nullptr;
    QCheckBox* wholeSequence_ = nullptr;
    QCheckBox* fixedDigits_ = nullptr;
    QButtonGroup* browser_ = nullptr;
    QButtonGroup* speed_ = nullptr;
    QCheckBox* cache_ = nullptr;
    QCheckBox* acceptOther_ = nullptr;
    QCheckBox* useManager_ = nullptr;
    QPushButton* editCredentials_ = nullptr;
    QCheckBox* confirmAtStart_ = nullptr;
    QLineEdit* user_ = nullptr;
    QLineEdit* password_ = nullptr;
    QPushButton* lookUp_ = nullptr;
    QPushButton* record_ = nullptr;
    QPushButton* clearAuth_ = nullptr;
    QCheckBox* useProxy_ = nullptr;
    QLineEdit* proxyHost_ = nullptr;
    QLineEdit* proxyPort_ = nullptr;
    QCheckBox* noProxyForLocal_ = nullptr;
    QCheckBox* bossKey_ = nullptr;
    QCheckBox* sameFolder_ = nullptr;
    QCheckBox* noUpdateLinks_ = nullptr;
};

} // namespace pelldra
