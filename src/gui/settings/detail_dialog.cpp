// CDetailDlg: its controls, the Referer's sync controls, the credentials switches, and what OK and cancel do.
#include "gui/settings/detail_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "core/credentials/auth_record.h"
#include "core/credentials/ninsho_center.h"
#include "core/orders/detail_settings.h"
#include "core/orders/sequential_order.h"
#include "core/queue/queue_item.h"
#include "gui/app/main_icons.h"
#include "gui/credentials/credential_manager.h"
#include "gui/platform/message_box.h"
#include "gui/widgets/field_spin.h"
#include "gui/widgets/plain_button.h"
#include "gui/widgets/url_edit.h"

namespace pelldra {

namespace {

template <typename T> T* Named(T* w, const char* name)
{
    w->setObjectName(QLatin1String(name));
    return w;
}

QCheckBox* Check(QWidget* parent, const char* name, const char* text = "")
{
    return Named(new QCheckBox(QString::fromUtf8(text), parent), name);
}

QRadioButton* Radio(QWidget* parent, QButtonGroup* group, int id, const char* name, const char* text)
{
    auto* r = Named(new QRadioButton(QString::fromUtf8(text), parent), name);
    group->addButton(r, id);
    return r;
}

QString Q(const std::string& s)
{
    return QString::fromStdString(s);
}

} // namespace

CDetailDlg::CDetailDlg(QWidget* parent, DetailSettings& settings, CSeqUrl& referer, CCredentialManager& credentials,
                       UrlShower showUrl)
    : QDialog(parent), settings_(settings), referer_(referer), credentials_(credentials), showUrl_(std::move(showUrl))
{
    refererBefore_ = referer_.SaveOwnState();
    syncBefore_ = referer_.GetSyncFlags();
    fixedBefore_ = referer_.GetAssumeFixedDigits();
    selectedBefore_ = referer_.GetSelectedField();
    storeOpenBefore_ = credentials_.IsOpen();

    setObjectName(QStringLiteral("detailDialog"));
    setWindowTitle(QString::fromUtf8(kTitle));
    setSizeGripEnabled(true);
    BuildControls();

    // The Referer shows what is stored, whatever an order shown in the main window has left in the object, and its
    // marks are found again for the main URL's digits as they are now.
    referer_.SetSyncFlags(settings_.syncFlags);
    referer_.SetAssumeFixedDigits(settings_.assumeFixedDigits != 0);
    referer_.SetText(settings_.Referer);
    ShowForm(FormOf(settings_, credentials_.IsOpen()));
    refererEdit_->Attach(&referer_);
    refererEdit_->ShowSeqUrlText();
}

CDetailDlg::~CDetailDlg()
{
    refererEdit_->Attach(nullptr);
}

void CDetailDlg::BuildControls()
{
    auto* root = new QVBoxLayout(this);

    // The Referer and its sync controls. Only this row grows with the dialog.
    auto* refererRow = new QHBoxLayout;
    refererRow->addWidget(new QLabel(QStringLiteral("リンク元ＵＲＬ"), this));
    refererEdit_ = Named(new CUrlEdit(this), "refererEdit");
    refererRow->addWidget(refererEdit_, 1);
    clearReferer_ = PlainButton(this, "clearReferer", "クリア");
    checkReferer_ = PlainButton(this, "checkReferer", "チェック");
    refererRow->addWidget(clearReferer_);
    refererRow->addWidget(checkReferer_);
    root->addLayout(refererRow);
    connect(refererEdit_, &CUrlEdit::UrlChanged, this, &CDetailDlg::OnRefererChanged);
    connect(clearReferer_, &QPushButton::clicked, this, [this] { refererEdit_->clear(); });
    connect(checkReferer_, &QPushButton::clicked, this, [this] {
        if (showUrl_)
            showUrl_(referer_.GetText());
    });

    auto* syncRow = new QHBoxLayout;
    prevMatch_ = Named(new QToolButton(this), "prevMatch");
    fieldSpin_ = Named(new CFieldSpin(this), "fieldSpin");
    nextMatch_ = Named(new QToolButton(this), "nextMatch");
    for (QToolButton* b : {prevMatch_, nextMatch_})
        b->setIconSize(QSize(16, 16));
    syncUpper_ = Check(this, "syncUpper");
    upperLabel_ = Named(new QLabel(QStringLiteral("上位数字同期"), this), "upperSyncLabel");
    syncLower_ = Check(this, "syncLower");
    lowerLabel_ = Named(new QLabel(QStringLiteral("下位数字同期"), this), "lowerSyncLabel");
    for (QLabel* label : {upperLabel_, lowerLabel_}) {
        label->setAutoFillBackground(true);
        label->setMargin(2);
        label->setCursor(Qt::PointingHandCursor);
        label->installEventFilter(this);
    }
    wholeSequence_ = Check(this, "wholeSequence", "連番丸ごとゲット");
    fixedDigits_ = Check(this, "fixedDigits", "桁固定を仮定する");
    for (QWidget* w : std::initializer_list<QWidget*>{prevMatch_, fieldSpin_, nextMatch_})
        syncRow->addWidget(w);
    syncRow->addSpacing(8);
    for (QWidget* w : std::initializer_list<QWidget*>{syncUpper_, upperLabel_, syncLower_, lowerLabel_})
        syncRow->addWidget(w);
    syncRow->addSpacing(16);
    syncRow->addWidget(wholeSequence_);
    syncRow->addWidget(fixedDigits_);
    syncRow->addStretch(1);
    root->addLayout(syncRow);
    connect(prevMatch_, &QToolButton::clicked, this, [this] {
        referer_.SelectPrevMatch();
        refererEdit_->Highlight();
        OnRefererChanged();
    });
    connect(nextMatch_, &QToolButton::clicked, this, [this] {
        referer_.SelectNextMatch();
        refererEdit_->Highlight();
        OnRefererChanged();
    });
    connect(fieldSpin_, &CFieldSpin::FieldChosen, this, &CDetailDlg::SelectSyncField);
    connect(syncUpper_, &QCheckBox::clicked, this, &CDetailDlg::ToggleSync);
    connect(syncLower_, &QCheckBox::clicked, this, &CDetailDlg::ToggleSync);

    // The request options: browser, speed, cache and other files.
    auto* browserBox = new QGroupBox(QStringLiteral("仮想ブラウザ"), this);
    auto* browserGrid = new QGridLayout(browserBox);
    browser_ = new QButtonGroup(this);
    browserGrid->addWidget(Radio(browserBox, browser_, kBrowserMsie, "browserMsie", "MSIE"), 0, 0);
    browserGrid->addWidget(Radio(browserBox, browser_, kBrowserFireFox, "browserFireFox", "Fire Fox"), 0, 1);
    browserGrid->addWidget(Radio(browserBox, browser_, kBrowserNetscape, "browserNetscape", "Netscape"), 1, 0);
    browserGrid->addWidget(Radio(browserBox, browser_, kBrowserPelldra, "browserPelldra", "Pelldra"), 1, 1);
    auto* speedBox = new QGroupBox(QStringLiteral("ダウンロード速度"), this);
    auto* speedRow = new QHBoxLayout(speedBox);
    speed_ = new QButtonGroup(this);
    speedRow->addWidget(Radio(speedBox, speed_, 1, "speedSlow", "低速"));
    speedRow->addWidget(Radio(speedBox, speed_, 2, "speedMedium", "中速"));
    speedRow->addWidget(Radio(speedBox, speed_, 3, "speedFast", "高速"));
    cache_ = Check(this, "useCache", "キャッシュを使う");
    acceptOther_ = Check(this, "acceptOther", "要求と異なるファイルを受け入れる");
    auto* requestColumn = new QVBoxLayout;
    requestColumn->addWidget(browserBox);
    requestColumn->addWidget(speedBox);
    requestColumn->addWidget(cache_);
    requestColumn->addWidget(acceptOther_);
    requestColumn->addStretch(1);

    // The credentials: the manager's switches, the default user and password.
    auto* authBox = new QGroupBox(QStringLiteral("認証"), this);
    auto* auth = new QGridLayout(authBox);
    useManager_ = Check(authBox, "useManager", "認証管理を利用する");
    editCredentials_ = PlainButton(authBox, "editCredentials", "認証管理データ編集");
    confirmAtStart_ = Check(authBox, "confirmAtStart", "Pelldra起動時にユーザー確認する");
    user_ = Named(new QLineEdit(authBox), "authUser");
    password_ = Named(new QLineEdit(authBox), "authPassword");
    password_->setEchoMode(QLineEdit::Password);
    lookUp_ = PlainButton(authBox, "lookUp", "参照");
    record_ = PlainButton(authBox, "record", "記録");
    record_->setCheckable(true);
    clearAuth_ = PlainButton(authBox, "clearAuth", "クリア");
    auth->addWidget(useManager_, 0, 0, 1, 2);
    auth->addWidget(editCredentials_, 0, 2, 1, 2);
    auth->addWidget(confirmAtStart_, 1, 0, 1, 4);
    auth->addWidget(new QLabel(QStringLiteral("ユーザー名"), authBox), 2, 0);
    auth->addWidget(user_, 2, 1, 1, 2);
    auth->addWidget(clearAuth_, 2, 3);
    auth->addWidget(new QLabel(QStringLiteral("パスワード"), authBox), 3, 0);
    auth->addWidget(password_, 3, 1, 1, 2);
    // 参照 and 記録 share one place: only one of them shows at a time.
    auth->addWidget(lookUp_, 3, 3);
    auth->addWidget(record_, 3, 3);
    auth->setColumnStretch(1, 1);
    // Tab follows the rows: the user name's クリア before the password.
    setTabOrder(user_, clearAuth_);
    connect(useManager_, &QCheckBox::clicked, this, &CDetailDlg::ToggleCredentialManager);
    connect(confirmAtStart_, &QCheckBox::clicked, this, &CDetailDlg::ToggleConfirmAtStart);
    connect(editCredentials_, &QPushButton::clicked, this, &CDetailDlg::EditCredentials);
    connect(lookUp_, &QPushButton::clicked, this, &CDetailDlg::LookUpCredentials);
    connect(clearAuth_, &QPushButton::clicked, this, [this] {
        user_->clear();
        password_->clear();
    });

    auto* proxyBox = new QGroupBox(QStringLiteral("プロキシ"), this);
    auto* proxy = new QGridLayout(proxyBox);
    useProxy_ = Check(proxyBox, "useProxy", "プロキシを使う");
    proxyHost_ = Named(new QLineEdit(proxyBox), "proxyHost");
    proxyHost_->setMinimumWidth(
        QFontMetrics(proxyHost_->font()).horizontalAdvance(QStringLiteral("proxy.example.com")) + 16);
    proxyPort_ = Named(new QLineEdit(proxyBox), "proxyPort");
    proxyPort_->setMaximumWidth(QFontMetrics(proxyPort_->font()).horizontalAdvance(QStringLiteral("0000000")) + 12);
    noProxyForLocal_ = Check(proxyBox, "noProxyForLocal", "ローカルアドレスにはプロキシを使わない");
    proxy->addWidget(useProxy_, 0, 0, 1, 4);
    proxy->addWidget(new QLabel(QStringLiteral("ホスト名またはIPアドレス"), proxyBox), 1, 0);
    proxy->addWidget(proxyHost_, 1, 1);
    proxy->addWidget(new QLabel(QStringLiteral("ポート"), proxyBox), 1, 2);
    proxy->addWidget(proxyPort_, 1, 3);
    proxy->addWidget(noProxyForLocal_, 2, 0, 1, 4);
    proxy->setColumnStretch(1, 1);
    connect(useProxy_, &QCheckBox::clicked, this, &CDetailDlg::ApplyControlRules);

    auto* accountColumn = new QVBoxLayout;
    accountColumn->addWidget(authBox);
    accountColumn->addWidget(proxyBox);
    accountColumn->addStretch(1);

    // The program's own switches.
    bossKey_ = Check(this, "bossKey", "ボスカム有効");
    sameFolder_ = Check(this, "sameFolder", "LinkScoutの保存フォルダと同じにする");
    noUpdateLinks_ = Check(this, "noUpdateLinks", "更新リンクは残さない");
    auto* programColumn = new QVBoxLayout;
    programColumn->addWidget(bossKey_);
    programColumn->addWidget(sameFolder_);
    programColumn->addWidget(noUpdateLinks_);
    programColumn->addStretch(1);
    auto* ok = PlainButton(this, "okButton", "OK");
    ok->setDefault(true);
    auto* cancel = PlainButton(this, "cancelButton", "ｷｬﾝｾﾙ");
    programColumn->addWidget(ok);
    programColumn->addWidget(cancel);
    connect(ok, &QPushButton::clicked, this, &CDetailDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CDetailDlg::reject);

    auto* columns = new QHBoxLayout;
    columns->addLayout(requestColumn);
    columns->addLayout(accountColumn);
    columns->addLayout(programColumn);
    columns->addStretch(1);
    root->addLayout(columns, 1);
}

void CDetailDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!minimumTaken_) {
        // The first size is the smallest, so the Referer box never becomes narrower than it first was.
        minimumTaken_ = true;
        layout()->activate();
        adjustSize();
        setMinimumSize(size());
    }
}

