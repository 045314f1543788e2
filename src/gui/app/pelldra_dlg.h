// CPelldraDlg: the main window: the series and list start commands, stop and exit, the queue and the run's log.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <memory>
#include <string>

#include "core/engine/content_type_table.h"
#include "core/engine/fetch_core.h"
#include "core/orders/detail_settings.h"
#include "core/orders/list_order.h"
#include "core/orders/run_controller.h"
#include "core/orders/sequential_order.h"
#include "core/queue/queue_item.h"
#include "core/queue/wait_queue.h"
#include "core/sequence/seq_url.h"
#include "gui/announce/announce_check.h"
#include "gui/platform/program_start.h"

class QCheckBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabBar;
class QToolButton;
class QVBoxLayout;
class QWidget;

namespace pelldra {

enum class LinkScoutCall;

class CCredentialManager;
class CDetailDlg;
class CQueueSummaryDlg;
class CDownloadEngine;
class CFieldSpin;
class CFolder;
class CLogEdit;
class CNoticePopup;
class CNumEdit;
class CPelldraApp;
class CRepeatSpin;
class CRunAnimation;
class CUrlEdit;
class EngineBridge;
class PowerBackend;

class CPelldraDlg final : public QDialog
{
    Q_OBJECT

public:
    enum : int {
        kRunning = 1000,
        kIdle = 1001,
    };
    static constexpr const char* kCaption = "Pelldra 1.79";
    static constexpr const char* kSequentialHint = "数字部分だけが異なるファイルを連続ダウンロードします。";
    static constexpr const char* kListHint = "リストされたＵＲＬを全てダウンロードします";
    static constexpr const char* kListFilter = "URLリスト(*.lst)|*.lst|すべてのファイル(*.*)|*.*||";
    static constexpr const char* kListChooserTitle = "URLリストを開く";
    static constexpr const char* kQueueWriteFailed =
        "待ち行列に書き込めません。ダウンロード指令は取り込まれませんでした：\n";
    static constexpr const char* kQueueTakeFailed = "待ち行列から指令を取り出せません：\n";
    static constexpr const char* kQueueKeptAside = "待ち行列のファイルから指令を読めませんでした。次の名前で残してあります：\n";
    static constexpr int kProgressIntervalMs = 300;
    static constexpr const char* kLogViewerProgram = "LogViewer";
    static constexpr const char* kLogViewerMissing = "LogViewerが正しくインストールされていません。";
    static constexpr const char* kQueueModeKey = "Ctrl+M";
    static constexpr const char* kLinkScoutCommand = "LinkScoutからの情報";

    struct Options
    {
        CPelldraApp* app = nullptr;    // registry values and broadcasts; none in tests
        FetchLimits limits;            // the engine's time limits (tests shorten them)
        PowerBackend* power = nullptr; // none: the program's own
        ProgramStarter startProgram;   // none: StartCompanionProgram
        AnnounceSettings announce;     // no list address: no announcement check; no openPage: OpenInLinkScout
        QString manualFolder;          // none: the manual of this installation or build (ManualFolder)
    };

    explicit CPelldraDlg(QWidget* parent, Options options);
    explicit CPelldraDlg(QWidget* parent = nullptr);
    // Stops a run and waits for the engine before any control goes away.
    ~CPelldraDlg() override;
    CPelldraDlg(const CPelldraDlg&) = delete;
    CPelldraDlg& operator=(const CPelldraDlg&) = delete;

    // Commands, as the buttons give them.
    void OnStart();
    void OnStop();
    void OnExit();
    // Starts the log viewer on the day's log in the data folder.
    void OpenLogViewer();
    void ToggleQueueMode();
    void OpenListFile();
    // リストの内容を見る: the list file's jobs; the folder edited there becomes the folder of the download.
    void ViewListFile();
    // 待ち行列: the queue summary; a taken-out order is shown, and its power-off flag kept.
    void ShowQueueSummary();
    void SelectField(int field); // 1 upper, 0 lower
    void SelectPrevRun();
    void SelectNextRun();
    void ToggleUpper();
    void ToggleSubfolder();
    void SetJobMode(JobMode mode);
    // The detail settings dialog; what OK keeps reaches the next order built.
    void ShowDetailSettings();
    // The window's cancel (Esc), also given by a dialog closed with Esc: the boss key.
    void OnCancelCommand();
    // HELP and F1: the help window on the manual, or a message when the manual is not where it belongs.
    void ShowHelp();

