// CQueueSummaryDlg: "待ち行列サマリー", the waiting orders: delete, reorder, take one out, save, power off after.
#pragma once

#include <QDialog>

#include <optional>

#include "core/queue/queue_item.h"

class QPushButton;
class QTreeWidget;

namespace pelldra {

class CWaitQueue;

class CQueueSummaryDlg final : public QDialog
{
    Q_OBJECT

public:
    static constexpr const char* kTitle = "待ち行列サマリー";
    static constexpr const char* kEmpty = "待ち行列は空です。";
    static constexpr const char* kNoSelection = "選択されたアイテムがありません";
    static constexpr const char* kSaveQuestion = "待ち行列変更しますか？";
    static constexpr const char* kWriteFailed = "待ち行列に書き込めません：\n";

    // queue: its edit list is loaded when the dialog runs. powerOff: the state of 終了後電源ＯＦＦ to start with.
    CQueueSummaryDlg(QWidget* parent, CWaitQueue& queue, bool powerOff);
    CQueueSummaryDlg(const CQueueSummaryDlg&) = delete;
    CQueueSummaryDlg& operator=(const CQueueSummaryDlg&) = delete;

    // Loads the queue and runs the dialog; with nothing queued it says so and returns Rejected at once.
    int exec() override;
    // Loads the queue into the rows; false when nothing is queued.
    bool Load();

    bool PowerOff() const { return powerOff_; }
    // The order taken out for the main window, when the dialog ended that way.
    const std::optional<CQueueItem>& TakenOut() const { return takenOut_; }

    void TakeOut();
    void DeleteSelected();
    void MoveSelected(int step); // -1 up, +1 down
    void Save();

    QTreeWidget* List() const { return list_; }
    QPushButton* SaveButton() const { return saveButton_; }
    QPushButton* PowerOffButton() const { return powerOffButton_; }
    QPushButton* CloseButton() const { return closeButton_; }

    // The close button and the close box: unsaved edits are asked about. Closed by the program instead (the boss
    // key, the session's end), the dialog asks nothing and the edits are dropped, the queue file as it was.
    void reject() override;

signals:
    // Esc does not close this dialog: it is the main window's cancel (the boss key).
    void CancelCommand();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowRows();
    int FirstSelectedRow() const;
    void SetChanged(bool changed);
    bool Write();

    CWaitQueue& queue_;
    bool powerOff_ = false;
    bool changed_ = false;
    bool closedByProgram_ = false;
    std::optional<CQueueItem> takenOut_;

    QTreeWidget* list_ = nullptr;
    QPushButton* closeButton_ = nullptr;
    QPushButton* saveButton_ = nullptr;
    QPushButton* powerOffButton_ = nullptr;
};

} // namespace pelldra