void CDetailDlg::ShowForm(const DetailForm& f)
{
    syncUpper_->setChecked(f.syncUpper);
    syncLower_->setChecked(f.syncLower);
    wholeSequence_->setChecked(f.wholeSequence);
    fixedDigits_->setChecked(f.assumeFixedDigits);
    browser_->button(f.browser)->setChecked(true);
    speed_->button(f.speed)->setChecked(true);
    cache_->setChecked(f.useCache);
    acceptOther_->setChecked(f.acceptOtherFile);
    useManager_->setChecked(f.useCredentialManager);
    confirmAtStart_->setChecked(f.confirmUserAtStart);
    user_->setText(Q(f.authUser));
    password_->setText(Q(f.authPassword));
    record_->setChecked(f.recordPassword);
    useProxy_->setChecked(f.useProxy);
    proxyHost_->setText(Q(f.proxyHost));
    proxyPort_->setText(Q(f.proxyPort));
    noProxyForLocal_->setChecked(f.noProxyForLocal);
    bossKey_->setChecked(f.bossKey);
    sameFolder_->setChecked(f.sameFolderAsLinkScout);
    noUpdateLinks_->setChecked(f.noUpdateLinks);
    ApplyControlRules();
}

DetailForm CDetailDlg::FormNow() const
{
    DetailForm f;
    f.referer = referer_.GetText();
    f.syncUpper = syncUpper_->isChecked();
    f.syncLower = syncLower_->isChecked();
    f.wholeSequence = wholeSequence_->isChecked();
    f.assumeFixedDigits = fixedDigits_->isChecked();
    f.browser = browser_->checkedId();
    f.speed = speed_->checkedId();
    f.useCache = cache_->isChecked();
    f.acceptOtherFile = acceptOther_->isChecked();
    f.useCredentialManager = useManager_->isChecked();
    f.confirmUserAtStart = confirmAtStart_->isChecked();
    f.authUser = user_->text().toStdString();
    f.authPassword = password_->text().toStdString();
    f.recordPassword = record_->isChecked();
    f.useProxy = useProxy_->isChecked();
    f.proxyHost = proxyHost_->text().toStdString();
    f.proxyPort = proxyPort_->text().toStdString();
    f.noProxyForLocal = noProxyForLocal_->isChecked();
    f.bossKey = bossKey_->isChecked();
    f.sameFolderAsLinkScout = sameFolder_->isChecked();
    f.noUpdateLinks = noUpdateLinks_->isChecked();
    return f;
}

