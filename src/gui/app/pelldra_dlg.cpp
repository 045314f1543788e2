// The main window: its controls and layouts, the start, stop and exit commands, the run's end and the queue run.
#include "gui/app/pelldra_dlg.h"

#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <cstdio>
#include <ctime>

#include "core/credentials/ninsho_center.h"
#include "core/engine/download_engine.h"
#include "core/orders/run_order.h"
#include "core/platform/folders.h"
#include "core/text/text_utils.h"
#include "gui/app/about_dialog.h"
#include "gui/app/engine_bridge.h"
#include "gui/app/main_icons.h"
#include "gui/app/pelldra_app.h"
#include "gui/app/power_off_dialog.h"
#include "gui/app/run_animation.h"
#include "gui/credentials/credential_manager.h"
#include "gui/linkscout/open_in_linkscout.h"
#include "gui/log/log_edit.h"
#include "gui/platform/broadcasts.h"
#include "gui/platform/message_box.h"
#include "gui/platform/power.h"
#include "gui/platform/program_start.h"
#include "gui/queue/notice_popup.h"
#include "gui/widgets/field_spin.h"
#include "gui/widgets/folder_edit.h"
#include "gui/widgets/num_edit.h"
#include "gui/widgets/repeat_spin.h"
#include "gui/widgets/url_edit.h"

