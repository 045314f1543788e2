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
#include <QShortcut>
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

CPelldraDlg::CPelldraDlg(QWidget* parent, Options options) : QDialog(parent), options_(options)
{
    referer_.SetMaster(&url_);
    bridge_ = std::make_unique<EngineBridge>(this, dailyLog_);
    engine_ = std::make_unique<CDownloadEngine>(options_.limits);
    engine_->Setup(bridge_.get(), &types_);
    credentials_ = std::make_unique<CCredentialManager>(
        this, [this](const std::shared_ptr<CNinshoCenter>& store) { engine_->SetCredentialStore(store); });

    setObjectName(QStringLiteral("pelldraMain"));
    setWindowTitle(QString::fromUtf8(kCaption));
    setWindowIcon(main_icons::Window());
    setWindowFlag(Qt::WindowMinMaxButtonsHint, true);
    setSizeGripEnabled(true);
    BuildControls();

    if (options_.app) {
        options_.app->SetAppState(QStringLiteral("opened"));
        connect(options_.app, &CPelldraApp::BroughtUp, this, [this] { hidden_ = false; });
        connect(options_.app, &CPelldraApp::BroadcastReceived, this, &CPelldraDlg::HideOnBossCome);
    }
    ResetControls();
    LoadSettings();
    credentials_->OpenAtStart(settings_);

    animation_->Open(CRunAnimation::Clip::Still, false);
    log_->Init();
    const bool queued = queue_.hasItems() != 0 || queue_.LoadAll() > 0;
    queueButton_->setEnabled(queued);
    queueMode_ = queued;
    if (queued) {
        animation_->Open(CRunAnimation::Clip::Queue, true);
        SetStartIcon(true);
    } else {
        SetStartIcon(false);
    }
    ShowLayoutOf(jobMode_);

    progressTimer_.setInterval(kProgressIntervalMs);
    connect(&progressTimer_, &QTimer::timeout, this, &CPelldraDlg::UpdateProgress);

    AnnounceSettings announce = options_.announce;
    if (!announce.openPage)
        announce.openPage = [this](const QString& url) {
            if (options_.app)
                OpenInLinkScout(*options_.app, url);
        };
    announce_ = std::make_unique<AnnouncementCheck>(this, std::move(announce));
}

CPelldraDlg::~CPelldraDlg()
{
    progressTimer_.stop();
    // Workers waiting on this window are let go first, so that the engine can end its run and be joined.
    bridge_->Shutdown();
    engine_->Abort();
    engine_.reset();
    dailyLog_.Close();
    SaveSettings();
}

