// CPelldraDlg: the main window: the series and list start commands, stop and exit, the queue and the run's log.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <memory>
#include <string>

#include "core/engine/content_type_table.h"
#include "core/engine/daily_log.h"
#include "core/engine/fetch_core.h"
#include "core/orders/detail_settings.h"
#include "core/orders/list_order.h"
#include "core/orders/sequential_order.h"
#include "core/queue/queue_item.h"
#include "core/queue/wait_queue.h"
#include "core/sequence/seq_url.h"
#include "gui/announce/announce_check.h"
#include "gui/platform/program_start.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabBar;
class QToolButton;
class QWidget;

namespace pelldra {

class CCredentialManager;
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
    static constexpr int kProgressIntervalMs = 300;
    static constexpr const char* kLogViewerProgram = "LogViewer";
    static constexpr const char* kLogViewerMissing = "LogViewerが正しくインストールされていません。";

    struct Options
    {
        CPelldraApp* app = nullptr;    // registry values and broadcasts; none in tests
        FetchLimits limits;            // the engine's time limits (tests shorten them)
        PowerBackend* power = nullptr; // none: the program's own
        ProgramStarter startProgram;   // none: StartCompanionProgram
        AnnounceSettings announce;     // no list address: no announcement check; no openPage: OpenInLinkScout
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

    // Fills the controls from an order (a stored order, a LinkScout order).
    int LoadItemIntoWindow(const CQueueItem& item);

    // The engine's side, called on this window's thread by the bridge.
    void ShowStatusLines(const std::vector<std::string>& lines);
    void OnRunEnded(int result);

    // State.
    int RunState() const { return m_runState; }
    JobMode CurrentJobMode() const { return m_jobMode; }
    bool QueueMode() const { return m_queueMode; }
    bool UserStopped() const { return m_userStopped; }
    bool ExitRequested() const { return m_exitRequested; }
    bool SubfolderOn() const { return m_subfolderOn; }
    bool Hidden() const { return m_hidden; }
    const CQueueItem& CurrentItem() const { return m_currentItem; }
    const CQueueItem& RunningItem() const { return m_runningItem; }
    DetailSettings& Settings() { return m_settings; }
    CWaitQueue& Queue() { return m_queue; }
    CSeqUrl& Url() { return m_url; }
    CDownloadEngine& Engine() { return *m_engine; }
    // The credentials manager; the store it opens is the one the downloads use.
    CCredentialManager& Credentials() { return *m_credentials; }
    QString ProgressText() const;

    // Controls, for the tests and the screenshots.
    QTabBar* Tabs() const { return m_tabs; }
    CUrlEdit* UrlEdit() const { return m_urlEdit; }
    CNumEdit* LowerFrom() const { return m_lowerFrom; }
    CNumEdit* LowerTo() const { return m_lowerTo; }
    CNumEdit* UpperFrom() const { return m_upperFrom; }
    CNumEdit* UpperTo() const { return m_upperTo; }
    QCheckBox* UpperCheck() const { return m_upperCheck; }
    QCheckBox* SubfolderCheck() const { return m_subfolderCheck; }
    QLineEdit* SubfolderEdit() const { return m_subfolderEdit; }
    QLineEdit* SaveNameEdit() const { return m_saveNameEdit; }
    QLineEdit* ListPathEdit() const { return m_listPathEdit; }
    QCheckBox* DeleteListCheck() const { return m_deleteListCheck; }
    CFolder* FolderEdit() const { return m_folderEdit; }
    QLabel* UpperLabel() const { return m_upperLabel; }
    QLabel* LowerLabel() const { return m_lowerLabel; }
    QToolButton* PrevRunButton() const { return m_prevRun; }
    QToolButton* NextRunButton() const { return m_nextRun; }
    QToolButton* StartButton() const { return m_startButton; }
    QToolButton* StopButton() const { return m_stopButton; }
    QPushButton* QueueButton() const { return m_queueButton; }
    QPushButton* ExitButton() const { return m_exitButton; }
    QPushButton* LogButton() const { return m_logButton; }
    CRunAnimation* Animation() const { return m_animation; }
    CLogEdit* LogView() const { return m_log; }
    QLabel* ProgressLine() const { return m_progress; }
    CNoticePopup* Notice() const { return m_notice; }
    // Which of the start button's two icons shows: false idle, true running or queue mode.
    bool StartIconBusy() const { return m_startBusy; }