namespace pelldra {

namespace {

constexpr const char* kNotYet = "この画面はまだありません";

QString HumanBytes(double n)
{
    static const char* const units[] = {"KiB", "MiB", "GiB"};
    if (n < 1024)
        return QStringLiteral("%1 B").arg(static_cast<long long>(n));
    int u = -1;
    while (n >= 1024 && u < 2) {
        n /= 1024;
        ++u;
    }
    return QStringLiteral("%1 %2").arg(n, 0, 'f', 1).arg(QLatin1String(units[u]));
}

QToolButton* ToolButton(QWidget* parent, const char* name, const QIcon& icon, int iconSize)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setIcon(icon);
    b->setIconSize(QSize(iconSize, iconSize));
    b->setAutoRaise(false);
    return b;
}

QPushButton* Button(QWidget* parent, const char* name, const char* text)
{
    auto* b = new QPushButton(QString::fromUtf8(text), parent);
    b->setObjectName(QLatin1String(name));
    // Enter must never press a button of this window.
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

// A dialog that is not ready yet: present, honest about it.
void MarkNotYet(QWidget* w)
{
    w->setEnabled(false);
    w->setToolTip(QString::fromUtf8(kNotYet));
}

} // namespace

CPelldraDlg::CPelldraDlg(QWidget* parent) : CPelldraDlg(parent, Options{}) {}

CPelldraDlg::CPelldraDlg(QWidget* parent, Options options) : QDialog(parent), m_options(options)
{
    m_referer.SetMaster(&m_url);
    m_bridge = std::make_unique<EngineBridge>(this, m_dailyLog);
    m_engine = std::make_unique<CDownloadEngine>(m_options.limits);
    m_engine->Setup(m_bridge.get(), &m_types);
    m_credentials = std::make_unique<CCredentialManager>(
        this, [this](const std::shared_ptr<CNinshoCenter>& store) { m_engine->SetCredentialStore(store); });

    setObjectName(QStringLiteral("pelldraMain"));
    setWindowTitle(QString::fromUtf8(kCaption));
    setWindowIcon(main_icons::Window());
    setWindowFlag(Qt::WindowMinMaxButtonsHint, true);
    setSizeGripEnabled(true);
    BuildControls();

    if (m_options.app) {
        m_options.app->SetAppState(QStringLiteral("opened"));
        connect(m_options.app, &CPelldraApp::BroughtUp, this, [this] { m_hidden = false; });
    }
    ResetControls();
    LoadSettings();
    m_credentials->OpenAtStart(m_settings);

    m_animation->Open(CRunAnimation::Clip::Still, false);
    m_log->Init();
    const bool queued = m_queue.hasItems() != 0 || m_queue.LoadAll() > 0;
    m_queueButton->setEnabled(queued);
    m_queueMode = queued;
    if (queued) {
        m_animation->Open(CRunAnimation::Clip::Queue, true);
        SetStartIcon(true);
    } else {
        SetStartIcon(false);
    }
    ShowLayoutOf(m_jobMode);

    m_progressTimer.setInterval(kProgressIntervalMs);
    connect(&m_progressTimer, &QTimer::timeout, this, &CPelldraDlg::UpdateProgress);

    AnnounceSettings announce = m_options.announce;
    if (!announce.openPage)
        announce.openPage = [this](const QString& url) {
            if (m_options.app)
                OpenInLinkScout(*m_options.app, url);
        };
    m_announce = std::make_unique<AnnouncementCheck>(this, std::move(announce));
}

CPelldraDlg::~CPelldraDlg()
{
    m_progressTimer.stop();
    // Workers waiting on this window are let go first, so that the engine can end its run and be joined.
    m_bridge->Shutdown();
    m_engine->Abort();
    m_engine.reset();
    m_dailyLog.Close();
    SaveSettings();
}

void CPelldraDlg::BuildControls()
{
    auto* root = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    root->addLayout(top);
    auto* left = new QVBoxLayout;
    top->addLayout(left, 1);

    m_tabs = new QTabBar(this);
    m_tabs->setObjectName(QStringLiteral("jobTabs"));
    m_tabs->addTab(QStringLiteral("連番"));
    m_tabs->addTab(QStringLiteral("リスト"));
    m_tabs->setExpanding(false);
    m_tabs->setDrawBase(true);
    left->addWidget(m_tabs);
    connect(m_tabs, &QTabBar::currentChanged, this,
            [this](int index) { SetJobMode(index == 0 ? JobMode::Sequential : JobMode::List); });

    auto* hintRow = new QHBoxLayout;
    m_urlLabel = new QLabel(this);
    m_hint = new QLabel(this);
    m_hint->setObjectName(QStringLiteral("modeHint"));
    hintRow->addWidget(m_urlLabel);
    hintRow->addWidget(m_hint, 1);
    left->addLayout(hintRow);

    // The series controls.
    m_sequentialPanel = new QWidget(this);
    auto* seq = new QGridLayout(m_sequentialPanel);
    seq->setContentsMargins(0, 0, 0, 0);
    m_urlEdit = new CUrlEdit(m_sequentialPanel);
    m_urlEdit->setObjectName(QStringLiteral("urlEdit"));
    m_urlEdit->Attach(&m_url);
    connect(m_urlEdit, &CUrlEdit::UrlChanged, this, &CPelldraDlg::OnUrlChanged);
    m_prevRun = ToolButton(m_sequentialPanel, "prevRun", main_icons::Arrow(true, false), 16);
    m_fieldSpin = new CFieldSpin(m_sequentialPanel);
    m_nextRun = ToolButton(m_sequentialPanel, "nextRun", main_icons::Arrow(false, false), 16);
    connect(m_prevRun, &QToolButton::clicked, this, &CPelldraDlg::SelectPrevRun);
    connect(m_nextRun, &QToolButton::clicked, this, &CPelldraDlg::SelectNextRun);
    connect(m_fieldSpin, &CFieldSpin::FieldChosen, this, &CPelldraDlg::SelectField);
    auto* urlRow = new QHBoxLayout;
    urlRow->addWidget(m_urlEdit, 1);
    urlRow->addWidget(m_prevRun);
    urlRow->addWidget(m_fieldSpin);
    urlRow->addWidget(m_nextRun);
    seq->addLayout(urlRow, 0, 0, 1, 9);

    auto numBox = [this](const char* name, CRepeatSpin*& spin) {
        auto* edit = new CNumEdit(m_sequentialPanel);
        edit->setObjectName(QLatin1String(name));
        edit->setFixedWidth(QFontMetrics(edit->font()).horizontalAdvance(QStringLiteral("00000000")) + 10);
        spin = new CRepeatSpin(m_sequentialPanel);
        spin->SetBuddy(edit);
        return edit;
    };
    m_upperCheck = new QCheckBox(m_sequentialPanel);
    m_upperCheck->setObjectName(QStringLiteral("upperCheck"));
    m_upperLabel = new QLabel(QStringLiteral("上位数字列"), m_sequentialPanel);
    m_upperLabel->setObjectName(QStringLiteral("upperLabel"));
    m_upperFrom = numBox("upperFrom", m_upperFromSpin);
    m_upperKara = new QLabel(QStringLiteral("から"), m_sequentialPanel);
    m_upperTo = numBox("upperTo", m_upperToSpin);
    m_subfolderCheck = new QCheckBox(QStringLiteral("サブフォルダ"), m_sequentialPanel);
    m_subfolderCheck->setObjectName(QStringLiteral("subfolderCheck"));
    m_subfolderEdit = new QLineEdit(m_sequentialPanel);
    m_subfolderEdit->setObjectName(QStringLiteral("subfolderEdit"));
    connect(m_upperCheck, &QCheckBox::clicked, this, &CPelldraDlg::ToggleUpper);
    connect(m_subfolderCheck, &QCheckBox::clicked, this, &CPelldraDlg::ToggleSubfolder);

    m_lowerLabel = new QLabel(QStringLiteral("下位数字列"), m_sequentialPanel);
    m_lowerLabel->setObjectName(QStringLiteral("lowerLabel"));
    CRepeatSpin* lowerFromSpin = nullptr;
    CRepeatSpin* lowerToSpin = nullptr;
    m_lowerFrom = numBox("lowerFrom", lowerFromSpin);
    auto* lowerKara = new QLabel(QStringLiteral("から"), m_sequentialPanel);
    m_lowerTo = numBox("lowerTo", lowerToSpin);
    auto* nameLabel = new QLabel(QStringLiteral("保存時ファイル名"), m_sequentialPanel);
    m_saveNameEdit = new QLineEdit(m_sequentialPanel);
    m_saveNameEdit->setObjectName(QStringLiteral("saveNameEdit"));
    // Templates are read whole: room for a name like "pic*-*.jpg" or a subfolder like "vol*".
    const int templateWidth = QFontMetrics(font()).horizontalAdvance(QStringLiteral("picture*-*.jpeg")) + 16;
    m_saveNameEdit->setMinimumWidth(templateWidth);
    m_subfolderEdit->setMinimumWidth(templateWidth);
    for (QLabel* label : {m_upperLabel, m_lowerLabel}) {
        label->setAutoFillBackground(true);
        label->setMargin(2);
        label->setCursor(Qt::PointingHandCursor);
        label->installEventFilter(this);
    }

    seq->addWidget(m_upperCheck, 1, 0);
    seq->addWidget(m_upperLabel, 1, 1);
    seq->addWidget(m_upperFrom, 1, 2);
    seq->addWidget(m_upperFromSpin, 1, 3);
    seq->addWidget(m_upperKara, 1, 4);
    seq->addWidget(m_upperTo, 1, 5);
    seq->addWidget(m_upperToSpin, 1, 6);
    seq->addWidget(m_subfolderCheck, 1, 7);
    seq->addWidget(m_subfolderEdit, 1, 8);
    seq->addWidget(m_lowerLabel, 2, 1);
    seq->addWidget(m_lowerFrom, 2, 2);
    seq->addWidget(lowerFromSpin, 2, 3);
    seq->addWidget(lowerKara, 2, 4);
    seq->addWidget(m_lowerTo, 2, 5);
    seq->addWidget(lowerToSpin, 2, 6);
    seq->addWidget(nameLabel, 2, 7);
    seq->addWidget(m_saveNameEdit, 2, 8);
    seq->setColumnStretch(8, 1);
    left->addWidget(m_sequentialPanel);

    // The list controls.
    m_listPanel = new QWidget(this);
    auto* list = new QGridLayout(m_listPanel);
    list->setContentsMargins(0, 0, 0, 0);
    m_listPathEdit = new QLineEdit(m_listPanel);
    m_listPathEdit->setObjectName(QStringLiteral("listPathEdit"));
    m_openButton = ToolButton(m_listPanel, "openList", main_icons::OpenList(), 16);
    m_openButton->setText(QStringLiteral("開く"));
    m_openButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    connect(m_openButton, &QToolButton::clicked, this, &CPelldraDlg::OpenListFile);
    m_deleteListCheck = new QCheckBox(QStringLiteral("ダウンロード終了後にリストを削除"), m_listPanel);
    m_deleteListCheck->setObjectName(QStringLiteral("deleteListCheck"));
    m_viewListButton = Button(m_listPanel, "viewList", "リストの内容を見る");
    MarkNotYet(m_viewListButton);
    list->addWidget(m_listPathEdit, 0, 0, 1, 2);
    list->addWidget(m_openButton, 0, 2);
    list->addWidget(m_deleteListCheck, 1, 0);
    list->addWidget(m_viewListButton, 1, 2);
    list->setColumnStretch(1, 1);
    left->addWidget(m_listPanel);

    auto* folderRow = new QHBoxLayout;
    m_folderButton = Button(this, "folderButton", "保存するフォルダ");
    m_folderEdit = new CFolder(this);
    m_folderEdit->setObjectName(QStringLiteral("folderEdit"));
    connect(m_folderButton, &QPushButton::clicked, this, [this] { m_folderEdit->Browse(); });
    folderRow->addWidget(m_folderButton);
    folderRow->addWidget(m_folderEdit, 1);
    left->addLayout(folderRow);
    left->addStretch(1);

    // The command column keeps its distance to the right edge.
    auto* right = new QVBoxLayout;
    top->addLayout(right);
    auto* runRow = new QHBoxLayout;
    m_animation = new CRunAnimation(this);
    m_animation->setToolTip(QStringLiteral("待ち行列モードの切り替え"));
    connect(m_animation, &CRunAnimation::Clicked, this, &CPelldraDlg::ToggleQueueMode);
    m_startButton = ToolButton(this, "startButton", main_icons::StartIdle(), 32);
    m_startButton->setToolTip(QStringLiteral("ダウンロード開始"));
    m_startButton->installEventFilter(this);
    m_stopButton = ToolButton(this, "stopButton", main_icons::Stop(), 32);
    m_stopButton->setToolTip(QStringLiteral("中止"));
    connect(m_startButton, &QToolButton::clicked, this, &CPelldraDlg::OnStart);
    connect(m_stopButton, &QToolButton::clicked, this, &CPelldraDlg::OnStop);
    runRow->addWidget(m_animation);
    runRow->addWidget(m_startButton);
    runRow->addWidget(m_stopButton);
    right->addLayout(runRow);
    m_queueButton = Button(this, "queueButton", "待ち行列");
    connect(m_queueButton, &QPushButton::clicked, this, [this] {
        // The queue's own dialog is not here yet: say what the queue holds rather than pretend.
        const int count = m_queue.LoadAll();
        ShowMessage(this, QStringLiteral("待ち行列には %1 件のダウンロード指令があります。").arg(count), QString(),
                    MessageIcon::Information);
        m_queueButton->setEnabled(count > 0);
    });
    m_detailButton = Button(this, "detailButton", "詳細設定");
    connect(m_detailButton, &QPushButton::clicked, this, &CPelldraDlg::ShowDetailSettings);
    m_logButton = Button(this, "logButton", "ログ");
    connect(m_logButton, &QPushButton::clicked, this, &CPelldraDlg::OpenLogViewer);
    m_helpButton = Button(this, "helpButton", "HELP");
    MarkNotYet(m_helpButton);
    m_exitButton = Button(this, "exitButton", "終了");
    connect(m_exitButton, &QPushButton::clicked, this, &CPelldraDlg::OnExit);
    auto* smallRow = new QHBoxLayout;
    smallRow->addWidget(m_logButton);
    smallRow->addWidget(m_helpButton);
    right->addWidget(m_queueButton);
    right->addWidget(m_detailButton);
    right->addLayout(smallRow);
    right->addStretch(1);
    right->addWidget(m_exitButton);

    m_log = new CLogEdit(this);
    m_log->setObjectName(QStringLiteral("logView"));
    m_log->setMinimumHeight(120);
    root->addWidget(m_log, 1);
    m_progress = new QLabel(this);
    m_progress->setObjectName(QStringLiteral("progressLine"));
    root->addWidget(m_progress);

    m_notice = new CNoticePopup(this);
    m_notice->hide();
}

void CPelldraDlg::ResetControls()
{
    m_urlEdit->ShowSeqUrlText();
    m_folderEdit->SetFolder(QString());
    m_folderEdit->clear();
    m_seqState.FixedWidth = 2;
    m_lowerFrom->SetValue(std::string("00"), 2);
    m_lowerTo->SetValue(std::string("20"), 2);
    m_seqState.NameTemplate.clear();
    m_seqState.NameGiven = false;
    {
        const QSignalBlocker block(m_subfolderCheck);
        m_subfolderCheck->setChecked(m_subfolderOn);
    }
    UpdateDigitControls();
}

void CPelldraDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_minimumTaken) {
        // The first size is the smallest: the controls never squeeze below their first layout. It is taken on the
        // series layout, the larger one, even when the window opens in the list mode it was closed in.
        m_minimumTaken = true;
        ShowLayoutOf(JobMode::Sequential);
        layout()->activate();
        adjustSize();
        setMinimumSize(size());
    }
    ShowLayoutOf(m_jobMode);
    m_announce->OnShown();
}