void CPelldraDlg::BuildControls()
{
    auto* root = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    root->addLayout(top);
    auto* left = new QVBoxLayout;
    top->addLayout(left, 1);

    tabs_ = new QTabBar(this);
    tabs_->setObjectName(QStringLiteral("jobTabs"));
    tabs_->addTab(QStringLiteral("連番"));
    tabs_->addTab(QStringLiteral("リスト"));
    tabs_->setExpanding(false);
    tabs_->setDrawBase(true);
    left->addWidget(tabs_);
    connect(tabs_, &QTabBar::currentChanged, this,
            [this](int index) { SetJobMode(index == 0 ? JobMode::Sequential : JobMode::List); });

    auto* hintRow = new QHBoxLayout;
    urlLabel_ = new QLabel(this);
    hint_ = new QLabel(this);
    hint_->setObjectName(QStringLiteral("modeHint"));
    hintRow->addWidget(urlLabel_);
    hintRow->addWidget(hint_, 1);
    left->addLayout(hintRow);

    // The series controls.
    sequentialPanel_ = new QWidget(this);
    auto* seq = new QGridLayout(sequentialPanel_);
    seq->setContentsMargins(0, 0, 0, 0);
    urlEdit_ = new CUrlEdit(sequentialPanel_);
    urlEdit_->setObjectName(QStringLiteral("urlEdit"));
    urlEdit_->Attach(&url_);
    connect(urlEdit_, &CUrlEdit::UrlChanged, this, &CPelldraDlg::OnUrlChanged);
    prevRun_ = ToolButton(sequentialPanel_, "prevRun", main_icons::Arrow(true, false), 16);
    fieldSpin_ = new CFieldSpin(sequentialPanel_);
    nextRun_ = ToolButton(sequentialPanel_, "nextRun", main_icons::Arrow(false, false), 16);
    connect(prevRun_, &QToolButton::clicked, this, &CPelldraDlg::SelectPrevRun);
    connect(nextRun_, &QToolButton::clicked, this, &CPelldraDlg::SelectNextRun);
    connect(fieldSpin_, &CFieldSpin::FieldChosen, this, &CPelldraDlg::SelectField);
    auto* urlRow = new QHBoxLayout;
    urlRow->addWidget(urlEdit_, 1);
    urlRow->addWidget(prevRun_);
    urlRow->addWidget(fieldSpin_);
    urlRow->addWidget(nextRun_);
    seq->addLayout(urlRow, 0, 0, 1, 9);

    auto numBox = [this](const char* name, CRepeatSpin*& spin) {
        auto* edit = new CNumEdit(sequentialPanel_);
        edit->setObjectName(QLatin1String(name));
        edit->setFixedWidth(QFontMetrics(edit->font()).horizontalAdvance(QStringLiteral("00000000")) + 10);
        spin = new CRepeatSpin(sequentialPanel_);
        spin->SetBuddy(edit);
        return edit;
    };
    upperCheck_ = new QCheckBox(sequentialPanel_);
    upperCheck_->setObjectName(QStringLiteral("upperCheck"));
    upperLabel_ = new QLabel(QStringLiteral("上位数字列"), sequentialPanel_);
    upperLabel_->setObjectName(QStringLiteral("upperLabel"));
    upperFrom_ = numBox("upperFrom", upperFromSpin_);
    upperKara_ = new QLabel(QStringLiteral("から"), sequentialPanel_);
    upperTo_ = numBox("upperTo", upperToSpin_);
    subfolderCheck_ = new QCheckBox(QStringLiteral("サブフォルダ"), sequentialPanel_);
    subfolderCheck_->setObjectName(QStringLiteral("subfolderCheck"));
    subfolderEdit_ = new QLineEdit(sequentialPanel_);
    subfolderEdit_->setObjectName(QStringLiteral("subfolderEdit"));
    connect(upperCheck_, &QCheckBox::clicked, this, &CPelldraDlg::ToggleUpper);
    connect(subfolderCheck_, &QCheckBox::clicked, this, &CPelldraDlg::ToggleSubfolder);

    lowerLabel_ = new QLabel(QStringLiteral("下位数字列"), sequentialPanel_);
    lowerLabel_->setObjectName(QStringLiteral("lowerLabel"));
    CRepeatSpin* lowerFromSpin = nullptr;
    CRepeatSpin* lowerToSpin = nullptr;
    lowerFrom_ = numBox("lowerFrom", lowerFromSpin);
    auto* lowerKara = new QLabel(QStringLiteral("から"), sequentialPanel_);
    lowerTo_ = numBox("lowerTo", lowerToSpin);
    auto* nameLabel = new QLabel(QStringLiteral("保存時ファイル名"), sequentialPanel_);
    saveNameEdit_ = new QLineEdit(sequentialPanel_);
    saveNameEdit_->setObjectName(QStringLiteral("saveNameEdit"));
    // Templates are read whole: room for a name like "pic*-*.jpg" or a subfolder like "vol*".
    const int templateWidth = QFontMetrics(font()).horizontalAdvance(QStringLiteral("picture*-*.jpeg")) + 16;
    saveNameEdit_->setMinimumWidth(templateWidth);
    subfolderEdit_->setMinimumWidth(templateWidth);
    for (QLabel* label : {upperLabel_, lowerLabel_}) {
        label->setAutoFillBackground(true);
        label->setMargin(2);
        label->setCursor(Qt::PointingHandCursor);
        label->installEventFilter(this);
    }

    seq->addWidget(upperCheck_, 1, 0);
    seq->addWidget(upperLabel_, 1, 1);
    seq->addWidget(upperFrom_, 1, 2);
    seq->addWidget(upperFromSpin_, 1, 3);
    seq->addWidget(upperKara_, 1, 4);
    seq->addWidget(upperTo_, 1, 5);
    seq->addWidget(upperToSpin_, 1, 6);
    seq->addWidget(subfolderCheck_, 1, 7);
    seq->addWidget(subfolderEdit_, 1, 8);
    seq->addWidget(lowerLabel_, 2, 1);
    seq->addWidget(lowerFrom_, 2, 2);
    seq->addWidget(lowerFromSpin, 2, 3);
    seq->addWidget(lowerKara, 2, 4);
    seq->addWidget(lowerTo_, 2, 5);
    seq->addWidget(lowerToSpin, 2, 6);
    seq->addWidget(nameLabel, 2, 7);
    seq->addWidget(saveNameEdit_, 2, 8);
    seq->setColumnStretch(8, 1);
    left->addWidget(sequentialPanel_);

    // The list controls.
    listPanel_ = new QWidget(this);
    auto* list = new QGridLayout(listPanel_);
    list->setContentsMargins(0, 0, 0, 0);
    listPathEdit_ = new QLineEdit(listPanel_);
    listPathEdit_->setObjectName(QStringLiteral("listPathEdit"));
    openButton_ = ToolButton(listPanel_, "openList", main_icons::OpenList(), 16);
    openButton_->setText(QStringLiteral("開く"));
    openButton_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    connect(openButton_, &QToolButton::clicked, this, &CPelldraDlg::OpenListFile);
    deleteListCheck_ = new QCheckBox(QStringLiteral("ダウンロード終了後にリストを削除"), listPanel_);
    deleteListCheck_->setObjectName(QStringLiteral("deleteListCheck"));
    viewListButton_ = Button(listPanel_, "viewList", "リストの内容を見る");
    MarkNotYet(viewListButton_);
    list->addWidget(listPathEdit_, 0, 0, 1, 2);
    list->addWidget(openButton_, 0, 2);
    list->addWidget(deleteListCheck_, 1, 0);
    list->addWidget(viewListButton_, 1, 2);
    list->setColumnStretch(1, 1);
    left->addWidget(listPanel_);

    auto* folderRow = new QHBoxLayout;
    folderButton_ = Button(this, "folderButton", "保存するフォルダ");
    folderEdit_ = new CFolder(this);
    folderEdit_->setObjectName(QStringLiteral("folderEdit"));
    connect(folderButton_, &QPushButton::clicked, this, [this] { folderEdit_->Browse(); });
    folderRow->addWidget(folderButton_);
    folderRow->addWidget(folderEdit_, 1);
    left->addLayout(folderRow);
    left->addStretch(1);

    // The command column keeps its distance to the right edge.
    auto* right = new QVBoxLayout;
    top->addLayout(right);
    auto* runRow = new QHBoxLayout;
    animation_ = new CRunAnimation(this);
    animation_->setToolTip(QStringLiteral("待ち行列モードの切り替え"));
    connect(animation_, &CRunAnimation::Clicked, this, &CPelldraDlg::ToggleQueueMode);
    startButton_ = ToolButton(this, "startButton", main_icons::StartIdle(), 32);
    startButton_->setToolTip(QStringLiteral("ダウンロード開始"));
    startButton_->installEventFilter(this);
    stopButton_ = ToolButton(this, "stopButton", main_icons::Stop(), 32);
    stopButton_->setToolTip(QStringLiteral("中止"));
    connect(startButton_, &QToolButton::clicked, this, &CPelldraDlg::OnStart);
    connect(stopButton_, &QToolButton::clicked, this, &CPelldraDlg::OnStop);
    runRow->addWidget(animation_);
    runRow->addWidget(startButton_);
    runRow->addWidget(stopButton_);
    right->addLayout(runRow);
    queueButton_ = Button(this, "queueButton", "待ち行列");
    connect(queueButton_, &QPushButton::clicked, this, [this] {
        // The queue's own dialog is not here yet: say what the queue holds rather than pretend.
        const int count = queue_.LoadAll();
        ShowMessage(this, QStringLiteral("待ち行列には %1 件のダウンロード指令があります。").arg(count), QString(),
                    MessageIcon::Information);
        queueButton_->setEnabled(count > 0);
    });
    detailButton_ = Button(this, "detailButton", "詳細設定");
    connect(detailButton_, &QPushButton::clicked, this, &CPelldraDlg::ShowDetailSettings);
    logButton_ = Button(this, "logButton", "ログ");
    connect(logButton_, &QPushButton::clicked, this, &CPelldraDlg::OpenLogViewer);
    helpButton_ = Button(this, "helpButton", "HELP");
    connect(helpButton_, &QPushButton::clicked, this, &CPelldraDlg::ShowHelp);
    new QShortcut(QKeySequence::HelpContents, this, this, &CPelldraDlg::ShowHelp);
    exitButton_ = Button(this, "exitButton", "終了");
    connect(exitButton_, &QPushButton::clicked, this, &CPelldraDlg::OnExit);
    auto* smallRow = new QHBoxLayout;
    smallRow->addWidget(logButton_);
    smallRow->addWidget(helpButton_);
    right->addWidget(queueButton_);
    right->addWidget(detailButton_);
    right->addLayout(smallRow);
    right->addStretch(1);
    right->addWidget(exitButton_);

    log_ = new CLogEdit(this);
    log_->setObjectName(QStringLiteral("logView"));
    log_->setMinimumHeight(120);
    root->addWidget(log_, 1);
    progress_ = new QLabel(this);
    progress_->setObjectName(QStringLiteral("progressLine"));
    root->addWidget(progress_);

    notice_ = new CNoticePopup(this);
    notice_->hide();
}