    // Shows an order in the controls (the kept order, a LinkScout order, one taken out of the queue), so that a
    // start builds it again: a series with its marks, ranges, Referer and cookie; a list with its kind and page.
    int LoadItemIntoWindow(const CQueueItem& item);
    // Takes LinkScout's waiting order: shown, run or queued; its messages shown. Nothing without the application.
    void TakeLinkScoutOrders(LinkScoutCall call);

    // The engine's side, called on this window's thread by the bridge.
    void ShowStatusLines(const std::vector<std::string>& lines);
    void OnRunEnded(int result);

    // State.
    int RunState() const { return runState_; }
    JobMode CurrentJobMode() const { return jobMode_; }
    bool QueueMode() const { return queueMode_; }
    bool UserStopped() const { return userStopped_; }
    bool ExitRequested() const { return exitRequested_; }
    bool SubfolderOn() const { return subfolderOn_; }
    bool Hidden() const { return hidden_; }
    // The queue summary's 終了後電源ＯＦＦ: power off when the queue run has worked the queue off.
    bool PowerOffWhenQueueDone() const { return powerOffWhenQueueDone_; }
    void SetPowerOffWhenQueueDone(bool on) { powerOffWhenQueueDone_ = on; }
    const CQueueItem& CurrentItem() const { return currentItem_; }
    const CQueueItem& RunningItem() const { return runs_->RunningItem(); }
    DetailSettings& Settings() { return settings_; }
    CWaitQueue& Queue() { return queue_; }
    CSeqUrl& Url() { return url_; }
    CDownloadEngine& Engine() { return runs_->Engine(); }
    // The credentials manager; the store it opens is the one the downloads use.
    CCredentialManager& Credentials() { return *credentials_; }
    QString ProgressText() const;

    // Controls, for the tests and the screenshots.
    QTabBar* Tabs() const { return tabs_; }
    CUrlEdit* UrlEdit() const { return urlEdit_; }
    CNumEdit* LowerFrom() const { return lowerFrom_; }
    CNumEdit* LowerTo() const { return lowerTo_; }
    CNumEdit* UpperFrom() const { return upperFrom_; }
    CNumEdit* UpperTo() const { return upperTo_; }
    QCheckBox* UpperCheck() const { return upperCheck_; }
    QCheckBox* SubfolderCheck() const { return subfolderCheck_; }
    QLineEdit* SubfolderEdit() const { return subfolderEdit_; }
    QLineEdit* SaveNameEdit() const { return saveNameEdit_; }
    QLineEdit* ListPathEdit() const { return listPathEdit_; }
    QCheckBox* DeleteListCheck() const { return deleteListCheck_; }
    CFolder* FolderEdit() const { return folderEdit_; }
    QLabel* UpperLabel() const { return upperLabel_; }
    QLabel* LowerLabel() const { return lowerLabel_; }
    QToolButton* PrevRunButton() const { return prevRun_; }
    QToolButton* NextRunButton() const { return nextRun_; }
    QToolButton* StartButton() const { return startButton_; }
    QToolButton* StopButton() const { return stopButton_; }
    QPushButton* QueueButton() const { return queueButton_; }
    QPushButton* ExitButton() const { return exitButton_; }
    QPushButton* LogButton() const { return logButton_; }
    CRunAnimation* Animation() const { return animation_; }
    CLogEdit* LogView() const { return log_; }
    QLabel* ProgressLine() const { return progress_; }
    CNoticePopup* Notice() const { return notice_; }
    // Which of the start button's two icons shows: false idle, true running or queue mode.
    bool StartIconBusy() const { return startBusy_; }

    void reject() override;
    void accept() override {}

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // The controls, in pelldra_dlg_controls.cpp.
    void BuildControls();
    void BuildModeRows(QVBoxLayout* left);
    QWidget* BuildSeriesPanel();
    void BuildUrlRow(QGridLayout* seq);
    void BuildRangeRows(QGridLayout* seq);
    CNumEdit* NumberBox(const char* name, CRepeatSpin*& spin);
    QWidget* BuildListPanel();
    void BuildFolderRow(QVBoxLayout* left);
    QVBoxLayout* BuildCommandColumn();
    void BuildLogArea(QVBoxLayout* root);
    void ResetControls();
    // LinkScout's orders (its broadcast, and once at start) and the log view's URLs shown in LinkScout.
    void ConnectLinkScout();
    // The settings file and the kept order: read once at start, written when the window goes and after the detail
    // dialog's OK. folder: the folder box's text to store.
    void LoadSettings();
    void SaveSettings();
    void WriteSettingsFiles(const QString& folder);
    SequentialControls SequentialControlsNow();
    void ShowLayoutOf(JobMode mode);