// --- modes and layouts ---

void CPelldraDlg::ShowLayoutOf(JobMode mode)
{
    const bool sequential = mode == JobMode::Sequential;
    m_sequentialPanel->setVisible(sequential);
    m_listPanel->setVisible(!sequential);
    m_urlLabel->setText(sequential ? QStringLiteral("URL:") : QStringLiteral("File"));
    m_hint->setText(QString::fromUtf8(sequential ? kSequentialHint : kListHint));
    const QSignalBlocker block(m_tabs);
    m_tabs->setCurrentIndex(sequential ? 0 : 1);
}

void CPelldraDlg::SetJobMode(JobMode mode)
{
    m_jobMode = mode;
    ShowLayoutOf(mode);
}

void CPelldraDlg::OpenListFile()
{
    const QString path = ChooseOpenFile(this, QString::fromUtf8(kListChooserTitle), QString::fromUtf8(kListFilter),
                                        QStringLiteral(".lst"), m_listPathEdit->text());
    if (!path.isEmpty())
        m_listPathEdit->setText(path);
}

// --- the digit-string controls ---

void CPelldraDlg::OnUrlChanged()
{
    ApplyRanges(RefreshRangesFromUrl(m_url, m_settings.WholeSequence != 0), true, true);
    UpdateDigitControls();
}