void CPelldraDlg::ResetControls()
{
    urlEdit_->ShowSeqUrlText();
    folderEdit_->SetFolder(QString());
    folderEdit_->clear();
    seqState_.FixedWidth = 2;
    lowerFrom_->SetValue(std::string("00"), 2);
    lowerTo_->SetValue(std::string("20"), 2);
    seqState_.NameTemplate.clear();
    seqState_.NameGiven = false;
    {
        const QSignalBlocker block(subfolderCheck_);
        subfolderCheck_->setChecked(subfolderOn_);
    }
    UpdateDigitControls();
}

void CPelldraDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!minimumTaken_) {
        // The first size is the smallest: the controls never squeeze below their first layout. It is taken on the
        // series layout, the larger one, even when the window opens in the list mode it was closed in.
        minimumTaken_ = true;
        ShowLayoutOf(JobMode::Sequential);
        layout()->activate();
        adjustSize();
        setMinimumSize(size());
    }
    // Qt also reports the window system's showing after each show (and a restore); only ours counts.
    if (!event->spontaneous())
        OnShown();
}

// --- modes and layouts ---

void CPelldraDlg::ShowLayoutOf(JobMode mode)
{
    const bool sequential = mode == JobMode::Sequential;
    sequentialPanel_->setVisible(sequential);
    listPanel_->setVisible(!sequential);
    urlLabel_->setText(sequential ? QStringLiteral("URL:") : QStringLiteral("File"));
    hint_->setText(QString::fromUtf8(sequential ? kSequentialHint : kListHint));
    const QSignalBlocker block(tabs_);
    tabs_->setCurrentIndex(sequential ? 0 : 1);
}