void CDetailDlg::ApplyControlRules()
{
    const DetailControls c = ControlsOf(FormNow());
    for (QWidget* w : std::initializer_list<QWidget*>{proxyHost_, proxyPort_, noProxyForLocal_})
        w->setEnabled(c.proxyFields);
    editCredentials_->setEnabled(c.credentialsEditor);
    confirmAtStart_->setEnabled(c.confirmAtStart);
    lookUp_->setVisible(c.lookUpShown);
    record_->setVisible(c.recordShown);
}

// --- the Referer ---

void CDetailDlg::LoadReferer(const CQueueItem& item)
{
    referer_.SetSyncFlags(item.Syn);
    syncLower_->setChecked((item.Syn & 1) != 0);
    syncUpper_->setChecked((item.Syn & 2) != 0);
    LoadUrlFromItem(referer_, item);
    refererEdit_->ShowSeqUrlText();
}

bool CDetailDlg::UpperInUse() const
{
    // As the main window has it: ticked, and a digit run for it left of the lower one.
    const CSeqUrl* master = referer_.GetMaster();
    return master && master->GetUpperEnabled() && master->CanMoveLeft(0);
}

void CDetailDlg::OnRefererChanged()
{
    prevMatch_->setEnabled(referer_.HasPrevMatch());
    nextMatch_->setEnabled(referer_.HasNextMatch());
    const int found = referer_.MasterFieldsFound(false);
    syncLower_->setEnabled(found > 0 && (found & 1) != 0);
    syncUpper_->setEnabled(found > 0 && (found & 2) != 0 && UpperInUse());
    fieldSpin_->setEnabled(UpperInUse());
    PaintSyncLabels();
}

