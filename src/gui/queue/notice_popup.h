// CNoticePopup: the small pale-yellow note that tells the user a download order went into the queue.
#pragma once

#include <QFrame>
#include <QTimer>

#include <chrono>

class QLabel;

namespace pelldra {

// A modeless note without a title bar, owned by the main window and hidden between showings. It never takes the
// focus, and closes (hides) on the first of: its delay passing or a click on it.
class CNoticePopup final : public QFrame
{
    Q_OBJECT

public:
    static constexpr const char* kCurrent = "ただいまの";
    static constexpr const char* kFromLinkScout = "LinkScoutからの";
    static constexpr const char* kLine2 = "ダウンロード指令は";
    static constexpr const char* kLine3 = "待ち行列に取り込まれました";
    static constexpr std::chrono::milliseconds kDefaultDelay{10000};

    explicit CNoticePopup(QWidget* mainWindow);
    CNoticePopup(const CNoticePopup&) = delete;
    CNoticePopup& operator=(const CNoticePopup&) = delete;

    // Why the order was queued: 0 the user's own start command, anything else LinkScout or a busy queue run.
    void SetOrigin(int origin) { origin_ = origin; }
    int Origin() const { return origin_; }
    // Shows the note for the given origin, centred on the main window; a note already up starts its delay again.
    void ShowNotice(int origin);
    void SetCloseDelay(std::chrono::milliseconds delay) { delay_ = delay; }

    // The sentence as the user reads it, from the labels that are shown.
    QString ShownText() const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void CentreOnOwner();

    QLabel* current_ = nullptr;
    QLabel* fromLinkScout_ = nullptr;
    QLabel* line2_ = nullptr;
    QLabel* line3_ = nullptr;
    QTimer timer_;
    std::chrono::milliseconds delay_ = kDefaultDelay;
    int origin_ = 0;
};

} // namespace pelldra