void CPelldraDlg::SetJobMode(JobMode mode)
{
    jobMode_ = mode;
    ShowLayoutOf(mode);
}

void CPelldraDlg::OpenListFile()
{
    const QString path = ChooseOpenFile(this, QString::fromUtf8(kListChooserTitle), QString::fromUtf8(kListFilter),
                                        QStringLiteral(".lst"), listPathEdit_->text());
    if (!path.isEmpty())
        listPathEdit_->setText(path);
}

// --- the digit-string controls ---

void CPelldraDlg::OnUrlChanged()
{
    ApplyRanges(RefreshRangesFromUrl(url_, settings_.WholeSequence != 0), true, true);
    UpdateDigitControls();
}

void CPelldraDlg::ApplyRanges(const FilledRanges& ranges, bool lower, bool upper)
{
    auto apply = [](const RangeTexts& r, CNumEdit* from, CNumEdit* to) {
        from->SetValue(r.from, r.width);
        to->SetValue(r.toEmptied ? std::nullopt : std::optional<std::string>(r.to), r.width);
    };
    if (lower)
        apply(ranges.lower, lowerFrom_, lowerTo_);
    if (upper && ranges.hasUpper)
        apply(ranges.upper, upperFrom_, upperTo_);
}

void CPelldraDlg::UpdateDigitControls()
{
    const bool upperPossible = url_.CanMoveLeft(0);
    const bool upperOn = upperPossible && url_.GetUpperEnabled();
    upperCheck_->setEnabled(upperPossible);
    {
        const QSignalBlocker block(upperCheck_);
        upperCheck_->setChecked(upperOn);
    }
    for (QWidget* w : std::initializer_list<QWidget*>{upperFrom_, upperFromSpin_, upperTo_, upperToSpin_,
                                                      upperKara_, subfolderCheck_, fieldSpin_})
        w->setEnabled(upperOn);
    subfolderEdit_->setEnabled(upperOn && subfolderOn_);
    if (!upperPossible && url_.GetSelectedField() == 1)
        url_.SetSelectedField(0);
    if (!upperOn && url_.GetSelectedField() == 1)
        url_.SetSelectedField(0);

    const bool upperSelected = url_.GetSelectedField() == 1;
    if (upperSelected) {
        nextRun_->setEnabled(url_.CanMoveRight(0) || url_.CanMoveRight(1));
        prevRun_->setEnabled(url_.CanMoveLeft(1));
    } else {
        nextRun_->setEnabled(url_.CanMoveRight(0));
        prevRun_->setEnabled(url_.CanMoveLeft(0) || url_.CanMoveLeft(1));
    }
    PaintFieldLabels();
}

