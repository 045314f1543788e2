// CPowerOffDlg: "ＰＣの電源を切ります", the countdown before the computer is switched off.
#pragma once

#include <QDialog>
#include <QTimer>

#include <chrono>

class QLabel;
class QProgressBar;
class QPushButton;

namespace pelldra {

class PowerBackend;

// Counts 60 seconds down and ends with OK (switch off) on the tick that shows 0; "直ちに実行" ends with OK at once,
// "ｷｬﾝｾﾙ" (and Esc, and the close box) with Cancel.
class CPowerOffDlg final : public QDialog
{
    Q_OBJECT

public:
    static constexpr const char* kTitle = "ＰＣの電源を切ります";
    static constexpr int kSeconds = 60;
    static constexpr std::chrono::milliseconds kDefaultTick{1000};

    // tick: the length of one counted second (tests shorten it).
    explicit CPowerOffDlg(QWidget* parent, std::chrono::milliseconds tick = kDefaultTick);
    CPowerOffDlg(const CPowerOffDlg&) = delete;
    CPowerOffDlg& operator=(const CPowerOffDlg&) = delete;

    QString RemainingText() const;
    int Progress() const;
    QPushButton* NowButton() const { return now_; }
    QPushButton* CancelButton() const { return cancel_; }

signals:
    // Every time the remaining seconds are shown, with the text shown.
    void RemainingShown(const QString& text);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Tick();
    void ShowRemaining();

    QLabel* remaining_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* now_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QTimer timer_;
    int count_ = 0;
};

// The power-off after the queue is done: the countdown, then the backend; a failure is shown through the message
// function. True when the system accepted, so the caller ends the program.
bool ConfirmAndPowerOff(QWidget* parent, PowerBackend& backend,
                        std::chrono::milliseconds tick = CPowerOffDlg::kDefaultTick);

} // namespace pelldra
