// The main window: start-up and close, the start, stop and exit commands, the run's end and the queue run.
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
#include "core/linkscout/linkscout_orders.h"
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
#include "gui/queue/queue_summary_dialog.h"
#include "gui/widgets/field_spin.h"
#include "gui/widgets/folder_edit.h"
#include "gui/widgets/num_edit.h"
#include "gui/widgets/repeat_spin.h"
#include "gui/widgets/url_edit.h"

namespace pelldra {

CPelldraDlg::CPelldraDlg(QWidget* parent) : CPelldraDlg(parent, Options{}) {}

CPelldraDlg::CPelldraDlg(QWidget* parent, Options options) : QDialog(parent), options_(options)
{
    referer_.SetMaster(&url_);
    bridge_ = std::make_unique<EngineBridge>(this);
    runs_ = std::make_unique<RunController>(
        *bridge_, [this](const std::vector<std::string>& lines) { ShowStatusLines(lines); }, &queue_, &types_,
        options_.limits);
    credentials_ = std::make_unique<CCredentialManager>(
        this, [this](const std::shared_ptr<CNinshoCenter>& store) { Engine().SetCredentialStore(store); });

    setObjectName(QStringLiteral("pelldraMain"));
    setWindowTitle(QString::fromUtf8(kCaption));
    setWindowIcon(main_icons::Window());
    setWindowFlag(Qt::WindowMinMaxButtonsHint, true);
    setSizeGripEnabled(true);
    BuildControls();
    AddKeyboardShortcuts();

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
    ConnectLinkScout();
}

CPelldraDlg::~CPelldraDlg()
{
    progressTimer_.stop();
    // Workers waiting on this window are let go first, so that the engine can end its run and be joined.
    bridge_->Shutdown();
    runs_.reset();
    SaveSettings();
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
    const bool first = !minimumTaken_;
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
    if (first)
        FocusFirstBox();
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
    if (refused != 0 || IsRepeatedStart(currentItem_))
        return;
    if (StartRun(currentItem_) > 0)
        AddToQueue(currentItem_, 0);
}

RunRequest CPelldraDlg::RunRequestNow() const
{
    RunRequest r;
    r.refreshFrom = &settings_;
    r.jobMode = jobMode_;
    r.folderEdit = folderEdit_->text().toStdString();
    r.noUpdateLinks = settings_.NoUpdateLinks != 0;
    return r;
}

int CPelldraDlg::StartRun(const CQueueItem& item)
{
    if (runState_ == kRunning || queueMode_)
        return 1;
    log_->BeginRun();
    const RunStart start = runs_->Start(item, RunRequestNow());
    if (start.backToSequential)
        SetJobMode(JobMode::Sequential);
    UpdateProgress(); // a start that fails shows no counts of the run before it
    if (start.outcome == RunStart::CannotRun)
        return -1;
    if (start.outcome != RunStart::Started)
        return 1;
    SetRunning();
    progressTimer_.start();
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
    log_->AppendLines(lines);
}

void CPelldraDlg::OnRunEnded(int result)
{
    progressTimer_.stop();
    runs_->Finish(result);
    UpdateProgress();
    const AfterRun next =
        NextAfterRun({exitRequested_, userStopped_, queueMode_, queue_.hasItems() != 0, summaryDialog_ != nullptr});
    if (next == AfterRun::CloseWindow) {
        CloseWindow();
        return;
    }
    runState_ = kIdle;
    SetIdleLook();
    if (jobMode_ == JobMode::LinkScoutList)
        jobMode_ = JobMode::List;
    if (next == AfterRun::QueueModeOn)
        ToggleQueueMode();
    else if (next == AfterRun::RunNextQueued)
        RunNextQueued();
}

void CPelldraDlg::UpdateProgress()
{
    progress_->setText(QString::fromStdString(pelldra::ProgressLine(runs_->Figures())));
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
    // Straight to the controller: the checks of StartRun (queue mode, a run going) are the start command's.
    const QueueRunResult r =
        runs_->StartNextQueued(RunRequestNow(), powerOffWhenQueueDone_, [this](const CQueueItem& taken) {
            currentItem_ = taken;
            log_->BeginRun();
        });
    UpdateProgress();
    switch (r.outcome) {
    case QueueRunResult::Started:
        SetRunning();
        progressTimer_.start();
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
        if (!r.keptAside.empty())
            ShowMessage(this, QString::fromUtf8(kQueueKeptAside) + QString::fromStdString(r.keptAside), QString(),
                        MessageIcon::Warning);
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
    runs_->Stop();
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
    QAction* linkScout = menu.addAction(QString::fromUtf8(kLinkScoutCommand));
    QAction* about = menu.addAction(QStringLiteral("バージョン情報(&A)..."));
    QAction* chosen = menu.exec(event->globalPos());
    if (chosen == linkScout)
        TakeLinkScoutOrders(LinkScoutCall::Command);
    if (chosen == about) {
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