void CPelldraDlg::PaintFieldLabels()
{
    const bool upperSelected = url_.GetSelectedField() == 1;
    auto paint = [this](QLabel* label, bool selected, const QColor& ground) {
        QPalette p = palette();
        if (selected) {
            p.setColor(QPalette::Window, ground);
            p.setColor(QPalette::WindowText, Qt::white);
        }
        label->setPalette(p);
    };
    paint(lowerLabel_, !upperSelected, QColor(255, 0, 0));
    paint(upperLabel_, upperSelected, QColor(0, 0, 255));
    prevRun_->setIcon(main_icons::Arrow(true, upperSelected));
    nextRun_->setIcon(main_icons::Arrow(false, upperSelected));
}

void CPelldraDlg::SelectField(int field)
{
    if (field == 1 && !(upperCheck_->isEnabled() && url_.GetUpperEnabled()))
        return;
    url_.SetSelectedField(field);
    urlEdit_->Highlight();
    UpdateDigitControls();
}

void CPelldraDlg::SelectPrevRun()
{
    url_.SelectPrevRun();
    urlEdit_->Highlight();
    // The boxes follow the newly marked digits, as they do when the URL is typed.
    OnUrlChanged();
}

void CPelldraDlg::SelectNextRun()
{
    url_.SelectNextRun();
    urlEdit_->Highlight();
    OnUrlChanged();
}