    int BuildSequentialItem();
    int BuildListItem();
    void ShowRefusal(const OrderResult& result);
    RunRequest RunRequestNow() const;
    int StartRun(const CQueueItem& item);
    void AddToQueue(const CQueueItem& item, int origin);
    void RunNextQueued();
    void PowerOff();
    // Each showing of the window (not the window system's echo of it): the mode's layout, "Pelldra-PopUp", the
    // announcement check.
    void OnShown();
    void HideOnBossCome(const QString& name, bool fromThisProcess);
    void SetRunning();
    void SetIdleLook();
    void SetStartIcon(bool busy);
    void CloseWindow();
    void UpdateProgress();

    // Everyday input (pelldra_dlg_input.cpp): the focus at start, the queue-mode key, a start pressed twice.
    void AddKeyboardShortcuts();
    void FocusFirstBox();
    bool IsRepeatedStart(const CQueueItem& item);

    void OnUrlChanged();
    void ApplyRanges(const FilledRanges& ranges, bool lower, bool upper);
    void UpdateDigitControls();
    void PaintFieldLabels();

    Options options_;

    // State.
    int runState_ = kIdle;
    JobMode jobMode_ = JobMode::Sequential;
    bool queueMode_ = false;
    bool userStopped_ = false;
    bool exitRequested_ = false;
    bool closeRequested_ = false;
    bool hidden_ = false;
    bool subfolderOn_ = true;
    bool powerOffWhenQueueDone_ = false;
    bool startBusy_ = false;
    bool minimumTaken_ = false;
    SequentialState seqState_;
    LoadedList loadedList_;
    CQueueItem currentItem_;
    DetailSettings settings_;
    std::string appText_; // carried through the settings file
    CSeqUrl url_;
    CSeqUrl referer_;
    CQueueItem lastStart_;                     // the order of the last start command that was not ignored
    QElapsedTimer lastStartClock_;             // since that start command
    QPointer<CDetailDlg> detailDialog_;        // while it is shown
    QPointer<CQueueSummaryDlg> summaryDialog_; // while it is shown

    // Companions. The engine is declared after what it uses, so it is gone (its thread joined) before them.
    CContentTypeTable types_;
    CWaitQueue queue_;
    std::unique_ptr<EngineBridge> bridge_;
    std::unique_ptr<RunController> runs_; // the engine and the day's log
    std::unique_ptr<CCredentialManager> credentials_;
    QTimer progressTimer_;
    std::unique_ptr<AnnouncementCheck> announce_;

    // Controls (owned by the window).
    QTabBar* tabs_ = nullptr;
    QLabel* urlLabel_ = nullptr;
    QLabel* hint_ = nullptr;
    QWidget* sequentialPanel_ = nullptr;
    QWidget* listPanel_ = nullptr;
    CUrlEdit* urlEdit_ = nullptr;
    QToolButton* prevRun_ = nullptr;
    CFieldSpin* fieldSpin_ = nullptr;
    QToolButton* nextRun_ = nullptr;
    QCheckBox* upperCheck_ = nullptr;
    QLabel* upperLabel_ = nullptr;
    CNumEdit* upperFrom_ = nullptr;
    CRepeatSpin* upperFromSpin_ = nullptr;
    QLabel* upperKara_ = nullptr;
    CNumEdit* upperTo_ = nullptr;
    CRepeatSpin* upperToSpin_ = nullptr;
    QCheckBox* subfolderCheck_ = nullptr;
    QLineEdit* subfolderEdit_ = nullptr;
    QLabel* lowerLabel_ = nullptr;
    CNumEdit* lowerFrom_ = nullptr;
    CNumEdit* lowerTo_ = nullptr;
    QLineEdit* saveNameEdit_ = nullptr;
    QLineEdit* listPathEdit_ = nullptr;
    QToolButton* openButton_ = nullptr;
    QCheckBox* deleteListCheck_ = nullptr;
    QPushButton* viewListButton_ = nullptr;
    QPushButton* folderButton_ = nullptr;
    CFolder* folderEdit_ = nullptr;
    QToolButton* startButton_ = nullptr;
    QToolButton* stopButton_ = nullptr;
    CRunAnimation* animation_ = nullptr;
    QPushButton* queueButton_ = nullptr;
    QPushButton* exitButton_ = nullptr;
    QPushButton* detailButton_ = nullptr;
    QPushButton* logButton_ = nullptr;
    QPushButton* helpButton_ = nullptr;
    CLogEdit* log_ = nullptr;
    QLabel* progress_ = nullptr;
    CNoticePopup* notice_ = nullptr;
};

} // namespace pelldra
