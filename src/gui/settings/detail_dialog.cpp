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
#include "gui/app/main_icons.h"
#include "gui/credentials/credential_manager.h"
#include "gui/platform/message_box.h"
#include "gui/widgets/field_spin.h"
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

QPushButton* Button(QWidget* parent, const char* name, const char* text)
{
    auto* b = Named(new QPushButton(QString::fromUtf8(text), parent), name);
    b->setAutoDefault(false);
    return b;
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
    : QDialog(parent), m_settings(settings), m_referer(referer), m_credentials(credentials),
      m_showUrl(std::move(showUrl))
{
    m_refererBefore = m_referer.SaveOwnState();
    m_syncBefore = m_referer.GetSyncFlags();
    m_fixedBefore = m_referer.GetAssumeFixedDigits();
    m_selectedBefore = m_referer.GetSelectedField();
    m_storeOpenBefore = m_credentials.IsOpen();

    setObjectName(QStringLiteral("detailDialog"));
    setWindowTitle(QString::fromUtf8(kTitle));
    setSizeGripEnabled(true);
    BuildControls();

    // The Referer shows what is stored, whatever an order shown in the main window has left in the object, and its
    // marks are found again for the main URL's digits as they are now.
    m_referer.SetSyncFlags(m_settings.syncFlags);
    m_referer.SetAssumeFixedDigits(m_settings.assumeFixedDigits != 0);
    m_referer.SetText(m_settings.Referer);
    ShowForm(FormOf(m_settings, m_credentials.IsOpen()));
    m_refererEdit->Attach(&m_referer);
    m_refererEdit->ShowSeqUrlText();
}

CDetailDlg::~CDetailDlg()
{
    m_refererEdit->Attach(nullptr);
}

void CDetailDlg::BuildControls()
{
    auto* root = new QVBoxLayout(this);

    // The Referer and its sync controls. Only this row grows with the dialog.
    auto* refererRow = new QHBoxLayout;
    refererRow->addWidget(new QLabel(QStringLiteral("リンク元ＵＲＬ"), this));
    m_refererEdit = Named(new CUrlEdit(this), "refererEdit");
    refererRow->addWidget(m_refererEdit, 1);
    m_clearReferer = Button(this, "clearReferer", "クリア");
    m_checkReferer = Button(this, "checkReferer", "チェック");
    refererRow->addWidget(m_clearReferer);
    refererRow->addWidget(m_checkReferer);
    root->addLayout(refererRow);
    connect(m_refererEdit, &CUrlEdit::UrlChanged, this, &CDetailDlg::OnRefererChanged);
    connect(m_clearReferer, &QPushButton::clicked, this, [this] { m_refererEdit->clear(); });
    connect(m_checkReferer, &QPushButton::clicked, this, [this] {
        if (m_showUrl)
            m_showUrl(m_referer.GetText());
    });

    auto* syncRow = new QHBoxLayout;
    m_prevMatch = Named(new QToolButton(this), "prevMatch");
    m_fieldSpin = Named(new CFieldSpin(this), "fieldSpin");
    m_nextMatch = Named(new QToolButton(this), "nextMatch");
    for (QToolButton* b : {m_prevMatch, m_nextMatch})
        b->setIconSize(QSize(16, 16));
    m_syncUpper = Check(this, "syncUpper");
    m_upperLabel = Named(new QLabel(QStringLiteral("上位数字同期"), this), "upperSyncLabel");
    m_syncLower = Check(this, "syncLower");
    m_lowerLabel = Named(new QLabel(QStringLiteral("下位数字同期"), this), "lowerSyncLabel");
    for (QLabel* label : {m_upperLabel, m_lowerLabel}) {
        label->setAutoFillBackground(true);
        label->setMargin(2);
        label->setCursor(Qt::PointingHandCursor);
        label->installEventFilter(this);
    }
    m_wholeSequence = Check(this, "wholeSequence", "連番丸ごとゲット");
    m_fixedDigits = Check(this, "fixedDigits", "桁固定を仮定する");
    for (QWidget* w : std::initializer_list<QWidget*>{m_prevMatch, m_fieldSpin, m_nextMatch})
        syncRow->addWidget(w);
    syncRow->addSpacing(8);
    for (QWidget* w : std::initializer_list<QWidget*>{m_syncUpper, m_upperLabel, m_syncLower, m_lowerLabel})
        syncRow->addWidget(w);
    syncRow->addSpacing(16);
    syncRow->addWidget(m_wholeSequence);
    syncRow->addWidget(m_fixedDigits);
    syncRow->addStretch(1);
    root->addLayout(syncRow);
    connect(m_prevMatch, &QToolButton::clicked, this, [this] {
        m_referer.SelectPrevMatch();
        m_refererEdit->Highlight();
        OnRefererChanged();
    });
    connect(m_nextMatch, &QToolButton::clicked, this, [this] {
        m_referer.SelectNextMatch();
        m_refererEdit->Highlight();
        OnRefererChanged();
    });
    connect(m_fieldSpin, &CFieldSpin::FieldChosen, this, &CDetailDlg::SelectSyncField);
    connect(m_syncUpper, &QCheckBox::clicked, this, &CDetailDlg::ToggleSync);
    connect(m_syncLower, &QCheckBox::clicked, this, &CDetailDlg::ToggleSync);

    // The request options: browser, speed, cache and other files.
    auto* browserBox = new QGroupBox(QStringLiteral("仮想ブラウザ"), this);
    auto* browserGrid = new QGridLayout(browserBox);
    m_browser = new QButtonGroup(this);
    browserGrid->addWidget(Radio(browserBox, m_browser, kBrowserMsie, "browserMsie", "MSIE"), 0, 0);
    browserGrid->addWidget(Radio(browserBox, m_browser, kBrowserFireFox, "browserFireFox", "Fire Fox"), 0, 1);
    browserGrid->addWidget(Radio(browserBox, m_browser, kBrowserNetscape, "browserNetscape", "Netscape"), 1, 0);
    browserGrid->addWidget(Radio(browserBox, m_browser, kBrowserPelldra, "browserPelldra", "Pelldra"), 1, 1);
    auto* speedBox = new QGroupBox(QStringLiteral("ダウンロード速度"), this);
    auto* speedRow = new QHBoxLayout(speedBox);
    m_speed = new QButtonGroup(this);
    speedRow->addWidget(Radio(speedBox, m_speed, 1, "speedSlow", "低速"));
    speedRow->addWidget(Radio(speedBox, m_speed, 2, "speedMedium", "中速"));
    speedRow->addWidget(Radio(speedBox, m_speed, 3, "speedFast", "高速"));
    m_cache = Check(this, "useCache", "キャッシュを使う");
    m_acceptOther = Check(this, "acceptOther", "要求と異なるファイルを受け入れる");
    auto* requestColumn = new QVBoxLayout;
    requestColumn->addWidget(browserBox);
    requestColumn->addWidget(speedBox);
    requestColumn->addWidget(m_cache);
    requestColumn->addWidget(m_acceptOther);
    requestColumn->addStretch(1);

    // The credentials: the manager's switches, the default user and password.
    auto* authBox = new QGroupBox(QStringLiteral("認証"), this);
    auto* auth = new QGridLayout(authBox);
    m_useManager = Check(authBox, "useManager", "認証管理を利用する");
    m_editCredentials = Button(authBox, "editCredentials", "認証管理データ編集");
    m_confirmAtStart = Check(authBox, "confirmAtStart", "Pelldra起動時にユーザー確認する");
    m_user = Named(new QLineEdit(authBox), "authUser");
    m_password = Named(new QLineEdit(authBox), "authPassword");
    m_password->setEchoMode(QLineEdit::Password);
    m_lookUp = Button(authBox, "lookUp", "参照");
    m_record = Button(authBox, "record", "記録");
    m_record->setCheckable(true);
    m_clearAuth = Button(authBox, "clearAuth", "クリア");
    auth->addWidget(m_useManager, 0, 0, 1, 2);
    auth->addWidget(m_editCredentials, 0, 2, 1, 2);
    auth->addWidget(m_confirmAtStart, 1, 0, 1, 4);
    auth->addWidget(new QLabel(QStringLiteral("ユーザー名"), authBox), 2, 0);
    auth->addWidget(m_user, 2, 1, 1, 2);
    auth->addWidget(m_clearAuth, 2, 3);
    auth->addWidget(new QLabel(QStringLiteral("パスワード"), authBox), 3, 0);
    auth->addWidget(m_password, 3, 1, 1, 2);
    // 参照 and 記録 share one place: only one of them shows at a time.
    auth->addWidget(m_lookUp, 3, 3);
    auth->addWidget(m_record, 3, 3);
    auth->setColumnStretch(1, 1);
    connect(m_useManager, &QCheckBox::clicked, this, &CDetailDlg::ToggleCredentialManager);
    connect(m_confirmAtStart, &QCheckBox::clicked, this, &CDetailDlg::ToggleConfirmAtStart);
    connect(m_editCredentials, &QPushButton::clicked, this, &CDetailDlg::EditCredentials);
    connect(m_lookUp, &QPushButton::clicked, this, &CDetailDlg::LookUpCredentials);
    connect(m_clearAuth, &QPushButton::clicked, this, [this] {
        m_user->clear();
        m_password->clear();
    });

    auto* proxyBox = new QGroupBox(QStringLiteral("プロキシ"), this);
    auto* proxy = new QGridLayout(proxyBox);
    m_useProxy = Check(proxyBox, "useProxy", "プロキシを使う");
    m_proxyHost = Named(new QLineEdit(proxyBox), "proxyHost");
    m_proxyHost->setMinimumWidth(
        QFontMetrics(m_proxyHost->font()).horizontalAdvance(QStringLiteral("proxy.example.com")) + 16);
    m_proxyPort = Named(new QLineEdit(proxyBox), "proxyPort");
    m_proxyPort->setMaximumWidth(QFontMetrics(m_proxyPort->font()).horizontalAdvance(QStringLiteral("0000000")) + 12);
    m_noProxyForLocal = Check(proxyBox, "noProxyForLocal", "ローカルアドレスにはプロキシを使わない");
    proxy->addWidget(m_useProxy, 0, 0, 1, 4);
    proxy->addWidget(new QLabel(QStringLiteral("ホスト名またはIPアドレス"), proxyBox), 1, 0);
    proxy->addWidget(m_proxyHost, 1, 1);
    proxy->addWidget(new QLabel(QStringLiteral("ポート"), proxyBox), 1, 2);
    proxy->addWidget(m_proxyPort, 1, 3);
    proxy->addWidget(m_noProxyForLocal, 2, 0, 1, 4);
    proxy->setColumnStretch(1, 1);
    connect(m_useProxy, &QCheckBox::clicked, this, &CDetailDlg::ApplyControlRules);

    auto* accountColumn = new QVBoxLayout;
    accountColumn->addWidget(authBox);
    accountColumn->addWidget(proxyBox);
    accountColumn->addStretch(1);

    // The program's own switches.
    m_bossKey = Check(this, "bossKey", "ボスカム有効");
    m_sameFolder = Check(this, "sameFolder", "LinkScoutの保存フォルダと同じにする");
    m_noUpdateLinks = Check(this, "noUpdateLinks", "更新リンクは残さない");
    auto* programColumn = new QVBoxLayout;
    programColumn->addWidget(m_bossKey);
    programColumn->addWidget(m_sameFolder);
    programColumn->addWidget(m_noUpdateLinks);
    programColumn->addStretch(1);
    auto* ok = Button(this, "okButton", "OK");
    ok->setDefault(true);
    auto* cancel = Button(this, "cancelButton", "ｷｬﾝｾﾙ");
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
    if (!m_minimumTaken) {
        // The first size is the smallest, so the Referer box never becomes narrower than it first was.
        m_minimumTaken = true;
        layout()->activate();
        adjustSize();
        setMinimumSize(size());
    }
}

void CDetailDlg::ShowForm(const DetailForm& f)
{
    m_syncUpper->setChecked(f.syncUpper);
    m_syncLower->setChecked(f.syncLower);
    m_wholeSequence->setChecked(f.wholeSequence);
    m_fixedDigits->setChecked(f.assumeFixedDigits);
    m_browser->button(f.browser)->setChecked(true);
    m_speed->button(f.speed)->setChecked(true);
    m_cache->setChecked(f.useCache);
    m_acceptOther->setChecked(f.acceptOtherFile);
    m_useManager->setChecked(f.useCredentialManager);
    m_confirmAtStart->setChecked(f.confirmUserAtStart);
    m_user->setText(Q(f.authUser));
    m_password->setText(Q(f.authPassword));
    m_record->setChecked(f.recordPassword);
    m_useProxy->setChecked(f.useProxy);
    m_proxyHost->setText(Q(f.proxyHost));
    m_proxyPort->setText(Q(f.proxyPort));
    m_noProxyForLocal->setChecked(f.noProxyForLocal);
    m_bossKey->setChecked(f.bossKey);
    m_sameFolder->setChecked(f.sameFolderAsLinkScout);
    m_noUpdateLinks->setChecked(f.noUpdateLinks);
    ApplyControlRules();
}

DetailForm CDetailDlg::FormNow() const
{
    DetailForm f;
    f.referer = m_referer.GetText();
    f.syncUpper = m_syncUpper->isChecked();
    f.syncLower = m_syncLower->isChecked();
    f.wholeSequence = m_wholeSequence->isChecked();
    f.assumeFixedDigits = m_fixedDigits->isChecked();
    f.browser = m_browser->checkedId();
    f.speed = m_speed->checkedId();
    f.useCache = m_cache->isChecked();
    f.acceptOtherFile = m_acceptOther->isChecked();
    f.useCredentialManager = m_useManager->isChecked();
    f.confirmUserAtStart = m_confirmAtStart->isChecked();
    f.authUser = m_user->text().toStdString();
    f.authPassword = m_password->text().toStdString();
    f.recordPassword = m_record->isChecked();
    f.useProxy = m_useProxy->isChecked();
    f.proxyHost = m_proxyHost->text().toStdString();
    f.proxyPort = m_proxyPort->text().toStdString();
    f.noProxyForLocal = m_noProxyForLocal->isChecked();
    f.bossKey = m_bossKey->isChecked();
    f.sameFolderAsLinkScout = m_sameFolder->isChecked();
    f.noUpdateLinks = m_noUpdateLinks->isChecked();
    return f;
}

void CDetailDlg::ApplyControlRules()
{
    const DetailControls c = ControlsOf(FormNow());
    for (QWidget* w : std::initializer_list<QWidget*>{m_proxyHost, m_proxyPort, m_noProxyForLocal})
        w->setEnabled(c.proxyFields);
    m_editCredentials->setEnabled(c.credentialsEditor);
    m_confirmAtStart->setEnabled(c.confirmAtStart);
    m_lookUp->setVisible(c.lookUpShown);
    m_record->setVisible(c.recordShown);
}

// --- the Referer ---

bool CDetailDlg::UpperInUse() const
{
    // As the main window has it: ticked, and a digit run for it left of the lower one.
    const CSeqUrl* master = m_referer.GetMaster();
    return master && master->GetUpperEnabled() && master->CanMoveLeft(0);
}

void CDetailDlg::OnRefererChanged()
{
    m_prevMatch->setEnabled(m_referer.HasPrevMatch());
    m_nextMatch->setEnabled(m_referer.HasNextMatch());
    const int found = m_referer.MasterFieldsFound(false);
    m_syncLower->setEnabled(found > 0 && (found & 1) != 0);
    m_syncUpper->setEnabled(found > 0 && (found & 2) != 0 && UpperInUse());
    m_fieldSpin->setEnabled(UpperInUse());
    PaintSyncLabels();
}

void CDetailDlg::SelectSyncField(int field)
{
    if (field == m_referer.GetSelectedField() || (field == 1 && !UpperInUse()))
        return;
    m_referer.SetSelectedField(field);
    m_refererEdit->Highlight();
    OnRefererChanged();
}

void CDetailDlg::ToggleSync()
{
    m_referer.SetSyncFlags((m_syncLower->isChecked() ? 1 : 0) + (m_syncUpper->isChecked() ? 2 : 0));
    m_referer.Refresh();
    m_refererEdit->Highlight();
    OnRefererChanged();
}

void CDetailDlg::PaintSyncLabels()
{
    const bool upperSelected = m_referer.GetSelectedField() == 1;
    auto paint = [this](QLabel* label, bool selected, const QColor& ground) {
        QPalette p = palette();
        if (selected) {
            p.setColor(QPalette::Window, ground);
            p.setColor(QPalette::WindowText, Qt::white);
        }
        label->setPalette(p);
    };
    paint(m_lowerLabel, !upperSelected, CUrlEdit::kLowerStrong);
    paint(m_upperLabel, upperSelected, CUrlEdit::kUpperStrong);
    m_prevMatch->setIcon(main_icons::Arrow(true, upperSelected));
    m_nextMatch->setIcon(main_icons::Arrow(false, upperSelected));
}

bool CDetailDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == m_upperLabel)
            SelectSyncField(1);
        else if (watched == m_lowerLabel)
            SelectSyncField(0);
    }
    return QDialog::eventFilter(watched, event);
}