void CPelldraDlg::ToggleUpper()
{
    const bool on = !url_.GetUpperEnabled();
    url_.SetUpperEnabled(on);
    url_.SetSelectedField(on ? 1 : 0);
    url_.Refresh();
    urlEdit_->Highlight();
    if (on)
        ApplyRanges(RefreshRangesFromUrl(url_, settings_.WholeSequence != 0), false, true);
    UpdateDigitControls();
}

void CPelldraDlg::ToggleSubfolder()
{
    subfolderOn_ = !subfolderOn_;
    {
        const QSignalBlocker block(subfolderCheck_);
        subfolderCheck_->setChecked(subfolderOn_);
    }
    subfolderEdit_->setEnabled(upperCheck_->isChecked() && subfolderOn_);
}

int CPelldraDlg::LoadItemIntoWindow(const CQueueItem& source)
{
    CQueueItem item = source;
    if (item.Kind >= CQueueItem::LIST && item.Kind <= CQueueItem::IMAGE) {
        SetJobMode(JobMode::List);
        listPathEdit_->setText(QString::fromStdString(item.Lst));
        folderEdit_->setText(QString::fromStdString(item.Fol));
        deleteListCheck_->setChecked(item.Del != 0);
        loadedList_ = {item.Lst, item.Kind, item.Page, item.KindName};
        return 1;
    }
    SetJobMode(JobMode::Sequential);
    if (item.Or1.empty())
        item.Or1 = item.St1;
    if (!item.St2.empty() != url_.GetUpperEnabled()) {
        url_.SetUpperEnabled(!item.St2.empty());
        url_.SetSelectedField(item.St2.empty() ? 0 : 1);
    }
    subfolderOn_ = !item.Sub.empty();
    {
        const QSignalBlocker block(subfolderCheck_);
        subfolderCheck_->setChecked(subfolderOn_);
    }
    subfolderEdit_->setText(QString::fromStdString(item.Sub));
    LoadUrlFromItem(url_, item);
    urlEdit_->ShowSeqUrlText();
    saveNameEdit_->setText(QString::fromStdString(AfterLast(item.job.Dest, '/')));
    if (!item.Fol.empty()) {
        folderEdit_->setText(QString::fromStdString(item.Fol));
    } else {
        std::string folder = UpToLast(item.job.Dest, '/');
        while (folder.size() > 1 && folder.back() == '/')
            folder.pop_back();
        if (!folder.empty())
            folderEdit_->setText(QString::fromStdString(folder));
    }
    seqState_.LastCookie = item.job.Cook;
    seqState_.LastCookieScope = UpToLast(item.job.Targ, '/');
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
    if (referer_.GetText() != settings_.Referer)
        referer_.SetText(settings_.Referer);
    url_.SetSyncFlags(settings_.syncFlags);
    SequentialControls c;
    c.url = &url_;
    c.referer = &referer_;
    c.lowerFrom = lowerFrom_->Value();
    c.lowerTo = lowerTo_->Value();
    c.upperOn = upperCheck_->isEnabled() && url_.GetUpperEnabled();
    c.upperFrom = upperFrom_->Value();
    c.upperTo = upperTo_->Value();
    c.subfolderOn = subfolderOn_;
    c.subfolder = subfolderEdit_->text().toStdString();
    c.saveName = saveNameEdit_->text().toStdString();
    c.folder = folderEdit_->text().toStdString();
    return c;
}

int CPelldraDlg::BuildSequentialItem()
{
    const OrderResult r = pelldra::BuildSequentialItem(SequentialControlsNow(), settings_, seqState_, currentItem_);
    if (!r.ok()) {
        ShowRefusal(r);
        return 1;
    }
    return 0;
}

int CPelldraDlg::BuildListItem()
{
    ListControls c;
    c.listPath = listPathEdit_->text().toStdString();
    c.folder = folderEdit_->text().toStdString();
    c.deleteList = deleteListCheck_->isChecked();
    if (options_.app)
        c.linkScoutFolder = options_.app->GetLinkScoutSaveFolder().toStdString();
    const OrderResult r = pelldra::BuildListItem(c, settings_, loadedList_, currentItem_);
    if (!r.ok()) {
        ShowRefusal(r);
        return 1;
    }
    return 0;
}