void CPelldraDlg::ApplyRanges(const FilledRanges& ranges, bool lower, bool upper)
{
    auto apply = [](const RangeTexts& r, CNumEdit* from, CNumEdit* to) {
        from->SetValue(r.from, r.width);
        to->SetValue(r.toEmptied ? std::nullopt : std::optional<std::string>(r.to), r.width);
    };
    if (lower)
        apply(ranges.lower, m_lowerFrom, m_lowerTo);
    if (upper && ranges.hasUpper)
        apply(ranges.upper, m_upperFrom, m_upperTo);
}

void CPelldraDlg::UpdateDigitControls()
{
    const bool upperPossible = m_url.CanMoveLeft(0);
    const bool upperOn = upperPossible && m_url.GetUpperEnabled();
    m_upperCheck->setEnabled(upperPossible);
    {
        const QSignalBlocker block(m_upperCheck);
        m_upperCheck->setChecked(upperOn);
    }
    for (QWidget* w : std::initializer_list<QWidget*>{m_upperFrom, m_upperFromSpin, m_upperTo, m_upperToSpin,
                                                      m_upperKara, m_subfolderCheck, m_fieldSpin})
        w->setEnabled(upperOn);
    m_subfolderEdit->setEnabled(upperOn && m_subfolderOn);
    if (!upperPossible && m_url.GetSelectedField() == 1)
        m_url.SetSelectedField(0);
    if (!upperOn && m_url.GetSelectedField() == 1)
        m_url.SetSelectedField(0);

    const bool upperSelected = m_url.GetSelectedField() == 1;
    if (upperSelected) {
        m_nextRun->setEnabled(m_url.CanMoveRight(0) || m_url.CanMoveRight(1));
        m_prevRun->setEnabled(m_url.CanMoveLeft(1));
    } else {
        m_nextRun->setEnabled(m_url.CanMoveRight(0));
        m_prevRun->setEnabled(m_url.CanMoveLeft(0) || m_url.CanMoveLeft(1));
    }
    PaintFieldLabels();
}