// --- the credentials ---

void CDetailDlg::ToggleCredentialManager()
{
    // The click has ticked or cleared the box already; what it shows is the manager's state after the answer.
    const bool wasInUse = !m_useManager->isChecked();
    bool inUse = false;
    if (wasInUse)
        m_credentials.Close();
    else if (m_credentials.Open(true) == 0)
        inUse = true;
    else
        ShowMessage(this, QString::fromUtf8(kManagerRefused));
    m_useManager->setChecked(inUse);
    ApplyControlRules();
}

void CDetailDlg::ToggleConfirmAtStart()
{
    if (!m_confirmAtStart->isChecked() && ShowMessage(this, QString::fromUtf8(kConfirmOffQuestion), QString(),
                                                      MessageIcon::None, MessageButtons::YesNo) != MessageAnswer::Yes)
        m_confirmAtStart->setChecked(true);
    ApplyControlRules();
}

void CDetailDlg::LookUpCredentials()
{
    CAuthRecord query;
    query.SetPageUrl(m_referer.GetMaster() ? m_referer.GetMaster()->GetText() : std::string());
    if (m_credentials.StoreOpenedWithoutLogin().FindForUrl(query) != 0) {
        ShowMessage(this, QString::fromUtf8(kNoMatch));
        return;
    }
    const QString user = Q(query.GetUserId());
    const QString password = Q(query.GetPassword());
    if ((m_user->text() != user || m_password->text() != password) &&
        ShowMessage(this, QString::fromUtf8(kOverwriteQuestion), QString(), MessageIcon::None, MessageButtons::YesNo) !=
            MessageAnswer::Yes)
        return;
    m_user->setText(user);
    m_password->setText(password);
}

void CDetailDlg::EditCredentials()
{
    CAuthRecord current;
    current.SetSiteUrl(m_referer.GetMaster() ? m_referer.GetMaster()->GetText() : std::string());
    current.SetUserId(m_user->text().toStdString());
    current.SetPassword(m_password->text().toStdString());
    m_credentials.ShowEditor(this, current);
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
    m_wholeSequenceChanged = ApplyDetailForm(form, m_settings);
    m_referer.SetSyncFlags(m_settings.syncFlags);
    m_referer.SetAssumeFixedDigits(m_settings.assumeFixedDigits != 0);
    QDialog::accept();
}

void CDetailDlg::reject()
{
    // The Referer, its shared settings and the manager's state were changed as the user went; all go back.
    m_referer.RestoreOwnState(m_refererBefore);
    m_referer.SetSyncFlags(m_syncBefore);
    m_referer.SetAssumeFixedDigits(m_fixedBefore);
    m_referer.SetSelectedField(m_selectedBefore);
    if (m_credentials.IsOpen() != m_storeOpenBefore) {
        if (m_storeOpenBefore)
            m_credentials.Open(false);
        else
            m_credentials.Close();
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