void CPelldraDlg::OnStart()
{
    // A LinkScout list run shows the list layout too, so its start command builds from the list controls.
    const int refused = jobMode_ == JobMode::Sequential ? BuildSequentialItem() : BuildListItem();
    if (refused != 0)
        return;
    if (StartRun(currentItem_) > 0)
        AddToQueue(currentItem_, 0);
}

int CPelldraDlg::StartRun(CQueueItem& item)
{
    if (runState_ == kRunning || queueMode_)
        return 1;
    runningItem_ = item;
    log_->BeginRun();
    if (dailyLog_.Open())
        log_->AppendLine(kLogStartLine);
    const RunPreparation prep = PrepareRun(runningItem_, &settings_, jobMode_, folderEdit_->text().toStdString());
    ShowStatusLines(prep.lines);
    if (prep.backToSequential)
        SetJobMode(JobMode::Sequential);
    if (prep.code < 0) {
        dailyLog_.Close();
        return -1;
    }
    SetRunning();
    engine_->SetNoUpdateLinks(settings_.NoUpdateLinks != 0);
    if (!engine_->Start(runningItem_)) {
        // Cannot happen while the window tracks the engine's state; the engine has said why.
        runState_ = kIdle;
        SetIdleLook();
        dailyLog_.Close();
        return 1;
    }
    progressTimer_.start();
    UpdateProgress();
    return 0;
}

void CPelldraDlg::AddToQueue(const CQueueItem& item, int origin)
{
    if (queue_.Append(item) != 0) {
        // An order the user gave must not vanish without a word.
        ShowMessage(this, QString::fromUtf8(kQueueWriteFailed) + QString::fromStdString(queue_.path()), QString(),
                    MessageIcon::Stop);
        return;
    }
    notice_->SetOrigin(origin);
    notice_->ShowNotice(origin);
    queueButton_->setEnabled(true);
}

void CPelldraDlg::SetStartIcon(bool busy)
{
    startBusy_ = busy;
    startButton_->setIcon(busy ? main_icons::StartBusy() : main_icons::StartIdle());
}

void CPelldraDlg::SetRunning()
{
    runState_ = kRunning;
    SetStartIcon(true);
    userStopped_ = false;
    animation_->Open(CRunAnimation::Clip::Running, true);
}

void CPelldraDlg::SetIdleLook()
{
    animation_->Open(CRunAnimation::Clip::Still, false);
    SetStartIcon(false);
}

// --- the engine's reports ---

void CPelldraDlg::ShowStatusLines(const std::vector<std::string>& lines)
{
    dailyLog_.AppendLines(lines);
    for (const std::string& line : lines)
        log_->AppendLine(line);
}

void CPelldraDlg::OnRunEnded(int result)
{
    queue_.EndTakenRun(); // a queued order that ran is done with
    progressTimer_.stop();
    UpdateProgress();
    dailyLog_.Close();
    DeleteListAfterRun(runningItem_, result, engine_->Progress().failed);
    if (exitRequested_) {
        CloseWindow();
        return;
    }
    runState_ = kIdle;
    SetIdleLook();
    if (jobMode_ == JobMode::LinkScoutList)
        jobMode_ = JobMode::List;
    if (userStopped_ && queue_.hasItems() != 0)
        ToggleQueueMode();
    if (!queueMode_)
        RunNextQueued();
}

void CPelldraDlg::UpdateProgress()
{
    const ProgressSnapshot p = engine_->Progress();
    progress_->setText(QStringLiteral("完了 %1  失敗 %2  要求 %3  %4/s")
                            .arg(p.done)
                            .arg(p.failed)
                            .arg(p.requested)
                            .arg(HumanBytes(p.rate)));
}