void CPelldraDlg::PaintFieldLabels()
{
    const bool upperSelected = m_url.GetSelectedField() == 1;
    auto paint = [this](QLabel* label, bool selected, const QColor& ground) {
        QPalette p = palette();
        if (selected) {
            p.setColor(QPalette::Window, ground);
            p.setColor(QPalette::WindowText, Qt::white);
        }
        label->setPalette(p);
    };
    paint(m_lowerLabel, !upperSelected, QColor(255, 0, 0));
    paint(m_upperLabel, upperSelected, QColor(0, 0, 255));
    m_prevRun->setIcon(main_icons::Arrow(true, upperSelected));
    m_nextRun->setIcon(main_icons::Arrow(false, upperSelected));
}

void CPelldraDlg::SelectField(int field)
{
    if (field == 1 && !(m_upperCheck->isEnabled() && m_url.GetUpperEnabled()))
        return;
    m_url.SetSelectedField(field);
    m_urlEdit->Highlight();
    UpdateDigitControls();
}

void CPelldraDlg::SelectPrevRun()
{
    m_url.SelectPrevRun();
    m_urlEdit->Highlight();
    // The boxes follow the newly marked digits, as they do when the URL is typed.
    OnUrlChanged();
}

void CPelldraDlg::SelectNextRun()
{
    m_url.SelectNextRun();
    m_urlEdit->Highlight();
    OnUrlChanged();
}