void CDetailDlg::SelectSyncField(int field)
{
    if (field == referer_.GetSelectedField() || (field == 1 && !UpperInUse()))
        return;
    referer_.SetSelectedField(field);
    refererEdit_->Highlight();
    OnRefererChanged();
}

void CDetailDlg::ToggleSync()
{
    referer_.SetSyncFlags((syncLower_->isChecked() ? 1 : 0) + (syncUpper_->isChecked() ? 2 : 0));
    referer_.Refresh();
    refererEdit_->Highlight();
    OnRefererChanged();
}

void CDetailDlg::PaintSyncLabels()
{
    main_icons::ShowSelectedField(palette(), lowerLabel_, upperLabel_, prevMatch_, nextMatch_,
                                  referer_.GetSelectedField() == 1);
}

bool CDetailDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == upperLabel_)
            SelectSyncField(1);
        else if (watched == lowerLabel_)
            SelectSyncField(0);
    }
    return QDialog::eventFilter(watched, event);
}

// --- the credentials ---

void CDetailDlg::ToggleCredentialManager()
{
    // The click has ticked or cleared the box already; what it shows is the manager's state after the answer.
    const bool wasInUse = !useManager_->isChecked();
    bool inUse = false;
    if (wasInUse)
        credentials_.Close();
    else if (credentials_.Open(true) == 0)
        inUse = true;
    else
        ShowMessage(this, QString::fromUtf8(kManagerRefused));
    useManager_->setChecked(inUse);
    ApplyControlRules();
}