QString CPelldraDlg::ProgressText() const
{
    return progress_->text();
}

// --- the queue ---

void CPelldraDlg::ToggleQueueMode()
{
    if (runState_ == kRunning)
        return;
    queueMode_ = !queueMode_;
    if (queueMode_) {
        animation_->Open(CRunAnimation::Clip::Queue, true);
        SetStartIcon(true);
    } else {
        animation_->Open(CRunAnimation::Clip::Still, false);
        SetStartIcon(false);
        RunNextQueued();
    }
}

void CPelldraDlg::RunNextQueued()
{
    const StartRunFunction start = [this](const CQueueItem& taken) {
        currentItem_ = taken;
        return StartRun(currentItem_);
    };
    const QueueRunResult r = pelldra::RunNextQueued(queue_, start, powerOffWhenQueueDone_);
    switch (r.outcome) {
    case QueueRunResult::Started:
        break;
    case QueueRunResult::Requeued:
        if (r.requeueFailed) {
            ShowMessage(this, QString::fromUtf8(kQueueWriteFailed) + QString::fromStdString(queue_.path()), QString(),
                        MessageIcon::Stop);
            break;
        }
        notice_->SetOrigin(2);
        notice_->ShowNotice(2);
        queueButton_->setEnabled(true);
        break;
    case QueueRunResult::Empty:
        queueButton_->setEnabled(false);
        if (r.powerOff)
            PowerOff();
        break;
    case QueueRunResult::CannotTake:
        // Not empty: the orders wait in queue mode, and switching it off tries again.
        ShowMessage(this, QString::fromUtf8(kQueueTakeFailed) + QString::fromStdString(r.failure), QString(),
                    MessageIcon::Stop);
        if (!queueMode_)
            ToggleQueueMode();
        queueButton_->setEnabled(true);
        break;
    }
}

void CPelldraDlg::PowerOff()
{
    PowerBackend& backend = options_.power ? *options_.power : ProgramPowerBackend();
    if (ConfirmAndPowerOff(this, backend))
        OnExit();
}

// --- stop, exit and the window's own keys ---

void CPelldraDlg::OnStop()
{
    if (runState_ != kRunning)
        return;
    userStopped_ = true;
    engine_->Abort();
}

void CPelldraDlg::OpenLogViewer()
{
    ProgramStart start;
    start.name = QString::fromUtf8(kLogViewerProgram);
    start.arguments = {QString::fromStdString(CDailyLog::FileNameFor(std::time(nullptr)))};
    start.workingFolder = QString::fromStdString(GetProgramFolder());
    const bool started = options_.startProgram ? options_.startProgram(start) : StartCompanionProgram(start);
    if (!started)
        ShowMessage(this, QString::fromUtf8(kLogViewerMissing));
}

void CPelldraDlg::OnExit()
{
    if (runState_ != kRunning) {
        CloseWindow();
        return;
    }
    exitRequested_ = true;
    OnStop();
}

void CPelldraDlg::CloseWindow()
{
    notice_->hide();
    QDialog::done(QDialog::Accepted);
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
    closeRequested_ = true;
    // The window goes for good (a termination signal closes it too): an open credentials prompt would hold the
    // program until it timed out, so the workers' questions end here.
    bridge_->Shutdown();
    // Hidden by the boss key, the window would ignore the close that a logout sends: it ends all the same.
    if (isHidden()) {
        reject();
        return;
    }
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
    if (watched == startButton_ && runState_ == kIdle && !queueMode_) {
        if (event->type() == QEvent::Enter)
            animation_->Open(CRunAnimation::Clip::Ready, false);
        else if (event->type() == QEvent::Leave)
            animation_->Open(CRunAnimation::Clip::Still, false);
    }
    if (event->type() == QEvent::MouseButtonRelease) {
        if (watched == upperLabel_)
            SelectField(1);
        else if (watched == lowerLabel_)
            SelectField(0);
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace pelldra