    void reject() override;
    void accept() override {}

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void BuildControls();
    void ResetControls();
    // The settings file and the kept order: read once at start, written once when the window goes.
    void LoadSettings();
    void SaveSettings();
    SequentialControls SequentialControlsNow();
    void ShowLayoutOf(JobMode mode);

    int BuildSequentialItem();
    int BuildListItem();
    void ShowRefusal(const OrderResult& result);
    int StartRun(CQueueItem& item);
    void AddToQueue(const CQueueItem& item, int origin);
    void RunNextQueued();
    void PowerOff();
    void SetRunning();
    void SetIdleLook();
    void SetStartIcon(bool busy);
    void CloseWindow();
    void UpdateProgress();

    void OnUrlChanged();
    void ApplyRanges(const FilledRanges& ranges, bool lower, bool upper);
    void UpdateDigitControls();
    void PaintFieldLabels();

    Options m_options;

    // State.
    int m_runState = kIdle;
    JobMode m_jobMode = JobMode::Sequential;
    bool m_queueMode = false;
    bool m_userStopped = false;
    bool m_exitRequested = false;
    bool m_closeRequested = false;
    bool m_hidden = false;
    bool m_subfolderOn = true;
    bool m_powerOffWhenQueueDone = false;
    bool m_startBusy = false;
    bool m_minimumTaken = false;
    SequentialState m_seqState;
    LoadedList m_loadedList;
    CQueueItem m_currentItem;
    CQueueItem m_runningItem; // the engine reads it while a run goes on
    DetailSettings m_settings;
    std::string m_appText; // carried through the settings file
    CSeqUrl m_url;
    CSeqUrl m_referer;

    // Companions. The engine is declared after what it uses, so it is gone (its thread joined) before them.
    CContentTypeTable m_types;
    CWaitQueue m_queue;
    CDailyLog m_dailyLog;
    std::unique_ptr<EngineBridge> m_bridge;
    std::unique_ptr<CDownloadEngine> m_engine;
    std::unique_ptr<CCredentialManager> m_credentials;
    QTimer m_progressTimer;
    std::unique_ptr<AnnouncementCheck> m_announce;

    // Controls (owned by the window).
    QTabBar* m_tabs = nullptr;
    QLabel* m_urlLabel = nullptr;
    QLabel* m_hint = nullptr;
    QWidget* m_sequentialPanel = nullptr;
    QWidget* m_listPanel = nullptr;
    CUrlEdit* m_urlEdit = nullptr;
    QToolButton* m_prevRun = nullptr;
    CFieldSpin* m_fieldSpin = nullptr;
    QToolButton* m_nextRun = nullptr;
    QCheckBox* m_upperCheck = nullptr;
    QLabel* m_upperLabel = nullptr;
    CNumEdit* m_upperFrom = nullptr;
    CRepeatSpin* m_upperFromSpin = nullptr;
    QLabel* m_upperKara = nullptr;
    CNumEdit* m_upperTo = nullptr;
    CRepeatSpin* m_upperToSpin = nullptr;
    QCheckBox* m_subfolderCheck = nullptr;
    QLineEdit* m_subfolderEdit = nullptr;
    QLabel* m_lowerLabel = nullptr;
    CNumEdit* m_lowerFrom = nullptr;
    CNumEdit* m_lowerTo = nullptr;
    QLineEdit* m_saveNameEdit = nullptr;
    QLineEdit* m_listPathEdit = nullptr;
    QToolButton* m_openButton = nullptr;
    QCheckBox* m_deleteListCheck = nullptr;
    QPushButton* m_viewListButton = nullptr;
    QPushButton* m_folderButton = nullptr;
    CFolder* m_folderEdit = nullptr;
    QToolButton* m_startButton = nullptr;
    QToolButton* m_stopButton = nullptr;
    CRunAnimation* m_animation = nullptr;
    QPushButton* m_queueButton = nullptr;
    QPushButton* m_exitButton = nullptr;
    QPushButton* m_detailButton = nullptr;
    QPushButton* m_logButton = nullptr;
    QPushButton* m_helpButton = nullptr;
    CLogEdit* m_log = nullptr;
    QLabel* m_progress = nullptr;
    CNoticePopup* m_notice = nullptr;
};

} // namespace pelldra