void CDetailDlg::ToggleConfirmAtStart()
{
    if (!confirmAtStart_->isChecked() && ShowMessage(this, QString::fromUtf8(kConfirmOffQuestion), QString(),
                                                     MessageIcon::None, MessageButtons::YesNo) != MessageAnswer::Yes)
        confirmAtStart_->setChecked(true);
    ApplyControlRules();
}

void CDetailDlg::LookUpCredentials()
{
    CAuthRecord query;
    query.SetPageUrl(referer_.GetMaster() ? referer_.GetMaster()->GetText() : std::string());
    if (credentials_.StoreOpenedWithoutLogin().FindForUrl(query) != 0) {
        ShowMessage(this, QString::fromUtf8(kNoMatch));
        return;
    }
    const QString user = Q(query.GetUserId());
    const QString password = Q(query.GetPassword());
    if ((user_->text() != user || password_->text() != password) &&
        ShowMessage(this, QString::fromUtf8(kOverwriteQuestion), QString(), MessageIcon::None, MessageButtons::YesNo) !=
            MessageAnswer::Yes)
        return;
    user_->setText(user);
    password_->setText(password);
}

void CDetailDlg::EditCredentials()
{
    CAuthRecord current;
    current.SetSiteUrl(referer_.GetMaster() ? referer_.GetMaster()->GetText() : std::string());
    current.SetUserId(user_->text().toStdString());
    current.SetPassword(password_->text().toStdString());
    credentials_.ShowEditor(this, current);
}

// --- closing ---

void CDetailDlg::accept()
{
    const DetailForm form = FormNow();
    const std::string refusal = CheckDetailForm(form);
    if (!refusal.empty()) {
        ShowMessage(this, Q(refusal));
        return;
    }
    wholeSequenceChanged_ = ApplyDetailForm(form, settings_);
    referer_.SetSyncFlags(settings_.syncFlags);
    referer_.SetAssumeFixedDigits(settings_.assumeFixedDigits != 0);
    QDialog::accept();
}

void CDetailDlg::reject()
{
    // The Referer, its shared settings and the manager's state were changed as the user went; all go back.
    referer_.RestoreOwnState(refererBefore_);
    referer_.SetSyncFlags(syncBefore_);
    referer_.SetAssumeFixedDigits(fixedBefore_);
    referer_.SetSelectedField(selectedBefore_);
    if (credentials_.IsOpen() != storeOpenBefore_) {
        if (storeOpenBefore_)
            credentials_.Open(false);
        else
            credentials_.Close();
    }
    QDialog::reject();
}

void CDetailDlg::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        reject();
        emit ClosedWithEscape();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace pelldra