void CPelldraDlg::ToggleUpper()
{
    const bool on = !m_url.GetUpperEnabled();
    m_url.SetUpperEnabled(on);
    m_url.SetSelectedField(on ? 1 : 0);
    m_url.Refresh();
    m_urlEdit->Highlight();
    if (on)
        ApplyRanges(RefreshRangesFromUrl(m_url, m_settings.WholeSequence != 0), false, true);
    UpdateDigitControls();
}

void CPelldraDlg::ToggleSubfolder()
{
    m_subfolderOn = !m_subfolderOn;
    {
        const QSignalBlocker block(m_subfolderCheck);
        m_subfolderCheck->setChecked(m_subfolderOn);
    }
    m_subfolderEdit->setEnabled(m_upperCheck->isChecked() && m_subfolderOn);
}

int CPelldraDlg::LoadItemIntoWindow(const CQueueItem& source)
{
    CQueueItem item = source;
    if (item.Kind >= CQueueItem::LIST && item.Kind <= CQueueItem::IMAGE) {
        SetJobMode(JobMode::List);
        m_listPathEdit->setText(QString::fromStdString(item.Lst));
        m_folderEdit->setText(QString::fromStdString(item.Fol));
        m_deleteListCheck->setChecked(item.Del != 0);
        m_loadedList = {item.Lst, item.Kind, item.Page, item.KindName};
        return 1;
    }
    SetJobMode(JobMode::Sequential);
    if (item.Or1.empty())
        item.Or1 = item.St1;
    if (!item.St2.empty() != m_url.GetUpperEnabled()) {
        m_url.SetUpperEnabled(!item.St2.empty());
        m_url.SetSelectedField(item.St2.empty() ? 0 : 1);
    }
    m_subfolderOn = !item.Sub.empty();
    {
        const QSignalBlocker block(m_subfolderCheck);
        m_subfolderCheck->setChecked(m_subfolderOn);
    }
    m_subfolderEdit->setText(QString::fromStdString(item.Sub));
    LoadUrlFromItem(m_url, item);
    m_urlEdit->ShowSeqUrlText();
    m_saveNameEdit->setText(QString::fromStdString(AfterLast(item.job.Dest, '/')));
    if (!item.Fol.empty()) {
        m_folderEdit->setText(QString::fromStdString(item.Fol));
    } else {
        std::string folder = UpToLast(item.job.Dest, '/');
        while (folder.size() > 1 && folder.back() == '/')
            folder.pop_back();
        if (!folder.empty())
            m_folderEdit->setText(QString::fromStdString(folder));
    }
    m_seqState.LastCookie = item.job.Cook;
    m_seqState.LastCookieScope = UpToLast(item.job.Targ, '/');
    UpdateDigitControls();
    return 1;
}

// --- the start command ---

void CPelldraDlg::ShowRefusal(const OrderResult& result)
{
    for (const std::string& text : result.messages)
        ShowMessage(this, QString::fromStdString(text), QString(),
                    result.stopIcon ? MessageIcon::Stop : MessageIcon::None);
}

SequentialControls CPelldraDlg::SequentialControlsNow()
{
    if (m_referer.GetText() != m_settings.Referer)
        m_referer.SetText(m_settings.Referer);
    m_url.SetSyncFlags(m_settings.syncFlags);
    SequentialControls c;
    c.url = &m_url;
    c.referer = &m_referer;
    c.lowerFrom = m_lowerFrom->Value();
    c.lowerTo = m_lowerTo->Value();
    c.upperOn = m_upperCheck->isEnabled() && m_url.GetUpperEnabled();
    c.upperFrom = m_upperFrom->Value();
    c.upperTo = m_upperTo->Value();
    c.subfolderOn = m_subfolderOn;
    c.subfolder = m_subfolderEdit->text().toStdString();
    c.saveName = m_saveNameEdit->text().toStdString();
    c.folder = m_folderEdit->text().toStdString();
    return c;
}

int CPelldraDlg::BuildSequentialItem()
{
    const OrderResult r = pelldra::BuildSequentialItem(SequentialControlsNow(), m_settings, m_seqState, m_currentItem);
    if (!r.ok()) {
        ShowRefusal(r);
        return 1;
    }
    return 0;
}

int CPelldraDlg::BuildListItem()
{
    ListControls c;
    c.listPath = m_listPathEdit->text().toStdString();
    c.folder = m_folderEdit->text().toStdString();
    c.deleteList = m_deleteListCheck->isChecked();
    if (m_options.app)
        c.linkScoutFolder = m_options.app->GetLinkScoutSaveFolder().toStdString();
    const OrderResult r = pelldra::BuildListItem(c, m_settings, m_loadedList, m_currentItem);
    if (!r.ok()) {
        ShowRefusal(r);
        return 1;
    }
    return 0;
}

void CPelldraDlg::OnStart()
{
    // A LinkScout list run shows the list layout too, so its start command builds from the list controls.
    const int refused = m_jobMode == JobMode::Sequential ? BuildSequentialItem() : BuildListItem();
    if (refused != 0)
        return;
    if (StartRun(m_currentItem) > 0)
        AddToQueue(m_currentItem, 0);
}

int CPelldraDlg::StartRun(CQueueItem& item)
{
    if (m_runState == kRunning || m_queueMode)
        return 1;
    m_runningItem = item;
    m_log->BeginRun();
    if (m_dailyLog.Open())
        m_log->AppendLine(kLogStartLine);
    const RunPreparation prep = PrepareRun(m_runningItem, &m_settings, m_jobMode, m_folderEdit->text().toStdString());
    ShowStatusLines(prep.lines);
    if (prep.backToSequential)
        SetJobMode(JobMode::Sequential);
    if (prep.code < 0) {
        m_dailyLog.Close();
        return -1;
    }
    SetRunning();
    m_engine->SetNoUpdateLinks(m_settings.NoUpdateLinks != 0);
    if (!m_engine->Start(m_runningItem)) {
        // Cannot happen while the window tracks the engine's state; the engine has said why.
        m_runState = kIdle;
        SetIdleLook();
        m_dailyLog.Close();
        return 1;
    }
    m_progressTimer.start();
    UpdateProgress();
    return 0;
}

void CPelldraDlg::AddToQueue(const CQueueItem& item, int origin)
{
    if (m_queue.Append(item) != 0) {
        // An order the user gave must not vanish without a word.
        ShowMessage(this, QString::fromUtf8(kQueueWriteFailed) + QString::fromStdString(m_queue.path()), QString(),
                    MessageIcon::Stop);
        return;
    }
    m_notice->SetOrigin(origin);
    m_notice->ShowNotice(origin);
    m_queueButton->setEnabled(true);
}

void CPelldraDlg::SetStartIcon(bool busy)
{
    m_startBusy = busy;
    m_startButton->setIcon(busy ? main_icons::StartBusy() : main_icons::StartIdle());
}

void CPelldraDlg::SetRunning()
{
    m_runState = kRunning;
    SetStartIcon(true);
    m_userStopped = false;
    m_animation->Open(CRunAnimation::Clip::Running, true);
}

void CPelldraDlg::SetIdleLook()
{
    m_animation->Open(CRunAnimation::Clip::Still, false);
    SetStartIcon(false);
}

// --- the engine's reports ---

void CPelldraDlg::ShowStatusLines(const std::vector<std::string>& lines)
{
    m_dailyLog.AppendLines(lines);
    for (const std::string& line : lines)
        m_log->AppendLine(line);
}

void CPelldraDlg::OnRunEnded(int result)
{
    m_queue.EndTakenRun(); // a queued order that ran is done with
    m_progressTimer.stop();
    UpdateProgress();
    m_dailyLog.Close();
    DeleteListAfterRun(m_runningItem, result, m_engine->Progress().failed);
    if (m_exitRequested) {
        CloseWindow();
        return;
    }
    m_runState = kIdle;
    SetIdleLook();
    if (m_jobMode == JobMode::LinkScoutList)
        m_jobMode = JobMode::List;
    if (m_userStopped && m_queue.hasItems() != 0)
        ToggleQueueMode();
    if (!m_queueMode)
        RunNextQueued();
}

void CPelldraDlg::UpdateProgress()
{
    const ProgressSnapshot p = m_engine->Progress();
    m_progress->setText(QStringLiteral("完了 %1  失敗 %2  要求 %3  %4/s")
                            .arg(p.done)
                            .arg(p.failed)
                            .arg(p.requested)
                            .arg(HumanBytes(p.rate)));
}

QString CPelldraDlg::ProgressText() const
{
    return m_progress->text();
}

// --- the queue ---

void CPelldraDlg::ToggleQueueMode()
{
    if (m_runState == kRunning)
        return;
    m_queueMode = !m_queueMode;
    if (m_queueMode) {
        m_animation->Open(CRunAnimation::Clip::Queue, true);
        SetStartIcon(true);
    } else {
        m_animation->Open(CRunAnimation::Clip::Still, false);
        SetStartIcon(false);
        RunNextQueued();
    }
}

void CPelldraDlg::RunNextQueued()
{
    const StartRunFunction start = [this](const CQueueItem& taken) {
        m_currentItem = taken;
        return StartRun(m_currentItem);
    };
    const QueueRunResult r = pelldra::RunNextQueued(m_queue, start, m_powerOffWhenQueueDone);
    switch (r.outcome) {
    case QueueRunResult::Started:
        break;
    case QueueRunResult::Requeued:
        if (r.requeueFailed) {
            ShowMessage(this, QString::fromUtf8(kQueueWriteFailed) + QString::fromStdString(m_queue.path()), QString(),
                        MessageIcon::Stop);
            break;
        }
        m_notice->SetOrigin(2);
        m_notice->ShowNotice(2);
        m_queueButton->setEnabled(true);
        break;
    case QueueRunResult::Empty:
        m_queueButton->setEnabled(false);
        if (r.powerOff)
            PowerOff();
        break;
    case QueueRunResult::CannotTake:
        // Not empty: the orders wait in queue mode, and switching it off tries again.
        ShowMessage(this, QString::fromUtf8(kQueueTakeFailed) + QString::fromStdString(r.failure), QString(),
                    MessageIcon::Stop);
        if (!m_queueMode)
            ToggleQueueMode();
        m_queueButton->setEnabled(true);
        break;
    }
}

void CPelldraDlg::PowerOff()
{
    PowerBackend& backend = m_options.power ? *m_options.power : ProgramPowerBackend();
    if (ConfirmAndPowerOff(this, backend))
        OnExit();
}

// --- stop, exit and the window's own keys ---

void CPelldraDlg::OnStop()
{
    if (m_runState != kRunning)
        return;
    m_userStopped = true;
    m_engine->Abort();
}

void CPelldraDlg::OpenLogViewer()
{
    ProgramStart start;
    start.name = QString::fromUtf8(kLogViewerProgram);
    start.arguments = {QString::fromStdString(CDailyLog::FileNameFor(std::time(nullptr)))};
    start.workingFolder = QString::fromStdString(GetProgramFolder());
    const bool started = m_options.startProgram ? m_options.startProgram(start) : StartCompanionProgram(start);
    if (!started)
        ShowMessage(this, QString::fromUtf8(kLogViewerMissing));
}

void CPelldraDlg::OnExit()
{
    if (m_runState != kRunning) {
        CloseWindow();
        return;
    }
    m_exitRequested = true;
    OnStop();
}

void CPelldraDlg::CloseWindow()
{
    m_notice->hide();
    QDialog::done(QDialog::Accepted);
}

void CPelldraDlg::reject()
{
    OnCancelCommand();
}

void CPelldraDlg::OnCancelCommand()
{
    // Esc is the boss key: with it switched off nothing happens.
    if (m_closeRequested) {
        QDialog::reject();
        return;
    }
    if (m_settings.BossKey == 0)
        return;
    m_hidden = true;
    if (m_options.app) {
        m_options.app->SetAppState(QStringLiteral("hide"));
        m_options.app->GetBroadcasts().Emit(QString::fromUtf8(broadcast::kBossCome));
    }
    hide();
}

void CPelldraDlg::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CPelldraDlg::closeEvent(QCloseEvent* event)
{
    m_closeRequested = true;
    // The window goes for good (a termination signal closes it too): an open credentials prompt would hold the
    // program until it timed out, so the workers' questions end here.
    m_bridge->Shutdown();
    QDialog::closeEvent(event);
}

void CPelldraDlg::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    QAction* about = menu.addAction(QStringLiteral("バージョン情報(&A)..."));
    if (menu.exec(event->globalPos()) == about) {
        CAboutDlg dialog(this);
        connect(&dialog, &CAboutDlg::ClosedWithEscape, this, &CPelldraDlg::reject);
        dialog.exec();
    }
}

bool CPelldraDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_startButton && m_runState == kIdle && !m_queueMode) {
        if (event->type() == QEvent::Enter)
            m_animation->Open(CRunAnimation::Clip::Ready, false);
        else if (event->type() == QEvent::Leave)
            m_animation->Open(CRunAnimation::Clip::Still, false);
    }
    if (event->type() == QEvent::MouseButtonRelease) {
        if (watched == m_upperLabel)
            SelectField(1);
        else if (watched == m_lowerLabel)
            SelectField(0);
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace pelldra
